#include "processor/BrakkleAudioProcessor.h"
#include "engine/SoftClip.h"
#include "processor/ParameterIds.h"
#include "support/FakePlayHead.h"
#include "support/ProcessorParameters.h"

#include <gtest/gtest.h>

namespace
{
    using brakkle::test::FakePlayHead;
    using brakkle::test::engineValues;
    using brakkle::test::parameterValues;
    using brakkle::test::setPlain;

    juce::AudioBuffer<float> constantBlock (int channels, int samples, float value)
    {
        juce::AudioBuffer<float> block (channels, samples);
        for (int c = 0; c < channels; ++c)
            juce::FloatVectorOperations::fill (block.getWritePointer (c), value, samples);
        return block;
    }

    float processOne (BrakkleAudioProcessor& p, float input)
    {
        auto block = constantBlock (2, 1, input);
        juce::MidiBuffer midi;
        p.processBlock (block, midi);
        return block.getSample (0, 0);
    }
}

TEST (Processor, PipelineNumbersAtMixZero)
{
    BrakkleAudioProcessor processor;
    setPlain (processor, ParameterIds::mix, 0.0f);
    processor.prepareToPlay (44100.0, 64);

    EXPECT_NEAR (processOne (processor, 0.5f), 0.672421f, 1.0e-6f);
    EXPECT_NEAR (processOne (processor, 1.0f), 0.884512f, 1.0e-6f);
    EXPECT_NEAR (processOne (processor, 2.0f), 0.884512f, 1.0e-6f);
    EXPECT_NEAR (processOne (processor, -2.0f), -0.884512f, 1.0e-6f);
    EXPECT_EQ (BrakkleAudioProcessor::outputTrim, std::pow (10.0f, -0.15f));
}

TEST (Processor, UnchangedWetPathGivesTheSameOutputForEveryMix)
{
    // Stopped transport: the engine leaves the wet copy alone, so dry and wet agree.
    for (float mix : { 0.0f, 25.0f, 50.0f, 100.0f })
    {
        BrakkleAudioProcessor processor;
        setPlain (processor, ParameterIds::mix, mix);
        setPlain (processor, ParameterIds::output, -6.0f);
        setPlain (processor, ParameterIds::input, 3.0f);
        processor.prepareToPlay (48000.0, 16);

        const float x = 0.3f;
        const float d = brakkle::softClip (juce::Decibels::decibelsToGain (3.0f) * x);
        const float expected = brakkle::softClip (juce::Decibels::decibelsToGain (-6.0f) * d * BrakkleAudioProcessor::outputTrim);
        EXPECT_NEAR (processOne (processor, x), expected, 1.0e-6f) << "mix " << mix;
    }
}

TEST (Processor, NonFiniteInputNeverReachesTheOutput)
{
    BrakkleAudioProcessor processor;
    setPlain (processor, ParameterIds::filterMix, 100.0f);
    FakePlayHead head;
    head.bpm = 120.0;
    head.playing = true;
    processor.setPlayHead (&head);
    processor.prepareToPlay (44100.0, 256);

    juce::MidiBuffer midi;
    auto block = constantBlock (2, 256, 0.25f);
    block.setSample (0, 10, std::numeric_limits<float>::quiet_NaN());
    block.setSample (1, 20, std::numeric_limits<float>::infinity());
    processor.processBlock (block, midi);

    for (int n = 0; n < 200; ++n)
    {
        auto next = constantBlock (2, 256, 0.25f);
        processor.processBlock (next, midi);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 256; ++i)
                ASSERT_TRUE (std::isfinite (next.getSample (c, i)) && std::abs (next.getSample (c, i)) <= 1.0f)
                    << "block " << n << " channel " << c << " sample " << i;
    }
}

TEST (Processor, BusLayouts)
{
    using Set = juce::AudioChannelSet;
    struct Case
    {
        Set in, out;
        bool accepted;
    };
    const Case cases[] = {
        { Set::mono(), Set::mono(), true },
        { Set::stereo(), Set::stereo(), true },
        { Set::mono(), Set::stereo(), false },
        { Set::stereo(), Set::mono(), false },
        { Set::stereo(), Set::disabled(), false },
        { Set::create5point1(), Set::create5point1(), false },
        { Set::disabled(), Set::stereo(), false },
    };

    BrakkleAudioProcessor processor;
    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (processor.checkBusesLayoutSupported (layout), c.accepted)
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }

    EXPECT_EQ (processor.getTotalNumInputChannels(), 2);
    EXPECT_EQ (processor.getTotalNumOutputChannels(), 2);
    EXPECT_EQ (processor.getBus (true, 0)->getName(), juce::String ("Input"));
    EXPECT_EQ (processor.getBus (false, 0)->getName(), juce::String ("Output"));
}

TEST (Processor, EngineFieldsFollowTheParameters)
{
    BrakkleAudioProcessor processor;

    // Changed before the first preparation: prepareToPlay still loads every value.
    setPlain (processor, ParameterIds::stutterTimeFree, 333.0f);
    processor.prepareToPlay (44100.0, 128);
    EXPECT_EQ (engineValues (processor.stutterEngine), parameterValues (processor));
    EXPECT_EQ ((float) processor.stutterEngine.stutterTimeFree, 333.0f);

    // Scribble over the engine's copy: any one change rewrites all fifteen.
    for (auto* field : { &processor.stutterEngine.mix, &processor.stutterEngine.fadeVol, &processor.stutterEngine.filterFreq })
        *field = -1.0f;

    setPlain (processor, ParameterIds::fadeMix, -40.0f);
    EXPECT_EQ (engineValues (processor.stutterEngine), parameterValues (processor));
    EXPECT_EQ ((float) processor.stutterEngine.fadeMix, -40.0f);
}

TEST (Processor, TempoFromThePlayHeadOr120)
{
    BrakkleAudioProcessor processor;
    FakePlayHead head;
    head.playing = true;
    head.bpm = 90.0;
    processor.setPlayHead (&head);
    processor.prepareToPlay (44100.0, 32);

    processOne (processor, 0.1f);
    EXPECT_EQ (processor.stutterEngine.getAdoptedBpm(), 90.0f);

    head.bpm.reset();   // a position without a tempo
    processOne (processor, 0.1f);
    EXPECT_EQ (processor.stutterEngine.getAdoptedBpm(), 120.0f);
}

TEST (Processor, ZeroSampleBlockChangesNothing)
{
    BrakkleAudioProcessor processor;
    processor.prepareToPlay (44100.0, 32);
    juce::AudioBuffer<float> empty (2, 0);
    juce::MidiBuffer midi;
    processor.processBlock (empty, midi);
    EXPECT_EQ (empty.getNumSamples(), 0);
}

TEST (Processor, HostQuestions)
{
    BrakkleAudioProcessor processor;
    EXPECT_EQ (processor.getName(), juce::String ("Brakkle"));
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    for (int i : { -1, 0, 1, 7 })
        EXPECT_EQ (processor.getProgramName (i), juce::String());
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_EQ (processor.getLatencySamples(), 0);
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
}
