// The slice's storage: slice starts never allocate on the audio thread, and a
// slice longer than the reserve arrives whole a little later.

#include "engine/SliceStorage.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#if defined (__GLIBC__)
 #include <malloc.h>
#endif

namespace
{
    using brakkle::SliceStorage;

    constexpr int stereo = 2;

    /** "2 BARS": eight quarter notes at `bpm`. */
    int twoBars (double bpm, double sampleRate)
    {
        return (int) (8.0 * 60.0 / bpm * sampleRate);
    }

    struct Start
    {
        int granted = 0;
        long allocations = 0;
    };

    /** One slice start, with the allocations it made on this thread. */
    Start countedStart (SliceStorage& storage, int channels, int samples)
    {
        brakkle::test::ScopedAllocationCount counter;
        const int granted = storage.startSlice (channels, samples);
        return { granted, counter.count() };
    }

    struct Arrival
    {
        int granted = 0;       // the last length granted
        int starts = 0;        // slice starts it took
        long allocations = 0;  // on this thread, over all of them
    };

    /** Slice starts every few milliseconds, as a slow project's would come, until
        `samples` are granted or two seconds have passed. */
    Arrival startUntilGranted (SliceStorage& storage, int channels, int samples)
    {
        Arrival arrival;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds (2);

        while (std::chrono::steady_clock::now() < giveUp)
        {
            const auto start = countedStart (storage, channels, samples);
            arrival.granted = start.granted;
            arrival.allocations += start.allocations;
            ++arrival.starts;

            if (start.granted == samples)
                break;

            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }

        return arrival;
    }

    bool isSilent (const juce::AudioBuffer<float>& buffer)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            if (buffer.getMagnitude (c, 0, buffer.getNumSamples()) > 0.0f)
                return false;

        return true;
    }

    void fill (juce::AudioBuffer<float>& buffer, float value)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            juce::FloatVectorOperations::fill (buffer.getWritePointer (c), value, buffer.getNumSamples());
    }

    /** The bytes the heap has handed out and not had back, over every arena. */
    long long heapInUse()
    {
       #if defined (__GLIBC__)
        const auto info = mallinfo2();
        return (long long) (info.uordblks + info.hblkhd);
       #else
        return 0;
       #endif
    }
}

TEST (SliceStorage, SlicesWithinTheReserveAreWholeAndAllocateNothing)
{
    const int reserve = twoBars (60.0, 44100.0);   // the default: "2 BARS" at 60 BPM
    ASSERT_EQ (reserve, 352800);

    SliceStorage storage;
    storage.reserve (stereo, reserve);

    // Lengths and channel counts that change from one slice to the next, all within the reserve.
    const int lengths[] = { reserve, 1000, reserve - 1, 3, reserve };

    for (int channels : { stereo, 1, stereo })
    {
        for (int length : lengths)
        {
            fill (storage.slice(), 0.5f);   // what the last slice recorded

            const auto start = countedStart (storage, channels, length);
            EXPECT_EQ (start.allocations, 0) << channels << " x " << length;
            EXPECT_EQ (start.granted, length);
            EXPECT_EQ (storage.slice().getNumChannels(), channels);
            EXPECT_EQ (storage.slice().getNumSamples(), length);
            EXPECT_TRUE (isSilent (storage.slice())) << "a new slice starts cleared";
        }
    }

    // 2.7 MiB for stereo at 44.1 kHz, 11.7 MiB at 192 kHz.
    EXPECT_EQ (storage.bytesHeld(), (std::size_t) 2822464);
    EXPECT_EQ (storage.bytesHeld(), SliceStorage::bytesFor (stereo, reserve));
    EXPECT_EQ (SliceStorage::bytesFor (stereo, twoBars (60.0, 192000.0)), (std::size_t) 12288064);
}

TEST (SliceStorage, ALongerSliceArrivesWholeLaterWithoutAllocatingHere)
{
    SliceStorage storage;
    storage.reserve (stereo, 44100);

    const int longer = 441000;
    const auto first = countedStart (storage, stereo, longer);
    EXPECT_EQ (first.allocations, 0);
    EXPECT_EQ (first.granted, 44100) << "what is held, until a larger store arrives";
    EXPECT_EQ (storage.slice().getNumSamples(), 44100);

    const auto arrival = startUntilGranted (storage, stereo, longer);
    EXPECT_EQ (arrival.granted, longer) << "after " << arrival.starts << " slice starts";
    EXPECT_EQ (arrival.allocations, 0);
    ASSERT_EQ (storage.slice().getNumChannels(), stereo);
    ASSERT_EQ (storage.slice().getNumSamples(), longer);
    EXPECT_TRUE (isSilent (storage.slice()));
    fill (storage.slice(), 0.25f);   // all of it can be written
    EXPECT_EQ (storage.bytesHeld(), SliceStorage::bytesFor (stereo, longer));

    // From now on it is held: shorter and equal slices take nothing more.
    for (int length : { 44100, longer, 1 })
    {
        const auto start = countedStart (storage, stereo, length);
        EXPECT_EQ (start.allocations, 0);
        EXPECT_EQ (start.granted, length);
    }
}

