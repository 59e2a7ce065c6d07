// The CLAP file as a CLAP host sees it (descriptor, port configurations,
// parameters), the same samples through it as through the VST3 bundle (the
// golden settings, Grid Lock from mid-bar, in a loop and through a ramp, fills,
// a Repeat schedule, on mono tracks too, every factory preset), and where a
// parameter event inside a block takes effect.

#include "support/FactoryPresetState.h"
#include "support/GoldenRender.h"
#include "support/HostedBrakkle.h"
#include "support/PluginState.h"
#include "support/Signals.h"

#include "ClapHost.h"
#include "DemoLoop.h"

#include <gtest/gtest.h>

#include <functional>

using brakkle::host::HostedPlugin;
using brakkle::host::PluginFormat;
using brakkle::test::firstDifference;
using brakkle::test::loadBrakkle;
using brakkle::test::renderInBlocks;
using brakkle::test::setPlain;

namespace
{
    brakkle::host::ClapPluginInstance& clapOf (HostedPlugin& plugin)
    {
        return *plugin.clapInstance();
    }
}

TEST (ClapFile, DescribesBrakkleAsTheVst3BundleDoes)
{
    auto clap = loadBrakkle (PluginFormat::clap);
    auto vst3 = loadBrakkle (PluginFormat::vst3);
    ASSERT_NE (clap, nullptr);
    ASSERT_NE (vst3, nullptr);

    const auto& descriptor = clapOf (*clap).descriptor();
    const auto vst3Description = vst3->instance().getPluginDescription();

    // Hosts save the ID in their projects: it never changes.
    EXPECT_STREQ (descriptor.id, "com.halvorn.brakkle");
    EXPECT_EQ (juce::String (descriptor.name), vst3Description.name);
    EXPECT_EQ (juce::String (descriptor.vendor), vst3Description.manufacturerName);
    EXPECT_EQ (juce::String (descriptor.version), vst3Description.version);

    juce::StringArray features;
    for (auto* const* feature = descriptor.features; *feature != nullptr; ++feature)
        features.add (*feature);
    EXPECT_EQ (features.joinIntoString (" "), juce::String ("audio-effect glitch stereo mono"));
}

TEST (ClapFile, OffersStereoAndMonoPortConfigurationsAndComesUpInStereo)
{
    auto clap = loadBrakkle (PluginFormat::clap);
    ASSERT_NE (clap, nullptr);
    auto& instance = clapOf (*clap);

    // Hosts list the configurations by name and keep the chosen one's id in
    // their projects: the ids never change.
    struct Expected { clap_id id; const char* name; uint32_t channels; const char* portType; };
    const Expected expected[] = { { 0, "Stereo", 2, CLAP_PORT_STEREO }, { 1, "Mono", 1, CLAP_PORT_MONO } };
    const auto& configs = instance.portsConfigs();
    ASSERT_EQ (configs.size(), std::size (expected));

    for (size_t i = 0; i < configs.size(); ++i)
    {
        const auto& config = configs[i];
        const auto& wanted = expected[i];
        SCOPED_TRACE (wanted.name);
        EXPECT_EQ (config.id, wanted.id);
        EXPECT_STREQ (config.name, wanted.name);
        EXPECT_EQ (config.input_port_count, 1u);
        EXPECT_EQ (config.output_port_count, 1u);
        EXPECT_TRUE (config.has_main_input);
        EXPECT_TRUE (config.has_main_output);
        EXPECT_EQ (config.main_input_channel_count, wanted.channels);
        EXPECT_EQ (config.main_output_channel_count, wanted.channels);
        EXPECT_STREQ (config.main_input_port_type, wanted.portType);
        EXPECT_STREQ (config.main_output_port_type, wanted.portType);
    }

    // A fresh instance is stereo; a mono track selects Mono, a stereo track
    // Stereo again, and the ports the plug-in reports follow.
    for (const auto& [channels, portType] : { std::pair (2, CLAP_PORT_STEREO), std::pair (1, CLAP_PORT_MONO),
                                              std::pair (2, CLAP_PORT_STEREO), std::pair (1, CLAP_PORT_MONO) })
    {
        SCOPED_TRACE (channels);
        ASSERT_TRUE (clap->prepare (44100.0, 512, channels));
        EXPECT_EQ (instance.getMainBusNumInputChannels(), channels);
        EXPECT_EQ (instance.getMainBusNumOutputChannels(), channels);

        for (const bool isInput : { true, false })
        {
            const auto port = instance.mainPort (isInput);
            EXPECT_EQ (port.channel_count, (uint32_t) channels);
            EXPECT_STREQ (port.port_type, portType);
            EXPECT_EQ (port.flags & CLAP_AUDIO_PORT_IS_MAIN, (uint32_t) CLAP_AUDIO_PORT_IS_MAIN);
        }
    }
}

