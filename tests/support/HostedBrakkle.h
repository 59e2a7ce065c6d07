#pragma once

// The built bundle as the host-side tests drive it: loading it, setting
// parameters in their own units through the host's side, and playing a long
// buffer through it block by block.

#include "PluginHost.h"

#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <string>
#include <type_traits>
#include <memory>
#include <vector>

namespace brakkle::test
{

/** The format the hosted tests load Brakkle in: VST3, or LV2 or CLAP when the
    test program runs with --format lv2 or --format clap. CTest runs every
    hosted test in each format where it applies (the LV2 runs are named
    "LV2.*", the CLAP runs "CLAP.*"). */
inline host::PluginFormat& formatUnderTest()
{
    static host::PluginFormat format = host::PluginFormat::vst3;
    return format;
}

inline bool testingLv2() { return formatUnderTest() == host::PluginFormat::lv2; }
inline bool testingClap() { return formatUnderTest() == host::PluginFormat::clap; }

/** Reads --format vst3|lv2|clap (or --format=...) from a test program's command
    line. False, with a message, for any other format. */
inline bool readFormatUnderTest (int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        juce::String argument (argv[i]), value;

        if (argument == "--format" && i + 1 < argc)
            value = argv[i + 1];
        else if (argument.startsWith ("--format="))
            value = argument.fromFirstOccurrenceOf ("=", false, false);
        else
            continue;

        if (value != "vst3" && value != "lv2" && value != "clap")
        {
            std::cerr << "--format takes vst3, lv2 or clap, got \"" << value << "\"" << std::endl;
            return false;
        }

        formatUnderTest() = value == "lv2"  ? host::PluginFormat::lv2
                          : value == "clap" ? host::PluginFormat::clap
                                            : host::PluginFormat::vst3;
    }

    return true;
}

/** This build's bundle of the format, loaded through JUCE's hosting of that format. */
inline std::unique_ptr<host::HostedPlugin> loadBrakkle (host::PluginFormat format, int channels = 2,
                                                        double rate = 44100.0, int block = 512)
{
    juce::String error;
    auto plugin = host::HostedPlugin::load (host::defaultBundle (format), rate, block, channels, error);
    EXPECT_NE (plugin, nullptr) << error;
    return plugin;
}

/** This build's bundle in the format under test. */
inline std::unique_ptr<host::HostedPlugin> loadBrakkle (int channels = 2, double rate = 44100.0, int block = 512)
{
    return loadBrakkle (formatUnderTest(), channels, rate, block);
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

/** Every normalised value the host side hears for the plug-in's parameters:
    from the plug-in's edits (VST3 performEdit), from its processing, and from
    the host's own changes, as a host's automation lane and display would. */
class HeardValues final : private juce::AudioProcessorParameter::Listener,
                          private juce::AudioProcessorListener
{
public:
    explicit HeardValues (juce::AudioPluginInstance& instanceToWatch) : instance (instanceToWatch)
    {
        instance.addListener (this);
        for (auto* parameter : instance.getParameters())
            parameter->addListener (this);
    }

    ~HeardValues() override
    {
        for (auto* parameter : instance.getParameters())
            parameter->removeListener (this);
        instance.removeListener (this);
    }

    /** Adds a value the host got back by asking (a text's value, for example). */
    void add (int parameterIndex, float value)
    {
        const juce::ScopedLock lock (mutex);
        values.push_back ({ parameterIndex, value });
    }

    /** "parameter 9: nan" for the first value that is no number, or an empty text. */
    std::string firstNotANumber() const
    {
        const juce::ScopedLock lock (mutex);
        for (const auto& [index, value] : values)
            if (std::isnan (value))
                return "parameter " + std::to_string (index) + ": " + std::to_string (value);
        return {};
    }

    size_t count() const
    {
        const juce::ScopedLock lock (mutex);
        return values.size();
    }

private:
    void parameterValueChanged (int index, float value) override { add (index, value); }
    void parameterGestureChanged (int, bool) override {}
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override { add (index, value); }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    juce::AudioPluginInstance& instance;
    juce::CriticalSection mutex;
    std::vector<std::pair<int, float>> values;
};

/** Plays the input through the plug-in in blocks whose sizes cycle through
    blockSizes, and returns what came out. beforeEachBlock (start), or
    beforeEachBlock (start, length) with the coming block's length, runs before
    each block, for what a host does between calls (tempo, transport, empty
    blocks). */
template <typename BeforeEachBlock>
juce::AudioBuffer<float> renderInBlocks (host::HostedPlugin& plugin,
                                         const juce::AudioBuffer<float>& input,
                                         const std::vector<int>& blockSizes,
                                         BeforeEachBlock&& beforeEachBlock)
{
    juce::AudioBuffer<float> output (input.getNumChannels(), input.getNumSamples());
    int start = 0;

    for (size_t b = 0; start < input.getNumSamples(); ++b)
    {
        const int n = juce::jmin (blockSizes[b % blockSizes.size()], input.getNumSamples() - start);

        if constexpr (std::is_invocable_v<BeforeEachBlock&, int, int>)
            beforeEachBlock (start, n);
        else
            beforeEachBlock (start);

        juce::AudioBuffer<float> block (input.getNumChannels(), n);
        for (int c = 0; c < input.getNumChannels(); ++c)
            block.copyFrom (c, 0, input, c, start, n);

        plugin.process (block);

        for (int c = 0; c < input.getNumChannels(); ++c)
            output.copyFrom (c, start, block, c, 0, n);
        start += n;
    }

    return output;
}

inline juce::AudioBuffer<float> renderInBlocks (host::HostedPlugin& plugin,
                                                const juce::AudioBuffer<float>& input,
                                                const std::vector<int>& blockSizes)
{
    return renderInBlocks (plugin, input, blockSizes, [] (int) {});
}

} // namespace brakkle::test
