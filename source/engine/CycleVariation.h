#pragma once

#include "FillPattern.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace brakkle
{

/** Which cycles play a shorter slice: half or a quarter of the set length.

    Like a fill's chance, the choice depends on nothing but the setting, the
    seed and the cycle's place (its line on the song grid, or its count since
    playback started when cycles run free), so the same cycles vary on every
    playback, from any start and in any block size. It draws on streams of
    its own, so which cycles vary is independent of which ones chance lets
    repeat, and whether a varied slice is a half or a quarter is independent
    of how many cycles vary. Plain values, audio-thread safe. */
struct CycleVariation
{
    float percent = 0.0f;   // share of cycles that play a shorter slice

    /** The setting from the parameter's plain value, kept within 0..100; no number is 0. */
    static CycleVariation fromValue (float percent) noexcept
    {
        CycleVariation v;
        v.percent = std::isnan (percent) ? 0.0f : std::fmin (std::fmax (percent, 0.0f), 100.0f);
        return v;
    }

    /** How many times shorter the slice of the cycle at this place is: 1 (the
        set length), 2 or 4. */
    int divisionAt (int seed, std::uint64_t place) const noexcept
    {
        if (percent <= 0.0f)
            return 1;

        if (! (FillSettings::draw (seed, place, variesStream) * 100.0 < (double) percent))
            return 1;

        return FillSettings::draw (seed, place, lengthStream) < 0.5 ? 2 : 4;
    }

    /** The same for a cycle that starts on the line at this song position
        (quarter notes); a cycle on no line keeps its length. */
    int divisionOnLine (int seed, double line) const noexcept
    {
        return std::isfinite (line) ? divisionAt (seed, FillSettings::linePlace (line)) : 1;
    }

    /** A slice of `length` samples divided, at least one sample long. */
    static int sliceOf (int length, int division) noexcept
    {
        return std::max (1, length / std::max (1, division));
    }

    // The draws' own streams: any constants other than a fill's (0) and each other.
    static constexpr std::uint64_t variesStream = 0x5bd1e9955bd1e995ull;
    static constexpr std::uint64_t lengthStream = 0xc2b2ae3d27d4eb4full;
};

} // namespace brakkle
