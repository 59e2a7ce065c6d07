// The timing half of the engine alone: host reports go in block by block, the
// plan comes out, and no audio is involved. Each row is a host situation (a
// start mid-bar, a locate, a held pre-roll, fills, Grid Lock switched) and
// the cycles the plan starts there, with their lines on the song grid, are
// compared with places worked out from exact rational arithmetic on the song
// positions: at 120 BPM and 44.1 kHz a quarter note is exactly 22050 samples.

#include "support/Exact.h"

#include "engine/CycleTiming.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

using brakkle::CycleSpec;
using brakkle::CycleTiming;
using brakkle::PlanStep;
using brakkle::TimingEvent;
using brakkle::TimingSettings;
using brakkle::test::Exact;

namespace
{
    constexpr double rate = 44100.0;
    constexpr std::int64_t quarter = 22050;   // samples per quarter note at 120 BPM

    /** Whole blocks of 512 samples covering at least `samples`: what play() plays. */
    constexpr std::int64_t inBlocks (std::int64_t samples) { return (samples + 511) / 512 * 512; }

    /** A host that reports its position at each block's start. */
    struct Host
    {
        Exact ppq { 0 };
        double bpm = 120.0;
        int blockSize = 512;
        bool reportsPosition = true;
        bool moving = true;            // false: the position stands still (a held pre-roll)
    };

    /** A step of the plan at its sample on the timeline (from playback's start). */
    struct Seen
    {
        std::int64_t at;
        PlanStep step;
    };

    using BeforeBlock = std::function<void (std::int64_t blockStart, Host&, TimingSettings&)>;

    /** Plays `total` samples through a freshly stopped timing and collects every step. */
    std::vector<Seen> play (TimingSettings settings, Host host, std::int64_t total, const BeforeBlock& beforeBlock = {})
    {
        CycleTiming timing;
        timing.prepare (rate);
        timing.stop (settings);

        brakkle::BlockPlan plan;
        std::vector<Seen> seen;
        int keptBefore = 0;

        for (std::int64_t start = 0; start < total; start += host.blockSize)
        {
            if (beforeBlock)
                beforeBlock (start, host, settings);

            brakkle::MusicalPosition position;
            position.ppq = host.ppq.toDouble();
            position.bpm = host.bpm;
            position.hasBarStart = true;
            position.barStartPpq = 4.0 * std::floor (position.ppq / 4.0);

            // The player keeps every playing block's input.
            const brakkle::BlockReport report { host.blockSize, (float) host.bpm, host.reportsPosition ? &position : nullptr,
                                                { keptBefore, true } };

            timing.beginBlock (report, settings, plan);
            for (bool done = false; ! done; plan.restartAt (plan.end))
            {
                done = timing.planMore (plan);
                for (int i = 0; i < plan.count; ++i)
                    seen.push_back ({ start + plan.steps[(size_t) i].frame, plan.steps[(size_t) i] });
            }

            timing.endBlock();
            keptBefore = host.blockSize;

            if (host.moving)
                host.ppq = host.ppq + Exact (host.blockSize * (std::int64_t) std::llround (host.bpm), 60 * (std::int64_t) rate);
        }

        return seen;
    }

    /** Where each cycle the plan starts began (a taken-up cycle began before its block). */
    std::vector<std::int64_t> cycleStarts (const std::vector<Seen>& seen)
    {
        std::vector<std::int64_t> starts;
        for (const auto& s : seen)
            if (s.step.kind == PlanStep::Kind::startCycle || s.step.kind == PlanStep::Kind::takeUpCycle)
                starts.push_back (s.at - s.step.samplesAgo);
        return starts;
    }

    std::vector<std::int64_t> stepsOf (const std::vector<Seen>& seen, PlanStep::Kind kind)
    {
        std::vector<std::int64_t> at;
        for (const auto& s : seen)
            if (s.step.kind == kind)
                at.push_back (s.at);
        return at;
    }

    std::vector<std::int64_t> marksOf (const std::vector<Seen>& seen, TimingEvent::Kind kind)
    {
        std::vector<std::int64_t> at;
        for (const auto& s : seen)
            if (s.step.kind == PlanStep::Kind::mark && s.step.markKind == kind)
                at.push_back (s.at);
        return at;
    }

    /** The samples of lines every `period` quarters (and their positions), for a
        playback that started at `startPpq`, from `first` on, below `total`. */
    std::vector<std::int64_t> linesFrom (Exact startPpq, Exact first, Exact period, std::int64_t total)
    {
        std::vector<std::int64_t> samples;
        for (Exact line = first; ; line = line + period)
        {
            const auto at = ((line - startPpq) * Exact (quarter)).ceil();
            if (at >= total)
                return samples;
            samples.push_back (at);
        }
    }

    TimingSettings onGrid (float refreshIndex)
    {
        TimingSettings s;
        s.gridLock = true;
        s.refreshTimeBpm = refreshIndex;
        s.stutterTimeBpm = 7.0f;   // "1/16"
        return s;
    }

