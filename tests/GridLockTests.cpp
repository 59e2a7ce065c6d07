// Grid Lock through the built bundle: with it on, every cycle starts on the
// host's refresh lines, whatever the host does. Expected positions come from
// exact rational arithmetic on the lines' musical positions.
//
// How a cycle start is seen: the input is a sawtooth marker that never
// repeats within a slice; with every tone mix at 0 the first sample of a
// fresh recording is exactly 0 (the edge fade starts from nothing) and, past
// the fade-in, the output is the input as a stopped transport passes it.
// The first sample of a repeat is 0 as well, but a repeat plays older input;
// and while Grid Lock waits the input passes at once, with no fade-in.

#include "support/HostedBrakkle.h"
#include "support/Signals.h"

#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <optional>

using brakkle::test::loadBrakkle;
using brakkle::test::setPlain;

namespace
{
    /** An exact rational number. */
    struct Exact
    {
        std::int64_t num = 0, den = 1;

        Exact (std::int64_t n = 0, std::int64_t d = 1) : num (n), den (d)
        {
            if (den < 0) { num = -num; den = -den; }
            const auto g = std::gcd (num < 0 ? -num : num, den);
            if (g > 1) { num /= g; den /= g; }
        }

        friend Exact operator+ (Exact a, Exact b) { return { a.num * b.den + b.num * a.den, a.den * b.den }; }
        friend Exact operator- (Exact a, Exact b) { return { a.num * b.den - b.num * a.den, a.den * b.den }; }
        friend Exact operator* (Exact a, Exact b) { return { a.num * b.num, a.den * b.den }; }
        friend Exact operator/ (Exact a, Exact b) { return { a.num * b.den, a.den * b.num }; }
        friend bool operator< (Exact a, Exact b) { return a.num * b.den < b.num * a.den; }
        friend bool operator<= (Exact a, Exact b) { return ! (b < a); }

        std::int64_t ceil() const { return num >= 0 ? (num + den - 1) / den : -((-num) / den); }
        double toDouble() const { return (double) num / (double) den; }
    };

    /** Something the host does before the block that starts at `at`. */
    struct HostStep
    {
        std::int64_t at;
        std::optional<Exact> locateTo;    // a locate, a loop wrap
        std::optional<Exact> newBpm;      // a tempo change
        std::optional<bool> gridLock {};  // Grid Lock switched, as automation
    };

    struct GridCase
    {
        const char* name;
        double rate;
        Exact bpm;
        float refreshIndex;               // a note division, or
        float refreshFreeMs;              // a free time when the index is negative
        int numerator, denominator;
        Exact startPpq;
        double seconds;
        std::vector<HostStep> steps {};
        double resolution = 0.0;          // the host rounds its position to this
        int blockSize = 512;
        std::int64_t markerDelay = 0;     // the marker starts this many samples late
        bool gridLockAtStart = true;
        float sliceIndex = 1.0f;          // "1/64"
    };

    std::int64_t totalSamples (const GridCase& c)
    {
        return (std::int64_t) (c.seconds * c.rate);
    }

    float marker (std::int64_t n)
    {
        constexpr std::int64_t period = 9973;
        return 0.1f + 0.4f * (float) (((n % period) + period) % period) / (float) period;
    }

    /** The 10 ms edge fade-in. */
    int fadeIn (double rate)
    {
        return (int) (rate * 0.01);
    }

    /** Past the fade-in, well inside the shortest slice used here. */
    int lookAhead (double rate)
    {
        return (int) (rate * 0.0102);
    }

    std::unique_ptr<brakkle::host::HostedPlugin> loadWithSettings (const GridCase& c, bool playing)
    {
        auto plugin = loadBrakkle (1, c.rate, c.blockSize);
        if (plugin == nullptr)
            return plugin;

        setPlain (*plugin, ParameterIds::gridLock, c.gridLockAtStart ? 1.0f : 0.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, c.sliceIndex);
        setPlain (*plugin, ParameterIds::refreshSync, c.refreshIndex >= 0.0f ? 1.0f : 0.0f);
        if (c.refreshIndex >= 0.0f)
            setPlain (*plugin, ParameterIds::refreshTimeBpm, c.refreshIndex);
        else
            setPlain (*plugin, ParameterIds::refreshTimeFree, c.refreshFreeMs);

        auto& transport = plugin->transport();
        transport.bpm = c.bpm.toDouble();
        transport.playing = playing;
        transport.numerator = c.numerator;
        transport.denominator = c.denominator;
        transport.positionResolution = c.resolution;
        transport.locate (c.startPpq.toDouble());
        return plugin;
    }

