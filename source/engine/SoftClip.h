#pragma once

#include <juce_core/juce_core.h>

#include <cmath>

namespace brakkle
{

/** Limits a sample to the legal range [-1, 1] (a plain clamp). */
inline float limitUnit (float x) noexcept
{
    return juce::jlimit (-1.0f, 1.0f, x);
}

/** The soft clipper of the input and output stages and of the filter path:
    y = 1.5x - 0.5x^3 on x limited to [-1, 1], evaluated in double precision.

    A not-a-number sample (which a plain clamp would pass on) comes out as 0,
    so one bad sample from a host can never poison the filters downstream. */
inline float softClip (float x) noexcept
{
    if (std::isnan (x))
        return 0.0f;

    const double limited = (double) limitUnit (x);
    const double shaped = 1.5 * limited - 0.5 * limited * limited * limited;
    return limitUnit ((float) shaped);
}

} // namespace brakkle
