#pragma once

// The numbers a reference for Brakkle needs, written out here rather than taken
// from the plug-in: the note lengths, the soft clip and the output trim. Tests
// pin them to values worked out by hand (EngineTests, ReferenceEngine).

#include <array>

namespace reference
{
    /** Quarter-note beats of the twenty divisions, "1/64 T" to "2 BARS":
        triplet, plain and dotted for each note value, a bar is four beats. */
    inline const std::array<float, 20> noteBeats {
        0.041666668f, 0.0625f, 0.09375f,    // 1/64 T, 1/64, 1/64 D
        0.083333336f, 0.125f,  0.1875f,     // 1/32
        0.16666667f,  0.25f,   0.375f,      // 1/16
        0.33333334f,  0.5f,    0.75f,       // 1/8
        0.6666667f,   1.0f,    1.5f,        // 1/4
        1.3333334f,   2.0f,    3.0f,        // 1/2
        4.0f,         8.0f                  // 1 BAR, 2 BARS
    };

    /** The cubic soft clip, 1.5x - 0.5x^3 on x clamped to [-1, 1], worked in double. */
    inline float softClip (float x)
    {
        const double c = x < -1.0f ? -1.0 : (x > 1.0f ? 1.0 : (double) x);
        const float y = (float) (1.5 * c - 0.5 * c * c * c);
        return y < -1.0f ? -1.0f : (y > 1.0f ? 1.0f : y);
    }

    /** The fixed -3 dB output trim, 10^-0.15 = 0.70794578... */
    inline constexpr float outputTrim = 0.7079457844f;

    /** What the pipeline makes of a host sample while the wet path equals the
        dry one (transport stopped, or no effect): input gain and clip, output
        gain, trim and clip. */
    inline float gainStages (float x, float inputGain = 1.0f, float outputGain = 1.0f)
    {
        return softClip (outputGain * softClip (inputGain * x) * outputTrim);
    }
}
