// Fills through the built bundle: where the repeats of each refresh period
// begin (offset), how long they go on (gate), whether a cycle repeats at all
// (chance), and that the same fills come back whatever the host does.
//
// How repeats are seen: the input is a sawtooth marker that never repeats
// within a render, indexed by the song's own sample (so two renders of the
// same stretch of song get the same input), and every tone mix is at 0. A
// stopped instance alongside gives the input as the plug-in passes it. Where
// the input passes, the output equals it exactly; a repeat never does. A
// cycle's first repeat starts with an output of exactly 0 (its fade-in) and,
// past the fade-in, plays what the cycle recorded a slice length before:
// together they place the cycle's start to the sample. Expected places come
// from exact arithmetic on the song positions of the lines.

#include "support/ClickMeasure.h"
#include "support/Exact.h"
#include "support/HostedBrakkle.h"

#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>

using brakkle::test::Exact;
using brakkle::test::loadBrakkle;
using brakkle::test::setPlain;

namespace
{
    constexpr double rate = 44100.0;
    constexpr std::int64_t samplesPerQuarter = 22050;   // at 120 BPM, the tempo of every case
    constexpr int fade = 441;                            // the 10 ms fades around every hand-over
    constexpr int ahead = 450;                           // past a repeat's fade-in

    constexpr float sixteenth = 7.0f, eighth = 10.0f, quarter = 13.0f, half = 16.0f, oneBar = 18.0f,
                    twoBars = 19.0f, sixtyFourth = 1.0f, freeTime = -1.0f;

    float marker (std::int64_t songSample)
    {
        constexpr std::int64_t period = 9999991;   // longer than any render here
        return 0.1f + 0.4f * (float) (((songSample % period) + period) % period) / (float) period;
    }

    struct Fills
    {
        int offset = 0, gate = 16;
        float chance = 100.0f;
        int seed = 1;
    };

    struct Song
    {
        bool gridLock = true;
        float refreshIndex = quarter;     // a note division, or
        float refreshFreeMs = 0.0f;       // a free time when the index is negative
        float sliceIndex = sixteenth;
        Fills fills {};
        Exact startPpq {};
        int numerator = 4, denominator = 4;
        int blockSize = 512;
        std::optional<std::pair<double, double>> loop {};   // announced, wrapping inside blocks
        double resolution = 0.0;          // the host rounds its positions to this (quarters)
    };

    void applySettings (brakkle::host::HostedPlugin& plugin, const Song& s, bool playing)
    {
        setPlain (plugin, ParameterIds::gridLock, s.gridLock ? 1.0f : 0.0f);
        setPlain (plugin, ParameterIds::stutterTimeBpm, s.sliceIndex);
        setPlain (plugin, ParameterIds::refreshSync, s.refreshIndex >= 0.0f ? 1.0f : 0.0f);
        if (s.refreshIndex >= 0.0f)
            setPlain (plugin, ParameterIds::refreshTimeBpm, s.refreshIndex);
        else
            setPlain (plugin, ParameterIds::refreshTimeFree, s.refreshFreeMs);
        setPlain (plugin, ParameterIds::fillOffset, (float) s.fills.offset);
        setPlain (plugin, ParameterIds::fillGate, (float) s.fills.gate);
        setPlain (plugin, ParameterIds::fillChance, s.fills.chance);
        setPlain (plugin, ParameterIds::fillSeed, (float) s.fills.seed);

        auto& transport = plugin.transport();
        transport.bpm = 120.0;
        transport.playing = playing;
        transport.numerator = s.numerator;
        transport.denominator = s.denominator;
        transport.positionResolution = s.resolution;
        transport.locate (s.startPpq.toDouble());
        if (s.loop)
            transport.setLoop (s.loop->first, s.loop->second, true);
    }

    /** The song sample at the render's first sample. */
    std::int64_t firstSongSample (const Song& s)
    {
        return (s.startPpq * Exact (samplesPerQuarter)).ceil();
    }

    struct Rendered
    {
        std::vector<float> output, passed;
    };

