#pragma once

#include <cstdint>

namespace brakkle
{

/** How the repeats of a cycle read its slice: slower (lower), falling from
    repeat to repeat, backwards or every second one backwards. The recording
    pass is the input and is never read through here. */
struct RepeatShape
{
    enum class Reverse : std::uint8_t { off, on, alternate };

    float pitch = 0.0f;       // semitones the first repeat plays below the recording, 0 to -24
    float decay = 0.0f;       // share of a semitone (0..1) each repeat falls below the one before
    Reverse reverse = Reverse::off;

    static constexpr float lowestPitch = -24.0f;
    static constexpr float lowestInAll = -48.0f;   // pitch and decay together never go lower

    /** The shape from the parameters' plain values (semitones, percent, 0/1/2),
        each kept inside its range; a value that is no number is the default. */
    static RepeatShape fromValues (float pitch, float decayPercent, float reverse) noexcept;

    /** Semitones below the recording of the repeat `repeat` (1: the first after the recording). */
    float semitonesOf (int repeat) const noexcept;

    /** Whether the repeat `repeat` reads backwards. */
    bool readsBackwards (int repeat) const noexcept;
};

/** Reads one repeat of a slice: frame `i` of the repeat (0 at its start)
    reads the slice at `start + step * i`. Whole positions are read as they
    are; between samples a windowed-sinc interpolator gives the value, with
    samples beyond the slice's ends taken as silence (the edge fades cover
    them). No allocation, audio-thread safe. */
class SliceReader
{
public:
    /** The repeat `repeat` of a slice of `length` samples begins. */
    void beginRepeat (const RepeatShape& shape, int repeat, int length) noexcept;

    /** Reads the slice forward at its own pitch: frame i is sample i. */
    bool readsAsRecorded() const noexcept { return plain; }
    bool readsBackwards() const noexcept { return step < 0.0; }
    float semitones() const noexcept { return tones; }
    int repeat() const noexcept { return current; }

    /** The value frame `i` of the repeat reads from `slice` (`length` samples). */
    float read (const float* slice, int length, int i) const noexcept;

    /** Frames [i, i + n) of the repeat into `out`. */
    void readRun (const float* slice, int length, int i, float* out, int n) const noexcept;

    /** Taps on each side of a position in the interpolator. */
    static constexpr int halfTaps = 13;

private:
    double start = 0.0;
    double step = 1.0;
    float tones = 0.0f;
    int current = 0;
    bool plain = true;
    bool whole = true;   // every position it reads is a whole one (forward or backwards at the recording's pitch)
};

} // namespace brakkle