    constexpr float quarterNote = 13.0f, twoBars = 19.0f;
}

TEST (Timing, CyclesStartOnTheLinesOfTheSongGrid)
{
    // Where playback starts decides only where the input passes first: the
    // lines themselves count from the song's start ("2 BARS" falls on bars 1,
    // 3, 5, ..., whichever bar playback began in).
    struct Row
    {
        const char* name;
        float refreshIndex;
        Exact startPpq, firstLine, period;
    };

    const Row rows[] = {
        { "1/4 from beat 0.5", quarterNote, Exact (1, 2), Exact (1), Exact (1) },
        { "1/4 from the song's start", quarterNote, Exact (0), Exact (0), Exact (1) },
        { "2 BARS from bar 2", twoBars, Exact (4), Exact (8), Exact (8) },
        { "2 BARS from bar 3", twoBars, Exact (8), Exact (8), Exact (8) },
        { "2 BARS from bar 6", twoBars, Exact (20), Exact (24), Exact (8) },
        { "1/8 T from beat 2.1", 9.0f, Exact (21, 10), Exact (7, 3), Exact (1, 3) },
    };

    const std::int64_t total = inBlocks (12 * quarter);

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        Host host;
        host.ppq = row.startPpq;
        const auto seen = play (onGrid (row.refreshIndex), host, total);

        const auto expected = linesFrom (row.startPpq, row.firstLine, row.period, total);
        EXPECT_EQ (cycleStarts (seen), expected);

        // Each cycle knows its line, and the input passes until the first one.
        Exact line = row.firstLine;
        for (const auto& s : seen)
        {
            if (s.step.kind != PlanStep::Kind::startCycle)
                continue;
            EXPECT_NEAR (s.step.cycle.line, line.toDouble(), 1.0e-9) << "at " << s.at;
            line = line + row.period;
        }

        const bool startsOnLine = expected.front() == 0;
        EXPECT_EQ (marksOf (seen, TimingEvent::Kind::inputPasses).empty(), startsOnLine);
    }
}

TEST (Timing, HostMovesLeadToTheirTransitions)
{
    // What a host does while playing, reported once per block, and the
    // transition the plan shows for it.
    const std::int64_t total = inBlocks (8 * quarter);
    const auto at = [] (std::int64_t blocks) { return blocks * 512; };

    {
        SCOPED_TRACE ("a locate to 100 samples past a line takes that line's cycle up");
        Host host;
        const auto seen = play (onGrid (quarterNote), host, total, [&] (auto start, Host& h, auto&) {
            if (start == at (60))
                h.ppq = Exact (3) + Exact (100, quarter);
        });

        const auto cut = stepsOf (seen, PlanStep::Kind::cutCycle);
        ASSERT_EQ (cut, std::vector<std::int64_t> { at (60) });

        bool tookUp = false;
        for (const auto& s : seen)
        {
            if (s.step.kind == PlanStep::Kind::takeUpCycle)
            {
                tookUp = true;
                EXPECT_EQ (s.at, at (60));
                EXPECT_EQ (s.step.samplesAgo, 100);
                EXPECT_NEAR (s.step.cycle.line, 3.0, 1.0e-9);
                EXPECT_EQ (s.step.cycle.period, quarter);   // it still ends on the next line
            }
        }
        EXPECT_TRUE (tookUp);
    }

    {
        SCOPED_TRACE ("a held pre-roll passes the input; the moving song starts on its first line");
        Host host;
        host.ppq = Exact (-1, 4);
        const auto seen = play (onGrid (quarterNote), host, total, [&] (auto start, Host& h, auto&) {
            h.moving = start >= at (10);
        });

        EXPECT_TRUE (stepsOf (seen, PlanStep::Kind::cutCycle).empty());
        ASSERT_FALSE (cycleStarts (seen).empty());
        // The song moves from the block after the hold, one block past -1/4; its first line is 0.
        const auto moveStart = at (11);
        const auto firstLine = moveStart + ((Exact (0) - (Exact (-1, 4) + Exact (512, quarter))) * Exact (quarter)).ceil();
        EXPECT_EQ (cycleStarts (seen).front(), firstLine);
    }

    {
        SCOPED_TRACE ("chance 0 skips every line and the input passes throughout");
        auto settings = onGrid (quarterNote);
        settings.fills = brakkle::FillSettings::fromValues (0.0f, 16.0f, 0.0f, 1.0f);
        const auto seen = play (settings, Host {}, total);

        EXPECT_TRUE (cycleStarts (seen).empty());
        EXPECT_EQ (marksOf (seen, TimingEvent::Kind::cycleSkipped), linesFrom (Exact (0), Exact (0), Exact (1), total));
    }

    {
        SCOPED_TRACE ("Grid Lock switched off during a wait starts a cycle that crossfades out of the input");
        Host host;
        host.ppq = Exact (1, 2);
        const auto seen = play (onGrid (quarterNote), host, total, [&] (auto start, auto&, TimingSettings& s) {
            s.gridLock = start < at (5);
        });

        ASSERT_FALSE (cycleStarts (seen).empty());
        EXPECT_EQ (cycleStarts (seen).front(), at (5));
        for (const auto& s : seen)
        {
            if (s.step.kind == PlanStep::Kind::startCycle && s.at == at (5))
            {
                EXPECT_TRUE (s.step.cycle.entersFromInput);
            }
        }
        EXPECT_EQ (marksOf (seen, TimingEvent::Kind::inputEnds), std::vector<std::int64_t> { at (5) });
    }

    {
        SCOPED_TRACE ("Grid Lock switched on while a gated free-running cycle repeats cuts it with a crossfade");
        auto settings = onGrid (quarterNote);
        settings.gridLock = false;
        settings.fills = brakkle::FillSettings::fromValues (0.0f, 12.0f, 100.0f, 1.0f);
        Host host;
        host.ppq = Exact (1, 2);
        const auto seen = play (settings, host, total, [&] (auto start, auto&, TimingSettings& s) {
            s.gridLock = start >= at (15);
        });

        EXPECT_EQ (stepsOf (seen, PlanStep::Kind::cutCycle), std::vector<std::int64_t> { at (15) });
        // Free-running from 0; the input passes from the cut until the grid's
        // first line, beat 1 (11025 samples in).
        const auto starts = cycleStarts (seen);
        ASSERT_GE (starts.size(), 2u);
        EXPECT_EQ (starts[0], 0);
        EXPECT_EQ (starts[1], quarter / 2);
        EXPECT_EQ (stepsOf (seen, PlanStep::Kind::passInput).front(), at (15));
    }
}