    /** Plays the marker through Brakkle and through a stopped instance. With a
        loop the song sample follows the loop, so each pass gets the same input. */
    Rendered render (const Song& s, std::int64_t total)
    {
        Rendered r;
        auto plugin = loadBrakkle (1, rate, s.blockSize);
        auto passing = loadBrakkle (1, rate, s.blockSize);
        if (plugin == nullptr || passing == nullptr)
            return r;
        applySettings (*plugin, s, true);
        applySettings (*passing, s, false);

        juce::AudioBuffer<float> played (1, s.blockSize), passed (1, s.blockSize);
        std::int64_t song = firstSongSample (s);
        const auto loopStart = s.loop ? (std::int64_t) std::llround (s.loop->first * samplesPerQuarter) : 0;
        const auto loopEnd = s.loop ? (std::int64_t) std::llround (s.loop->second * samplesPerQuarter) : 0;

        for (std::int64_t start = 0; start < total; start += s.blockSize)
        {
            const int n = (int) std::min<std::int64_t> (s.blockSize, total - start);
            played.setSize (1, n, false, false, true);
            passed.setSize (1, n, false, false, true);
            for (int i = 0; i < n; ++i, ++song)
            {
                if (s.loop && song >= loopEnd)
                    song = loopStart + (song - loopEnd);
                played.setSample (0, i, marker (song));
            }
            passed.makeCopyOf (played, true);
            plugin->process (played);
            passing->process (passed);
            for (int i = 0; i < n; ++i)
            {
                r.output.push_back (played.getSample (0, i));
                r.passed.push_back (passed.getSample (0, i));
            }
        }

        return r;
    }

    /** A refresh cycle as the render should hold it: it starts at `start`, its
        repeats (if it repeats) run until `end`, and the next cycle starts at
        `next`. Samples of the render. */
    struct Cycle
    {
        std::int64_t start, end, next;
        Exact line {};   // its song position, with Grid Lock
    };

    Exact noteLength (float index, const Song& s)
    {
        static const Exact fractions[] { Exact (1, 24), Exact (1, 16), Exact (3, 32), Exact (1, 12), Exact (1, 8),
                                         Exact (3, 16), Exact (1, 6), Exact (1, 4), Exact (3, 8), Exact (1, 3),
                                         Exact (1, 2), Exact (3, 4), Exact (2, 3), Exact (1), Exact (3, 2),
                                         Exact (4, 3), Exact (2), Exact (3) };
        const Exact bar (4 * s.numerator, s.denominator);
        return index >= oneBar ? bar * Exact (index > oneBar ? 2 : 1) : fractions[(size_t) index];
    }

    /** A duration in samples as the plug-in works it out in single precision. */
    std::int64_t samplesOf (float quarters)
    {
        return (std::int64_t) ((60.0f / 120.0f) * quarters * (float) rate);
    }

    std::int64_t sliceSamples (const Song& s)
    {
        return samplesOf ((float) noteLength (s.sliceIndex, s).toDouble());
    }

    /** Grid Lock: the refresh lines (bar lines and the multiples of the period
        within each bar, or multiples from 0 for a period longer than the bar),
        every one moved later by the offset's share of the period. */
    std::vector<Cycle> cyclesOnTheGrid (const Song& s, std::int64_t total)
    {
        const Exact period = s.refreshIndex >= 0.0f ? noteLength (s.refreshIndex, s)
                                                    : Exact ((std::int64_t) s.refreshFreeMs, 1000) * Exact (2);
        const Exact bar (4 * s.numerator, s.denominator);
        const Exact shift = period * Exact (s.fills.offset, 16);
        const Exact gate = period * Exact (s.fills.gate, 16);
        const Exact until = s.startPpq + Exact (total + samplesPerQuarter * 16, samplesPerQuarter);

        std::vector<Exact> lines;
        if (bar < period)
            for (Exact line; line < until; line = line + period)
                lines.push_back (line + shift);
        else
            for (Exact barLine; barLine < until; barLine = barLine + bar)
                for (Exact within; within < bar; within = within + period)
                    lines.push_back (barLine + within + shift);

        const auto sampleOf = [&] (Exact ppq) { return ((ppq - s.startPpq) * Exact (samplesPerQuarter)).ceil(); };
        std::vector<Cycle> cycles;

        for (size_t k = 0; k + 1 < lines.size(); ++k)
        {
            if (lines[k] < s.startPpq)
                continue;
            const auto start = sampleOf (lines[k]);
            const auto next = sampleOf (lines[k + 1]);
            if (start >= total)
                break;
            cycles.push_back ({ start, std::min (next, sampleOf (lines[k] + gate)), next, lines[k] });
        }

        return cycles;
    }

