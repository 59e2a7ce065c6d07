#pragma once

#include <cmath>
#include <cstdint>

namespace brakkle
{

/** Where the host's transport is, as a DAW reports it at a block's first sample. */
struct MusicalPosition
{
    double ppq = 0.0;              // quarter notes; negative while a DAW pre-rolls
    double bpm = 120.0;            // the host's own tempo, unrounded
    bool hasBarStart = false;
    double barStartPpq = 0.0;      // quarter notes at the start of the bar ppq lies in
    int numerator = 4;             // meter; 4/4 when the host gives none
    int denominator = 4;
    bool looping = false;          // the host plays a loop and says where:
    double loopStartPpq = 0.0;     // it wraps from loopEndPpq to loopStartPpq,
    double loopEndPpq = 0.0;       // possibly inside a block
    bool hasSamplePosition = false;   // the host also says where the block starts
    std::int64_t samplePosition = 0;  // on its timeline, in samples
};

/** The host's beat grid followed sample by sample: where the refresh lines of a
    period fall, and at which samples they are reached.

    A lock ties a sample to the host's position; from there positions follow by
    exact tempo arithmetic in double precision, computed from the lock and never
    summed, so lines do not drift and a host that rounds its positions moves
    nothing. The host's position is used again only when it lands somewhere
    else (a locate, a loop wrap, a scrub), the tempo changes (the lines follow
    the host's musical time) or its bars move.

    Refresh lines for a period P and a bar of B quarter notes: when P fits in the
    bar, every bar line and every multiple of P after it within that bar (a
    period that does not divide the bar starts again at the next bar line);
    when P is longer than the bar, the multiples of P from position 0. There are
    no lines before position 0. A period's offset moves all of its lines
    later by the same amount. Plain data, no allocation, audio-thread safe. */
class BeatGrid
{
public:
    /** A refresh period in quarter notes, numerator / denominator, so that
        note divisions such as triplets keep their exact value. */
    struct Period
    {
        double numerator = 1.0;
        double denominator = 1.0;
        double offset = 0.0;   // quarter notes by which every line moves later (a fill's offset)

        double length() const noexcept { return numerator / denominator; }
    };

    enum class Change
    {
        none,       // the host plays on where it was expected to be
        locked,     // a fresh lock: the first one, or after a jump
        retimed,    // the tempo or the bars changed: lines ahead move with them
        held        // the host's position stands still while it plays (a held pre-roll)
    };

    /** How far the host may stray from the grid's own position before it counts
        as a jump, in quarter notes: well above the rounding hosts apply to their
        positions (1/1920 of a quarter at most), well below a "1/64 T" (1/24). */
    static constexpr double jumpTolerance = 1.0 / 128.0;

    /** Within this (quarter notes) a host's position is the grid's own, rounded:
        the grid keeps its exact arithmetic. Hosts round to 1/1920 at most. */
    static constexpr double roundingTolerance = 1.0 / 1920.0;

    /** The largest share by which a host's position may move faster or slower
        than its reported tempo and still be a tempo, not a jump (a ramp the
        host reports only when it is over). */
    static constexpr double unreportedTempoChange = 0.25;

    void setSampleRate (double newSampleRate) noexcept;

    /** False for positions the grid does not follow, so that Grid Lock acts as
        if it were off: tempos below 1 or above 100000 BPM, positions farther
        than a billion quarter notes out, and anything that is no number. */
    static bool canFollow (const MusicalPosition& host) noexcept;

    /** Forgets the lock: the next block locks afresh. */
    void unlock() noexcept { locked = false; wasHeld = false; }
    bool isLocked() const noexcept { return locked; }

    /** Takes the host's position for a block that starts at blockStart().
        While `waiting` (no cycle depends on the lock) a report that strays from
        the grid's own position by more than rounding is taken as it is, and so
        is one that is exact (see isExact), so that the first line after a wait
        falls where the best report puts it. */
    Change beginBlock (const MusicalPosition& host, bool waiting = false) noexcept;

    /** Moves the grid's clock past a block of this many samples. */
    void endBlock (int numSamples) noexcept { start += numSamples; lastBlockLength = numSamples; }

    /** The grid's clock at the first sample of the current block. */
    std::int64_t blockStart() const noexcept { return start; }

    /** A refresh line: the sample at which it is reached and its position in
        quarter notes (not a number where positions are too far out to tell
        lines apart). */
    struct Line
    {
        std::int64_t sample = 0;
        double ppq = 0.0;
    };

