#include "SliceReader.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace brakkle
{

namespace
{
    constexpr int taps = 2 * SliceReader::halfTaps;
    constexpr int phases = 1024;            // fractional positions the table holds; values between are interpolated
    constexpr double kaiserBeta = 7.5;      // the window's side-lobe level against its width
    // With 13 taps a side and this window, the images a slower read makes of
    // inputs up to 82 % of the band (18 kHz at 44.1 kHz) lie more than 74 dB
    // below the tone, and those of the band's lower half more than 80 dB.

    /** A windowed sinc with its cutoff at the Nyquist frequency: row p holds the
        taps for a position p / phases past a sample, tap k weighting sample
        (whole + k - halfTaps + 1). Each row is normalised to a sum of 1 so a
        constant reads as itself. Built once, when the library loads. */
    struct SincTable
    {
        std::array<std::array<float, taps>, phases + 1> rows {};

        SincTable()
        {
            const double pi = 3.14159265358979323846;
            const auto besselI0 = [] (double x)
            {
                double sum = 1.0, term = 1.0;
                for (int k = 1; k < 50; ++k)
                {
                    term *= (x / (2.0 * k)) * (x / (2.0 * k));
                    sum += term;
                }
                return sum;
            };
            const double windowScale = 1.0 / besselI0 (kaiserBeta);

            for (int p = 0; p <= phases; ++p)
            {
                const double fraction = (double) p / phases;
                std::array<double, taps> w {};
                double sum = 0.0;

                for (int k = 0; k < taps; ++k)
                {
                    const double x = (double) (k - SliceReader::halfTaps + 1) - fraction;   // distance from the position
                    const double sinc = std::abs (x) < 1.0e-12 ? 1.0 : std::sin (pi * x) / (pi * x);
                    const double r = x / (double) SliceReader::halfTaps;
                    const double window = std::abs (r) < 1.0 ? besselI0 (kaiserBeta * std::sqrt (1.0 - r * r)) * windowScale : 0.0;
                    w[(size_t) k] = sinc * window;
                    sum += w[(size_t) k];
                }

                for (int k = 0; k < taps; ++k)
                    rows[(size_t) p][(size_t) k] = (float) (w[(size_t) k] / sum);
            }
        }
    };

    const SincTable sincTable;

    float interpolate (const float* slice, int length, double position) noexcept
    {
        const double floorPosition = std::floor (position);
        const auto whole = (int) floorPosition;
        const double phase = (position - floorPosition) * phases;
        const auto row = std::min ((int) phase, phases - 1);
        const auto between = (float) (phase - row);
        const auto& a = sincTable.rows[(size_t) row];
        const auto& b = sincTable.rows[(size_t) row + 1];
        const int first = whole - SliceReader::halfTaps + 1;

        float sum = 0.0f;

        if (first >= 0 && first + taps <= length)
        {
            for (int k = 0; k < taps; ++k)
                sum += (a[(size_t) k] + (b[(size_t) k] - a[(size_t) k]) * between) * slice[first + k];
            return sum;
        }

        // Near the slice's ends: what lies beyond them is silence.
        for (int k = 0; k < taps; ++k)
            if (const int n = first + k; n >= 0 && n < length)
                sum += (a[(size_t) k] + (b[(size_t) k] - a[(size_t) k]) * between) * slice[n];

        return sum;
    }

    float withinRange (float value, float lowest, float highest, float otherwise) noexcept
    {
        return std::isnan (value) ? otherwise : std::fmin (std::fmax (value, lowest), highest);
    }
}

//==============================================================================
RepeatShape RepeatShape::fromValues (float pitch, float decayPercent, float reverse) noexcept
{
    RepeatShape s;
    s.pitch = std::round (withinRange (pitch, lowestPitch, 0.0f, 0.0f));
    s.decay = withinRange (decayPercent, 0.0f, 100.0f, 0.0f) / 100.0f;
    const float r = std::round (withinRange (reverse, 0.0f, 2.0f, 0.0f));
    s.reverse = r >= 2.0f ? Reverse::alternate : (r >= 1.0f ? Reverse::on : Reverse::off);
    return s;
}

float RepeatShape::semitonesOf (int repeat) const noexcept
{
    const float falling = decay * (float) std::max (0, repeat - 1);
    return std::fmax (pitch - falling, lowestInAll);
}

bool RepeatShape::readsBackwards (int repeat) const noexcept
{
    switch (reverse)
    {
        case Reverse::on:        return true;
        case Reverse::alternate: return repeat % 2 == 1;   // the first repeat answers the recording backwards
        case Reverse::off:       break;
    }
    return false;
}

//==============================================================================
void SliceReader::beginRepeat (const RepeatShape& shape, int repeat, int length) noexcept
{
    current = repeat;
    tones = shape.semitonesOf (repeat);
    const bool backwards = shape.readsBackwards (repeat);
    const bool recordedPitch = juce::exactlyEqual (tones, 0.0f);
    const double rate = recordedPitch ? 1.0 : std::exp2 ((double) tones / 12.0);

    step = backwards ? -rate : rate;
    start = backwards ? (double) (length - 1) : 0.0;
    whole = recordedPitch;
    plain = whole && ! backwards;
}

float SliceReader::read (const float* slice, int length, int i) const noexcept
{
    if (whole)
    {
        const int n = step > 0.0 ? i : length - 1 - i;
        return n >= 0 && n < length ? slice[n] : 0.0f;
    }

    const double position = start + step * (double) i;

    if (const double floorPosition = std::floor (position); juce::exactlyEqual (floorPosition, position))
    {
        const auto n = (int) floorPosition;
        return n >= 0 && n < length ? slice[n] : 0.0f;
    }

    return interpolate (slice, length, position);
}

void SliceReader::readRun (const float* slice, int length, int i, float* out, int n) const noexcept
{
    for (int k = 0; k < n; ++k)
        out[k] = read (slice, length, i + k);
}

} // namespace brakkle
