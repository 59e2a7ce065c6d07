#include "engine/SoftClip.h"

#include <gtest/gtest.h>

#include <limits>

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