TEST (ClapFile, APortConfigurationIsSelectedOnlyWhileDeactivated)
{
    auto clap = loadBrakkle (PluginFormat::clap);   // prepared: active
    ASSERT_NE (clap, nullptr);
    auto& instance = clapOf (*clap);

    EXPECT_FALSE (instance.selectPortsConfig (1)) << "Mono, while active";
    EXPECT_EQ (instance.mainPort (true).channel_count, 2u);

    instance.releaseResources();
    EXPECT_FALSE (instance.selectPortsConfig (7)) << "an id it never offered";
    EXPECT_EQ (instance.mainPort (true).channel_count, 2u);
    EXPECT_TRUE (instance.selectPortsConfig (1));
    EXPECT_EQ (instance.mainPort (true).channel_count, 1u);
    EXPECT_EQ (instance.mainPort (false).channel_count, 1u);
}

TEST (ClapFile, ParametersAreTheTableInTheirRangesAndSteps)
{
    auto clap = loadBrakkle (PluginFormat::clap);
    ASSERT_NE (clap, nullptr);
    ASSERT_EQ (clap->instance().getParameters().size(), (int) parameterTable.size());

    // The fill shares, Reverse and the switches in their own ranges, in whole
    // steps; the others (note divisions too, as VST3 hosts see them) over 0..1.
    for (size_t i = 0; i < parameterTable.size(); ++i)
    {
        const auto& spec = parameterTable[i];
        const auto& info = clapOf (*clap).parameterInfo ((int) i);
        SCOPED_TRACE (spec.id.toStdString());

        const bool ownRange = spec.isSwitch() || spec.text == ParameterText::sixteenths || spec.text == ParameterText::reverseMode;
        EXPECT_EQ (juce::String (info.name), spec.name);
        EXPECT_EQ (info.min_value, ownRange ? spec.minimum : 0.0);
        EXPECT_EQ (info.max_value, ownRange ? spec.maximum : 1.0);
        EXPECT_NEAR (info.default_value, ownRange ? spec.defaultValue : (spec.defaultValue - spec.minimum) / (spec.maximum - spec.minimum), 1.0e-6);
        EXPECT_EQ ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, ownRange);
        EXPECT_NE (info.flags & CLAP_PARAM_IS_AUTOMATABLE, 0u);
    }
}

namespace
{
    using Settings = std::vector<std::pair<const juce::String*, float>>;

    struct SameSamplesCase
    {
        const char* name;
        Settings settings;
        std::function<void (HostedPlugin&, int start, int length)> steps;   // before each block
        double seconds = 6.0;
        double bpm = 120.0;
        std::vector<int> blocks { 512, 512, 300, 1024 };
        bool goldenInput = false;   // the golden render's input instead of noise
        int channels = 2;           // 1: a mono track (its left channel)
    };

    juce::AudioBuffer<float> renderThrough (PluginFormat format, const SameSamplesCase& c, const juce::AudioBuffer<float>& input)
    {
        auto plugin = loadBrakkle (format, input.getNumChannels(), 44100.0, 1024);
        if (plugin == nullptr)
            return {};

        // On the track's own width, not a mono track fed into a stereo pair.
        EXPECT_EQ (plugin->instance().getMainBusNumOutputChannels(), input.getNumChannels());

        for (const auto& [id, value] : c.settings)
            setPlain (*plugin, *id, value);
        plugin->transport().bpm = c.bpm;

        return renderInBlocks (*plugin, input, c.blocks, [&] (int start, int length)
        {
            if (c.steps)
                c.steps (*plugin, start, length);
        });
    }

    void expectTheSameSamples (const SameSamplesCase& c, const juce::AudioBuffer<float>& input)
    {
        SCOPED_TRACE (c.name);
        const auto vst3 = renderThrough (PluginFormat::vst3, c, input);
        const auto clap = renderThrough (PluginFormat::clap, c, input);
        ASSERT_GT (vst3.getNumSamples(), 0);
        EXPECT_EQ (firstDifference (clap, vst3), "");
    }

