// Which cycles Variation shortens: the share that varies lies within binomial
// bounds for every seed, halves and quarters come at even odds, the choice is
// unrelated to a fill's chance, and the engine's cycles follow it (running
// free, a cycle's place is its count since playback started).

#include "engine/CycleVariation.h"
#include "engine/StutterEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

using brakkle::CycleVariation;
using brakkle::FillSettings;

namespace
{
    constexpr int cycles = 10000;
    constexpr double sigmas = 4.5;   // bounds this wide fail by chance about once in 150,000 checks

    const std::vector<std::pair<const char*, std::function<std::uint64_t (int)>>> placeKinds {
        { "quarter lines", [] (int k) { return FillSettings::linePlace (1.0 * k); } },
        { "sixteenth lines from bar 16", [] (int k) { return FillSettings::linePlace (60.0 + 0.25 * k); } },
        { "cycle counts", [] (int k) { return (std::uint64_t) k; } },
    };

    double spreadOf (double n, double p) { return sigmas * std::sqrt (n * p * (1.0 - p)); }
}

TEST (Variation, TheShareThatVariesLiesWithinBinomialBoundsAtEvenOddsOfHalfAndQuarter)
{
    for (const auto& [kind, place] : placeKinds)
        for (const float percent : { 10.0f, 50.0f, 90.0f })
            for (int seed = 1; seed <= 128; ++seed)
            {
                const auto variation = CycleVariation::fromValue (percent);
                int varied = 0, halves = 0;
                for (int k = 0; k < cycles; ++k)
                {
                    const int division = variation.divisionAt (seed, place (k));
                    ASSERT_TRUE (division == 1 || division == 2 || division == 4) << division;
                    varied += division > 1 ? 1 : 0;
                    halves += division == 2 ? 1 : 0;
                }

                const double p = percent / 100.0;
                EXPECT_NEAR (varied, cycles * p, spreadOf (cycles, p)) << kind << ", " << percent << " %, seed " << seed;
                EXPECT_NEAR (halves, varied * 0.5, spreadOf (varied, 0.5)) << kind << ", " << percent << " %, seed " << seed;
            }
}

TEST (Variation, NoneNeverVariesAndAllAlwaysDoes)
{
    for (int seed = 1; seed <= 128; ++seed)
        for (int k = 0; k < 1000; ++k)
        {
            ASSERT_EQ (CycleVariation::fromValue (0.0f).divisionAt (seed, (std::uint64_t) k), 1);
            ASSERT_EQ (CycleVariation::fromValue (std::nanf ("")).divisionAt (seed, (std::uint64_t) k), 1);
            ASSERT_GT (CycleVariation::fromValue (100.0f).divisionAt (seed, (std::uint64_t) k), 1);
        }
}

TEST (Variation, IsIndependentOfChance)
{
    // Over the same places, whether a cycle varies and whether chance lets it
    // repeat: the share of cycles that do both is the product of the shares.
    for (int seed = 1; seed <= 128; ++seed)
    {
        const auto variation = CycleVariation::fromValue (50.0f);
        const auto fills = FillSettings::fromValues (0.0f, 16.0f, 50.0f, (float) seed);
        int both = 0, varied = 0, repeated = 0;

        for (int k = 0; k < cycles; ++k)
        {
            const auto place = FillSettings::linePlace (0.25 * k);
            const bool v = variation.divisionAt (seed, place) > 1, r = fills.repeats (place);
            varied += v ? 1 : 0;
            repeated += r ? 1 : 0;
            both += v && r ? 1 : 0;
        }

        EXPECT_NEAR (both, cycles * 0.25, spreadOf (cycles, 0.25)) << "seed " << seed;
        EXPECT_NEAR (varied, cycles * 0.5, spreadOf (cycles, 0.5)) << "seed " << seed;
        EXPECT_NEAR (repeated, cycles * 0.5, spreadOf (cycles, 0.5)) << "seed " << seed;
    }
}

TEST (Variation, FreeRunningCyclesPlayTheSliceTheirCountDraws)
{
    // Running free with a 100 ms period and a 40 ms slice, the engine's cycle
    // starts carry their slice's division; the k-th cycle's is the draw for
    // place k (the hosted tests hear the lengths).
    for (const int seed : { 1, 7, 100 })
    {
        SCOPED_TRACE (seed);
        StutterEngine engine;
        engine.prepare ({ 44100.0, 512, 1 });
        engine.stutterSync = 0.0f;
        engine.refreshSync = 0.0f;
        engine.stutterTimeFree = 40.0f;
        engine.refreshTimeFree = 100.0f;
        engine.variation = 50.0f;
        engine.fillSeed = (float) seed;

        const auto variation = CycleVariation::fromValue (50.0f);
        juce::AudioBuffer<float> block (1, 512);
        std::uint64_t count = 0;
        int varied = 0;

        for (int b = 0; b < 400; ++b)   // 4.6 s: 46 cycles
        {
            block.clear();
            engine.process (block, 120.0f, true);
            for (const auto& event : engine.lastBlockTiming())
            {
                if (event.kind != StutterEngine::TimingEvent::Kind::cycleStart)
                    continue;
                const int expected = variation.divisionAt (seed, count++);
                ASSERT_EQ (event.look.sliceDivision, expected) << "cycle " << count - 1;
                varied += expected > 1 ? 1 : 0;
            }
        }

        EXPECT_GT (count, 40u);
        EXPECT_GT (varied, 0);
        EXPECT_LT (varied, (int) count);
    }
}
