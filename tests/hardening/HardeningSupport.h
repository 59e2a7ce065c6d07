#pragma once

// What the hostile-host tests share: loading the bundle, a test signal, and
// parameter access in each parameter's own units through the host's side.

#include "PluginHost.h"

#include "processor/ParameterIds.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace brakkle::hardening
{

inline std::unique_ptr<host::HostedPlugin> loadBrakkle (int channels, double rate, int block)
{
    juce::String error;
    auto plugin = host::HostedPlugin::load (host::defaultBundle(), rate, block, channels, error);
    EXPECT_NE (plugin, nullptr) << error;
    return plugin;
}

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

inline const ParameterSpec& specFor (const juce::String& id)
{
    for (const auto& spec : parameterTable)
        if (spec.id == id)
            return spec;

    jassertfalse;
    return parameterTable[0];
}

/** Sets a parameter in its own units, as host automation would. */
inline void setPlain (host::HostedPlugin& plugin, const juce::String& id, float value)
{
    const auto& spec = specFor (id);
    auto* parameter = plugin.parameterNamed (spec.name);
    ASSERT_NE (parameter, nullptr) << spec.name;
    host::HostedPlugin::setNormalised (*parameter, (value - spec.minimum) / (spec.maximum - spec.minimum));
}

/** A parameter's value in its own units, as the host reads it. */
inline float plainValue (host::HostedPlugin& plugin, const juce::String& id)
{
    const auto& spec = specFor (id);
    auto* parameter = plugin.parameterNamed (spec.name);
    return parameter != nullptr ? spec.minimum + parameter->getValue() * (spec.maximum - spec.minimum)
                                : std::numeric_limits<float>::quiet_NaN();
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