    struct Rendered
    {
        std::vector<std::int64_t> starts;
        std::vector<float> output, passedOutput;   // kept on request
    };

    /** Plays the marker through Brakkle (Grid Lock on or off) and through a
        stopped instance alongside, and finds the cycle starts. */
    Rendered render (const GridCase& c, bool keepOutput = false)
    {
        Rendered result;
        auto plugin = loadWithSettings (c, true);
        auto passing = loadWithSettings (c, false);
        if (plugin == nullptr || passing == nullptr)
            return result;

        const auto total = totalSamples (c);
        const int ahead = lookAhead (c.rate), fade = fadeIn (c.rate);
        std::optional<std::int64_t> candidate;   // the last zero, while it may be a start
        juce::AudioBuffer<float> played (1, c.blockSize), passed (1, c.blockSize);

        if (keepOutput)
        {
            result.output.reserve ((size_t) total);
            result.passedOutput.reserve ((size_t) total);
        }

        for (std::int64_t start = 0; start < total; start += c.blockSize)
        {
            for (const auto& step : c.steps)
            {
                if (step.at != start)
                    continue;
                if (step.newBpm)
                    plugin->transport().bpm = step.newBpm->toDouble();
                if (step.locateTo)
                    plugin->transport().locate (step.locateTo->toDouble());
                if (step.gridLock)
                    setPlain (*plugin, ParameterIds::gridLock, *step.gridLock ? 1.0f : 0.0f);
            }

            const int n = (int) std::min<std::int64_t> (c.blockSize, total - start);
            played.setSize (1, n, false, false, true);
            passed.setSize (1, n, false, false, true);
            for (int i = 0; i < n; ++i)
                played.setSample (0, i, marker (start + i - c.markerDelay));
            passed.makeCopyOf (played, true);

            plugin->process (played);
            passing->process (passed);

            for (int i = 0; i < n; ++i)
            {
                const auto at = start + i;
                const float out = played.getSample (0, i);

                // A zero with another one soon after (a repeat that the next
                // cycle cuts short) is no start, nor one where the input
                // passes before the fade-in is over (a repeat cut by a jump).
                const bool asPassed = juce::exactlyEqual (out, passed.getSample (0, i));

                if (juce::exactlyEqual (out, 0.0f))
                    candidate = at;
                else if (candidate && at < *candidate + fade && asPassed)
                    candidate.reset();

                if (candidate && *candidate + ahead == at)
                {
                    if (asPassed)
                        result.starts.push_back (*candidate);
                    candidate.reset();
                }

                if (keepOutput)
                {
                    result.output.push_back (out);
                    result.passedOutput.push_back (passed.getSample (0, i));
                }
            }
        }

        return result;
    }

    /** The refresh lines in quarter notes up to `until`: every bar line and the
        multiples of the period after it within its bar, or, for a period longer
        than the bar, the multiples of the period from 0. Bars count from 0. */
    std::vector<Exact> refreshLines (const GridCase& c, Exact until)
    {
        const Exact period = c.refreshIndex >= 0.0f
                               ? std::array<Exact, 20> { Exact (1, 24), Exact (1, 16), Exact (3, 32), Exact (1, 12), Exact (1, 8),
                                                         Exact (3, 16), Exact (1, 6), Exact (1, 4), Exact (3, 8), Exact (1, 3),
                                                         Exact (1, 2), Exact (3, 4), Exact (2, 3), Exact (1), Exact (3, 2),
                                                         Exact (4, 3), Exact (2), Exact (3), Exact (4), Exact (8) }[(size_t) c.refreshIndex]
                               : Exact ((std::int64_t) c.refreshFreeMs, 1000) * c.bpm / Exact (60);
        const Exact bar (4 * c.numerator, c.denominator);
        std::vector<Exact> lines;

        if (bar < period)
        {
            for (Exact line; line < until; line = line + period)
                lines.push_back (line);
            return lines;
        }

        for (Exact barLine; barLine < until; barLine = barLine + bar)
            for (Exact offset; offset < bar; offset = offset + period)
                lines.push_back (barLine + offset);

        return lines;
    }

