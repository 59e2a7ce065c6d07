#pragma once

#include "CyclePlan.h"
#include "CycleTiming.h"

namespace brakkle
{

/** When a repeat held by hand plays: the "repeatHold" switch.

    While it is held a single slice of the Stutter length repeats in place of
    the cycles, whose clock (CycleTiming) keeps counting underneath, unheard,
    so that after the release it goes on as if the hold had never happened.

    Running free the repeat starts at the first sample of the block that
    reports the press. On the grid it starts on the stutter's own line: a
    press reported in a block that starts less than `latenessForgiven` after
    a line starts the repeat on that line, its slice taken from the kept
    input; a later press waits for the next line while the input passes (or,
    if Grid Lock goes off meanwhile, starts at once). The release hands back to the input at the first sample of the block that
    reports it. Every hand-over is a crossfade from what was heard. */
class RepeatButton
{
public:
    enum class State
    {
        up,               // the cycles play
        waitingForLine,   // pressed on the grid after the forgiven lateness: the input passes until the next line
        holding           // the held slice repeats
    };

    void prepare (double newSampleRate) noexcept { sampleRate = newSampleRate; }

    /** The transport stopped: a hold ends with what was playing. */
    void stop() noexcept { state = State::up; }

    /** A playing block starts (after the timing has taken the host's report):
        what the switch says now. The hand-overs at the block's first sample go
        into `plan`, which covers the whole block while the button owns it.
        `keptSamples` says how far back the kept input reaches. */
    void beginBlock (bool pressed, const CycleTiming& timing, int keptSamples, int numSamples, BlockPlan& plan) noexcept;

    /** True when the button decides what this whole block plays (its plan),
        false when the cycles do (after any hand-over in its plan). */
    bool ownsBlock() const noexcept { return state != State::up; }

    State current() const noexcept { return state; }

private:
    void press (const CycleTiming& timing, int keptSamples, BlockPlan& plan) noexcept;
    void startOnNextLine (const CycleTiming& timing, int from, BlockPlan& plan) noexcept;
    void startHeld (const CycleTiming& timing, int frame, int samplesAgo, bool afterWait, BlockPlan& plan) noexcept;
    void keepOnTheGrid (const CycleTiming& timing, int from, BlockPlan& plan) noexcept;
    void release (BlockPlan& plan) noexcept;
    static void add (BlockPlan& plan, PlanStep::Kind kind, int frame) noexcept;
    static void addLineStep (BlockPlan& plan, PlanStep::Kind kind, int frame, int lineAhead) noexcept;

    State state = State::up;
    double sampleRate = 44100.0;
};

} // namespace brakkle
