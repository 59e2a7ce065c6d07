#pragma once

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
    no lines before position 0. Plain data, no allocation, audio-thread safe. */
class BeatGrid
{
public:
    /** A refresh period in quarter notes, numerator / denominator, so that
        note divisions such as triplets keep their exact value. */
    struct Period
    {
        double numerator = 1.0;
        double denominator = 1.0;
    };

    enum class Change
    {
        none,       // the host plays on where it was expected to be
        locked,     // a fresh lock: the first one, or after a jump
        retimed     // the tempo or the bars changed: lines ahead move with them
    };

    /** How far the host may stray from the grid's own position before it counts
        as a jump, in quarter notes: well above the rounding hosts apply to their
        positions (1/1920 of a quarter at most), well below a "1/64 T" (1/24). */
    static constexpr double jumpTolerance = 1.0 / 128.0;

    void setSampleRate (double newSampleRate) noexcept;

    /** False for positions the grid does not follow, so that Grid Lock acts as
        if it were off: tempos below 1 or above 100000 BPM, positions farther
        than a billion quarter notes out, and anything that is no number. */
    static bool canFollow (const MusicalPosition& host) noexcept;

    /** Forgets the lock: the next block locks afresh. */
    void unlock() noexcept { locked = false; }
    bool isLocked() const noexcept { return locked; }

    /** Takes the host's position for a block that starts at blockStart(). */
    Change beginBlock (const MusicalPosition& host) noexcept;

    /** Moves the grid's clock past a block of this many samples. */
    void endBlock (int numSamples) noexcept { start += numSamples; }

    /** The grid's clock at the first sample of the current block. */
    std::int64_t blockStart() const noexcept { return start; }

    /** The first sample at or after `sample` whose position is at or past a
        refresh line. Needs a lock. */
    std::int64_t firstLineSampleFrom (std::int64_t sample, Period period) const noexcept;

    /** Samples from `cycleStart` to the first line at or after `from`: the
        length of a cycle that ends there, at least 1. Needs a lock. */
    int samplesToLine (std::int64_t cycleStart, std::int64_t from, Period period) const noexcept;

    /** The period of a refresh setting: a note division by its index (an exact
        fraction, so triplet lines stay exact), or a free time in milliseconds
        at the tempo the grid follows. */
    Period refreshPeriod (bool sync, int noteIndex, double freeTimeMs) const noexcept;

    /** The host tempo the grid follows, in beats per minute. */
    double tempo() const noexcept { return bpm; }

    /** The grid's own position of a sample, in quarter notes. */
    double positionOf (std::int64_t sample) const noexcept;

private:
    std::int64_t sampleAt (double ppq) const noexcept;
    double lineAfter (double ppq, Period period) const noexcept;
    void adoptBars (const MusicalPosition& host) noexcept;

    double sampleRate = 44100.0;
    bool locked = false;
    std::int64_t start = 0;           // the clock at the current block's first sample

    std::int64_t anchorSample = 0;    // a sample and its position; the tempo holds from there on
    double anchorPpq = 0.0;
    double bpm = 120.0;
    double samplesPerQuarter = 22050.0;

    double barOrigin = 0.0;           // a bar line, and the bar length, in quarter notes
    double bar = 4.0;
    int numerator = 4, denominator = 4;
};

} // namespace brakkle
