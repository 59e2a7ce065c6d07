#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace brakkle
{

/** The handshake between the two halves of the engine: CycleTiming decides
    *when* each stretch of a block does what, SlicePlayer decides *how* it
    sounds. The timing writes a plan for the block (or the first part of it)
    as a short list of steps, each at a frame of the block; the player walks
    the block, applies each step when it reaches its frame and plays the
    frames between them. Between steps either a cycle runs (it records, then
    repeats its slice) or the input passes unchanged.

    Plain values only: no audio, no allocation. */

/** How much of the input the player keeps: the whole block before this one
    (its length, 0 for none) and whether it keeps this block. The timing takes
    up a cycle that began before the block only as far back as this reaches. */
struct KeptInput
{
    int previous = 0;
    bool current = false;
};

/** A press of Repeat this late after a line still lands on it, in seconds:
    the timing starts such a hold on that line, and the player keeps this much
    of the recent input to take its slice from. */
constexpr double latenessForgiven = 0.05;

/** One cycle, as the timing hands it to the player when it starts. */
struct CycleSpec
{
    /** The period of a cycle that has no end of its own (a repeat held by hand). */
    static constexpr int endless = std::numeric_limits<int>::max();

    int sliceLength = 0;          // samples the slice holds
    int period = 0;               // samples from the cycle's start to where it ends
    int nominalPeriod = 0;        // the refresh setting's own period: a slice shorter than it is shaped
    bool entersFromInput = false; // its first fade crossfades from the passing input
    bool exitsIntoInput = false;  // its last fade crossfades into the passing input
    double line = std::numeric_limits<double>::quiet_NaN();   // the song position it starts on (quarter notes); NaN off the grid
    int sliceDivision = 1;        // the set slice length divided by this (Variation: 1, 2 or 4)

    bool isEndless() const noexcept { return period == endless; }
};

/** Where the timing of a block changed, for pictures of a render: a cycle's
    start (a fresh slice; negative frames for a cycle taken up from before the
    block), a repeat's start, where the input began or ended passing while
    playing (Grid Lock waiting for a line, a fill's lead-in, gate or skipped
    cycle), where a cycle's gate ended and where a cycle that chance skips
    began. */
struct TimingEvent
{
    enum class Kind : std::uint8_t { cycleStart, repeatStart, inputPasses, inputEnds, gateEnds, cycleSkipped, holdStarts, holdEnds };

    /** How a cycle or a repeat plays, on its start's mark. */
    struct Look
    {
        int sliceDivision = 1;     // the set slice length divided by this (Variation)
        float semitones = 0.0f;    // a repeat's pitch below the recording
        bool backwards = false;    // a repeat read from the slice's end
    };

    Kind kind;
    int frame;
    Look look {};
};

/** At most `capacity` events a block are kept. */
struct TimingEvents
{
    static constexpr int capacity = 64;
    std::array<TimingEvent, capacity> events {};
    int count = 0;

    void add (TimingEvent::Kind kind, int frame, TimingEvent::Look look = {}) noexcept
    {
        if (count < capacity)
            events[(std::size_t) count++] = { kind, frame, look };
    }

    const TimingEvent* begin() const noexcept { return events.data(); }
    const TimingEvent* end() const noexcept { return events.data() + count; }
};

/** One thing that happens at a frame of the block. */
struct PlanStep
{
    enum class Kind : std::uint8_t
    {
        startCycle,          // a fresh cycle (`cycle`) starts recording at this frame
        takeUpCycle,         // the cycle that began `samplesAgo` before the block goes on from here;
                             // what it recorded then comes from the kept input
        retimeCycle,         // the running cycle now ends after `cycle.period` samples from its start,
                             // with `cycle.entersFromInput` and `cycle.exitsIntoInput`
        cutCycle,            // the running cycle stops here: what it would have played fades out
                             // over the next frames while what follows fades in
        crossfadeFromInput,  // the input that was passing fades out over the next frames while what follows fades in
        passInput,           // from here the input passes unchanged
        repeatOnLine,        // a held slice that has been recorded plays again from its start here
                             // (one still recording owes the line a repeat as soon as it is full);
                             // `lineAhead` says where the next line falls
        nextLine,            // the held slice's next line falls `lineAhead` samples from here (-1: it
                             // has no lines and repeats by itself)
        fadeOutWhatPlays,    // whatever is heard (a cycle or the passing input) fades out over the
                             // next frames while what follows fades in with none of its own hand-overs
        mark                 // a timing mark for pictures (`markKind`)
    };

    Kind kind = Kind::passInput;
    int frame = 0;
    CycleSpec cycle {};
    int samplesAgo = 0;
    int lineAhead = -1;          // samples from this frame to a held slice's next line (-1: none)
    TimingEvent::Kind markKind = TimingEvent::Kind::cycleStart;
};

/** The steps for frames [begin, end) of a block, in order of their frames. A
    block with more steps than fit is planned in parts: the timing stops at a
    frame where nothing happens and the player plays up to it. */
struct BlockPlan
{
    static constexpr int capacity = 32;
    std::array<PlanStep, capacity> steps {};
    int count = 0;
    int begin = 0;
    int end = 0;

    /** Starts a new part of the block at `frame`. */
    void restartAt (int frame) noexcept { count = 0; begin = end = frame; }

    /** Room for the most steps one moment of the timing writes. */
    bool hasRoom() const noexcept { return count <= capacity - stepsPerMoment; }

    void add (const PlanStep& step) noexcept
    {
        if (count < capacity)
            steps[(std::size_t) count++] = step;
    }

    static constexpr int stepsPerMoment = 6;
};

} // namespace brakkle