TEST (Timing, FreeRunningFillsShapeEachPeriod)
{
    // Running free, cycles come every refresh period from the first playing
    // sample; an offset passes the input first and a gate passes it after its
    // share. Expected places from the shares of a 22050-sample period.
    struct Row
    {
        const char* name;
        float offset, gate;
        std::int64_t firstStart;   // after the lead-in
        int period;                // each cycle's length
    };

    const Row rows[] = {
        { "no fills", 0.0f, 16.0f, 0, (int) quarter },
        { "offset 4/16", 4.0f, 16.0f, quarter * 4 / 16, (int) quarter },
        { "gate 8/16", 0.0f, 8.0f, 0, (int) (quarter * 8 / 16) },
        { "offset 4/16, gate 8/16", 4.0f, 8.0f, quarter * 4 / 16, (int) (quarter * 8 / 16) },
    };

    const std::int64_t total = inBlocks (6 * quarter);

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        TimingSettings settings;
        settings.fills = brakkle::FillSettings::fromValues (row.offset, row.gate, 100.0f, 1.0f);
        Host host;
        host.reportsPosition = false;
        const auto seen = play (settings, host, total);

        std::vector<std::int64_t> expected;
        for (auto s = row.firstStart; s < total; s += quarter)
            expected.push_back (s);

        EXPECT_EQ (cycleStarts (seen), expected);

        const bool gated = row.period < quarter;
        for (const auto& s : seen)
        {
            if (s.step.kind != PlanStep::Kind::startCycle && s.step.kind != PlanStep::Kind::retimeCycle)
                continue;
            EXPECT_EQ (s.step.cycle.period, row.period) << "at " << s.at;
            EXPECT_EQ (s.step.cycle.exitsIntoInput, gated) << "at " << s.at;
            const bool afterPass = gated ? s.at > 0 : row.offset > 0.0f && s.at == row.firstStart;
            EXPECT_EQ (s.step.cycle.entersFromInput, afterPass) << "at " << s.at;
        }

        std::vector<std::int64_t> gateEnds;
        if (gated)
            for (auto s : expected)
                if (s + row.period < total)
                    gateEnds.push_back (s + row.period);
        EXPECT_EQ (marksOf (seen, TimingEvent::Kind::gateEnds), gateEnds);
    }
}

TEST (Timing, ABlockWithMoreCyclesThanAPlanHoldsIsPlannedInParts)
{
    // "1/64 T" cycles at 900 BPM (122 samples) in blocks of 8192: more steps
    // than one plan holds. Planned in parts, the cycles start where blocks of
    // 64 put them.
    TimingSettings settings;
    settings.refreshTimeBpm = 0.0f;   // "1/64 T"
    settings.stutterTimeBpm = 0.0f;
    Host host;
    host.bpm = 900.0;
    host.reportsPosition = false;

    auto small = host;
    small.blockSize = 64;
    auto large = host;
    large.blockSize = 8192;

    const auto fromSmall = cycleStarts (play (settings, small, 8192 * 4));
    const auto fromLarge = cycleStarts (play (settings, large, 8192 * 4));
    EXPECT_GT (fromLarge.size(), 250u);
    EXPECT_EQ (fromLarge, fromSmall);

    const int period = (int) ((60.0f / 900.0f) * (1.0f / 24.0f) * 44100.0f);   // 122
    for (size_t i = 1; i < fromLarge.size(); ++i)
        EXPECT_EQ (fromLarge[i] - fromLarge[i - 1], period);
}