TEST (SliceStorage, MoreChannelsThanHeldArriveLater)
{
    SliceStorage storage;
    storage.reserve (1, 4800);

    const auto first = countedStart (storage, stereo, 4800);
    EXPECT_EQ (first.allocations, 0);
    EXPECT_EQ (first.granted, 0) << "no room for a second channel yet: an empty slice";
    EXPECT_EQ (storage.slice().getNumSamples(), 0);

    const auto arrival = startUntilGranted (storage, stereo, 4800);
    EXPECT_EQ (arrival.granted, 4800);
    EXPECT_EQ (arrival.allocations, 0);
    EXPECT_EQ (storage.slice().getNumChannels(), stereo);
}

TEST (SliceStorage, TwoBarsAtFortyAndTwentyBpm)
{
    // A slow project: the reserve holds "2 BARS" at 60 BPM; at 40 BPM it lasts
    // 12 s, at 20 BPM 24 s. Each comes out short at its first start, then whole.
    const int atSixty = twoBars (60.0, 44100.0);
    const int atForty = twoBars (40.0, 44100.0);
    const int atTwenty = twoBars (20.0, 44100.0);
    ASSERT_EQ (atForty, 529200);
    ASSERT_EQ (atTwenty, 1058400);

    SliceStorage storage;
    storage.reserve (stereo, atSixty);

    struct Step { int asked, firstGranted; };
    const Step steps[] = { { atForty, atSixty }, { atTwenty, atForty }, { atForty, atForty } };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.asked);
        const auto first = countedStart (storage, stereo, step.asked);
        EXPECT_EQ (first.allocations, 0);
        EXPECT_EQ (first.granted, step.firstGranted);

        const auto arrival = startUntilGranted (storage, stereo, step.asked);
        EXPECT_EQ (arrival.granted, step.asked);
        EXPECT_EQ (arrival.allocations, 0);
        ASSERT_EQ (storage.slice().getNumSamples(), step.asked);
        fill (storage.slice(), -0.5f);
    }

    // 8.1 MiB once a 20 BPM project has played "2 BARS".
    EXPECT_EQ (storage.bytesHeld(), (std::size_t) 8467264);
}

TEST (SliceStorage, ReserveKeepsTheSliceInUse)
{
    // A host may prepare again while a cycle runs: the slice keeps its length and samples.
    SliceStorage storage;
    storage.reserve (stereo, 1000);
    ASSERT_EQ (storage.startSlice (stereo, 500), 500);
    fill (storage.slice(), 0.75f);

    storage.reserve (stereo, 96000);
    EXPECT_EQ (storage.bytesHeld(), SliceStorage::bytesFor (stereo, 96000));
    ASSERT_EQ (storage.slice().getNumChannels(), stereo);
    ASSERT_EQ (storage.slice().getNumSamples(), 500);
    for (int c = 0; c < stereo; ++c)
        EXPECT_EQ (storage.slice().findMinMax (c, 0, 500), juce::Range<float> (0.75f, 0.75f));

    const auto start = countedStart (storage, stereo, 96000);
    EXPECT_EQ (start.allocations, 0);
    EXPECT_EQ (start.granted, 96000);
}

TEST (SliceStorage, ALargerReserveIsNotGivenUpForAStoreAskedForBefore)
{
    // A store the helper made for an earlier request, waiting when the host
    // prepares again for longer slices, is smaller than the new reserve.
    SliceStorage storage;
    storage.reserve (stereo, 1000);
    ASSERT_EQ (storage.startSlice (stereo, 5000), 1000);
    std::this_thread::sleep_for (std::chrono::milliseconds (200));   // the 5000 made

    storage.reserve (stereo, 20000);

    for (int i = 0; i < 3; ++i)
    {
        const auto start = countedStart (storage, stereo, 20000);
        EXPECT_EQ (start.allocations, 0);
        EXPECT_EQ (start.granted, 20000);
    }

    EXPECT_EQ (storage.bytesHeld(), SliceStorage::bytesFor (stereo, 20000));
}

TEST (SliceStorage, InstancesGoAwayCleanlyWithRequestsOutstanding)
{
    // Instances destroyed at every stage of a request: just asked, a larger
    // store made and not yet taken, a store just taken and the old one not yet
    // freed. Nothing crashes and the heap is back where it was.
    constexpr int reserve = 48000;   // 384 kB a store, and 1.5 MB once grown to
    constexpr int asked = 192000;    // this: any one left behind shows

    auto round = [] (int instances)
    {
        std::vector<std::unique_ptr<SliceStorage>> storages;

        for (int i = 0; i < instances; ++i)
        {
            storages.push_back (std::make_unique<SliceStorage>());
            storages.back()->reserve (stereo, reserve);
            storages.back()->startSlice (stereo, asked + i);
        }

        for (int i = 0; i < instances; ++i)
        {
            auto& storage = *storages[(size_t) i];

            switch (i % 3)
            {
                case 0: break;   // destroyed with the request just made
                case 1: std::this_thread::sleep_for (std::chrono::milliseconds (5)); break;   // a store perhaps on its way
                case 2: EXPECT_EQ (startUntilGranted (storage, stereo, asked + i).granted, asked + i); break;   // the old one handed back
            }

            if (i % 2 == 0)
                storages[(size_t) i].reset();   // some now, the rest together below
        }

        std::this_thread::sleep_for (std::chrono::milliseconds (60));   // the survivors' stores made and waiting
    };

    round (3);   // the first threads and JUCE's own first-time set-up
    const auto before = heapInUse();

    for (int r = 0; r < 4; ++r)
        round (12);

    const auto after = heapInUse();
    EXPECT_LT (after - before, 256 * 1024) << "heap in use grew from " << before << " to " << after << " bytes";
}
