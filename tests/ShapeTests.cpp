// Shaped repeats through the built bundle: Pitch and Pitch Decay play each
// repeat lower by exactly 2^(-n/12) and still start it on its line, Reverse
// plays the recorded slice backwards sample for sample, Variation shortens the
// same cycles whatever the start, loop or block size, and every join stays
// click-free.
//
// Running free, the first cycle starts on the first playing sample, so with a
// "1/8" slice (11025 samples at 120 BPM) and a "1 BAR" refresh (88200) the
// recording is [0, L) and repeat k is [kL, (k+1)L). Every tone mix is at 0.

#include "support/AllocationCounter.h"
#include "support/ClickMeasure.h"
#include "support/HostedBrakkle.h"
#include "support/SineFit.h"

#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iostream>
#include <map>
#include <vector>

using brakkle::test::loadBrakkle;
using brakkle::test::setPlain;

namespace
{
    constexpr double rate = 44100.0;
    constexpr int samplesPerQuarter = 22050;   // at 120 BPM
    constexpr int fade = 441;                  // the 10 ms edge fades
    constexpr int reach = 16;                  // past a fade, beyond any interpolator's reach

    constexpr float sixteenth = 7.0f, eighth = 10.0f, quarter = 13.0f, oneBar = 18.0f, twoBars = 19.0f;

    struct Shape
    {
        float pitch = 0.0f, decay = 0.0f, reverse = 0.0f, variation = 0.0f;
        float slice = eighth, refresh = oneBar;
        bool gridLock = false;
        int seed = 1;
    };

    void apply (brakkle::host::HostedPlugin& plugin, const Shape& s)
    {
        setPlain (plugin, ParameterIds::stutterTimeBpm, s.slice);
        setPlain (plugin, ParameterIds::refreshTimeBpm, s.refresh);
        setPlain (plugin, ParameterIds::gridLock, s.gridLock ? 1.0f : 0.0f);
        setPlain (plugin, ParameterIds::fillSeed, (float) s.seed);
        setPlain (plugin, ParameterIds::pitch, s.pitch);
        setPlain (plugin, ParameterIds::pitchDecay, s.decay);
        setPlain (plugin, ParameterIds::reverse, s.reverse);
        setPlain (plugin, ParameterIds::variation, s.variation);
        plugin.transport().bpm = 120.0;
        plugin.transport().playing = true;
    }

    /** Plays `total` samples of `input` (by sample) through a fresh instance, mono. */
    std::vector<float> play (const Shape& s, const std::function<float (std::int64_t)>& input, std::int64_t total,
                             int blockSize = 512, double startPpq = 0.0,
                             const std::function<void (brakkle::host::HostedPlugin&)>& setUp = {})
    {
        std::vector<float> out;
        auto plugin = loadBrakkle (1, rate, blockSize);
        if (plugin == nullptr)
            return out;
        apply (*plugin, s);
        plugin->transport().locate (startPpq);
        if (setUp)
            setUp (*plugin);

        juce::AudioBuffer<float> block (1, blockSize);
        for (std::int64_t start = 0; start < total; start += blockSize)
        {
            const int n = (int) std::min<std::int64_t> (blockSize, total - start);
            block.setSize (1, n, false, false, true);
            for (int i = 0; i < n; ++i)
                block.setSample (0, i, input (start + i));
            plugin->process (block);
            for (int i = 0; i < n; ++i)
                out.push_back (block.getSample (0, i));
        }
        return out;
    }

    std::function<float (std::int64_t)> sineAt (double hz)
    {
        return [hz] (std::int64_t n) { return (float) (0.5 * std::sin (2.0 * juce::MathConstants<double>::pi * hz * (double) n / rate)); };
    }

    /** The frequency of a sine in [from, to), from its first and last rising zero
        crossings (each placed between its samples by a straight line). */
    double frequencyOf (const std::vector<float>& x, std::int64_t from, std::int64_t to)
    {
        double first = -1.0, last = -1.0;
        int crossings = 0;
        for (auto n = from; n + 1 < to; ++n)
        {
            const double a = x[(size_t) n], b = x[(size_t) n + 1];
            if (a < 0.0 && b >= 0.0)
            {
                const double at = (double) n + a / (a - b);
                if (crossings == 0)
                    first = at;
                last = at;
                ++crossings;
            }
        }
        return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0.0;
    }
}

