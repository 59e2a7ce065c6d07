// An hour of a session, faster than real time: 48 kHz stereo in blocks of 512
// with random automation arriving on the audio thread (as a host delivers it)
// and the transport stopping and starting now and then. After a warm-up the
// audio thread allocates nothing at all, and the process's memory stays flat.
//
// The hour takes seconds in a release build; BRAKKLE_LONG_RUN_SECONDS plays
// more or less audio (a day: 86400; the sanitizer builds play ten minutes).

#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"
#include "../support/AllocationCounter.h"
#include "../support/FakePlayHead.h"
#include "../support/Signals.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace
{
    using brakkle::test::isFiniteAndBounded;

    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;
    constexpr double defaultSeconds = 3600.0;

    // How far resident memory may drift. AddressSanitizer's fake stacks (its
    // use-after-return check) fill in as the run reaches frames it had not yet
    // reached, without any allocation of ours; elsewhere a few pages at most.
   #if defined (__SANITIZE_ADDRESS__)
    constexpr long memoryAllowance = 8L << 20;
   #elif defined (__has_feature)
    #if __has_feature (address_sanitizer)
     constexpr long memoryAllowance = 8L << 20;
    #else
     constexpr long memoryAllowance = 256L << 10;
    #endif
   #else
    constexpr long memoryAllowance = 256L << 10;
   #endif

    double secondsToPlay()
    {
        if (const char* text = std::getenv ("BRAKKLE_LONG_RUN_SECONDS"))
            if (const auto seconds = std::atof (text); seconds > 0.0)
                return seconds;

        return defaultSeconds;
    }

    /** The process's resident memory in bytes. */
    long residentBytes()
    {
        std::ifstream statm ("/proc/self/statm");
        long totalPages = 0, residentPages = 0;
        statm >> totalPages >> residentPages;
        return residentPages * sysconf (_SC_PAGESIZE);
    }

    /** What a host's automation lane does: now and then a few parameters move. */
    void automate (BrakkleAudioProcessor& processor, juce::Random& random)
    {
        if (random.nextInt (8) != 0)
            return;

        const auto& parameters = processor.getParameters();
        for (int moves = 1 + random.nextInt (3); --moves >= 0;)
            parameters[random.nextInt (parameters.size())]->setValueNotifyingHost (random.nextFloat());
    }
}

TEST (LongRun, AnHourOfPlaybackAllocatesNothingAndKeepsMemoryFlat)
{
    BrakkleAudioProcessor processor;
    brakkle::test::FakePlayHead head;
    processor.setPlayHead (&head);
    processor.prepareToPlay (sampleRate, blockSize);

    juce::MidiBuffer midi;
    juce::Random random (2024);

    // A minute of material, looped: different audio in every block for a while.
    const auto material = brakkle::test::noise (2, (int) sampleRate * 60, 5);
    juce::AudioBuffer<float> block (2, blockSize);
    int readPosition = 0;

    const auto nextBlock = [&]
    {
        if (readPosition + blockSize > material.getNumSamples())
            readPosition = 0;
        for (int c = 0; c < 2; ++c)
            block.copyFrom (c, 0, material, c, readPosition, blockSize);
        readPosition += blockSize;
    };

    // Warm-up: every parameter at both ends of its range once, then a while of
    // the same random automation as below.
    for (const auto& spec : parameterTable)
        for (float normalised : { 0.0f, 1.0f })
        {
            processor.parameters.getParameter (spec.id)->setValueNotifyingHost (normalised);
            for (int b = 0; b < 16; ++b)
            {
                nextBlock();
                processor.processBlock (block, midi);
            }
        }

    for (int b = 0; b < 2000; ++b)
    {
        automate (processor, random);
        nextBlock();
        processor.processBlock (block, midi);
    }

    const long memoryBefore = residentBytes();
    const auto blocks = (long) (secondsToPlay() * sampleRate / blockSize);
    long allocations = 0, blocksOutOfBounds = 0;

    for (long b = 0; b < blocks; ++b)
    {
        // About every half minute the transport stops for a moment.
        head.playing = (b % 2800) >= 3;
        nextBlock();

        {
            brakkle::test::ScopedAllocationCount counter;
            automate (processor, random);
            processor.processBlock (block, midi);
            allocations += counter.count();
        }

        if (! isFiniteAndBounded (block))
            ++blocksOutOfBounds;
    }

    const long memoryAfter = residentBytes();

    EXPECT_EQ (allocations, 0) << "heap allocations on the audio thread over " << blocks << " blocks";
    EXPECT_EQ (blocksOutOfBounds, 0);
    EXPECT_LE (memoryAfter - memoryBefore, memoryAllowance)
        << "resident memory grew from " << memoryBefore << " to " << memoryAfter << " bytes";

    for (const auto& spec : parameterTable)
    {
        const float v = processor.parameters.getRawParameterValue (spec.id)->load();
        EXPECT_TRUE (v >= spec.minimum && v <= spec.maximum) << spec.id << " = " << v;
    }
}
