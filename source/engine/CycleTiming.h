#pragma once

#include "BeatGrid.h"
#include "CyclePlan.h"
#include "CycleVariation.h"
#include "FillPattern.h"

#include <cstdint>

namespace brakkle
{

/** The settings the timing reads, taken once at a block's start. */
struct TimingSettings
{
    float stutterSync = 1.0f, stutterTimeBpm = 11.0f, stutterTimeFree = 200.0f;
    float refreshSync = 1.0f, refreshTimeBpm = 13.0f, refreshTimeFree = 200.0f;
    bool gridLock = false;
    FillSettings fills {};
    CycleVariation variation {};
};

/** What the host says about one block. */
struct BlockReport
{
    int numSamples = 0;
    float hostBpm = 120.0f;
    const MusicalPosition* position = nullptr;   // null: the host gives none
    KeptInput kept {};
};

/** When cycles play: the free-running clock, the grid clock (BeatGrid) and
    the fills (FillPattern), turned into a plan of steps for each block
    (CyclePlan.h). It reads no audio and knows nothing of how a cycle sounds.

    The situation it is in is one value (Situation). Every change of it is
    made by one of the functions below (block start, within the block,
    transitions), each saying in a comment what the sound does there; the
    whole table is in docs/engine.md.

        armed          -> runningFree or passingFree (a free block),
                          runningOnGrid or waitingForLine (a grid block)
        runningFree   <-> passingFree (a gate, a lead-in, a skipped cycle)
        runningFree    -> runningOnGrid (Grid Lock on: steered to the next line)
        runningFree, passingFree -> waitingForLine (Grid Lock on during a gate or pass)
        runningOnGrid <-> waitingForLine (a line; a cycle's end into the input; a jump)
        waitingForLine <-> lineDeferred; runningOnGrid, waiting -> held -> waitingForLine
        any grid situation -> runningFree (Grid Lock off, no usable position)
        any            -> armed (stop, bypass, prepare) */
class CycleTiming
{
public:
    enum class Situation
    {
        armed,           // stopped, bypassed or prepared: the next playing block starts afresh
        runningFree,     // a cycle runs on the free-running clock
        passingFree,     // free-running, the input passes: a fill's lead-in, the rest of a gated period or a skipped cycle
        runningOnGrid,   // a cycle runs and ends on the grid's next line, the host's loop wrap or its gate
        waitingForLine,  // on the grid, the input passes until the next line
        lineDeferred,    // waiting, and a line in the last block's last samples waits for this block's report
        held             // on the grid, the host's position stands still: the input passes
    };

    /** A new sample rate; afterwards the next block starts afresh. The running
        cycle's count is kept (a free-running cycle goes on). */
    void prepare (double sampleRate) noexcept;

    /** The transport stopped or the host bypassed: armed, with the cycle that
        the next playing sample starts. */
    CycleSpec stop (const TimingSettings& settings) noexcept;

    /** Takes the host's report and plans what happens at the block's start. */
    void beginBlock (const BlockReport& report, const TimingSettings& settings, BlockPlan& plan) noexcept;

    /** Plans on from plan.end; true once the plan reaches the block's end.
        Otherwise the plan was full: play it, restart it at plan.end, call again. */
    bool planMore (BlockPlan& plan) noexcept;

    /** The block is over: the grid's clock moves past it. */
    void endBlock() noexcept;

    /** A sync switch, a note-division index and a free time in milliseconds
        turned into a number of samples at the adopted tempo and sample rate. */
    int durationInSamples (float sync, float noteIndex, float freeTimeMs) const noexcept;

    /** The longest slice the current tempo (or 60 BPM, if faster) allows. */
    int longestSliceToReserve() const noexcept;

    float adoptedBpm() const noexcept { return bpm; }
    int refreshPeriod() const noexcept { return period; }

    /** True while the input passes until the next cycle starts. */
    bool isPassingInput() const noexcept;

    //==============================================================================
    // For a repeat held by hand (see RepeatButton): the stutter's own grid.

    /** True when this block follows the host's grid (Grid Lock on, a position). */
    bool followsGridNow() const noexcept { return onGrid; }

    /** How many samples before this block's first sample the latest line of
        the stutter's grid lies (lines every Stutter length from the bar line),
        if at most maxSamplesBack: 0 for a line on the first sample, -1 for none. */
    int stutterLineBehind (int maxSamplesBack) const noexcept;

    /** The frame of the first line of the stutter's grid at or after `from`
        in this block, or -1 when none lies in it. */
    int nextStutterLineFrame (int from) const noexcept;