TEST (Shape, EachRepeatPlaysAtItsPitchWithin0Point1Percent)
{
    // Repeat k plays 2^(-(pitch + decay * (k - 1)) / 12) times the input's
    // frequency, down to -48 semitones in all.
    struct Case { float pitch, decay, reverse, slice, refresh; double hz; };
    const Case cases[] {
        { 0.0f, 0.0f, 0.0f, eighth, oneBar, 1000.0 },
        { -1.0f, 0.0f, 0.0f, eighth, oneBar, 1000.0 },
        { -5.0f, 0.0f, 0.0f, eighth, oneBar, 8000.0 },
        { -12.0f, 0.0f, 0.0f, eighth, oneBar, 1000.0 },
        { -12.0f, 0.0f, 1.0f, eighth, oneBar, 8000.0 },
        { -19.0f, 0.0f, 2.0f, eighth, oneBar, 1000.0 },
        { -24.0f, 0.0f, 0.0f, eighth, oneBar, 8000.0 },
        { -3.0f, 50.0f, 0.0f, eighth, oneBar, 1000.0 },
        { 0.0f, 25.0f, 2.0f, eighth, oneBar, 1000.0 },
        { -24.0f, 100.0f, 0.0f, sixteenth, twoBars, 8000.0 },   // reaches -48 at the 25th repeat and stays there
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("pitch " + std::to_string (c.pitch) + ", decay " + std::to_string (c.decay)
                      + ", reverse " + std::to_string (c.reverse) + ", " + std::to_string (c.hz) + " Hz");
        Shape s;
        s.pitch = c.pitch; s.decay = c.decay; s.reverse = c.reverse; s.slice = c.slice; s.refresh = c.refresh;
        const int length = juce::exactlyEqual (c.slice, eighth) ? 11025 : 5512;
        const int repeats = (juce::exactlyEqual (c.refresh, oneBar) ? 88200 : 176400) / length - 1;
        const auto out = play (s, sineAt (c.hz), (std::int64_t) length * (repeats + 1));
        ASSERT_EQ (out.size(), (size_t) length * (size_t) (repeats + 1));

        const double recorded = frequencyOf (out, fade + reach, length - fade - reach);
        EXPECT_NEAR (recorded / c.hz, 1.0, 1.0e-4);

        for (int k = 1; k <= repeats; ++k)
        {
            const double semitones = std::max (-48.0, (double) c.pitch - (double) c.decay / 100.0 * (k - 1));
            const double expected = c.hz * std::pow (2.0, semitones / 12.0);
            const auto start = (std::int64_t) k * length;
            const double measured = frequencyOf (out, start + fade + reach, start + length - fade - reach);
            EXPECT_NEAR (measured / expected, 1.0, 0.001) << "repeat " << k << ": " << measured << " Hz, expected " << expected;
        }
    }
}

TEST (Shape, PitchedRepeatsStillStartOnTheirLines)
{
    // With a constant input the only samples of exactly 0 are where a slice
    // starts (its fade-in's first sample): the recording's and each repeat's.
    for (const float pitch : { -1.0f, -12.0f, -24.0f })
        for (const float reverse : { 0.0f, 2.0f })
        {
            SCOPED_TRACE (std::to_string (pitch) + " st, reverse " + std::to_string (reverse));
            Shape s;
            s.pitch = pitch; s.decay = 50.0f; s.reverse = reverse;
            const auto out = play (s, [] (std::int64_t) { return 0.5f; }, 2 * 88200);

            std::vector<std::int64_t> zeros, expected;
            for (size_t n = 0; n < out.size(); ++n)
                if (juce::exactlyEqual (out[n], 0.0f))
                    zeros.push_back ((std::int64_t) n);
            for (std::int64_t k = 0; k < 16; ++k)
                expected.push_back (k * 11025);
            EXPECT_EQ (zeros, expected);
        }
}

TEST (Shape, ReversedRepeatsPlayTheRecordedSliceBackwardsSampleForSample)
{
    // A marker that never repeats. Inside the fades, repeat k plays the
    // recording backwards ("On"), or, with "Alternate", backwards on odd
    // repeats and forwards on even ones.
    const auto marker = [] (std::int64_t n) { return 0.1f + 0.4f * (float) n / 200000.0f; };
    constexpr int length = 11025;

    for (const float reverse : { 1.0f, 2.0f })
    {
        SCOPED_TRACE (reverse);
        Shape s;
        s.reverse = reverse;
        const auto out = play (s, marker, 88200);
        ASSERT_EQ (out.size(), 88200u);

        for (int k = 1; k < 8; ++k)
        {
            const bool backwards = juce::exactlyEqual (reverse, 1.0f) || k % 2 == 1;
            int mismatches = 0;
            for (int i = fade + 1; i < length - fade - 1; ++i)
            {
                const float expected = out[(size_t) (backwards ? length - 1 - i : i)];
                mismatches += juce::exactlyEqual (out[(size_t) (k * length + i)], expected) ? 0 : 1;
            }
            EXPECT_EQ (mismatches, 0) << "repeat " << k << (backwards ? " (backwards)" : " (forwards)");
        }
    }
}