    /** Running free: the first cycle starts the offset's share of a period after
        playback starts, then one every period; each repeats for the gate's share. */
    std::vector<Cycle> cyclesRunningFree (const Song& s, std::int64_t total)
    {
        const auto period = s.refreshIndex >= 0.0f ? samplesOf ((float) noteLength (s.refreshIndex, s).toDouble())
                                                   : (std::int64_t) (s.refreshFreeMs / 1000.0f * (float) rate);
        const auto gate = period * s.fills.gate / 16;
        std::vector<Cycle> cycles;

        for (auto start = period * s.fills.offset / 16; start < total; start += period)
            cycles.push_back ({ start, start + gate, start + period });

        return cycles;
    }

    std::vector<Cycle> expectedCycles (const Song& s, std::int64_t total)
    {
        return s.gridLock ? cyclesOnTheGrid (s, total) : cyclesRunningFree (s, total);
    }

    bool passesAt (const Rendered& r, std::int64_t at)
    {
        return juce::exactlyEqual (r.output[(size_t) at], r.passed[(size_t) at]);
    }

    /** Does this cycle repeat? Its repeats differ from the input throughout;
        a cycle that does not repeat passes the input throughout. Nothing when
        it is neither, or too short to tell. */
    std::optional<bool> repeats (const Rendered& r, const Cycle& c, std::int64_t slice)
    {
        const auto from = c.start + slice + fade, to = c.end - fade;
        if (to <= from || to > (std::int64_t) r.output.size())
            return std::nullopt;

        std::int64_t passing = 0;
        for (auto at = from; at < to; ++at)
            passing += passesAt (r, at) ? 1 : 0;

        if (passing == 0)
            return true;
        if (passing == to - from)
            return false;
        return std::nullopt;
    }

    /** Where the render departs from the expected cycles, or an empty text.
        Cycles that chance skips are given by `skipped` (their index). */
    std::string checkCycles (const Rendered& r, const std::vector<Cycle>& cycles, std::int64_t slice,
                             const std::function<bool (size_t)>& skipped = [] (size_t) { return false; })
    {
        const auto total = (std::int64_t) r.output.size();
        std::vector<char> expected ((size_t) total, 'p');   // p: passes, r: repeats, ?: a fade

        const auto blur = [&] (std::int64_t around)
        {
            for (auto at = std::max<std::int64_t> (0, around - fade); at < std::min (total, around + fade); ++at)
                expected[(size_t) at] = '?';
        };

        for (size_t k = 0; k < cycles.size(); ++k)
        {
            const auto& c = cycles[k];
            if (! skipped (k))
                for (auto at = c.start + slice; at < std::min (total, c.end); ++at)
                    expected[(size_t) at] = 'r';
        }

        for (size_t k = 0; k < cycles.size(); ++k)
        {
            const auto& c = cycles[k];
            if (skipped (k))
                continue;
            blur (c.start);
            blur (c.end);
            if (c.start + slice < c.end)
                blur (c.start + slice);
        }

        for (std::int64_t at = 0; at < total; ++at)
        {
            if (expected[(size_t) at] == '?' || passesAt (r, at) == (expected[(size_t) at] == 'p'))
                continue;
            std::ostringstream text;
            text << "sample " << at << (expected[(size_t) at] == 'p' ? " should pass the input" : " should repeat");
            return text.str();
        }

        // Each repeating cycle to the sample: its first repeat starts from 0 and
        // plays what was recorded a slice before; a gate ends exactly where the
        // input passes again.
        for (size_t k = 0; k < cycles.size(); ++k)
        {
            const auto& c = cycles[k];
            const auto firstRepeat = c.start + slice;
            if (skipped (k) || firstRepeat + ahead + 1 >= std::min (total, c.end - fade))
                continue;

            std::ostringstream text;
            if (! juce::exactlyEqual (r.output[(size_t) firstRepeat], 0.0f)
                || ! juce::exactlyEqual (r.output[(size_t) (firstRepeat + ahead)], r.passed[(size_t) (c.start + ahead)]))
                text << "the cycle at " << c.start << " does not repeat its own recording from " << firstRepeat;
            else if (c.end < c.next && c.end < total && (! passesAt (r, c.end) || passesAt (r, c.end - 1)))
                text << "the gate of the cycle at " << c.start << " does not end at " << c.end;
            if (! text.str().empty())
                return text.str();
        }

        return {};
    }
}