    /** Samples from frame `from` of this block to the first line of the
        stutter's grid at or after it, wherever it lies (through a loop wrap
        the host announced); -1 off the grid. */
    int stutterLineAhead (int from) const noexcept;

    /** A cycle of the set Stutter length that repeats until it is let go. */
    CycleSpec heldCycle (bool entersFromInput) const noexcept;

    /** Longest duration any slice or refresh period may take, in seconds. It only
        bites at tempos below about 8 BPM and keeps memory bounded there. */
    static constexpr float maxDurationSeconds = 60.0f;

private:
    // Block start
    static bool followsGrid (const BlockReport& report, const TimingSettings& settings) noexcept;
    void beginGridBlock (const MusicalPosition& position, BlockPlan& plan) noexcept;
    void followHostChange (BeatGrid::Change change, bool cameFromFree, BlockPlan& plan) noexcept;
    void followJump (BlockPlan& plan) noexcept;
    void takeUpDeferredLine (bool hostStartsOnLine, BlockPlan& plan) noexcept;
    void leaveGrid (BlockPlan& plan) noexcept;
    void beginFreePlayback (BlockPlan& plan) noexcept;

    // Within the block
    int runCycles (int first, BlockPlan& plan) noexcept;
    int waitForLine (int frame, BlockPlan& plan) noexcept;
    int passFreeInput (int frame) noexcept;
    bool beginNextGridCycle (int frame, BlockPlan& plan) noexcept;
    bool beginNextFreeCycle (int frame, BlockPlan& plan) noexcept;
    void noteWhetherInputPasses (int frame, BlockPlan& plan) noexcept;

    // Transitions
    void resetCycle() noexcept;
    void varySlice (int division) noexcept { sliceDivision = division; sliceLength = CycleVariation::sliceOf (sliceLength, division); }
    CycleSpec cycleSpec (bool entersFromInput) const noexcept;
    void startGridCycle (std::int64_t at, bool afterWait, BlockPlan& plan) noexcept;
    void takeUpCycle (int samplesAgo, bool entersFromInput, BlockPlan& plan) noexcept;
    void enterWait (int frame, Situation waiting, BlockPlan& plan) noexcept;
    void cutRunningCycle (BlockPlan& plan) noexcept;
    void steerCycleToGrid (BlockPlan& plan) noexcept;
    bool applyFreeFills (int frame, BlockPlan& plan) noexcept;
    void passFreeInputFor (int samples, int frame, BlockPlan& plan) noexcept;
    void rearm() noexcept;

    // Grid questions
    void setCycleEnd (std::int64_t cycleStart, std::int64_t from) noexcept;
    BeatGrid::Period gridPeriod() const noexcept;
    BeatGrid::Period stutterGridPeriod() const noexcept;
    std::int64_t stutterLineSampleFrom (std::int64_t sample) const noexcept;
    double lineStartingAt (std::int64_t sample) const noexcept;
    bool repeatsOnLine (double ppq) const noexcept;
    bool takesUpLine (std::int64_t lineSample) const noexcept;
    bool cycleRuns() const noexcept { return now == Situation::runningFree || now == Situation::runningOnGrid; }
    bool isWaiting() const noexcept;
    void adoptTempo() noexcept;

    static void add (BlockPlan& plan, PlanStep::Kind kind, int frame) noexcept;
    static void mark (BlockPlan& plan, TimingEvent::Kind kind, int frame) noexcept;
    void retime (BlockPlan& plan, int frame) const noexcept;

    Situation now = Situation::armed;
    TimingSettings settings {};
    float sampleRate = 44100.0f;
    float bpm = 120.0f;
    float barBeats = 4.0f;          // quarter notes in "1 BAR": four, or the host's bar on the grid
    BeatGrid grid;

    // The running cycle
    int counter = 0;                // samples since it started
    int period = 0;                 // samples from its start to its end
    int sliceLength = 0;            // samples its slice holds
    int sliceDivision = 1;          // the set length divided by this (Variation)
    int nominalPeriod = 0;          // the refresh setting's own period
    bool entersFromInput = false;
    bool exitsIntoInput = false;
    double cycleLine = 0.0;         // the song position it started on (NaN: none)
    bool cycleGated = false;        // it ends at its gate, before the next line

    // Free-running fills
    int freePassLeft = 0;           // samples of input that pass before the next cycle
    int freeGateRest = 0;           // what is left of a gated cycle's period after its gate
    std::int64_t freeCycleCount = 0;  // cycles since playback started, repeated or not

    // The block being planned
    BlockReport report {};
    bool onGrid = false;
    int frame = 0;
    bool reportedPassing = false;   // the input passed at the end of the last marks
};

} // namespace brakkle
