#include "RepeatButton.h"

#include <algorithm>
#include <cmath>

namespace brakkle
{

void RepeatButton::beginBlock (bool pressed, const CycleTiming& timing, int keptSamples, int numSamples, BlockPlan& plan) noexcept
{
    plan.restartAt (0);
    plan.end = 0;

    if (! pressed)
    {
        if (state != State::up)
            release (plan);
        return;
    }

    if (state == State::up)
        press (timing, keptSamples, plan);
    else if (state == State::waitingForLine && ! timing.followsGridNow())
        startHeld (timing, 0, 0, true, plan);   // off the grid: no line to wait for, it starts here
    else if (state == State::waitingForLine)
        startOnNextLine (timing, 0, plan);
    else
        keepOnTheGrid (timing, 0, plan);

    if (ownsBlock())
        plan.end = numSamples;
}

void RepeatButton::press (const CycleTiming& timing, int keptSamples, BlockPlan& plan) noexcept
{
    // up -> holding: whatever was heard fades out under the held slice.
    add (plan, PlanStep::Kind::fadeOutWhatPlays, 0);

    if (! timing.followsGridNow())
    {
        startHeld (timing, 0, 0, false, plan);
        return;
    }

    // On the grid: a line a moment back (a late hand) still owns the press.
    const int forgiven = (int) std::ceil (latenessForgiven * sampleRate) - 1;
    const int samplesAgo = timing.stutterLineBehind (std::min (forgiven, keptSamples));

    if (samplesAgo >= 0)
    {
        startHeld (timing, 0, samplesAgo, false, plan);
        return;
    }

    // up -> waitingForLine: the input passes until the next line.
    add (plan, PlanStep::Kind::passInput, 0);
    state = State::waitingForLine;
    startOnNextLine (timing, 0, plan);
}

void RepeatButton::startOnNextLine (const CycleTiming& timing, int from, BlockPlan& plan) noexcept
{
    // waitingForLine -> holding, where the next line falls in this block.
    if (const int line = timing.nextStutterLineFrame (from); line >= 0)
        startHeld (timing, line, 0, true, plan);
}

void RepeatButton::startHeld (const CycleTiming& timing, int frame, int samplesAgo, bool afterWait, BlockPlan& plan) noexcept
{
    PlanStep step;
    step.kind = samplesAgo > 0 ? PlanStep::Kind::takeUpCycle : PlanStep::Kind::startCycle;
    step.frame = frame;
    step.cycle = timing.heldCycle (afterWait);
    step.samplesAgo = samplesAgo;
    plan.add (step);

    // Marked where the held slice begins: for one taken up, on its line before the block.
    PlanStep mark;
    mark.kind = PlanStep::Kind::mark;
    mark.frame = frame - samplesAgo;
    mark.markKind = TimingEvent::Kind::holdStarts;
    plan.add (mark);

    state = State::holding;
    keepOnTheGrid (timing, frame + 1, plan);
}

void RepeatButton::keepOnTheGrid (const CycleTiming& timing, int from, BlockPlan& plan) noexcept
{
    // On the grid every repeat starts on a line of the stutter's grid, one
    // repeat a line, so that a slice a fraction of a sample shorter than a
    // line's spacing never drifts nor counts twice. Each step says where the
    // next line falls, also beyond the block, so that a repeat a line cuts
    // short fades out before it. Off the grid the slice repeats by itself.
    addLineStep (plan, PlanStep::Kind::nextLine, from, timing.stutterLineAhead (from));

    for (int line = timing.nextStutterLineFrame (from); line >= 0 && plan.hasRoom();
         line = timing.nextStutterLineFrame (line + 1))
        addLineStep (plan, PlanStep::Kind::repeatOnLine, line, timing.stutterLineAhead (line + 1) + 1);
}

void RepeatButton::addLineStep (BlockPlan& plan, PlanStep::Kind kind, int frame, int lineAhead) noexcept
{
    PlanStep step;
    step.kind = kind;
    step.frame = frame;
    step.lineAhead = lineAhead;
    plan.add (step);
}

void RepeatButton::release (BlockPlan& plan) noexcept
{
    // holding or waitingForLine -> up: the input returns here, crossfaded from
    // what was heard; the cycles' clock takes over from its own position.
    add (plan, PlanStep::Kind::fadeOutWhatPlays, 0);
    add (plan, PlanStep::Kind::passInput, 0);

    PlanStep mark;
    mark.kind = PlanStep::Kind::mark;
    mark.markKind = TimingEvent::Kind::holdEnds;
    plan.add (mark);

    state = State::up;
}

void RepeatButton::add (BlockPlan& plan, PlanStep::Kind kind, int frame) noexcept
{
    PlanStep step;
    step.kind = kind;
    step.frame = frame;
    plan.add (step);
}

} // namespace brakkle
