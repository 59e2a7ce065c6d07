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

TEST (HostedPlugin, ListsSixteenParametersInOrderWithFreshTexts)
{
    auto plugin = loadBrakkle();
    ASSERT_NE (plugin, nullptr);

    const char* freshTexts[] = { "200", "1/8 D", "On", "200", "1/4", "On", "0", "100.00", "0",
                                 "8.00 kHz", "0", "-12.00", "0", "100.00", "0", "Off" };
    static_assert (std::size (freshTexts) == parameterTable.size());

    juce::Array<juce::AudioProcessorParameter*> automatable;
    for (auto* p : plugin->instance().getParameters())
        if (p->isAutomatable())
            automatable.add (p);

    ASSERT_GE (automatable.size(), (int) parameterTable.size());
    for (size_t i = 0; i < parameterTable.size(); ++i)
    {
        auto* p = automatable[(int) i];
        EXPECT_EQ (p->getName (1024), parameterTable[i].name) << i;
        EXPECT_EQ (p->getCurrentValueAsText(), juce::String (freshTexts[i])) << parameterTable[i].name;
        EXPECT_EQ (p->getLabel(), juce::String()) << parameterTable[i].name;
        // The VST3 ID hosts store automation under: JUCE's hash of the ID string,
        // whatever the parameter's version hint.
        EXPECT_EQ (dynamic_cast<juce::HostedAudioProcessorParameter&> (*p).getParameterID(),
                   juce::String ((juce::uint32) parameterTable[i].id.hashCode() & 0x7fffffffu)) << parameterTable[i].name;
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

TEST (HostedPlugin, TextsThatReadAsNoNumberGiveTheHostTheCurrentValue)
{
    // A host asks the plug-in what a text means (VST3 getParamValueByString) and
    // may write the answer into its automation: "nan" must never come back as a
    // value that is no number, and applied, it changes nothing.
    auto plugin = loadBrakkle (2, 44100.0, 256);
    ASSERT_NE (plugin, nullptr);
    brakkle::test::HeardValues heard (plugin->instance());
    setPlain (*plugin, ParameterIds::filterFreq, 3000.0f);
    setPlain (*plugin, ParameterIds::stutterTimeBpm, 4.0f);

    auto block = ramp (2, 256);
    plugin->process (block);

    for (size_t i = 0; i < parameterTable.size(); ++i)
    {
        const auto& spec = parameterTable[i];
        if (spec.isSwitch())
            continue;

        auto* parameter = plugin->parameterNamed (spec.name);
        ASSERT_NE (parameter, nullptr);
        const float before = parameter->getValue();

        for (const char* text : { "nan", "-NaN", " nan kHz" })
        {
            const float value = parameter->getValueForText (text);
            heard.add ((int) i, value);
            EXPECT_EQ (value, before) << spec.id << " from \"" << text << "\"";

            brakkle::host::HostedPlugin::setNormalised (*parameter, value);
            block = ramp (2, 256);
            plugin->process (block);
            juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
        }

        EXPECT_EQ (parameter->getValue(), before) << spec.id;
    }

    EXPECT_GT (heard.count(), 0u);
    EXPECT_EQ (heard.firstNotANumber(), "");
}

TEST (HostedPlugin, BypassLeavesTheEngineAsAStoppedTransportDoes)
{
    // A "1/16" slice every "1/4" at 120 BPM (5512 and 22050 samples). The host
    // bypasses the plug-in in the middle of a cycle: the bypassed blocks pass the
    // input unchanged, and the first block after it starts a fresh cycle, as
    // after a stopped transport, instead of repeating a slice recorded before.
    auto bypassed = loadBrakkle (2, 44100.0, 512);
    auto stopped = loadBrakkle (2, 44100.0, 512);
    ASSERT_NE (bypassed, nullptr);
    ASSERT_NE (stopped, nullptr);

    auto* bypass = bypassed->instance().getBypassParameter();
    ASSERT_NE (bypass, nullptr) << "the host finds no bypass parameter";

    for (auto* plugin : { bypassed.get(), stopped.get() })
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);

    const int firstQuiet = 20 * 512, firstBack = 30 * 512;   // inside the first cycle
    const auto isQuiet = [&] (int start) { return start >= firstQuiet && start < firstBack; };
    const auto input = ramp (2, 3 * 22050);

    const auto output = renderInBlocks (*bypassed, input, { 512 }, [&] (int start)
    {
        if (start == firstQuiet || start == firstBack)
            brakkle::host::HostedPlugin::setNormalised (*bypass, isQuiet (start) ? 1.0f : 0.0f);
    });

    const auto expected = renderInBlocks (*stopped, input, { 512 }, [&] (int start)
    {
        stopped->transport().playing = ! isQuiet (start);
    });

    for (int c = 0; c < 2; ++c)
        for (int i = firstQuiet; i < firstBack; ++i)
            ASSERT_EQ (output.getSample (c, i), input.getSample (c, i)) << "bypassed: channel " << c << " sample " << i;

    for (int c = 0; c < 2; ++c)
        for (int i = firstBack; i < input.getNumSamples(); ++i)
            ASSERT_EQ (output.getSample (c, i), expected.getSample (c, i)) << "after the bypass: channel " << c << " sample " << i;

    // And before it, both played the same.
    for (int i = 0; i < firstQuiet; ++i)
        ASSERT_EQ (output.getSample (0, i), expected.getSample (0, i)) << "sample " << i;
}