TEST (Shape, VariationShortensTheSameCyclesFromAnyStartLoopAndBlockSize)
{
    // Grid Lock, a "1/4" refresh and a "1/16" slice (5512 samples): with a
    // constant input a slice's first repeat starts with a sample of exactly 0,
    // a slice length after its line. Each line's slice, heard in a render from
    // bar 1, comes back the same from bar 16, at blocks of 64 and 2048, and
    // on every pass of a loop.
    Shape s;
    s.gridLock = true;
    s.refresh = quarter;
    s.slice = sixteenth;
    s.variation = 50.0f;
    s.seed = 5;
    const auto constant = [] (std::int64_t) { return 0.5f; };

    const auto divisions = [] (const std::vector<float>& out, double startPpq, const std::function<double (std::int64_t)>& ppqOf)
    {
        std::map<double, int> byLine;
        for (std::int64_t line = 0; line + samplesPerQuarter <= (std::int64_t) out.size(); line += samplesPerQuarter)
        {
            const double ppq = ppqOf (line);
            for (std::int64_t n = line + 1; n < line + samplesPerQuarter; ++n)
                if (juce::exactlyEqual (out[(size_t) n], 0.0f))
                {
                    const auto length = n - line;
                    byLine[ppq] = length == 5512 ? 1 : length == 2756 ? 2 : length == 1378 ? 4 : -(int) length;
                    break;
                }
        }
        juce::ignoreUnused (startPpq);
        return byLine;
    };

    const auto straight = [] (double startPpq) { return [startPpq] (std::int64_t n) { return startPpq + (double) n / samplesPerQuarter; }; };

    const auto fromBar1 = divisions (play (s, constant, 72LL * samplesPerQuarter), 0.0, straight (0.0));
    int counts[5] {};
    for (const auto& [ppq, d] : fromBar1)
    {
        ASSERT_TRUE (d == 1 || d == 2 || d == 4) << "line " << ppq << ": " << d;
        ++counts[d];
    }
    EXPECT_GT (counts[1], 10);
    EXPECT_GT (counts[2], 5);
    EXPECT_GT (counts[4], 5);

    const auto expectSame = [&] (const std::map<double, int>& other, const char* what)
    {
        EXPECT_GE (other.size(), 8u) << what;
        for (const auto& [ppq, d] : other)
        {
            const auto found = fromBar1.find (ppq);
            ASSERT_NE (found, fromBar1.end()) << what << ": line " << ppq;
            EXPECT_EQ (d, found->second) << what << ": line " << ppq;
        }
    };

    expectSame (divisions (play (s, constant, 12LL * samplesPerQuarter, 512, 60.0), 60.0, straight (60.0)), "from bar 16");
    expectSame (divisions (play (s, constant, 12LL * samplesPerQuarter, 64, 60.0), 60.0, straight (60.0)), "blocks of 64");
    expectSame (divisions (play (s, constant, 12LL * samplesPerQuarter, 2048, 60.0), 60.0, straight (60.0)), "blocks of 2048");

    // A loop over bar 16 and 17, three times.
    const auto looped = play (s, constant, 24LL * samplesPerQuarter, 512, 60.0,
                              [] (brakkle::host::HostedPlugin& p) { p.transport().setLoop (60.0, 68.0, true); });
    expectSame (divisions (looped, 60.0, [] (std::int64_t n) { return 60.0 + std::fmod ((double) n / samplesPerQuarter, 8.0); }), "a loop");
}

