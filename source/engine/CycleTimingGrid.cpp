// CycleTiming on the grid: cycles start on the host's refresh lines (BeatGrid).

#include "CycleTiming.h"

#include "NoteDivisions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace brakkle
{

void CycleTiming::beginGridBlock (const MusicalPosition& position, BlockPlan& plan) noexcept
{
    // The host's tempo holds from the block's first sample, before any cycle starts.
    adoptTempo();

    const bool cameFromFree = now == Situation::runningFree || now == Situation::passingFree;

    // passingFree -> waitingForLine: fills that ran free were passing the input,
    // and it goes on passing until the first line. A gated free-running cycle
    // still repeating fades out into that input, as every cut cycle does.
    if (now == Situation::passingFree || (now == Situation::runningFree && freeGateRest > 0))
    {
        if (now == Situation::runningFree)
            cutRunningCycle (plan);

        freePassLeft = freeGateRest = 0;
        enterWait (0, Situation::waitingForLine, plan);
    }

    const auto change = grid.beginBlock (position, ! cycleRuns());
    barBeats = (float) grid.barLength();
    followHostChange (change, cameFromFree, plan);

    if (now == Situation::waitingForLine || now == Situation::lineDeferred)
        takeUpDeferredLine (grid.startsOnLine (position, gridPeriod()), plan);
}

void CycleTiming::followHostChange (BeatGrid::Change change, bool cameFromFree, BlockPlan& plan) noexcept
{
    using Change = BeatGrid::Change;

    if (change == Change::held)
    {
        // -> held: standing still while playing (a held pre-roll). A running
        // cycle fades out; nothing is recorded until the song moves.
        if (cycleRuns())
            cutRunningCycle (plan);
        enterWait (0, Situation::held, plan);
        return;
    }

    if (now == Situation::held)
        now = Situation::waitingForLine;

    if (change == Change::locked && ! cameFromFree)
    {
        followJump (plan);
        return;
    }

    // Switched on while playing, or playing on: the running cycle ends on the
    // first line ahead (a tempo, the bars or the host's loop may have moved it).
    if (cycleRuns())
        steerCycleToGrid (plan);
}

void CycleTiming::followJump (BlockPlan& plan) noexcept
{
    // A start, a locate, a loop wrap the host did not announce, or the end of a
    // held position. A line less than a block back still owns its cycle: it is
    // taken up from the kept input, so no cycle is lost and its repeats sit on
    // the grid. Otherwise the input passes until the next line.
    const bool running = now == Situation::runningOnGrid;
    if (now == Situation::lineDeferred)
        now = Situation::waitingForLine;

    const auto blockStart = grid.blockStart();
    const auto line = grid.recentLineSample (report.kept.previous, gridPeriod());
    auto samplesAgo = line >= 0 ? blockStart - line : -1;

    if (running && samplesAgo > 0 && counter == samplesAgo)
    {
        // The running cycle began on that very line: it goes on.
        steerCycleToGrid (plan);
        return;
    }

    // A cycle that chance skips, or whose gate is already over, passes the input.
    if (samplesAgo > 0 && ! takesUpLine (line))
        samplesAgo = -1;

    if (running)
        cutRunningCycle (plan);
    else if (samplesAgo > 0 && now != Situation::armed)
        add (plan, PlanStep::Kind::crossfadeFromInput, 0);

    if (samplesAgo > 0)
        takeUpCycle ((int) samplesAgo, false, plan);
    else if (samplesAgo == 0 && repeatsOnLine (lineStartingAt (blockStart)))
        startGridCycle (blockStart, ! running, plan);   // after a cut cycle, its fade-out is the crossfade
    else
        enterWait (0, Situation::waitingForLine, plan);
}

void CycleTiming::takeUpDeferredLine (bool hostStartsOnLine, BlockPlan& plan) noexcept
{
    // lineDeferred -> runningOnGrid: the line put off at the end of the last
    // block, which the host's report now places at this block's start or a few
    // samples before it. Otherwise the wait goes on.
    const bool deferred = now == Situation::lineDeferred;
    now = Situation::waitingForLine;

    if (! deferred || hostStartsOnLine)
        return;

    const auto line = grid.recentLineSample (grid.roundingInSamples(), gridPeriod());
    if (line < 0 || line >= grid.blockStart() || ! takesUpLine (line))
        return;

    // The input passed up to here: the cycle's own crossfade from it goes on.
    takeUpCycle ((int) (grid.blockStart() - line), true, plan);
}

void CycleTiming::leaveGrid (BlockPlan& plan) noexcept
{
    // -> runningFree: Grid Lock switched off or the host's position gone. A
    // running cycle ends where it was heading and free-running cycles follow;
    // a wait ends at once, its input crossfading into a fresh cycle. A
    // crossfade under way (a hand-over just before) plays to its end.
    grid.unlock();
    barBeats = noteDivisionBeats[oneBarNoteDivision];
    exitsIntoInput = false;

    if (isWaiting())
    {
        resetCycle();
        entersFromInput = true;
        PlanStep step;
        step.kind = PlanStep::Kind::startCycle;
        step.cycle = cycleSpec (true);
        plan.add (step);
        mark (plan, TimingEvent::Kind::inputEnds, 0);
    }
    else
    {
        retime (plan, 0);
    }

    now = Situation::runningFree;
    reportedPassing = false;
}

//==============================================================================
int CycleTiming::waitForLine (int at, BlockPlan& plan) noexcept
{
    // The input passes until the first line.
    const int numSamples = report.numSamples;

    if (now == Situation::held)
        return numSamples;

    const auto blockStart = grid.blockStart();
    const auto next = grid.nextBoundary (blockStart + at, gridPeriod());

    // A line in the last few samples of a block may lie there only by the
    // rounding of the host's report: the next block, reported on or past it,
    // places it exactly (taken up from the kept input if it lies before).
    // Lines that follow from an exact report start where they fall.
    const int rounding = grid.roundingInSamples();
    const bool mayBeRounding = ! next.wraps && ! grid.isLockExact() && numSamples > 2 * rounding && report.kept.current
                            && next.sample - blockStart >= numSamples - rounding;
    const bool deferred = mayBeRounding && next.sample - blockStart < numSamples;

    if (next.sample - blockStart >= numSamples || deferred)
    {
        resetCycle();
        now = deferred ? Situation::lineDeferred : Situation::waitingForLine;
        return numSamples;
    }

    const int lineFrame = (int) (next.sample - blockStart);

    if (next.wraps)
    {
        grid.wrapLoop (next.sample);
        if (! next.lineAtWrap)
            return lineFrame;
    }

    if (! repeatsOnLine (next.line))
    {
        // Chance skips this cycle: the input passes on, through its line.
        mark (plan, TimingEvent::Kind::cycleSkipped, lineFrame);
        return lineFrame + 1;
    }

    startGridCycle (next.sample, true, plan);
    return lineFrame;
}

bool CycleTiming::beginNextGridCycle (int at, BlockPlan& plan) noexcept
{
    // The running cycle ends here: on a line, or where the host's loop wraps.
    const auto sample = grid.blockStart() + at;
    if (grid.loopWrapSampleFrom (sample) == sample)
        grid.wrapLoop (sample);

    if (cycleGated)
        mark (plan, TimingEvent::Kind::gateEnds, at);

    // runningOnGrid -> waitingForLine: a cycle that ends at its gate, before a
    // cycle that chance skips or at a wrap to no line hands over to the input
    // (its fade-out was already the crossfade).
    if (exitsIntoInput || grid.firstLineSampleFrom (sample, gridPeriod()) != sample)
    {
        enterWait (at, Situation::waitingForLine, plan);
        return false;
    }

    startGridCycle (sample, false, plan);
    return true;
}

void CycleTiming::startGridCycle (std::int64_t at, bool afterWait, BlockPlan& plan) noexcept
{
    // -> runningOnGrid: a fresh cycle on the line at `at`; after a wait it
    // crossfades out of the passing input.
    resetCycle();
    cycleLine = lineStartingAt (at);
    varySlice (settings.variation.divisionOnLine (settings.fills.seed, cycleLine));
    setCycleEnd (at, at + 1);
    now = Situation::runningOnGrid;
    entersFromInput = afterWait;

    PlanStep step;
    step.kind = PlanStep::Kind::startCycle;
    step.frame = (int) (at - grid.blockStart());
    step.cycle = cycleSpec (afterWait);
    plan.add (step);
}

void CycleTiming::takeUpCycle (int samplesAgo, bool entersFrom, BlockPlan& plan) noexcept
{
    // -> runningOnGrid: the cycle that began samplesAgo before this block; the
    // player records that stretch from the kept input and goes on from there.
    const auto cycleStart = grid.blockStart() - samplesAgo;
    resetCycle();
    cycleLine = lineStartingAt (cycleStart);
    varySlice (settings.variation.divisionOnLine (settings.fills.seed, cycleLine));
    setCycleEnd (cycleStart, grid.blockStart());
    now = Situation::runningOnGrid;
    counter = samplesAgo;
    entersFromInput = entersFrom;

    PlanStep step;
    step.kind = PlanStep::Kind::takeUpCycle;
    step.cycle = cycleSpec (entersFrom);
    step.samplesAgo = samplesAgo;
    plan.add (step);
}

void CycleTiming::enterWait (int at, Situation waiting, BlockPlan& plan) noexcept
{
    resetCycle();
    now = waiting;
    add (plan, PlanStep::Kind::passInput, at);
}

void CycleTiming::cutRunningCycle (BlockPlan& plan) noexcept
{
    // The player fades out what the cycle would have played (if anything is left of it).
    add (plan, PlanStep::Kind::cutCycle, 0);
}

void CycleTiming::steerCycleToGrid (BlockPlan& plan) noexcept
{
    // runningFree or runningOnGrid -> runningOnGrid: the running cycle now ends
    // on the first line (or loop wrap) from this block on. One that ended right
    // at this block's start (its fade-out is over, at a loop wrap the host cut
    // its block at, say) stays ended.
    now = Situation::runningOnGrid;

    if (counter >= period)
        return;

    const auto blockStart = grid.blockStart();
    setCycleEnd (blockStart - counter, blockStart);
    retime (plan, 0);
}

//==============================================================================
void CycleTiming::setCycleEnd (std::int64_t cycleStart, std::int64_t from) noexcept
{
    // The cycle ends on the next line or loop wrap, or earlier at its gate. It
    // hands over to the passing input where no cycle follows: at a wrap to no
    // line, at its gate, or before a cycle that chance skips.
    const auto gridLines = gridPeriod();
    const auto boundary = grid.nextBoundary (from, gridLines);
    auto end = boundary.sample;
    exitsIntoInput = (boundary.wraps && ! boundary.lineAtWrap) || ! repeatsOnLine (boundary.line);
    cycleGated = false;

    if (const auto& fills = settings.fills; fills.isGated() && std::isfinite (cycleLine))
    {
        const double gate = gridLines.length() * fills.gate / FillSettings::sixteenths;
        const auto gateEnd = grid.sampleAt (cycleLine + gate);

        if (gateEnd >= from && gateEnd < end)
        {
            end = gateEnd;
            exitsIntoInput = cycleGated = true;
        }
    }

    period = (int) std::clamp<std::int64_t> (end - cycleStart, 1, std::numeric_limits<int>::max());
}

BeatGrid::Period CycleTiming::gridPeriod() const noexcept
{
    // A fill's offset moves every line later by its share of the period.
    auto lines = grid.refreshPeriod (settings.refreshSync > 0.5f, noteIndexOf (settings.refreshTimeBpm), settings.refreshTimeFree);
    if (const int offset = settings.fills.offset; offset > 0)
        lines.offset = lines.numerator * offset / (lines.denominator * FillSettings::sixteenths);
    return lines;
}

double CycleTiming::lineStartingAt (std::int64_t sample) const noexcept
{
    const auto line = grid.firstLineFrom (sample, gridPeriod());
    return line.sample == sample ? line.ppq : std::numeric_limits<double>::quiet_NaN();
}

bool CycleTiming::repeatsOnLine (double ppq) const noexcept
{
    // A cycle's chance is drawn for its line on the song grid, so the same
    // lines repeat on every playback. A cycle on no known line repeats.
    return ! std::isfinite (ppq) || settings.fills.repeats (FillSettings::linePlace (ppq));
}

bool CycleTiming::takesUpLine (std::int64_t lineSample) const noexcept
{
    // The cycle that began on this line before the block repeats, and its gate
    // (if any) is not over by the block's start.
    const double ppq = lineStartingAt (lineSample);
    if (! repeatsOnLine (ppq))
        return false;

    const auto& fills = settings.fills;
    if (! fills.isGated() || ! std::isfinite (ppq))
        return true;

    const double gate = gridPeriod().length() * fills.gate / FillSettings::sixteenths;
    return grid.sampleAt (ppq + gate) > grid.blockStart();
}

//==============================================================================
BeatGrid::Period CycleTiming::stutterGridPeriod() const noexcept
{
    return grid.refreshPeriod (settings.stutterSync > 0.5f, noteIndexOf (settings.stutterTimeBpm), settings.stutterTimeFree);
}

int CycleTiming::stutterLineBehind (int maxSamplesBack) const noexcept
{
    if (! onGrid)
        return -1;

    const auto line = grid.recentLineSample (maxSamplesBack, stutterGridPeriod());
    return line >= 0 ? (int) (grid.blockStart() - line) : -1;
}

std::int64_t CycleTiming::stutterLineSampleFrom (std::int64_t sample) const noexcept
{
    // The first line at or after `sample`. Past a loop wrap the host announced
    // (ahead of this block's start) the lines are the loop's own: the grid is
    // followed through the wrap on a copy, ahead of the cycles' clock.
    const auto lines = stutterGridPeriod();
    const auto wrap = grid.loopWrapSampleFrom (grid.blockStart());

    if (wrap < 0 || sample < wrap)
        if (const auto boundary = grid.nextBoundary (sample, lines); ! boundary.wraps)
            return boundary.sample;

    auto wrapped = grid;
    wrapped.wrapLoop (wrap);
    return wrapped.firstLineSampleFrom (std::max (sample, wrap), lines);
}

int CycleTiming::nextStutterLineFrame (int from) const noexcept
{
    if (! onGrid)
        return -1;

    const auto line = stutterLineSampleFrom (grid.blockStart() + from) - grid.blockStart();
    return line < report.numSamples ? (int) line : -1;
}

int CycleTiming::stutterLineAhead (int from) const noexcept
{
    if (! onGrid)
        return -1;

    // Lines lie at most a stutter length ahead; the bound keeps sums with it in range.
    const auto sample = grid.blockStart() + from;
    return (int) std::clamp<std::int64_t> (stutterLineSampleFrom (sample) - sample, 0, std::numeric_limits<int>::max() / 4);
}

CycleSpec CycleTiming::heldCycle (bool entersFrom) const noexcept
{
    // Its period never ends while it is held; as one longer than its slice it
    // repeats, with the edge fades and the tone stage across every repeat.
    const int slice = durationInSamples (settings.stutterSync, settings.stutterTimeBpm, settings.stutterTimeFree);
    return { slice, CycleSpec::endless, CycleSpec::endless, entersFrom, false, std::numeric_limits<double>::quiet_NaN() };
}

} // namespace brakkle