    /** A song position as CLAP's transport carries it: a whole number of
        1/2^31 beats (CLAP_BEATTIME_FACTOR). */
    double asClapCarriesIt (double quarters)
    {
        return std::round (quarters * CLAP_BEATTIME_FACTOR) / CLAP_BEATTIME_FACTOR;
    }

    /** Once, in the block that holds sample `at`. */
    bool within (int start, int length, double seconds)
    {
        const auto at = (int) (seconds * 44100.0);
        return start <= at && at < start + length;
    }
}

TEST (ClapFile, SoundsAsTheVst3Bundle)
{
    namespace golden = brakkle::test::golden;
    const Settings fills { { &ParameterIds::gridLock, 1.0f }, { &ParameterIds::stutterTimeBpm, 7.0f },
                           { &ParameterIds::refreshTimeBpm, 18.0f }, { &ParameterIds::fillOffset, 12.0f },
                           { &ParameterIds::fillGate, 4.0f }, { &ParameterIds::fillChance, 50.0f } };
    const Settings grid { { &ParameterIds::gridLock, 1.0f }, { &ParameterIds::stutterTimeBpm, 7.0f },
                          { &ParameterIds::refreshTimeBpm, 16.0f }, { &ParameterIds::filterMix, 60.0f } };

    const Settings goldenSettings (std::begin (golden::settings), std::end (golden::settings));
    const auto inALoop = [] (HostedPlugin& p, int start, int)
    {
        if (start == 0)
        {
            p.transport().locate (3.25);
            p.transport().setLoop (3.0, 7.5, true);
        }
    };

    const SameSamplesCase cases[] = {
        { "the golden settings", goldenSettings, {},
          (double) golden::length / golden::sampleRate, golden::bpm, { golden::blockSize }, true },
        // The stereo widener makes two channels out of one on a stereo pair: on
        // a mono track it sounds as the VST3 plug-in's does only on mono ports.
        { "the golden settings, mono", goldenSettings, {},
          (double) golden::length / golden::sampleRate, golden::bpm, { golden::blockSize }, true, 1 },
        { "Grid Lock in an announced loop that wraps inside blocks, mono", grid, inALoop, 6.0, 120.0,
          { 512, 512, 300, 1024 }, false, 1 },
        { "Grid Lock from beat 2.5, after a pre-roll", grid, [] (HostedPlugin& p, int start, int)
          {
              if (start == 0)
                  p.transport().locate (2.5 - 1776.0 / 22050.0);
          } },
        { "Grid Lock in an announced loop that wraps inside blocks", grid, inALoop },
        { "Grid Lock through a tempo ramp and a locate", grid, [] (HostedPlugin& p, int start, int length)
          {
              if (within (start, length, 1.0))
                  p.transport().rampTo (140.0, 3 * 44100);
              if (within (start, length, 4.5))
                  p.transport().locate (21.3);
          } },
        { "fills on the last beat of each bar, chance 50 %", fills, {}, 16.0 },
        { "Repeat pressed and released by hand, Grid Lock off", { { &ParameterIds::stutterTimeBpm, 9.0f } },
          [] (HostedPlugin& p, int start, int length)
          {
              for (const auto& [seconds, on] : { std::pair (0.61, true), std::pair (1.9, false), std::pair (2.77, true), std::pair (4.05, false) })
                  if (within (start, length, seconds))
                      setPlain (p, ParameterIds::repeatHold, on ? 1.0f : 0.0f);
          } },
        { "Repeat pressed mid-bar with Grid Lock on, stops and starts", grid, [] (HostedPlugin& p, int start, int length)
          {
              if (within (start, length, 0.8))
                  setPlain (p, ParameterIds::repeatHold, 1.0f);
              p.transport().playing = ! (start >= 2 * 44100 && start < 2 * 44100 + 8192);
              if (within (start, length, 3.3))
                  setPlain (p, ParameterIds::repeatHold, 0.0f);
          } },
    };

    for (const auto& c : cases)
    {
        auto input = c.goldenInput ? golden::input() : brakkle::test::noise (2, (int) (44100.0 * c.seconds), 31);
        input.setSize (c.channels, input.getNumSamples(), true);
        expectTheSameSamples (c, input);
    }
}