TEST (Shape, EveryJoinBetweenShapedRepeatsIsClickFree)
{
    // Forward into backward, pitched into the recording's pitch, varied slices
    // of every length: the largest step between neighbouring samples of the
    // test sine stays within the shared bound.
    using brakkle::test::ClickMeasure;
    struct Case { const char* name; Shape shape; };
    Shape reverse, alternate, pitched, falling, varied, everything;
    reverse.reverse = 1.0f;
    alternate.reverse = 2.0f;
    pitched.pitch = -12.0f;
    falling.decay = 100.0f; falling.reverse = 2.0f; falling.slice = sixteenth;
    varied.variation = 100.0f; varied.gridLock = true; varied.refresh = quarter;
    everything = falling; everything.pitch = -7.0f; everything.variation = 50.0f; everything.gridLock = true;

    for (const auto& [name, shape] : { Case { "reverse", reverse }, Case { "alternate", alternate }, Case { "pitch -12", pitched },
                                       Case { "decay 100 % alternating", falling }, Case { "variation 100 %", varied },
                                       Case { "all of them", everything } })
    {
        SCOPED_TRACE (name);
        auto plugin = loadBrakkle (1, ClickMeasure::rate, 512);
        ASSERT_NE (plugin, nullptr);
        apply (*plugin, shape);
        const auto step = ClickMeasure::largestStep (*plugin, 8 * 88200, 512, [] (auto&, std::int64_t) {});
        std::cout << "  " << name << ": largest step " << step.size << " (bound " << ClickMeasure::allowedStep() << ")" << std::endl;
        EXPECT_LE (step.size, ClickMeasure::allowedStep()) << "at sample " << step.at;
    }
}

TEST (Shape, TwoOctavesDownWithDecayAllocatesNothing)
{
    Shape s;
    s.pitch = -24.0f; s.decay = 100.0f; s.reverse = 2.0f; s.variation = 50.0f; s.slice = sixteenth;
    auto plugin = loadBrakkle (2, rate, 256);
    ASSERT_NE (plugin, nullptr);
    apply (*plugin, s);

    juce::AudioBuffer<float> block (2, 256);
    long allocations = 0;
    for (int i = 0; i < 2000; ++i)
    {
        for (int c = 0; c < 2; ++c)
            for (int j = 0; j < 256; ++j)
                block.setSample (c, j, sineAt (1000.0) (i * 256 + j));
        if (i < 50)
        {
            plugin->process (block);   // warm-up
            continue;
        }
        brakkle::test::ScopedAllocationCount counter;
        plugin->process (block);
        allocations += counter.count();
    }
    EXPECT_EQ (allocations, 0);
}

TEST (Shape, PitchedRepeatsOfHighInputsAddNoImages)
{
    // A quiet sine high in the band (so the soft clippers of the input and
    // output stages stay linear) repeated lower: besides the tone, nothing in
    // the first repeat (inside its fades) comes within 60 dB of it, for inputs
    // up to 18 kHz at 44.1 kHz and the same share of the band at 48 and
    // 96 kHz, at -1, -7, -12 and -24 st. "1/8" slices in "1 BAR" at 120 BPM.
    for (const double rate : { 44100.0, 48000.0, 96000.0 })
        for (const double share : { 15000.0 / 22050.0, 18000.0 / 22050.0 })
            for (const float semitones : { -1.0f, -7.0f, -12.0f, -24.0f })
            {
                const double hz = share * rate / 2.0;
                SCOPED_TRACE (juce::String (hz, 0) + " Hz at " + juce::String (rate, 0) + " Hz, " + juce::String (semitones) + " st");
                constexpr int block = 512;
                const int length = (int) (rate / 4.0);   // "1/8" at 120 BPM
                const int fade = (int) (rate / 100.0);

                auto plugin = loadBrakkle (1, rate, block);
                setPlain (*plugin, ParameterIds::stutterTimeBpm, 10.0f);   // "1/8"
                setPlain (*plugin, ParameterIds::refreshTimeBpm, 18.0f);   // "1 BAR"
                setPlain (*plugin, ParameterIds::pitch, semitones);

                juce::AudioBuffer<float> in (1, 2 * length + block);
                for (int i = 0; i < in.getNumSamples(); ++i)
                    in.setSample (0, i, (float) (0.01 * std::sin (juce::MathConstants<double>::twoPi * hz * i / rate)));
                const auto out = brakkle::test::renderInBlocks (*plugin, in, { block });

                std::vector<double> repeat;
                for (int i = length + fade + 32; i < 2 * length - fade - 32; ++i)
                    repeat.push_back (out.getSample (0, i));

                const double expected = hz * std::pow (2.0, semitones / 12.0);
                const auto fit = brakkle::test::fitSine (repeat, expected, rate);
                EXPECT_NEAR (fit.hz / expected, 1.0, 1.0e-5);
                EXPECT_LT (fit.residualDb, -60.0);
                std::cout << juce::String (hz, 0) << " Hz at " << rate << " Hz, " << semitones << " st: everything else "
                          << fit.residualDb << " dB\n";
            }
}