    /** The first line reached at or after `sample`. Needs a lock. */
    Line firstLineFrom (std::int64_t sample, Period period) const noexcept;

    /** The first sample at or after `sample` whose position is at or past a
        refresh line. Needs a lock. */
    std::int64_t firstLineSampleFrom (std::int64_t sample, Period period) const noexcept { return firstLineFrom (sample, period).sample; }

    /** The first sample whose position is at or past `ppq`. Needs a lock. */
    std::int64_t sampleAt (double ppq) const noexcept;

    /** Where a cycle running at `from` ends: the first line at or after it, or
        the host's loop wrap if that comes first (lineAtWrap: the loop starts
        on a line, so a cycle starts right after the wrap). Needs a lock. */
    struct Boundary
    {
        std::int64_t sample = 0;
        bool wraps = false;
        bool lineAtWrap = true;
        double line = 0.0;   // the position of the line that starts the next cycle there
    };

    Boundary nextBoundary (std::int64_t from, Period period) const noexcept;

    /** The period of a refresh setting: a note division by its index (an exact
        fraction, so triplet lines stay exact; "1 BAR" and "2 BARS" are one and
        two of the host's bars), or a free time in milliseconds at the tempo
        the grid follows. */
    Period refreshPeriod (bool sync, int noteIndex, double freeTimeMs) const noexcept;

    /** While nothing depends on the lock: a block the host reports exactly on
        a line takes that report as the lock. True when it did. */
    bool startsOnLine (const MusicalPosition& host, Period period) noexcept;

    /** True while the lines follow from a report that was exact (its position
        agrees with its sample position): no rounding can have moved them. */
    bool isLockExact() const noexcept { return exactLock; }

    /** How many samples the rounding of a host's report may move a line. */
    int roundingInSamples() const noexcept { return (int) std::ceil (roundingTolerance * samplesPerQuarter); }

    /** Quarter notes in the host's bar. */
    double barLength() const noexcept { return bar; }

    /** The sample at which a loop the host reported wraps back, at or after
        `from`; or -1 when none lies ahead in the current stretch. */
    std::int64_t loopWrapSampleFrom (std::int64_t from) const noexcept;

    /** Follows the reported loop back to its start at `sample` (its wrap sample). */
    void wrapLoop (std::int64_t sample) noexcept;

    /** The most recent refresh line at or before the current block's first
        sample, if it lies at most maxSamplesBack samples back: the sample it
        was reached at. -1 when there is none so near. */
    std::int64_t recentLineSample (std::int64_t maxSamplesBack, Period period) const noexcept;

    /** The host tempo the grid follows, in beats per minute. */
    double tempo() const noexcept { return bpm; }

    /** The grid's own position of a sample, in quarter notes. */
    double positionOf (std::int64_t sample) const noexcept;

private:
    void lockAt (const MusicalPosition& host) noexcept;
    bool isLine (double ppq, Period period) const noexcept;
    void adoptLoop (const MusicalPosition& host) noexcept;
    bool isHeld (double reportedMove) const noexcept;
    bool isExact (const MusicalPosition& host) const noexcept;
    double lineAfter (double ppq, Period period) const noexcept;
    double unshiftedLineAfter (double ppq, Period period) const noexcept;
    void adoptBars (const MusicalPosition& host) noexcept;
    bool hasUsableBarStart (const MusicalPosition& host) const noexcept;

    double sampleRate = 44100.0;
    bool locked = false;
    bool exactLock = false;           // the lock came from an exact report
    std::int64_t start = 0;           // the clock at the current block's first sample

    std::int64_t anchorSample = 0;    // a sample and its position; the tempo holds from there on
    double anchorPpq = 0.0;
    double bpm = 120.0;
    double samplesPerQuarter = 22050.0;

    double barOrigin = 0.0;           // a bar line, and the bar length, in quarter notes
    double bar = 4.0;
    int numerator = 4, denominator = 4;

    int lastBlockLength = 0;          // the block before the current one
    double lastHostPpq = 0.0;         // where the host said that block started
    bool wasHeld = false;             // that block stood still
    double lastHostBpm = 120.0;       // the tempo the host reported for that block
    bool loopReported = false;
    double loopStart = 0.0, loopEnd = 0.0;
};

} // namespace brakkle
