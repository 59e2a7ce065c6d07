#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"
#include "support/FakePlayHead.h"
#include "support/ProcessorParameters.h"
#include "support/ReferenceEngine.h"
#include "support/Signals.h"

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
    EXPECT_EQ (BrakkleAudioProcessor::outputTrim, reference::outputTrim);
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
        const float expected = reference::gainStages (x, juce::Decibels::decibelsToGain (3.0f), juce::Decibels::decibelsToGain (-6.0f));
        EXPECT_NEAR (processOne (processor, x), expected, 1.0e-6f) << "mix " << mix;
    }
}

TEST (Processor, MixBlendsDryAndRepeatedWetWhilePlaying)
{
    // Playing, so the wet path records and repeats: the output is the dry
    // signal and the reference engine's wet signal in the mix's proportion.
    for (float mix : { 0.0f, 30.0f, 75.0f, 100.0f })
    {
        SCOPED_TRACE (mix);
        BrakkleAudioProcessor processor;
        setPlain (processor, ParameterIds::mix, mix);
        setPlain (processor, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16" in "1/4"
        setPlain (processor, ParameterIds::filterMix, -60.0f);
        FakePlayHead head;
        processor.setPlayHead (&head);
        processor.prepareToPlay (44100.0, 500);

        // The reference hears the values the engine was given (the frequency's
        // skewed range keeps its default a hair above 8000 Hz).
        ReferenceEngine wetPath;
        wetPath.takeParameters (processor.stutterEngine);
        wetPath.prepare ({ 44100.0, 500, 2 });

        juce::MidiBuffer midi;
        for (int block = 0; block < 100; ++block)   // past the first refresh
        {
            const auto input = brakkle::test::noise (2, 500, block);
            auto dry = input;
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 500; ++i)
                    dry.setSample (c, i, reference::softClip (dry.getSample (c, i)));
            auto wet = dry;
            wetPath.process (wet, 120.0f, true);

            auto output = input;
            processor.processBlock (output, midi);

            const float m = mix / 100.0f;
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 500; ++i)
                    ASSERT_NEAR (output.getSample (c, i),
                                 reference::softClip (((1.0f - m) * dry.getSample (c, i) + m * wet.getSample (c, i)) * reference::outputTrim),
                                 1.0e-6f) << "block " << block << " channel " << c << " sample " << i;
        }
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

    // Changed before the first preparation: prepareToPlay still loads every
    // value, even where the engine's copy has fallen out of step.
    setPlain (processor, ParameterIds::stutterTimeFree, 333.0f);
    for (auto* field : { &processor.stutterEngine.stutterTimeFree, &processor.stutterEngine.stutterSync,
                         &processor.stutterEngine.refreshTimeBpm, &processor.stutterEngine.mix,
                         &processor.stutterEngine.filterFreq, &processor.stutterEngine.stereoMix })
        *field = -1.0f;
    processor.prepareToPlay (44100.0, 128);
    EXPECT_EQ (engineValues (processor.stutterEngine), parameterValues (processor));
    EXPECT_EQ ((float) processor.stutterEngine.stutterTimeFree, 333.0f);

    // Scribble over the engine's copy: any one change rewrites them all.
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
    // A host passing a playing block of no audio at a new tempo: nothing is
    // adopted and the audio after it is what it would have been without it.
    FakePlayHead head;
    BrakkleAudioProcessor processor, untouched;
    for (auto* p : { &processor, &untouched })
    {
        setPlain (*p, ParameterIds::stutterTimeBpm, 4.0f);
        p->setPlayHead (&head);
        p->prepareToPlay (44100.0, 32);
    }

    juce::MidiBuffer midi;
    for (int block = 0; block < 400; ++block)
    {
        if (block % 50 == 7)
        {
            head.bpm = 90.0 + block;
            juce::AudioBuffer<float> empty (2, 0);
            processor.processBlock (empty, midi);
            ASSERT_EQ (processor.stutterEngine.getAdoptedBpm(), untouched.stutterEngine.getAdoptedBpm()) << "block " << block;
            head.bpm = 120.0;
        }

        auto a = brakkle::test::noise (2, 32, block);
        auto b = a;
        processor.processBlock (a, midi);
        untouched.processBlock (b, midi);
        ASSERT_EQ (brakkle::test::firstDifference (a, b), "") << "block " << block;
    }
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
