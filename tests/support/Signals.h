#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

#include <iomanip>
#include <sstream>
#include <string>

namespace brakkle::test
{

/** Distinct, smoothly varying samples in [-0.9, 0.9], different per channel. */
inline juce::AudioBuffer<float> ramp (int channels, int samples)
{
    juce::AudioBuffer<float> b (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            b.setSample (c, i, 0.9f * std::sin (0.0007f * (float) i * (float) (c + 1) + 0.3f * (float) c));
    return b;
}

/** Deterministic white noise in [-0.8, 0.8]. */
inline juce::AudioBuffer<float> noise (int channels, int samples, juce::int64 seed)
{
    juce::Random random (seed);
    juce::AudioBuffer<float> b (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            b.setSample (c, i, (random.nextFloat() * 2.0f - 1.0f) * 0.8f);
    return b;
}

/** True when every sample is a number within [-1, 1]. */
inline bool isFiniteAndBounded (const juce::AudioBuffer<float>& block)
{
    for (int c = 0; c < block.getNumChannels(); ++c)
        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const float s = block.getSample (c, i);
            if (! (s >= -1.0f && s <= 1.0f))   // false for NaN
                return false;
        }

    return true;
}

/** Where two buffers first differ ("channel 1 sample 480: 0.25 against 0.5", every digit),
    or an empty text when they hold the same channels, length and samples. */
inline std::string firstDifference (const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected)
{
    if (actual.getNumChannels() != expected.getNumChannels() || actual.getNumSamples() != expected.getNumSamples())
        return "shape " + std::to_string (actual.getNumChannels()) + "x" + std::to_string (actual.getNumSamples())
             + " against " + std::to_string (expected.getNumChannels()) + "x" + std::to_string (expected.getNumSamples());

    for (int c = 0; c < actual.getNumChannels(); ++c)
        for (int i = 0; i < actual.getNumSamples(); ++i)
            if (! juce::exactlyEqual (actual.getSample (c, i), expected.getSample (c, i)))
            {
                std::ostringstream where;
                where << std::setprecision (9) << "channel " << c << " sample " << i << ": "
                      << actual.getSample (c, i) << " against " << expected.getSample (c, i);
                return where.str();
            }

    return {};
}

} // namespace brakkle::test
