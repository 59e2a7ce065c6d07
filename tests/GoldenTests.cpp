// A fixed input rendered with every effect on, compared with a stored render.
// Run with BRAKKLE_REGENERATE_GOLDEN=1 to rewrite tests/golden/ on purpose
// (after a deliberate change to the sound), then listen and commit.

#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"
#include "support/FakePlayHead.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

namespace
{
    juce::AudioBuffer<float> goldenInput (int samples)
    {
        auto input = brakkle::test::noise (2, samples, 2024);
        input.applyGain (0.3f);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < samples; ++i)
                input.addSample (c, i, 0.5f * std::sin (juce::MathConstants<float>::twoPi * (110.0f + 55.0f * (float) c) * (float) i / 44100.0f));
        return input;
    }

    juce::AudioBuffer<float> render()
    {
        BrakkleAudioProcessor processor;
        const std::pair<const juce::String*, float> settings[] = {
            { &ParameterIds::stutterTimeBpm, 7.0f },  { &ParameterIds::refreshTimeBpm, 16.0f },
            { &ParameterIds::input, 3.0f },           { &ParameterIds::mix, 85.0f },
            { &ParameterIds::output, -2.0f },         { &ParameterIds::filterFreq, 9000.0f },
            { &ParameterIds::filterMix, 70.0f },      { &ParameterIds::fadeVol, -20.0f },
            { &ParameterIds::fadeMix, -60.0f },       { &ParameterIds::stereoWidth, 90.0f },
            { &ParameterIds::stereoMix, 80.0f },
        };
        for (const auto& [id, value] : settings)
        {
            auto* p = processor.parameters.getParameter (*id);
            p->setValueNotifyingHost (p->convertTo0to1 (value));
        }

        brakkle::test::FakePlayHead head;
        head.bpm = 123.0;
        processor.setPlayHead (&head);
        processor.prepareToPlay (44100.0, 441);

        auto audio = goldenInput (88200);
        juce::MidiBuffer midi;
        for (int start = 0; start < audio.getNumSamples(); start += 441)
        {
            juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), 2, start, 441);
            processor.processBlock (block, midi);
        }
        return audio;
    }

    juce::File goldenFile()
    {
        return juce::File (BRAKKLE_TESTS_DIR).getChildFile ("golden/every-effect-44k1-stereo.f32");
    }
}

TEST (Golden, EveryEffectMatchesTheStoredRender)
{
    const auto audio = render();
    const auto file = goldenFile();

    if (juce::SystemStats::getEnvironmentVariable ("BRAKKLE_REGENERATE_GOLDEN", {}).isNotEmpty())
    {
        juce::MemoryOutputStream out;
        for (int i = 0; i < audio.getNumSamples(); ++i)
            for (int c = 0; c < 2; ++c)
                out.writeFloat (audio.getSample (c, i));
        ASSERT_TRUE (file.replaceWithData (out.getData(), out.getDataSize()));
        GTEST_SKIP() << "rewrote " << file.getFullPathName();
    }

    juce::MemoryBlock stored;
    ASSERT_TRUE (file.loadFileAsData (stored)) << "missing " << file.getFullPathName();
    ASSERT_EQ (stored.getSize(), (size_t) audio.getNumSamples() * 2 * sizeof (float));

    juce::MemoryInputStream in (stored, false);
    float worst = 0.0f;
    int worstIndex = -1;
    for (int i = 0; i < audio.getNumSamples(); ++i)
        for (int c = 0; c < 2; ++c)
        {
            const float difference = std::abs (in.readFloat() - audio.getSample (c, i));
            if (difference > worst)
            {
                worst = difference;
                worstIndex = i;
            }
        }

    // Allows for another C library's last-bit differences in tanf/powf, nothing more.
    EXPECT_LT (worst, 1.0e-5f) << "largest difference at frame " << worstIndex;
}