TEST (ClapFile, EveryFactoryPresetSoundsAsThroughTheVst3Bundle)
{
    const auto& bank = Presets::factoryBank();
    ASSERT_GE (bank.size(), 20u);
    const auto loop = brakkle::render::makeDemoLoop (44100.0, 120.0, 2);

    for (const auto& preset : bank)
    {
        SCOPED_TRACE (preset.name.toStdString());
        juce::AudioBuffer<float> outputs[2];

        for (const auto format : { PluginFormat::vst3, PluginFormat::clap })
        {
            auto plugin = loadBrakkle (format, 2, 44100.0, 512);
            ASSERT_NE (plugin, nullptr);
            ASSERT_TRUE (brakkle::test::restorePluginState (*plugin, brakkle::test::stateFor (preset)));
            outputs[format == PluginFormat::clap ? 1 : 0] = renderInBlocks (*plugin, loop, { 512 });
        }

        EXPECT_EQ (firstDifference (outputs[1], outputs[0]), "");
    }
}

TEST (ClapFile, AParameterEventInsideABlockTakesEffectAtTheBlocksStart)
{
    // JUCE's CLAP client hands the plug-in every event of a block before the
    // block (no sample-accurate automation, as JUCE's VST3 client): a change
    // at sample 300 of a block sounds from its first sample, and of two
    // changes in one block the later one holds for all of it.
    constexpr int block = 512;
    const auto input = brakkle::test::ramp (2, block * 3);

    // The output gain, with the transport stopped: the input through the gain stages.
    using Change = std::pair<float, int>;   // dB, sample of the second block
    auto play = [&] (const std::vector<Change>& changes, bool splitAtTheChange)
    {
        auto plugin = loadBrakkle (PluginFormat::clap, 2, 44100.0, block);
        plugin->transport().playing = false;
        auto* output = plugin->parameterNamed (ParameterNames::output);
        const auto& spec = brakkle::test::specFor (ParameterIds::output);

        auto queue = [&] (int offset)
        {
            for (const auto& [dB, at] : changes)
                clapOf (*plugin).setValueAt (output->getParameterIndex(), (dB - spec.minimum) / (spec.maximum - spec.minimum), at - offset);
        };

        const std::vector<int> blocks = splitAtTheChange ? std::vector<int> { block, changes[0].second, block - changes[0].second, block }
                                                         : std::vector<int> { block, block, block };
        return renderInBlocks (*plugin, input, blocks, [&] (int at)
        {
            if (at == block && ! splitAtTheChange)
                queue (0);
            if (splitAtTheChange && at == block + changes[0].second)
                queue (changes[0].second);
        });
    };

    const auto atSample300 = play ({ { 6.0f, 300 } }, false);
    const auto atTheStart = play ({ { 6.0f, 0 } }, false);
    const auto fromSample300 = play ({ { 6.0f, 300 } }, true);
    EXPECT_EQ (firstDifference (atSample300, atTheStart), "");
    EXPECT_NE (firstDifference (atSample300, fromSample300), "") << "a change at its sample would sound as the split block";

    const auto twoChanges = play ({ { -6.0f, 100 }, { 6.0f, 400 } }, false);
    EXPECT_EQ (firstDifference (twoChanges, atTheStart), "");
}

TEST (ClapFile, APositionRoundedToClapsFixedPointPlacesTheLinesOnTheSameSamples)
{
    // CLAP's transport carries song positions in whole 1/2^31 beats: a locate
    // to 21.3 beats reaches the plug-in as 21.299999999813735, 0.004 samples
    // early at 120 BPM. The lines after it land on the same samples as after
    // the exact position, through either format.
    const Settings grid { { &ParameterIds::gridLock, 1.0f }, { &ParameterIds::stutterTimeBpm, 7.0f },
                          { &ParameterIds::refreshTimeBpm, 16.0f } };
    const auto input = brakkle::test::noise (2, 44100 * 6, 31);

    for (const double position : { 21.3, 2.3, 5.1, 13.7 })
    {
        auto locateTo = [] (double to)
        {
            return [to] (HostedPlugin& p, int start, int length)
            {
                if (within (start, length, 4.5))
                    p.transport().locate (to);
            };
        };
        SCOPED_TRACE (position);
        ASSERT_NE (asClapCarriesIt (position), position);

        const SameSamplesCase exact { "exact", grid, locateTo (position) };
        const SameSamplesCase carried { "as CLAP carries it", grid, locateTo (asClapCarriesIt (position)) };
        const auto vst3 = renderThrough (PluginFormat::vst3, exact, input);
        EXPECT_EQ (firstDifference (renderThrough (PluginFormat::vst3, carried, input), vst3), "");
        EXPECT_EQ (firstDifference (renderThrough (PluginFormat::clap, exact, input), vst3), "");
    }
}
