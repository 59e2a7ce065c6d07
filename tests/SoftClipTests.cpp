#include "engine/SoftClip.h"

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace
{
    struct ClipCase
    {
        float input;
        float expected;
    };

    constexpr float infinity = std::numeric_limits<float>::infinity();
}

TEST (SoftClip, CurveLimitsAndNonFiniteSamples)
{
    const ClipCase cases[] = {
        { 0.0f, 0.0f },
        { 0.5f, 0.6875f },
        { -0.5f, -0.6875f },
        { 1.0f, 1.0f },
        { 2.0f, 1.0f },
        { -2.0f, -1.0f },
        { 1.0e30f, 1.0f },
        { -1.0e30f, -1.0f },
        { infinity, 1.0f },
        { -infinity, -1.0f },
        // A host's NaN would pass a plain clamp and poison every filter after it.
        { std::numeric_limits<float>::quiet_NaN(), 0.0f },
    };

    for (const auto& c : cases)
        EXPECT_EQ (brakkle::softClip (c.input), c.expected) << "input " << c.input;
}

TEST (SoftClip, IsEvaluatedInDoubleAndRoundedOnce)
{
    // 1.5x - 0.5x^3 in double, then one rounding to float.
    for (float x = -1.0f; x <= 1.0f; x += 0.0137f)
    {
        const double d = x;
        EXPECT_EQ (brakkle::softClip (x), (float) (1.5 * d - 0.5 * d * d * d)) << x;
    }
}

TEST (SoftClip, RunsGiveTheSamplesOfOneAtATime)
{
    // The stages clip whole runs at once (four samples at a time where the
    // processor can): every sample must come out with the same bits as the
    // formula above applied to it alone, the curve's edges and what no host
    // should send among them, at every offset and length of a run.
    std::vector<float> samples;
    juce::Random random (7);
    for (int i = 0; i < 4000; ++i)
        samples.push_back ((random.nextFloat() * 2.0f - 1.0f) * 1.5f);

    for (const float odd : { 0.0f, -0.0f, 1.0f, -1.0f, 1.0e-40f, -1.0e-40f, 1.0e30f, infinity, -infinity,
                             std::numeric_limits<float>::quiet_NaN() })
        samples.insert (samples.begin() + random.nextInt ((int) samples.size()), odd);

    const auto bitsOf = [] (float x) { std::uint32_t b; std::memcpy (&b, &x, sizeof b); return b; };

    for (const int offset : { 0, 1, 3 })
    {
        auto clipped = samples, limited = samples;
        const int length = (int) samples.size() - offset - offset % 2;
        brakkle::softClipRun (clipped.data() + offset, length);
        brakkle::limitUnitRun (limited.data() + offset, length);

        for (int i = offset; i < offset + length; ++i)
        {
            const float x = samples[(size_t) i];
            const float expectedLimit = brakkle::limitUnit (x);
            EXPECT_EQ (bitsOf (clipped[(size_t) i]), bitsOf (brakkle::softClip (x))) << "soft clip of " << x;
            EXPECT_EQ (bitsOf (limited[(size_t) i]), bitsOf (expectedLimit)) << "limit of " << x;
        }
    }
}
