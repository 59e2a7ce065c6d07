// Brakkle as a host sees it: the built VST3 bundle loaded through JUCE's VST3 hosting.

#include "support/HostedBrakkle.h"
#include "support/ReferencePipeline.h"
#include "support/Signals.h"
#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

using brakkle::test::firstDifference;
using brakkle::test::loadBrakkle;
using brakkle::test::renderInBlocks;
using brakkle::test::setPlain;

namespace
{
    juce::AudioBuffer<float> ramp (int channels, int samples)
    {
        juce::AudioBuffer<float> block (channels, samples);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < samples; ++i)
                block.setSample (c, i, std::sin (0.01f * (float) i + (float) c) * 0.8f);
        return block;
    }
}

TEST (HostedPlugin, ListsFifteenParametersInOrderWithFreshTexts)
{
    auto plugin = loadBrakkle();
    ASSERT_NE (plugin, nullptr);

    const char* freshTexts[] = { "200", "1/8 D", "On", "200", "1/4", "On", "0", "100.00", "0",
                                 "8.00 kHz", "0", "-12.00", "0", "100.00", "0" };

    juce::Array<juce::AudioProcessorParameter*> automatable;
    for (auto* p : plugin->instance().getParameters())
        if (p->isAutomatable())
            automatable.add (p);

    ASSERT_GE (automatable.size(), 15);
    for (size_t i = 0; i < parameterTable.size(); ++i)
    {
        auto* p = automatable[(int) i];
        EXPECT_EQ (p->getName (1024), parameterTable[i].name) << i;
        EXPECT_EQ (p->getCurrentValueAsText(), juce::String (freshTexts[i])) << parameterTable[i].name;
        EXPECT_EQ (p->getLabel(), juce::String()) << parameterTable[i].name;
        EXPECT_NEAR (p->getDefaultValue(),
                     (parameterTable[i].defaultValue - parameterTable[i].minimum) / (parameterTable[i].maximum - parameterTable[i].minimum),
                     1.0e-6f) << parameterTable[i].name;
    }
}

TEST (HostedPlugin, IdentityAndLayouts)
{
    auto plugin = loadBrakkle();
    ASSERT_NE (plugin, nullptr);
    auto& instance = plugin->instance();

    const auto description = instance.getPluginDescription();
    EXPECT_EQ (description.name, juce::String ("Brakkle"));
    EXPECT_EQ (description.manufacturerName, juce::String ("Halvorn"));
    EXPECT_EQ (description.version, juce::String ("1.7.0"));
    EXPECT_EQ (description.category, juce::String ("Fx"));
    EXPECT_FALSE (description.isInstrument);
    EXPECT_FALSE (instance.acceptsMidi());
    EXPECT_FALSE (instance.producesMidi());

    EXPECT_EQ (instance.getMainBusNumInputChannels(), 2);
    EXPECT_EQ (instance.getMainBusNumOutputChannels(), 2);

    using Set = juce::AudioChannelSet;
    auto layout = [] (Set in, Set out)
    {
        juce::AudioProcessor::BusesLayout l;
        l.inputBuses.add (in);
        l.outputBuses.add (out);
        return l;
    };
    // The host asks for a layout and keeps what the plug-in agreed to.
    auto takes = [&instance] (const juce::AudioProcessor::BusesLayout& wanted)
    {
        instance.releaseResources();
        return instance.setBusesLayout (wanted) && instance.getBusesLayout() == wanted;
    };
    EXPECT_TRUE (takes (layout (Set::mono(), Set::mono())));
    EXPECT_FALSE (takes (layout (Set::mono(), Set::stereo())));
    EXPECT_FALSE (takes (layout (Set::stereo(), Set::mono())));
    EXPECT_TRUE (takes (layout (Set::stereo(), Set::stereo())));
}

TEST (HostedPlugin, StoppedTransportPassesTheInputThroughTheGainStages)
{
    for (int channels : { 1, 2 })
    {
        auto plugin = loadBrakkle (channels, 48000.0, 256);
        ASSERT_NE (plugin, nullptr);
        plugin->transport().playing = false;
        setPlain (*plugin, ParameterIds::output, 6.0f);

        const auto input = ramp (channels, 256);
        auto block = input;
        plugin->process (block);

        const float gain = juce::Decibels::decibelsToGain (6.0f);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 256; ++i)
                ASSERT_NEAR (block.getSample (c, i), reference::gainStages (input.getSample (c, i), 1.0f, gain), 1.0e-6f)
                    << channels << " channel(s), channel " << c << " sample " << i;
    }
}

