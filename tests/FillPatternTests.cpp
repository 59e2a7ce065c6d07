// The chance draws of fills: well distributed for every seed, unrelated
// between neighbouring seeds and neighbouring cycles, and tied to a line's
// song position, not to how the position arithmetic rounded it.

#include "engine/FillPattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

using brakkle::FillSettings;

namespace
{
    constexpr int cycles = 10000;
    constexpr double sigmas = 4.5;   // bounds this wide fail by chance about once in 150,000 checks

    /** The places of 10,000 cycles: lines a sixteenth apart on the song grid,
        or counts since playback started. */
    const std::vector<std::pair<const char*, std::function<std::uint64_t (int)>>> placeKinds {
        { "sixteenth lines", [] (int k) { return FillSettings::linePlace (0.25 * k); } },
        { "bar lines in 7/8", [] (int k) { return FillSettings::linePlace (3.5 * k); } },
        { "triplet lines from bar 17", [] (int k) { return FillSettings::linePlace (64.0 + k / 6.0); } },
        { "cycle counts", [] (int k) { return (std::uint64_t) k; } },
    };

    FillSettings withChance (float chance, int seed)
    {
        return FillSettings::fromValues (0.0f, 16.0f, chance, (float) seed);
    }

    double correlation (const std::vector<double>& a, const std::vector<double>& b)
    {
        const auto n = (double) a.size();
        double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
        for (size_t i = 0; i < a.size(); ++i)
        {
            sa += a[i]; sb += b[i]; saa += a[i] * a[i]; sbb += b[i] * b[i]; sab += a[i] * b[i];
        }
        return (n * sab - sa * sb) / std::sqrt ((n * saa - sa * sa) * (n * sbb - sb * sb));
    }
}

TEST (FillChance, TheShareThatRepeatsLiesWithinBinomialBounds)
{
    for (const auto& [kind, place] : placeKinds)
        for (const float chance : { 10.0f, 50.0f, 90.0f })
            for (int seed = 1; seed <= 128; ++seed)
            {
                const auto fills = withChance (chance, seed);
                int repeated = 0;
                for (int k = 0; k < cycles; ++k)
                    repeated += fills.repeats (place (k)) ? 1 : 0;

                const double p = chance / 100.0;
                const double expected = cycles * p, spread = sigmas * std::sqrt (cycles * p * (1.0 - p));
                EXPECT_NEAR (repeated, expected, spread) << kind << ", chance " << chance << " %, seed " << seed;
            }
}

TEST (FillChance, NeighbouringSeedsAndNeighbouringCyclesAreUnrelated)
{
    // The draws of seed s and s + 1 over the same cycles, and of each cycle and
    // the next: correlations within the bounds of independent draws, and at
    // 50 % the two seeds agree on about half the cycles.
    const double bound = sigmas / std::sqrt ((double) cycles);
    const auto& place = placeKinds[0].second;

    for (int seed = 1; seed < 128; ++seed)
    {
        std::vector<double> draws, next, later;
        int agree = 0;
        for (int k = 0; k < cycles; ++k)
        {
            draws.push_back (FillSettings::draw (seed, place (k)));
            next.push_back (FillSettings::draw (seed + 1, place (k)));
            later.push_back (FillSettings::draw (seed, place (k + 1)));
            agree += (draws.back() < 0.5) == (next.back() < 0.5) ? 1 : 0;
        }

        EXPECT_LT (std::abs (correlation (draws, next)), bound) << "seeds " << seed << " and " << seed + 1;

        // Nor is one seed's sequence another's moved by a cycle or two: with cycles
        // counted from playback's start, that would be the same fills, shifted.
        for (const int shift : { 1, 2 })
        {
            std::vector<double> counted, shifted;
            for (std::uint64_t k = 0; k < (std::uint64_t) cycles; ++k)
            {
                counted.push_back (FillSettings::draw (seed, k + (std::uint64_t) shift));
                shifted.push_back (FillSettings::draw (seed + 1, k));
            }
            EXPECT_LT (std::abs (correlation (counted, shifted)), bound) << "seed " << seed + 1 << " as seed " << seed << " moved by " << shift;
        }
        EXPECT_LT (std::abs (correlation (draws, later)), bound) << "seed " << seed << ", neighbouring cycles";
        EXPECT_NEAR (agree, cycles / 2, sigmas * std::sqrt (cycles * 0.25)) << "seeds " << seed << " and " << seed + 1;
    }
}

TEST (FillChance, FullChanceAlwaysRepeatsAndNoneNever)
{
    for (int seed = 1; seed <= 128; ++seed)
        for (int k = 0; k < 1000; ++k)
        {
            ASSERT_TRUE (withChance (100.0f, seed).repeats (FillSettings::linePlace (0.25 * k)));
            ASSERT_FALSE (withChance (0.0f, seed).repeats (FillSettings::linePlace (0.25 * k)));
        }
}

TEST (FillChance, ALinesPlaceIsItsSongPositionWhateverTheRounding)
{
    // The same line reached through other arithmetic is the same place; the
    // shortest distance between lines (a sixteenth of a "1/64 T") is not.
    const double bar17 = 64.0;
    EXPECT_EQ (FillSettings::linePlace (bar17), FillSettings::linePlace (bar17 + 1.0e-9));
    EXPECT_EQ (FillSettings::linePlace (bar17), FillSettings::linePlace (bar17 - 1.0e-9));
    EXPECT_EQ (FillSettings::linePlace (1.0 / 3.0 + 1.0 / 3.0 + 1.0 / 3.0), FillSettings::linePlace (1.0));
    EXPECT_EQ (FillSettings::linePlace (0.1 * 3.0), FillSettings::linePlace (0.3));
    const double shortest = 1.0 / 24.0 / 16.0;
    EXPECT_NE (FillSettings::linePlace (bar17 + shortest), FillSettings::linePlace (bar17));
    EXPECT_NE (FillSettings::linePlace (-shortest), FillSettings::linePlace (0.0));

    // Settings out of range or no number are kept inside their ranges.
    const auto wild = FillSettings::fromValues (std::nanf (""), -3.0f, 250.0f, std::nanf (""));
    EXPECT_EQ (wild.offset, 0);
    EXPECT_EQ (wild.gate, 1);
    EXPECT_EQ (wild.chance, 100.0f);
    EXPECT_EQ (wild.seed, 1);
}