    /** The first sample at or past each line, along the host's timeline: it
        plays from the start position, and each step is a jump or a new tempo
        from its sample on. Only starts that can be seen are listed. */
    std::vector<std::int64_t> expectedStarts (const GridCase& c)
    {
        const auto total = totalSamples (c);
        const Exact rate ((std::int64_t) c.rate);

        struct Stretch { std::int64_t from; Exact ppq, bpm; };
        std::vector<Stretch> stretches { { 0, c.startPpq, c.bpm } };

        for (const auto& step : c.steps)
        {
            const auto& last = stretches.back();
            const Exact reached = last.ppq + Exact (step.at - last.from) * last.bpm / (Exact (60) * rate);
            stretches.push_back ({ step.at, step.locateTo.value_or (reached), step.newBpm.value_or (last.bpm) });
        }

        // Lines far enough for any stretch played to the end at its tempo.
        Exact farthest;
        for (const auto& s : stretches)
            if (const auto reach = s.ppq + Exact (total) * s.bpm / (Exact (60) * rate); farthest < reach)
                farthest = reach;

        const auto lines = refreshLines (c, farthest);
        std::vector<std::int64_t> starts;

        for (size_t i = 0; i < stretches.size(); ++i)
        {
            const auto& s = stretches[i];
            const auto end = i + 1 < stretches.size() ? stretches[i + 1].from : total;

            for (const auto& line : lines)
            {
                if (line < s.ppq)
                    continue;

                const auto sample = s.from + ((line - s.ppq) * Exact (60) * rate / s.bpm).ceil();
                if (sample >= end || sample + lookAhead (c.rate) >= total)
                    break;
                starts.push_back (sample);
            }
        }

        return starts;
    }

    std::string describe (const std::vector<std::int64_t>& actual, const std::vector<std::int64_t>& expected)
    {
        for (size_t i = 0; i < std::max (actual.size(), expected.size()); ++i)
        {
            const auto a = i < actual.size() ? std::to_string (actual[i]) : "none";
            const auto e = i < expected.size() ? std::to_string (expected[i]) : "none";
            if (a != e)
                return "cycle start " + std::to_string (i) + " at " + a + ", expected at " + e
                     + " (" + std::to_string (actual.size()) + " starts, expected " + std::to_string (expected.size()) + ")";
        }
        return {};
    }

    const Exact at120 (120), at128 (128);
    constexpr float quarter = 13.0f, tripletEighth = 9.0f, dottedQuarter = 14.0f, half = 16.0f,
                    dottedHalf = 17.0f, oneBar = 18.0f, twoBars = 19.0f, freeTime = -1.0f;
}