TEST (Fills, OffsetAndGatePlaceTheRepeatsInEachPeriod)
{
    struct Case
    {
        const char* name;
        Song song;
        double seconds = 8.0;
    };

    const Case cases[] = {
        { "the last beat of every bar", { true, oneBar, 0, sixteenth, { 12, 4 } } },
        { "the second half of every quarter", { true, quarter, 0, sixtyFourth, { 8, 8 } } },
        { "the first sixteenth of every half note", { true, half, 0, sixtyFourth, { 0, 1 } } },
        { "two bars from their fifth quarter", { true, twoBars, 0, eighth, { 4, 12 } }, 20.0 },
        { "a free 300 ms period on the grid", { true, freeTime, 300.0f, sixtyFourth, { 5, 10 } } },
        { "3/4, the middle of every bar", { true, oneBar, 0, sixteenth, { 5, 6 }, {}, 3, 4 } },
        { "a start in the middle of a bar", { true, oneBar, 0, sixteenth, { 12, 4 }, Exact (5, 2) } },
        { "blocks of 64", { true, quarter, 0, sixtyFourth, { 3, 9 }, {}, 4, 4, 64 } },
        { "blocks of 2048", { true, oneBar, 0, eighth, { 10, 5 }, Exact (7), 4, 4, 2048 } },
        { "a gate shorter than the slice", { true, half, 0, eighth, { 4, 1 } } },
        { "Grid Lock off, quarters", { false, quarter, 0, sixtyFourth, { 4, 8 } } },
        { "Grid Lock off, a free 250 ms period", { false, freeTime, 250.0f, sixtyFourth, { 15, 3 } } },
        { "Grid Lock off, bars", { false, oneBar, 0, sixteenth, { 12, 4 } } },
        { "Grid Lock off, no offset and a full gate", { false, quarter, 0, sixteenth, { 0, 16 } } },
        { "Grid Lock on, no offset and a full gate", { true, quarter, 0, sixteenth, { 0, 16 } } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto total = (std::int64_t) (c.seconds * rate);
        const auto rendered = render (c.song, total);
        ASSERT_EQ ((std::int64_t) rendered.output.size(), total);
        const auto cycles = expectedCycles (c.song, total);
        EXPECT_GE (cycles.size(), 4u);
        EXPECT_EQ (checkCycles (rendered, cycles, sliceSamples (c.song)), "");
    }
}

TEST (Fills, ChanceSkipsWholeCyclesInItsShare)
{
    // Quarters at 50 % over 100 bars: the cycles that repeat and those that pass
    // the input are each whole, and their share lies within binomial bounds
    // (four and a half standard deviations: 200 +- 32 of 400).
    Song song { true, quarter, 0, sixteenth, { 0, 16, 50.0f, 3 } };
    const auto total = samplesPerQuarter * 401;
    const auto rendered = render (song, total);
    ASSERT_EQ ((std::int64_t) rendered.output.size(), total);
    auto cycles = expectedCycles (song, total);
    cycles.resize (400);

    std::vector<bool> skipped;
    for (const auto& c : cycles)
    {
        const auto repeated = repeats (rendered, c, sliceSamples (song));
        ASSERT_TRUE (repeated.has_value()) << "the cycle at " << c.start << " neither repeats nor passes the input";
        skipped.push_back (! *repeated);
    }

    const auto repeated = std::count (skipped.begin(), skipped.end(), false);
    EXPECT_GE (repeated, 200 - 32);
    EXPECT_LE (repeated, 200 + 32);
    std::cout << "chance 50 %: " << repeated << " of 400 cycles repeated\n";

    // Everything else about them is as without chance (up to the last cycle judged).
    auto judged = rendered;
    judged.output.resize ((size_t) cycles.back().next);
    judged.passed.resize ((size_t) cycles.back().next);
    EXPECT_EQ (checkCycles (judged, cycles, sliceSamples (song), [&] (size_t k) { return (bool) skipped[k]; }), "");

    // Another seed picks other cycles; at 0 % none repeats, at 100 % all do.
    song.fills.seed = 4;
    const auto otherSeed = render (song, total);
    int different = 0;
    for (size_t k = 0; k < cycles.size(); ++k)
        different += repeats (otherSeed, cycles[k], sliceSamples (song)) != ! skipped[k] ? 1 : 0;
    EXPECT_GE (different, 200 - 32) << "neighbouring seeds should agree on about half the cycles";
    EXPECT_LE (different, 200 + 32);

    for (const float chance : { 0.0f, 100.0f })
    {
        song.fills.chance = chance;
        const auto all = render (song, samplesPerQuarter * 41);
        for (size_t k = 0; k < 40; ++k)
            EXPECT_EQ (repeats (all, cycles[k], sliceSamples (song)), chance > 0.0f) << "chance " << chance << ", cycle " << k;
    }
}

TEST (Fills, TheSameFillsWhereverPlaybackStartsAndInAnyBlockSize)
{
    // The last beat of every bar at 50 %: a start at bar 1 and one at bar 16
    // play the same samples from bar 16's first line on; so do blocks of 64
    // and 2048, and every pass of a two-bar loop.
    const Song fromBarOne { true, oneBar, 0, sixteenth, { 12, 4, 50.0f, 9 } };
    const auto bars = [] (int n) { return samplesPerQuarter * 4 * n; };
    const auto reference = render (fromBarOne, bars (40));
    ASSERT_EQ ((std::int64_t) reference.output.size(), bars (40));

    // Some of bars 16 to 40 repeat and some do not, or this shows nothing.
    const auto cycles = expectedCycles (fromBarOne, bars (40));
    int repeating = 0, passing = 0;
    for (size_t k = 15; k + 1 < cycles.size(); ++k)
        (repeats (reference, cycles[k], sliceSamples (fromBarOne)).value_or (false) ? repeating : passing)++;
    ASSERT_GT (repeating, 3);
    ASSERT_GT (passing, 3);

    const auto sameFrom = [&] (const Rendered& r, std::int64_t renderFrom, std::int64_t referenceFrom, std::int64_t length)
    {
        for (std::int64_t i = 0; i < length; ++i)
            if (! juce::exactlyEqual (r.output[(size_t) (renderFrom + i)], reference.output[(size_t) (referenceFrom + i)]))
                return "differs at song sample " + std::to_string (referenceFrom + i);
        return std::string();
    };

    auto fromBarSixteen = fromBarOne;
    fromBarSixteen.startPpq = Exact (60);
    const auto late = render (fromBarSixteen, bars (25));
    const auto firstLine = samplesPerQuarter * 63;   // beat 4 of bar 16
    EXPECT_EQ (sameFrom (late, firstLine - bars (15), firstLine, bars (40) - firstLine), "") << "started at bar 16";

    for (const int blockSize : { 64, 2048 })
    {
        auto song = fromBarOne;
        song.blockSize = blockSize;
        const auto r = render (song, bars (40));
        EXPECT_EQ (sameFrom (r, 0, 0, bars (40)), "") << "blocks of " << blockSize;
    }

    // A host that rounds its positions to 1/1920 quarter, from a start between
    // two of its ticks, may move where a cycle takes over from the input by a
    // few samples, never which cycles repeat. (Rounded, this start puts every
    // line 0.97 samples before the sample it is reached at: a draw taken from
    // the position of that sample, not the line's own, would differ.)
    {
        auto song = fromBarOne;
        song.resolution = 1.0 / 1920.0;
        song.blockSize = 1024;
        song.startPpq = Exact (60) + Exact (2, 1920) + Exact (1, 100000);
        const auto r = render (song, bars (24));
        const auto rounded = expectedCycles (song, bars (24));
        ASSERT_GT (rounded.size(), 20u);
        for (size_t k = 0; k + 1 < rounded.size(); ++k)
        {
            const auto bar = (size_t) (rounded[k].line.toDouble() / 4.0);
            EXPECT_EQ (repeats (r, rounded[k], sliceSamples (song)), repeats (reference, cycles[bar], sliceSamples (song)))
                << "bar " << bar + 1 << ", positions rounded";
        }
    }

    // Two bars looped from a bar's start (no line: the lines lie on the fourth
    // beats) and ending where a roll of the last beat ends, with blocks of 1000,
    // so that the wraps fall inside blocks, and of 1050, so that they fall on
    // a block's start, as when a host cuts its blocks at the loop's end: every
    // pass is the first.
    size_t rolls = 17;
    while (! repeats (reference, cycles[rolls], sliceSamples (fromBarOne)).value_or (false))
        ++rolls;
    const auto loopStart = 4 * (std::int64_t) rolls - 4;

    for (const int blockSize : { 1000, 1050 })
    {
        auto looped = fromBarOne;
        looped.startPpq = Exact (loopStart);
        looped.blockSize = blockSize;
        looped.loop = std::make_pair ((double) loopStart, (double) loopStart + 8.0);
        const auto passes = render (looped, bars (2) * 5);
        for (int pass = 0; pass < 5; ++pass)
            EXPECT_EQ (sameFrom (passes, bars (2) * pass, samplesPerQuarter * loopStart, bars (2)), "")
                << "loop pass " << pass + 1 << ", blocks of " << blockSize;
    }
}

TEST (Fills, HandOversBetweenTheInputAndRepeatsAreClickFree)
{
    // The sine through every hand-over fills make: an offset start, a gate end,
    // skipped cycles (after a gate, and after a full period that ends where the
    // input passes on), a gate that cuts the recording, and the same running free.
    using brakkle::test::ClickMeasure;

    const Song cases[] = {
        { true, oneBar, 0, sixteenth, { 12, 4, 100.0f } },
        { true, quarter, 0, sixteenth, { 6, 5, 50.0f, 2 } },
        { true, half, 0, eighth, { 3, 1 } },
        { false, quarter, 0, sixteenth, { 6, 5, 50.0f, 2 } },
        { false, freeTime, 230.0f, sixtyFourth, { 9, 2, 60.0f, 5 } },
        { true, quarter, 0, sixteenth, { 0, 16, 40.0f, 3 } },
        { false, quarter, 0, sixteenth, { 0, 16, 40.0f, 3 } },
    };

    for (const auto& song : cases)
    {
        SCOPED_TRACE ("Grid Lock " + std::string (song.gridLock ? "on" : "off") + ", offset " + std::to_string (song.fills.offset)
                      + ", gate " + std::to_string (song.fills.gate) + ", chance " + std::to_string ((int) song.fills.chance));
        auto plugin = loadBrakkle (1, ClickMeasure::rate, 512);
        ASSERT_NE (plugin, nullptr);
        applySettings (*plugin, song, true);

        const auto worst = ClickMeasure::largestStep (*plugin, (std::int64_t) ClickMeasure::rate * 8, 512, [] (auto&, auto) {});
        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
        std::cout << "largest step " << worst.size << " at sample " << worst.at << " (bound " << ClickMeasure::allowedStep() << ")\n";
    }
}

TEST (Fills, HandOversStayClickFreeWhereTheHostMoves)
{
    // The last beat of every bar at 60 % through what hosts do, reported once
    // a block: a loop whose wraps it does not announce, a held pre-roll that
    // ends inside a block, and a tempo ramp.
    using brakkle::test::ClickMeasure;
    using Move = std::function<void (brakkle::host::Transport&)>;

    const std::pair<const char*, Move> moves[] = {
        { "an unannounced loop of a bar and a half", [] (auto& t) { t.setLoop (2.5, 8.5, false); } },
        { "a held pre-roll of 1300 samples", [] (auto& t) { t.holdFor (1300); } },
        { "a ramp from 120 to 150 BPM over 8 quarters", [] (auto& t) { t.rampTo (150.0, 4 * 22050); } },
    };

    for (const auto& [name, move] : moves)
    {
        SCOPED_TRACE (name);
        auto plugin = loadBrakkle (1, ClickMeasure::rate, 512);
        ASSERT_NE (plugin, nullptr);
        applySettings (*plugin, { true, oneBar, 0, sixteenth, { 12, 4, 60.0f, 5 } }, true);
        move (plugin->transport());

        const auto worst = ClickMeasure::largestStep (*plugin, (std::int64_t) ClickMeasure::rate * 8, 512, [] (auto&, auto) {});
        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
        std::cout << name << ": largest step " << worst.size << " at sample " << worst.at << "\n";
    }
}
