#include "CycleTiming.h"

#include "NoteDivisions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace brakkle
{

namespace
{
    // Slice storage is reserved for the longest slice at this tempo or faster.
    constexpr float slowestReservedTempo = 60.0f;
    // Tempos outside (0, maxTempo] or not finite are never adopted.
    constexpr float maxTempo = 100000.0f;

    bool isUsableTempo (float tempo) noexcept
    {
        return tempo > 0.0f && tempo <= maxTempo;   // false for NaN
    }

    /** The tempo in truncated hundredths of a BPM. */
    int tempoKey (float tempo) noexcept
    {
        return (int) (tempo * 100.0f);
    }

    constexpr float fourQuarters = noteDivisionBeats[oneBarNoteDivision];
}

//==============================================================================
void CycleTiming::prepare (double newSampleRate) noexcept
{
    const auto rate = (float) newSampleRate;
    if (std::isfinite (rate) && rate > 0.0f)
        sampleRate = rate;

    grid.setSampleRate (newSampleRate);

    // A wait or a pass has no cycle running: the next playing block starts one.
    if (isWaiting() || now == Situation::passingFree)
        counter = period;

    rearm();
}

CycleSpec CycleTiming::stop (const TimingSettings& newSettings) noexcept
{
    // Ready to record on the first playing sample; Grid Lock locks afresh and
    // waits for its next line.
    settings = newSettings;
    barBeats = fourQuarters;
    resetCycle();
    rearm();
    return cycleSpec (false);
}

void CycleTiming::rearm() noexcept
{
    grid.unlock();
    now = Situation::armed;
    entersFromInput = exitsIntoInput = false;
    reportedPassing = false;
    freePassLeft = freeGateRest = 0;
    freeCycleCount = 0;
}

bool CycleTiming::followsGrid (const BlockReport& report, const TimingSettings& settings) noexcept
{
    return report.position != nullptr && settings.gridLock && BeatGrid::canFollow (*report.position);
}

bool CycleTiming::isWaiting() const noexcept
{
    return now == Situation::waitingForLine || now == Situation::lineDeferred || now == Situation::held;
}

bool CycleTiming::isPassingInput() const noexcept
{
    return isWaiting() || freePassLeft > 0;
}

//==============================================================================
void CycleTiming::beginBlock (const BlockReport& newReport, const TimingSettings& newSettings, BlockPlan& plan) noexcept
{
    report = newReport;
    settings = newSettings;
    frame = 0;
    plan.restartAt (0);
    onGrid = followsGrid (report, settings);

    if (onGrid)
    {
        beginGridBlock (*report.position, plan);
        return;
    }

    // The host's tempo holds from the block's first sample, before any cycle starts.
    if (report.numSamples > 0)
        adoptTempo();

    if (isWaiting() || now == Situation::runningOnGrid)
        leaveGrid (plan);

    if (report.numSamples > 0 && now == Situation::armed)
        beginFreePlayback (plan);
}

bool CycleTiming::planMore (BlockPlan& plan) noexcept
{
    const int numSamples = report.numSamples;

    while (frame < numSamples)
    {
        if (! plan.hasRoom())
        {
            plan.end = frame;
            return false;
        }

        noteWhetherInputPasses (frame, plan);

        if (onGrid)
            frame = isWaiting() ? waitForLine (frame, plan) : runCycles (frame, plan);
        else
            frame = freePassLeft > 0 ? passFreeInput (frame) : runCycles (frame, plan);
    }

    plan.end = numSamples;
    return true;
}

void CycleTiming::endBlock() noexcept
{
    if (onGrid)
        grid.endBlock (report.numSamples);
}

void CycleTiming::noteWhetherInputPasses (int at, BlockPlan& plan) noexcept
{
    if (isPassingInput() != reportedPassing)
    {
        reportedPassing = ! reportedPassing;
        mark (plan, reportedPassing ? TimingEvent::Kind::inputPasses : TimingEvent::Kind::inputEnds, at);
    }
}

int CycleTiming::runCycles (int first, BlockPlan& plan) noexcept
{
    // Between cycle ends nothing happens: the plan jumps from end to end.
    const int numSamples = report.numSamples;

    for (int j = first; j < numSamples;)
    {
        if (j > first && ! plan.hasRoom())
            return j;

        if (counter >= period)
        {
            // On the grid the next cycle starts on the line here and ends on the
            // next one; where the host's loop wraps to no line, the input passes.
            if (grid.isLocked() ? ! beginNextGridCycle (j, plan) : ! beginNextFreeCycle (j, plan))
                return j;
        }

        const int run = std::min (numSamples - j, period - counter);
        counter += run;
        j += run;
    }

    return numSamples;
}

void CycleTiming::adoptTempo() noexcept
{
    if (isUsableTempo (report.hostBpm) && tempoKey (bpm) != tempoKey (report.hostBpm))
        bpm = report.hostBpm;
}

//==============================================================================
// The running cycle

void CycleTiming::resetCycle() noexcept
{
    entersFromInput = exitsIntoInput = false;
    cycleLine = std::numeric_limits<double>::quiet_NaN();
    cycleGated = false;
    sliceLength = durationInSamples (settings.stutterSync, settings.stutterTimeBpm, settings.stutterTimeFree);
    sliceDivision = 1;
    nominalPeriod = durationInSamples (settings.refreshSync, settings.refreshTimeBpm, settings.refreshTimeFree);
    period = nominalPeriod;
    counter = 0;
}

CycleSpec CycleTiming::cycleSpec (bool entersFrom) const noexcept
{
    return { sliceLength, period, nominalPeriod, entersFrom, exitsIntoInput, cycleLine, sliceDivision };
}

int CycleTiming::durationInSamples (float sync, float noteIndex, float freeTimeMs) const noexcept
{
    // "1 BAR" and "2 BARS" are four and eight quarters, or the host's bars on the grid.
    const int index = noteIndexOf (noteIndex);
    const float beats = index < oneBarNoteDivision ? noteDivisionBeats[(size_t) index]
                                                   : barBeats * (float) (index - oneBarNoteDivision + 1);
    const float seconds = sync > 0.5f ? (60.0f / bpm) * beats
                                      : freeTimeMs / 1000.0f;
    const float samples = seconds * sampleRate;

    if (! (samples >= 1.0f))
        return 1;

    return (int) std::min (samples, maxDurationSeconds * sampleRate);
}

int CycleTiming::longestSliceToReserve() const noexcept
{
    const float slowestTempo = std::min (bpm, slowestReservedTempo);
    const float longest = (60.0f / slowestTempo) * noteDivisionBeats[longestNoteDivision] * sampleRate;
    return (int) std::min (longest, maxDurationSeconds * sampleRate);
}

void CycleTiming::add (BlockPlan& plan, PlanStep::Kind kind, int at) noexcept
{
    PlanStep step;
    step.kind = kind;
    step.frame = at;
    plan.add (step);
}

void CycleTiming::mark (BlockPlan& plan, TimingEvent::Kind kind, int at) noexcept
{
    PlanStep step;
    step.kind = PlanStep::Kind::mark;
    step.frame = at;
    step.markKind = kind;
    plan.add (step);
}

void CycleTiming::retime (BlockPlan& plan, int at) const noexcept
{
    PlanStep step;
    step.kind = PlanStep::Kind::retimeCycle;
    step.frame = at;
    step.cycle = cycleSpec (entersFromInput);
    plan.add (step);
}

//==============================================================================
// Running free

void CycleTiming::beginFreePlayback (BlockPlan& plan) noexcept
{
    // armed -> runningFree or passingFree. The first cycle starts a fill's
    // offset into the first period; until then the input passes. The cycle a
    // stop made ready starts afresh, at the tempo the host plays now.
    const bool fresh = counter >= period || counter == 0;
    if (fresh)
        resetCycle();

    if (const int leadIn = FillSettings::shareOf (period, settings.fills.offset); leadIn > 0)
    {
        passFreeInputFor (leadIn, 0, plan);
        return;
    }

    if (! applyFreeFills (0, plan))
        return;

    if (fresh)
    {
        PlanStep step;
        step.kind = PlanStep::Kind::startCycle;
        step.cycle = cycleSpec (entersFromInput);
        plan.add (step);
    }
    else
    {
        retime (plan, 0);
    }
}

bool CycleTiming::beginNextFreeCycle (int at, BlockPlan& plan) noexcept
{
    // runningFree -> passingFree after a gate: the rest of the period passes
    // the input (the cycle faded into it). Otherwise the next cycle starts.
    if (freeGateRest > 0)
    {
        mark (plan, TimingEvent::Kind::gateEnds, at);
        passFreeInputFor (std::exchange (freeGateRest, 0), at, plan);
        return false;
    }

    resetCycle();
    if (! applyFreeFills (at, plan))
        return false;

    PlanStep step;
    step.kind = PlanStep::Kind::startCycle;
    step.frame = at;
    step.cycle = cycleSpec (entersFromInput);
    plan.add (step);
    return true;
}

bool CycleTiming::applyFreeFills (int at, BlockPlan& plan) noexcept
{
    // The freshly started cycle: skipped by chance (its place is its count since
    // playback started), cut at its gate, and crossfaded with the passing input
    // on the sides where it meets it.
    const auto& fills = settings.fills;
    const auto index = (std::uint64_t) freeCycleCount++;
    const bool afterPass = now == Situation::passingFree;

    if (! fills.repeats (index))
    {
        // -> passingFree for the whole period
        mark (plan, TimingEvent::Kind::cycleSkipped, at);
        passFreeInputFor (period, at, plan);
        return false;
    }

    varySlice (settings.variation.divisionAt (fills.seed, index));
    const int gate = FillSettings::shareOf (period, fills.gate);

    if (gate >= 1 && gate < period)
    {
        freeGateRest = period - gate;
        period = gate;
        exitsIntoInput = true;
    }
    else
    {
        exitsIntoInput = ! fills.repeats (index + 1);
    }

    entersFromInput = afterPass;
    now = Situation::runningFree;
    return true;
}

void CycleTiming::passFreeInputFor (int samples, int at, BlockPlan& plan) noexcept
{
    freePassLeft = samples;
    now = Situation::passingFree;
    add (plan, PlanStep::Kind::passInput, at);
}

int CycleTiming::passFreeInput (int at) noexcept
{
    // The input passes; when the pass is over, the next cycle starts.
    const int run = std::min (report.numSamples - at, freePassLeft);
    freePassLeft -= run;

    if (freePassLeft == 0)
        counter = period;

    return at + run;
}

} // namespace brakkle
