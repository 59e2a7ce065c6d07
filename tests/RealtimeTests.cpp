// The audio thread's rules: no heap allocation in processBlock in steady state,
// whatever the automation does, and a stable output.

#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"
#include "support/AllocationCounter.h"
#include "support/FakePlayHead.h"
#include "support/ProcessorParameters.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

namespace
{
    void automateEverything (BrakkleAudioProcessor& processor, juce::Random& random)
    {
        for (auto* parameter : processor.getParameters())
            parameter->setValueNotifyingHost (random.nextFloat());
    }
}

TEST (Realtime, ProcessBlockNeverAllocatesUnderRandomAutomation)
{
    for (int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        BrakkleAudioProcessor processor;
        ASSERT_TRUE (brakkle::test::useChannels (processor, channels));

        brakkle::test::FakePlayHead head;
        processor.setPlayHead (&head);
        processor.prepareToPlay (48000.0, 256);

        juce::MidiBuffer midi;
        juce::Random random (42);
        const auto source = brakkle::test::noise (channels, 256, 8);
        auto block = source;

        for (int i = 0; i < 50; ++i)   // warm-up
            processor.processBlock (block, midi);

        // A musical position for Grid Lock (switched on and off by the automation):
        // 7/8, a pre-roll, tempo changes, a locate now and then, rounded as one host does.
        double ppq = -0.75;
        head.timeSignature = juce::AudioPlayHead::TimeSignature { 7, 8 };

        long allocations = 0;
        for (int i = 0; i < 6000; ++i)   // 32 s of audio, automation before every block
        {
            automateEverything (processor, random);
            head.playing = (i % 700) != 0;
            block.makeCopyOf (source, true);

            head.bpm = (i / 1000) % 2 == 0 ? 120.0 : 137.5;
            if (i % 450 == 449)
                ppq = (double) (i % 7) * 1.25;
            head.ppqPosition = std::round (ppq * 1920.0) / 1920.0;
            head.ppqPositionOfLastBarStart = std::floor (*head.ppqPosition / 3.5) * 3.5;
            if (head.playing)
                ppq += 256.0 * *head.bpm / 60.0 / 48000.0;

            brakkle::test::ScopedAllocationCount counter;
            processor.processBlock (block, midi);
            allocations += counter.count();
        }

        EXPECT_EQ (allocations, 0);
    }
}

TEST (Realtime, TheFirstLongestSlicesAtThePreparedTempoNeverAllocate)
{
    // The host's prepare reserves room for the longest slice ("2 BARS") at the
    // tempo it finds: the first slices the audio thread starts, stopped or
    // playing, mono or stereo, fit into it.
    struct Case
    {
        const char* name;
        int channels;
        double rate;
        bool stoppedFirst;
        double bpm = 120.0;
    };

    // Slow projects too: the reserve holds "2 BARS" down to 60 BPM.
    const Case cases[] = {
        { "stereo, 44.1 kHz, playing from the first block", 2, 44100.0, false },
        { "stereo, 48 kHz, stopped first", 2, 48000.0, true },
        { "mono, 44.1 kHz, stopped first", 1, 44100.0, true },
        { "stereo, 44.1 kHz, a 90 BPM project", 2, 44100.0, false, 90.0 },
        { "stereo, 48 kHz, a 60 BPM project, stopped first", 2, 48000.0, true, 60.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        BrakkleAudioProcessor processor;
        ASSERT_TRUE (brakkle::test::useChannels (processor, c.channels));
        brakkle::test::setPlain (processor, ParameterIds::stutterTimeBpm, 19.0f);   // "2 BARS"
        brakkle::test::setPlain (processor, ParameterIds::refreshTimeBpm, 19.0f);

        brakkle::test::FakePlayHead head;
        head.bpm = c.bpm;
        processor.setPlayHead (&head);
        processor.prepareToPlay (c.rate, 512);

        juce::MidiBuffer midi;
        const auto source = brakkle::test::noise (c.channels, 512, 3);
        auto block = source;
        long allocations = 0;

        // Two slices and a bit: 8.5 s of audio at 120 BPM from the very first block.
        const double seconds = 8.5 * 120.0 / c.bpm;
        for (int i = 0; i < (int) (c.rate * seconds) / 512; ++i)
        {
            head.playing = ! (c.stoppedFirst && i < 4);
            block.makeCopyOf (source, true);

            brakkle::test::ScopedAllocationCount counter;
            processor.processBlock (block, midi);
            allocations += counter.count();
        }

        EXPECT_EQ (allocations, 0);
    }
}

TEST (Realtime, CountingSeesAllocations)
{
    // The counter itself must work, or the test above proves nothing.
    brakkle::test::ScopedAllocationCount counter;
    juce::AudioBuffer<float> buffer (2, 4096);
    auto* vector = new std::vector<int> (100);
    delete vector;
    EXPECT_GE (counter.count(), 3);
}