TEST (HostedPlugin, PlayingTransportRepeatsTheSlice)
{
    // 120 BPM at 44.1 kHz: a "1/16" slice is 5512 samples, a "1/4" refresh 22050.
    auto plugin = loadBrakkle (2, 44100.0, 512);
    ASSERT_NE (plugin, nullptr);
    setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);
    plugin->transport().playing = true;

    const int total = 22050;
    auto input = ramp (2, total);
    const auto output = renderInBlocks (*plugin, input, { 512 });

    // Away from the edge fades, the recorded pass is the input through the gain
    // stages (no tone effect is on), and each repeat plays it again.
    const int slice = 5512;
    for (int i = 1000; i < 4000; ++i)
    {
        ASSERT_NEAR (output.getSample (0, i), reference::gainStages (input.getSample (0, i)), 1.0e-6f) << "sample " << i;
        for (int repeat = 1; repeat < 3; ++repeat)
            ASSERT_EQ (output.getSample (0, i + repeat * slice), output.getSample (0, i)) << "sample " << i << " repeat " << repeat;
    }
}

TEST (HostedPlugin, StateTravelsBetweenInstancesThroughTheHost)
{
    auto source = loadBrakkle (2, 44100.0, 256);
    auto restored = loadBrakkle (2, 44100.0, 256);
    ASSERT_NE (source, nullptr);
    ASSERT_NE (restored, nullptr);

    const std::pair<const juce::String*, float> settings[] = {
        { &ParameterIds::stutterTimeFree, 321.0f }, { &ParameterIds::stutterTimeBpm, 4.0f },  { &ParameterIds::stutterSync, 0.0f },
        { &ParameterIds::refreshTimeFree, 777.0f }, { &ParameterIds::refreshTimeBpm, 17.0f }, { &ParameterIds::refreshSync, 0.0f },
        { &ParameterIds::input, -6.5f },            { &ParameterIds::mix, 42.25f },           { &ParameterIds::output, 3.5f },
        { &ParameterIds::filterFreq, 1234.0f },     { &ParameterIds::filterMix, -55.5f },     { &ParameterIds::fadeVol, -30.0f },
        { &ParameterIds::fadeMix, 66.5f },          { &ParameterIds::stereoWidth, 12.25f },   { &ParameterIds::stereoMix, -99.0f },
    };
    for (const auto& [id, value] : settings)
        setPlain (*source, *id, value);

    // A hosted instance hears automation at its next process call.
    auto warmUp = ramp (2, 256);
    source->process (warmUp);

    juce::MemoryBlock saved;
    source->instance().getStateInformation (saved);
    restored->instance().setStateInformation (saved.getData(), (int) saved.getSize());

    const auto& before = source->instance().getParameters();
    const auto& after = restored->instance().getParameters();
    for (size_t i = 0; i < parameterTable.size(); ++i)
        EXPECT_EQ (after[(int) i]->getValue(), before[(int) i]->getValue()) << parameterTable[i].id;

    // The engines got the same values: the same input sounds the same from here on.
    warmUp = ramp (2, 256);
    restored->process (warmUp);
    for (int block = 0; block < 40; ++block)
    {
        auto a = ramp (2, 256);
        auto b = ramp (2, 256);
        source->process (a);
        restored->process (b);
        ASSERT_EQ (firstDifference (b, a), "") << "block " << block;
    }

    juce::MemoryBlock again;
    restored->instance().getStateInformation (again);
    EXPECT_EQ (again, saved);
}

TEST (HostedPlugin, OffersItsFixedSizeWindow)
{
    auto plugin = loadBrakkle();
    ASSERT_NE (plugin, nullptr);
    ASSERT_TRUE (plugin->instance().hasEditor());

    // The host's wrapper takes the size the plug-in's view asks for.
    std::unique_ptr<juce::AudioProcessorEditor> window (plugin->instance().createEditor());
    ASSERT_NE (window, nullptr);
    EXPECT_EQ (window->getWidth(), 800);
    EXPECT_EQ (window->getHeight(), 600);
    EXPECT_FALSE (window->isResizable());
}
