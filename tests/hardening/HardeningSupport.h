#pragma once

// What the hostile-host tests share: loading the bundle, a test signal, and
// parameter access in each parameter's own units through the host's side.

#include "support/HostedBrakkle.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace brakkle::hardening
{

using brakkle::test::loadBrakkle;
using brakkle::test::plainValue;
using brakkle::test::renderInBlocks;
using brakkle::test::setPlain;
using brakkle::test::specFor;

/** A few tones and some noise, different per channel, peaking near full scale. */
inline juce::AudioBuffer<float> testSignal (int channels, int samples, juce::int64 seed)
{
    juce::Random random (seed);
    juce::AudioBuffer<float> b (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            b.setSample (c, i, 0.5f * std::sin (0.013f * (float) i * (float) (c + 1))
                                   + 0.3f * std::sin (0.0021f * (float) i + (float) c)
                                   + 0.15f * (random.nextFloat() * 2.0f - 1.0f));
    return b;
}

using brakkle::test::isFiniteAndBounded;

inline void expectFiniteAndBounded (const juce::AudioBuffer<float>& block)
{
    for (int c = 0; c < block.getNumChannels(); ++c)
        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const float s = block.getSample (c, i);
            ASSERT_TRUE (s >= -1.0f && s <= 1.0f) << "channel " << c << " sample " << i << " = " << s;
        }
}

} // namespace brakkle::hardening
