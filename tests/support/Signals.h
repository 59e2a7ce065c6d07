#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

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

} // namespace brakkle::test
