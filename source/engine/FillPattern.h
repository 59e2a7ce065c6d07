#pragma once

#include <cmath>
#include <cstdint>

namespace brakkle
{

/** When the repeats play: fills instead of a constant stutter.

    Each refresh period may start its repeats later (the offset), repeat for
    only part of the period (the gate) and repeat at all only by chance. All
    three are shares or draws that depend on nothing but the settings and the
    cycle's place, so the same fills come on every playback: a cycle's place
    is its line on the song grid, or its count since playback started when
    cycles run free. Plain functions, no state, audio-thread safe. */
struct FillSettings
{
    /** Offset and gate are in sixteenths of the refresh period. */
    static constexpr int sixteenths = 16;

    int offset = 0;           // 0..15: sixteenths before the repeats begin
    int gate = sixteenths;    // 1..16: sixteenths that repeat
    float chance = 100.0f;    // percent of cycles that repeat
    int seed = 1;             // which sequence of draws

    /** The settings from the parameters' plain values, each kept inside its
        range; a value that is no number is the default. */
    static FillSettings fromValues (float offset, float gate, float chance, float seed) noexcept
    {
        FillSettings s;
        s.offset = wholeWithin (offset, 0, sixteenths - 1, 0);
        s.gate = wholeWithin (gate, 1, sixteenths, sixteenths);
        s.chance = std::isnan (chance) ? 100.0f : std::fmin (std::fmax (chance, 0.0f), 100.0f);
        s.seed = wholeWithin (seed, 1, 128, 1);
        return s;
    }

    bool isGated() const noexcept { return gate < sixteenths; }

    /** Does the cycle at this place repeat? Always at 100 %, never at 0 %. */
    bool repeats (std::uint64_t place) const noexcept
    {
        if (chance >= 100.0f)
            return true;

        return draw (seed, place) * 100.0 < (double) chance;
    }

    /** A share of a period of `samples`, in whole samples (rounded down). */
    static int shareOf (int samples, int numSixteenths) noexcept
    {
        return (int) ((std::int64_t) samples * numSixteenths / sixteenths);
    }

    /** The place of a cycle that starts on the line at this song position (in
        quarter notes): the position in ticks of 1/15360 quarter, which every
        note division, triplets and dotted ones and their sixteenths included,
        fills exactly; the rounding absorbs the last bits of the position
        arithmetic. Positions that are no number all share one place. */
    static std::uint64_t linePlace (double ppq) noexcept
    {
        constexpr double ticksPerQuarter = 15360.0;
        constexpr double farthest = 1.0e15;
        const double ticks = ppq * ticksPerQuarter;

        if (! (std::abs (ticks) < farthest))
            return 0;

        return (std::uint64_t) std::llround (ticks);
    }

    /** A draw in [0, 1) that depends on the seed and the place alone: the
        place mixed into a mix of the seed, through a 64-bit finaliser whose
        every input bit moves about half of its output bits, so neighbouring
        seeds and neighbouring places give unrelated draws. Another `stream`
        gives another, unrelated sequence of draws (chance uses stream 0). */
    static double draw (int seed, std::uint64_t place, std::uint64_t stream = 0) noexcept
    {
        constexpr double unitPerStep = 1.0 / 9007199254740992.0;   // 2^-53
        return (double) (mix (mix ((std::uint64_t) seed ^ stream) ^ place) >> 11) * unitPerStep;
    }

private:
    static std::uint64_t mix (std::uint64_t z) noexcept
    {
        z += 0x9e3779b97f4a7c15ull;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }

    static int wholeWithin (float value, int lowest, int highest, int otherwise) noexcept
    {
        if (std::isnan (value))
            return otherwise;

        if (value <= (float) lowest)
            return lowest;

        if (value >= (float) highest)
            return highest;

        return (int) value;
    }
};

} // namespace brakkle