TEST (GridLock, CyclesStartOnTheHostsRefreshLines)
{
    const GridCase cases[] = {
        { "1/4, 4/4, 120 BPM", 44100.0, at120, quarter, 0, 4, 4, Exact (0), 6.0 },
        { "1/8 T, 128 BPM: lines a third of a quarter apart", 44100.0, at128, tripletEighth, 0, 4, 4, Exact (0), 4.0 },
        { "1/4 D starts again at each bar line", 44100.0, Exact (90), dottedQuarter, 0, 4, 4, Exact (0), 8.0 },
        { "1/2 D at 48 kHz", 48000.0, Exact (14150, 100), dottedHalf, 0, 4, 4, Exact (0), 8.0 },
        { "1/2 in 3/4", 44100.0, Exact (100), half, 0, 3, 4, Exact (0), 8.0 },
        { "1/4 in 7/8", 48000.0, Exact (137), quarter, 0, 7, 8, Exact (0), 8.0 },
        { "1 BAR in 3/4 is longer than the bar: multiples from 0", 44100.0, Exact (150), oneBar, 0, 3, 4, Exact (0), 8.0 },
        { "2 BARS in 4/4", 44100.0, Exact (160), twoBars, 0, 4, 4, Exact (0), 13.0 },
        { "free 250 ms at 123 BPM", 44100.0, Exact (123), freeTime, 250.0f, 4, 4, Exact (0), 6.0 },
        { "free 700 ms at 96 BPM in 7/8", 48000.0, Exact (96), freeTime, 700.0f, 7, 8, Exact (0), 8.0 },
        { "pre-roll of 1776 samples", 44100.0, at128, quarter, 0, 4, 4, Exact (-1776) * at128 / Exact (60 * 44100), 3.0 },
        { "start mid-bar", 44100.0, at120, quarter, 0, 4, 4, Exact (13, 10), 4.0 },
        { "start mid-bar in 7/8 after a long pre-roll", 44100.0, at120, dottedQuarter, 0, 7, 8, Exact (-27, 4), 8.0 },
        { "locate forward and back", 44100.0, at120, quarter, 0, 4, 4, Exact (0), 8.0,
          { { 512 * 100, Exact (37, 2), {} }, { 512 * 300, Exact (3, 4), {} } } },
        { "a loop from 1.25 to 7 quarters wrapping", 44100.0, Exact (105), tripletEighth, 0, 4, 4, Exact (0), 12.0,
          { { 7 * 25200, Exact (5, 4), {} }, { 7 * 25200 + 23 * 6300, Exact (5, 4), {} },
            { 7 * 25200 + 2 * 23 * 6300, Exact (5, 4), {} } }, 0.0, 300 },
        { "tempo changes while playing", 44100.0, at120, tripletEighth, 0, 4, 4, Exact (0), 10.0,
          { { 512 * 60, {}, Exact (150) }, { 512 * 150, {}, Exact (1504, 10) }, { 512 * 300, {}, Exact (9733, 100) },
            { 512 * 500, {}, Exact (180) } } },
        { "ten minutes at 128 BPM without drift", 44100.0, at128, quarter, 0, 4, 4, Exact (0), 600.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto rendered = render (c);
        const auto expected = expectedStarts (c);
        ASSERT_GT (expected.size(), 3u);
        EXPECT_EQ (describe (rendered.starts, expected), "");
    }
}

TEST (GridLock, PrerollGivesTheSameSamplesAsStartingOnTheLine)
{
    // A DAW that plays 1776 samples before position 0: the wet path passes them,
    // and from position 0 on the output is the render that started there.
    const GridCase onTheLine { "start at 0", 44100.0, at128, quarter, 0, 4, 4, Exact (0), 6.0, {}, 0.0, 1024 };
    auto preroll = onTheLine;
    preroll.startPpq = Exact (-1776) * at128 / Exact (60 * 44100);
    preroll.markerDelay = 1776;

    const auto withPreroll = render (preroll, true);
    const auto withoutPreroll = render (onTheLine, true);
    ASSERT_FALSE (withPreroll.output.empty());

    for (size_t i = 0; i < 1776; ++i)
        ASSERT_EQ (withPreroll.output[i], withPreroll.passedOutput[i]) << "pre-roll sample " << i;

    for (size_t i = 0; i + 1776 < withPreroll.output.size(); ++i)
        ASSERT_EQ (withPreroll.output[i + 1776], withoutPreroll.output[i]) << "sample " << i << " after position 0";
}

TEST (GridLock, AHostThatRoundsItsPositionGivesTheSameSamples)
{
    // One host rounds its quarter-note position to 1/1920: up to 6 samples at
    // 120 BPM. Rounded near a bar line the last bar start is off by a whole bar.
    GridCase exact { "exact", 44100.0, at128, tripletEighth, 0, 7, 8, Exact (0), 40.0,
                     { { 512 * 500, {}, Exact (13333, 100) }, { 512 * 1500, Exact (3, 2), {} } } };
    auto rounded = exact;
    rounded.resolution = 1.0 / 1920.0;

    const auto a = render (exact, true);
    const auto b = render (rounded, true);
    ASSERT_EQ (a.output.size(), b.output.size());
    ASSERT_GT (a.starts.size(), 100u);

    for (size_t i = 0; i < a.output.size(); ++i)
        ASSERT_EQ (a.output[i], b.output[i]) << "sample " << i;
}

TEST (GridLock, SwitchedWhilePlayingTheRunningCycleGoesOn)
{
    // On while playing: the running cycle is not broken off for a wait, it ends
    // on the next line. Off: the cycle ends where it was heading and free-running
    // cycles of "1/4" at 128 BPM (20671 samples) follow.
    constexpr std::int64_t on = 512 * 1000, off = 512 * 2000, freePeriod = 20671;
    GridCase c { "switched", 44100.0, at128, quarter, 0, 4, 4, Exact (0), 60.0,
                 { { on, {}, {}, true }, { off, {}, {}, false } } };
    c.gridLockAtStart = false;

    const auto rendered = render (c, true);
    ASSERT_FALSE (rendered.output.empty());

    // At the switch the running cycle was repeating its slice, and goes on doing so.
    for (auto i = on; i < on + 100; ++i)
        ASSERT_NE (rendered.output[(size_t) i], rendered.passedOutput[(size_t) i]) << "sample " << i;

    std::vector<std::int64_t> whileOn, afterOff, expectedOn, expectedAfterOff;
    for (auto s : rendered.starts)
        (s >= off ? afterOff : whileOn).push_back (s);
    whileOn.erase (whileOn.begin(), std::lower_bound (whileOn.begin(), whileOn.end(), on));

    // Lines are whole quarters at 20671.875 samples each.
    for (std::int64_t k = 0; k * 165375 / 8 < totalSamples (c); ++k)
    {
        const auto line = (k * 165375 + 7) / 8;
        if (line >= on && line < off)
            expectedOn.push_back (line);
        if (line >= off && expectedAfterOff.empty())
            expectedAfterOff.push_back (line);
    }
    while (expectedAfterOff.back() + freePeriod + lookAhead (c.rate) < totalSamples (c))
        expectedAfterOff.push_back (expectedAfterOff.back() + freePeriod);

    EXPECT_EQ (describe (whileOn, expectedOn), "");
    EXPECT_EQ (describe (afterOff, expectedAfterOff), "");
}

TEST (GridLock, ACycleCutBeforeItsSliceIsFullFadesIntoTheLine)
{
    // "1/2 D" in 4/4 starts again at each bar line: the last quarter of every
    // bar is a cycle shorter than a "1/2" slice, cut while it still records.
    GridCase c { "cut short", 44100.0, at120, dottedHalf, 0, 4, 4, Exact (0), 8.0 };
    c.sliceIndex = half;

    const auto rendered = render (c, true);
    const auto lines = expectedStarts (c);
    ASSERT_EQ (describe (rendered.starts, lines), "");

    // The sample before each line has faded to (nearly) nothing, as before any slice start.
    for (auto line : lines)
    {
        if (line == 0)
            continue;
        EXPECT_LT (std::abs (rendered.output[(size_t) line - 1]), 0.005f) << "before the line at " << line;
    }
}

TEST (GridLock, WithoutAMusicalPositionItChangesNothing)
{
    // A host that reports tempo and transport but no musical position: Grid Lock
    // on sounds exactly as Grid Lock off (where the position is not read).
    const auto input = brakkle::test::noise (2, 44100 * 6, 11);
    juce::AudioBuffer<float> outputs[2];

    for (int on = 0; on < 2; ++on)
    {
        auto plugin = loadBrakkle (2, 44100.0, 500);
        ASSERT_NE (plugin, nullptr);
        setPlain (*plugin, ParameterIds::gridLock, (float) on);
        setPlain (*plugin, ParameterIds::refreshTimeBpm, quarter);
        auto& transport = plugin->transport();
        transport.hasMusicalPosition = on == 0;
        transport.bpm = 128.0;
        transport.locate (1.3);

        outputs[on] = brakkle::test::renderInBlocks (*plugin, input, { 500, 333, 417 }, [&] (int start)
        {
            transport.playing = start < 44100 * 3 || start >= 44100 * 4;   // a second stopped
            if (start >= 44100 * 5)
                transport.bpm = 97.0;
        });
    }

    EXPECT_EQ (brakkle::test::firstDifference (outputs[1], outputs[0]), "");
}
