// A fixed input rendered with every effect on, compared with a stored render.
// Run with BRAKKLE_REGENERATE_GOLDEN=1 to rewrite tests/golden/ on purpose
// (after a deliberate change to the sound), then listen and commit.

#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"
#include "support/FakePlayHead.h"
#include "support/GoldenRender.h"

#include <gtest/gtest.h>

namespace
{
    using namespace brakkle::test::golden;

    juce::AudioBuffer<float> render()
    {
        BrakkleAudioProcessor processor;
        for (const auto& [id, value] : settings)
        {
            auto* p = processor.parameters.getParameter (*id);
            p->setValueNotifyingHost (p->convertTo0to1 (value));
        }

        brakkle::test::FakePlayHead head;
        head.bpm = bpm;
        processor.setPlayHead (&head);
        processor.prepareToPlay (sampleRate, blockSize);

        auto audio = input();
        juce::MidiBuffer midi;
        for (int start = 0; start < audio.getNumSamples(); start += blockSize)
        {
            juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), 2, start, blockSize);
            processor.processBlock (block, midi);
        }
        return audio;
    }
}

TEST (Golden, EveryEffectMatchesTheStoredRender)
{
    const auto audio = render();
    const auto file = storedRender();

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
    const auto [worst, worstIndex] = largestDifference (audio, stored);

    // Allows for another C library's last-bit differences in tanf/powf, nothing more.
    EXPECT_LT (worst, 1.0e-5f) << "largest difference at frame " << worstIndex;
}
