#pragma once

#include <juce_core/juce_core.h>

#include <cmath>

#if defined (__SSE2__) || defined (_M_X64)
 #include <emmintrin.h>
 #define BRAKKLE_SOFT_CLIP_SSE2 1
#endif

namespace brakkle
{

/** Limits a sample to the legal range [-1, 1] (a plain clamp). */
inline float limitUnit (float x) noexcept
{
    return juce::jlimit (-1.0f, 1.0f, x);
}

/** limitUnit on every sample of a run, in place: the same samples (a NaN
    stays NaN, as through limitUnit), four at a time where the processor has SSE2. */
inline void limitUnitRun (float* samples, int numSamples) noexcept
{
    int i = 0;

   #if BRAKKLE_SOFT_CLIP_SSE2
    const auto lower = _mm_set1_ps (-1.0f), upper = _mm_set1_ps (1.0f);

    for (; i + 4 <= numSamples; i += 4)
    {
        const auto x = _mm_loadu_ps (samples + i);
        const auto isNumber = _mm_cmpord_ps (x, x);
        const auto limited = _mm_min_ps (_mm_max_ps (x, lower), upper);
        _mm_storeu_ps (samples + i, _mm_or_ps (_mm_and_ps (isNumber, limited), _mm_andnot_ps (isNumber, x)));
    }
   #endif

    for (; i < numSamples; ++i)
        samples[i] = limitUnit (samples[i]);
}

/** The soft clipper of the input and output stages and of the filter path:
    y = 1.5x - 0.5x^3 on x limited to [-1, 1], evaluated in double precision.

    A not-a-number sample (which a plain clamp would pass on) comes out as 0,
    so one bad sample from a host can never poison the filters downstream. */
inline float softClip (float x) noexcept
{
    const double limited = (double) limitUnit (x);
    const double shaped = 1.5 * limited - 0.5 * limited * limited * limited;
    const float y = limitUnit ((float) shaped);

    return std::isnan (x) ? 0.0f : y;
}

/** softClip on every sample of a run, in place: the same samples, four at a
    time where the processor has SSE2 (the same operations in the same order
    and precision, each on its own lane). */
inline void softClipRun (float* samples, int numSamples) noexcept
{
    int i = 0;

   #if BRAKKLE_SOFT_CLIP_SSE2
    const auto lower = _mm_set1_ps (-1.0f), upper = _mm_set1_ps (1.0f);
    const auto linear = _mm_set1_pd (1.5), cubic = _mm_set1_pd (0.5);

    // For a number, max then min is the clamp; a NaN lane comes out of them as
    // a number, and the mask of the lanes that are numbers turns it into 0.
    const auto limit = [&] (__m128 v) { return _mm_min_ps (_mm_max_ps (v, lower), upper); };
    const auto shape = [&] (__m128d l) { return _mm_sub_pd (_mm_mul_pd (linear, l), _mm_mul_pd (_mm_mul_pd (_mm_mul_pd (cubic, l), l), l)); };

    for (; i + 4 <= numSamples; i += 4)
    {
        const auto x = _mm_loadu_ps (samples + i);
        const auto limited = limit (x);
        const auto low = shape (_mm_cvtps_pd (limited));
        const auto high = shape (_mm_cvtps_pd (_mm_movehl_ps (limited, limited)));
        const auto y = limit (_mm_movelh_ps (_mm_cvtpd_ps (low), _mm_cvtpd_ps (high)));
        _mm_storeu_ps (samples + i, _mm_and_ps (y, _mm_cmpord_ps (x, x)));
    }
   #endif

    for (; i < numSamples; ++i)
        samples[i] = softClip (samples[i]);
}

} // namespace brakkle
