// The bundles side by side: the same input gives the same samples through the
// VST3 and the LV2 bundle, a state saved in one format opens in another (the
// CLAP file's too; ClapFileTests.cpp compares its sound), and
// the LV2 bundle's description reads, through lilv (the library LV2 hosts read
// bundles with), as our parameter table and identity say.

#include "support/GoldenRender.h"
#include "support/HostedBrakkle.h"
#include "support/PluginState.h"
#include "support/Signals.h"
#include "support/StepTexts.h"

#include <lilv/lilv.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

using brakkle::host::PluginFormat;
using brakkle::test::loadBrakkle;
using brakkle::test::renderInBlocks;
using brakkle::test::setPlain;

namespace
{
    /** What the host does before the block that starts at a sample. */
    using HostSteps = std::function<void (brakkle::host::HostedPlugin&, int start)>;

    struct SameSamplesCase
    {
        const char* name;
        int channels;
        std::vector<std::pair<const juce::String*, float>> settings;
        HostSteps steps;
        double seconds = 6.0;
    };

    /** The largest |difference| between two renders, and where. */
    std::pair<float, std::string> largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        float worst = 0.0f;
        std::string where = "nowhere";
        for (int c = 0; c < a.getNumChannels(); ++c)
            for (int i = 0; i < a.getNumSamples(); ++i)
                if (const auto d = std::abs (a.getSample (c, i) - b.getSample (c, i)); d > worst || std::isnan (d))
                {
                    worst = std::isnan (d) ? INFINITY : d;
                    where = "channel " + std::to_string (c) + " sample " + std::to_string (i);
                }
        return { worst, where };
    }

    juce::AudioBuffer<float> renderThrough (PluginFormat format, const SameSamplesCase& c)
    {
        auto plugin = loadBrakkle (format, c.channels, 44100.0, 1024);
        if (plugin == nullptr)
            return {};

        for (const auto& [id, value] : c.settings)
            setPlain (*plugin, *id, value);

        auto input = brakkle::test::noise (c.channels, (int) (44100.0 * c.seconds), 77);
        input.applyGain (0.6f);
        return renderInBlocks (*plugin, input, { 512, 512, 300, 1024 }, [&] (int start)
        {
            if (c.steps)
                c.steps (*plugin, start);
        });
    }

    const std::vector<std::pair<const juce::String*, float>> everyEffect (std::begin (brakkle::test::golden::settings),
                                                                          std::end (brakkle::test::golden::settings));

    /** Every effect but the stereo widener, which makes the two channels differ. */
    std::vector<std::pair<const juce::String*, float>> everyEffectButTheWidener()
    {
        auto settings = everyEffect;
        settings.push_back ({ &ParameterIds::stereoMix, 0.0f });
        return settings;
    }
}

TEST (Formats, TheSameInputGivesTheSameSamplesThroughEitherBundle)
{
    // LV2 carries the host's tempo as a 32-bit float (time:beatsPerMinute), so
    // the tempos here are ones a float holds exactly: with others, Grid Lock's
    // position arithmetic (in double precision) could see another tempo.
    //
    // Mono: the LV2 bundle has a stereo pair of ports only, so a mono track
    // plays it with the track on both inputs (the left output is compared).
    // That sounds as the VST3 bundle on one channel, except for the stereo
    // widener, which makes two channels out of one there.
    const SameSamplesCase cases[] = {
        { "defaults, stereo", 2, {}, {} },
        { "defaults, mono", 1, {}, {} },
        { "every effect on, stereo", 2, everyEffect, {} },
        { "every effect but the stereo widener, mono", 1, everyEffectButTheWidener(), {} },
        { "a tempo schedule with stops, a locate and Grid Lock switched on", 2, everyEffect,
          [] (brakkle::host::HostedPlugin& plugin, int start)
          {
              auto& transport = plugin.transport();
              if (start == 0)
              {
                  transport.bpm = 128.0;
                  transport.locate (-0.5);   // a pre-roll
              }
              if (start >= 44100 && start < 44100 + 1024)
                  transport.bpm = 97.25;
              transport.playing = ! (start >= 2 * 44100 && start < 2 * 44100 + 8192);
              if (start >= 3 * 44100 && start < 3 * 44100 + 1024)
              {
                  setPlain (plugin, ParameterIds::gridLock, 1.0f);
                  transport.locate (6.5);
              }
              if (start >= 4 * 44100 && start < 4 * 44100 + 1024)
                  transport.bpm = 150.5;
          } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto vst3 = renderThrough (PluginFormat::vst3, c);
        const auto lv2 = renderThrough (PluginFormat::lv2, c);
        ASSERT_EQ (vst3.getNumSamples(), lv2.getNumSamples());
        ASSERT_GT (vst3.getNumSamples(), 0);

        const auto [worst, where] = largestDifference (lv2, vst3);
        std::cout << "LV2 against VST3, " << c.name << ": max |difference| " << worst << std::endl;
        EXPECT_EQ (worst, 0.0f) << "largest at " << where;
    }
}

namespace
{
    /** A host's position as Ardour sends it to LV2 plug-ins and JUCE's LV2
        client passes it on: tempo, playing, sample position, bar number and
        meter, but no beat position (Ardour sends the beat within the bar,
        time:barBeat, which JUCE's client does not read). */
    struct BarsButNoBeats final : juce::AudioPlayHead
    {
        explicit BarsButNoBeats (brakkle::host::Transport& t) : transport (t) {}

        juce::Optional<PositionInfo> getPosition() const override
        {
            auto info = transport.getPosition();
            if (info && info->getPpqPosition())
            {
                info->setBarCount ((juce::int64) std::floor (*info->getPpqPosition() / transport.quarterNotesPerBar() + 1.0e-9));
                info->setPpqPosition ({});
                info->setPpqPositionOfLastBarStart ({});
            }
            return info;
        }

        brakkle::host::Transport& transport;
    };
}

TEST (Formats, GridLockFollowsAnLv2HostThatSendsBarsButNoBeats)
{
    // Ardour's LV2 time position: the LV2 bundle then finds its place on the
    // grid from the sample position, and sounds as the VST3 bundle given the
    // full musical position. Starts and locates on whole samples, as a
    // sample-based host's song position is.
    struct Case
    {
        const char* name;
        double bpm;
        int numerator, denominator;
        double start;
        std::vector<std::pair<int, double>> locates {};   // at a sample, to a position
    };

    const Case cases[] = {
        { "120 BPM, 4/4, from beat 2.5", 120.0, 4, 4, 2.5 },
        { "105 BPM, 7/8, from the middle of bar 2, with a locate back", 105.0, 7, 8, 5.0, { { 4 * 44100, 1.5 } } },
        { "120 BPM, 3/4, from 0, a locate to beat 9.5", 120.0, 3, 4, 0.0, { { 3 * 44100, 9.5 } } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        juce::AudioBuffer<float> outputs[2];

        for (const auto format : { PluginFormat::vst3, PluginFormat::lv2 })
        {
            auto plugin = loadBrakkle (format, 2, 44100.0, 512);
            ASSERT_NE (plugin, nullptr);
            setPlain (*plugin, ParameterIds::gridLock, 1.0f);
            setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);    // "1/16"
            setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);   // "1/4"

            auto& transport = plugin->transport();
            transport.bpm = c.bpm;
            transport.numerator = c.numerator;
            transport.denominator = c.denominator;
            transport.locate (c.start);

            BarsButNoBeats barsOnly (transport);
            if (format == PluginFormat::lv2)
                plugin->instance().setPlayHead (&barsOnly);

            const auto input = brakkle::test::noise (2, 44100 * 6, 5);
            outputs[format == PluginFormat::lv2 ? 1 : 0] = renderInBlocks (*plugin, input, { 512 }, [&] (int start)
            {
                for (const auto& [at, to] : c.locates)
                    if (start <= at && at < start + 512)
                        transport.locate (to);
            });
        }

        const auto [worst, where] = largestDifference (outputs[1], outputs[0]);
        EXPECT_EQ (worst, 0.0f) << "largest at " << where;
    }
}

TEST (Formats, ArdoursPrerollReachesVst3AsPlayingAndLv2AsStopped)
{
    // Ardour (7.3) plays its pre-roll to a VST3 plug-in as a running transport,
    // from the position that far before the start, and to an LV2 plug-in as a
    // stopped one.
    // With Grid Lock off, Brakkle's cycle counts from the first sample it plays:
    // in Ardour the VST3 version then starts the pre-roll's length early, the
    // LV2 version on the start. With Grid Lock on, both start on the grid.
    // The pre-roll lengths are ardour7-export's at blocks of 1024 and 2048.
    struct Case
    {
        int preroll, block;
        bool gridLock;
    };
    const Case cases[] = { { 768, 1024, false }, { 1776, 2048, false }, { 768, 1024, true }, { 1776, 2048, true } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.preroll) + " samples of pre-roll, Grid Lock " + (c.gridLock ? "on" : "off"));
        const int length = 44100 * 4;
        const auto input = brakkle::test::ramp (2, length);

        // What a host plays and how: the pre-roll (silence) as Ardour plays it to
        // each format, or none; then the song from its start.
        const auto play = [&] (PluginFormat format, bool withPreroll)
        {
            auto plugin = loadBrakkle (format, 2, 44100.0, c.block);
            if (plugin == nullptr)
                return juce::AudioBuffer<float>();
            setPlain (*plugin, ParameterIds::gridLock, c.gridLock ? 1.0f : 0.0f);
            setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);

            const int preroll = withPreroll ? c.preroll : 0;
            juce::AudioBuffer<float> played (2, preroll + length);
            played.clear();
            for (int ch = 0; ch < 2; ++ch)
                played.copyFrom (ch, preroll, input, ch, 0, length);

            std::vector<int> blocks;
            if (preroll > 0)
                blocks.push_back (preroll);
            for (int n = preroll; n < played.getNumSamples(); n += c.block)
                blocks.push_back (c.block);

            // To VST3 the pre-roll is one running block, reported where it
            // starts, rounded to 1/1920 of a quarter; the song then starts on
            // a block of its own, at exactly 0 (as Ardour 7.3 was seen to play
            // it, block by block).
            auto& transport = plugin->transport();
            transport.positionResolution = 1.0 / 1920.0;
            const auto output = renderInBlocks (*plugin, played, blocks, [&] (int start)
            {
                transport.playing = start >= preroll || format == PluginFormat::vst3;
                if (start == 0)
                    transport.locate (-(double) preroll / 22050.0);
                if (start == preroll)
                    transport.locate (0.0);
            });

            juce::AudioBuffer<float> song (2, length);
            for (int ch = 0; ch < 2; ++ch)
                song.copyFrom (ch, 0, output, ch, preroll, length);
            return song;
        };

        // The references: the VST3 bundle without pre-roll, and with the
        // pre-roll played as a running transport from its first sample.
        const auto plain = play (PluginFormat::vst3, false);
        auto runningPreroll = [&]
        {
            auto plugin = loadBrakkle (PluginFormat::vst3, 2, 44100.0, c.block);
            setPlain (*plugin, ParameterIds::gridLock, c.gridLock ? 1.0f : 0.0f);
            setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);
            juce::AudioBuffer<float> played (2, c.preroll + length);
            played.clear();
            for (int ch = 0; ch < 2; ++ch)
                played.copyFrom (ch, c.preroll, input, ch, 0, length);
            plugin->transport().locate (-(double) c.preroll / 22050.0);
            const auto output = renderInBlocks (*plugin, played, { c.block });
            juce::AudioBuffer<float> song (2, length);
            for (int ch = 0; ch < 2; ++ch)
                song.copyFrom (ch, 0, output, ch, c.preroll, length);
            return song;
        }();

        const auto inArdourVst3 = play (PluginFormat::vst3, true);
        const auto inArdourLv2 = play (PluginFormat::lv2, true);

        EXPECT_EQ (brakkle::test::firstDifference (inArdourLv2, plain), "") << "LV2";
        if (c.gridLock)
        {
            EXPECT_EQ (brakkle::test::firstDifference (inArdourVst3, plain), "") << "VST3";
        }
        else
        {
            EXPECT_EQ (brakkle::test::firstDifference (inArdourVst3, runningPreroll), "") << "VST3";
            EXPECT_NE (brakkle::test::firstDifference (inArdourVst3, plain), "") << "VST3 sounds as if there were no pre-roll";
        }
    }
}

TEST (Formats, AStateSavedInOneFormatOpensInTheOther)
{
    // Every parameter away from its default, on its step: a value a third of
    // the way up its range, the switches turned over.
    std::vector<float> values;
    for (const auto& spec : parameterTable)
        values.push_back (spec.isSwitch() ? 1.0f - spec.defaultValue
                                          : spec.minimum + std::round ((spec.maximum - spec.minimum) / 3.0f / spec.step) * spec.step);

    for (const auto& [from, to] : { std::pair (PluginFormat::vst3, PluginFormat::lv2), std::pair (PluginFormat::lv2, PluginFormat::vst3),
                                    std::pair (PluginFormat::vst3, PluginFormat::clap), std::pair (PluginFormat::clap, PluginFormat::vst3),
                                    std::pair (PluginFormat::lv2, PluginFormat::clap) })
    {
        SCOPED_TRACE (brakkle::host::formatName (from) + " to " + brakkle::host::formatName (to));
        auto source = loadBrakkle (from, 2, 44100.0, 256);
        auto target = loadBrakkle (to, 2, 44100.0, 256);
        ASSERT_NE (source, nullptr);
        ASSERT_NE (target, nullptr);

        for (size_t i = 0; i < parameterTable.size(); ++i)
            setPlain (*source, parameterTable[i].id, values[i]);
        auto block = brakkle::test::ramp (2, 256);
        source->process (block);

        const auto saved = brakkle::test::pluginStateOf (*source);
        ASSERT_FALSE (saved.isEmpty());
        ASSERT_TRUE (brakkle::test::restorePluginState (*target, saved));
        block = brakkle::test::ramp (2, 256);
        target->process (block);   // an LV2 host hears restored values from the next run

        for (size_t i = 0; i < parameterTable.size(); ++i)
            EXPECT_NEAR (brakkle::test::plainValue (*target, parameterTable[i].id), values[i], parameterTable[i].step * 0.01f)
                << parameterTable[i].id;

        // The plug-in's own state is the same bytes in either format.
        EXPECT_EQ (brakkle::test::pluginStateOf (*target), saved);

    }
}

//==============================================================================
namespace
{
    /** The LV2 bundles LV2 hosts would find with this build's first on the path,
        read with lilv. */
    class Lv2World
    {
    public:
        Lv2World()
        {
            const auto path = brakkle::host::defaultBundle (PluginFormat::lv2).getParentDirectory().getFullPathName()
                            + ":/usr/lib/lv2";
            auto* pathNode = lilv_new_string (world.get(), path.toRawUTF8());
            lilv_world_set_option (world.get(), LILV_OPTION_LV2_PATH, pathNode);
            lilv_node_free (pathNode);
            lilv_world_load_all (world.get());

            // Everything the bundle says, as a host reads it on instantiating
            // the plug-in (dsp.ttl) and opening its window (ui.ttl).
            const auto* uriNode = uri (BRAKKLE_LV2_URI);
            plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world.get()), uriNode);
            lilv_world_load_resource (world.get(), uriNode);
            lilv_world_load_resource (world.get(), uri (juce::String (BRAKKLE_LV2_URI) + ":UI"));
        }

        ~Lv2World()
        {
            for (auto* node : nodes)
                lilv_node_free (node);
        }

        const LilvPlugin* brakkle() const { return plugin; }
        LilvWorld* get() const { return world.get(); }

        /** A URI node, freed with the world. */
        const LilvNode* uri (const juce::String& text)
        {
            return keep (lilv_new_uri (world.get(), text.toRawUTF8()));
        }

        /** The one value of subject's property, or null. */
        const LilvNode* value (const LilvNode* subject, const juce::String& property)
        {
            return keep (lilv_world_get (world.get(), subject, uri (property), nullptr));
        }

        /** Every value of subject's property. */
        std::vector<const LilvNode*> values (const LilvNode* subject, const juce::String& property)
        {
            std::vector<const LilvNode*> result;
            auto* found = lilv_world_find_nodes (world.get(), subject, uri (property), nullptr);
            LILV_FOREACH (nodes, i, found)
                result.push_back (keep (lilv_node_duplicate (lilv_nodes_get (found, i))));
            lilv_nodes_free (found);
            return result;
        }

        bool has (const LilvNode* subject, const juce::String& property, const juce::String& object)
        {
            return lilv_world_ask (world.get(), subject, uri (property), uri (object));
        }

    private:
        const LilvNode* keep (LilvNode* node)
        {
            if (node != nullptr)
                nodes.push_back (node);
            return node;
        }

        std::unique_ptr<LilvWorld, void (*) (LilvWorld*)> world { lilv_world_new(), lilv_world_free };
        const LilvPlugin* plugin = nullptr;
        std::vector<LilvNode*> nodes;
    };

    const juce::String lv2 = "http://lv2plug.in/ns/lv2core#", rdfs = "http://www.w3.org/2000/01/rdf-schema#",
                       rdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#", patch = "http://lv2plug.in/ns/ext/patch#",
                       atom = "http://lv2plug.in/ns/ext/atom#", doap = "http://usefulinc.com/ns/doap#",
                       ui = "http://lv2plug.in/ns/extensions/ui#";

    juce::String text (const LilvNode* node)
    {
        return node == nullptr ? "(none)" : juce::String::fromUTF8 (lilv_node_as_string (node));
    }

    /** The file a file: URI names. */
    juce::File fileOf (const LilvNode* node)
    {
        auto* path = lilv_file_uri_parse (lilv_node_as_uri (node), nullptr);
        const juce::File file (juce::String::fromUTF8 (path));
        lilv_free (path);
        return file;
    }

    float number (const LilvNode* node)
    {
        return node != nullptr && (lilv_node_is_float (node) || lilv_node_is_int (node)) ? lilv_node_as_float (node) : NAN;
    }
}

TEST (Lv2Description, EveryParameterIsTheOneInTheTable)
{
    Lv2World world;
    const auto* plugin = world.brakkle();
    ASSERT_NE (plugin, nullptr) << "lilv finds no " << BRAKKLE_LV2_URI;
    EXPECT_EQ (fileOf (lilv_plugin_get_bundle_uri (plugin)), brakkle::host::defaultBundle (PluginFormat::lv2))
        << "another bundle of the plug-in was found first";

    const auto* self = lilv_plugin_get_uri (plugin);
    EXPECT_EQ (world.values (self, patch + "writable").size(), parameterTable.size());
    EXPECT_EQ (world.values (self, patch + "readable").size(), parameterTable.size());

    for (const auto& spec : parameterTable)
    {
        SCOPED_TRACE (spec.id.toStdString());
        const auto propertyUri = juce::String (BRAKKLE_LV2_URI) + ":" + spec.id;
        const auto* property = world.uri (propertyUri);

        EXPECT_TRUE (world.has (self, patch + "writable", propertyUri));
        EXPECT_TRUE (world.has (self, patch + "readable", propertyUri));
        EXPECT_TRUE (world.has (property, rdf + "type", lv2 + "Parameter"));
        EXPECT_TRUE (world.has (property, rdfs + "range", atom + "Float"));
        EXPECT_EQ (text (world.value (property, rdfs + "label")), spec.name);
        EXPECT_EQ (number (world.value (property, lv2 + "minimum")), spec.minimum);
        EXPECT_EQ (number (world.value (property, lv2 + "maximum")), spec.maximum);
        EXPECT_EQ (number (world.value (property, lv2 + "default")), spec.defaultValue);

        // A stepped parameter lists its steps as scale points, each with its
        // text; a switch is marked as one.
        const auto steps = brakkle::test::stepTexts (spec);
        EXPECT_EQ (world.has (property, lv2 + "portProperty", lv2 + "enumeration"), ! steps.isEmpty());
        EXPECT_EQ (world.has (property, lv2 + "portProperty", lv2 + "toggled"), spec.isSwitch());

        juce::StringArray scalePoints, expected;
        std::vector<std::pair<float, juce::String>> points;
        for (const auto* point : world.values (property, lv2 + "scalePoint"))
            points.emplace_back (number (world.value (point, rdf + "value")), text (world.value (point, rdfs + "label")));
        std::sort (points.begin(), points.end());
        for (const auto& [value, label] : points)
            scalePoints.add (juce::String (value) + " " + label);
        for (int k = 0; k < steps.size(); ++k)
            expected.add (juce::String (spec.minimum + (float) k * spec.step) + " " + steps[k]);
        EXPECT_EQ (scalePoints.joinIntoString (", "), expected.joinIntoString (", "));
    }
}

TEST (Lv2Description, ADelayEffectByHalvornVersion170WithAnX11Window)
{
    Lv2World world;
    const auto* plugin = world.brakkle();
    ASSERT_NE (plugin, nullptr) << "lilv finds no " << BRAKKLE_LV2_URI;
    const auto* self = lilv_plugin_get_uri (plugin);

    const auto name = std::unique_ptr<LilvNode, void (*) (LilvNode*)> (lilv_plugin_get_name (plugin), lilv_node_free);
    EXPECT_EQ (text (name.get()), juce::String ("Brakkle"));
    EXPECT_EQ (text (lilv_plugin_class_get_uri (lilv_plugin_get_class (plugin))), lv2 + "DelayPlugin");
    EXPECT_EQ (text (lilv_plugin_class_get_label (lilv_plugin_get_class (plugin))), juce::String ("Delay Plugin"));

    const auto author = std::unique_ptr<LilvNode, void (*) (LilvNode*)> (lilv_plugin_get_author_name (plugin), lilv_node_free);
    const auto email = std::unique_ptr<LilvNode, void (*) (LilvNode*)> (lilv_plugin_get_author_email (plugin), lilv_node_free);
    EXPECT_EQ (text (author.get()), juce::String ("Halvorn"));
    EXPECT_EQ (text (email.get()), juce::String ("mailto:support@halvorn.example"));

    // The build's version (1.8.0 is minor 8, micro 0): LV2 hosts compare minor
    // and micro versions; the release names it whole.
    const auto version = juce::StringArray::fromTokens (BRAKKLE_VERSION, ".", "");
    ASSERT_EQ (version.size(), 3);
    EXPECT_EQ (number (world.value (self, lv2 + "minorVersion")), version[1].getFloatValue());
    EXPECT_EQ (number (world.value (self, lv2 + "microVersion")), version[2].getFloatValue());
    const auto releases = world.values (self, doap + "release");
    ASSERT_EQ (releases.size(), 1u);
    EXPECT_EQ (text (world.value (releases[0], doap + "revision")), juce::String (BRAKKLE_VERSION));

    // Stereo in and out, the control port that carries parameters and the
    // host's time position, and no MIDI.
    const auto* audio = world.uri (lv2 + "AudioPort");
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio, world.uri (lv2 + "InputPort"), nullptr), 2u);
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio, world.uri (lv2 + "OutputPort"), nullptr), 2u);
    auto* symbol = lilv_new_string (world.get(), "in");
    const auto* control = lilv_plugin_get_port_by_symbol (plugin, symbol);
    lilv_node_free (symbol);
    ASSERT_NE (control, nullptr);
    EXPECT_TRUE (lilv_port_supports_event (plugin, control, world.uri ("http://lv2plug.in/ns/ext/time#Position")));
    EXPECT_TRUE (lilv_port_supports_event (plugin, control, world.uri (patch + "Message")));
    EXPECT_FALSE (lilv_port_supports_event (plugin, control, world.uri ("http://lv2plug.in/ns/ext/midi#MidiEvent")));

    EXPECT_TRUE (lilv_plugin_has_extension_data (plugin, world.uri ("http://lv2plug.in/ns/ext/state#interface")));
    // The factory presets (see HostPresetFileTests), none with an empty name.
    auto* presets = lilv_plugin_get_related (plugin, world.uri ("http://lv2plug.in/ns/ext/presets#Preset"));
    EXPECT_GT (lilv_nodes_size (presets), 0u);
    LILV_FOREACH (nodes, i, presets)
    {
        lilv_world_load_resource (world.get(), lilv_nodes_get (presets, i));
        EXPECT_NE (text (world.value (lilv_nodes_get (presets, i), rdfs + "label")), "(none)") << "a preset hosts would list with an empty name";
        EXPECT_NE (text (world.value (lilv_nodes_get (presets, i), rdfs + "label")), "");
    }
    lilv_nodes_free (presets);

    // The window, as an X11 UI in the same module.
    auto* uis = lilv_plugin_get_uis (plugin);
    ASSERT_EQ (lilv_uis_size (uis), 1u);
    const auto* window = lilv_uis_get (uis, lilv_uis_begin (uis));
    EXPECT_TRUE (lilv_ui_is_a (window, world.uri (ui + "X11UI")));
    EXPECT_EQ (fileOf (lilv_ui_get_binary_uri (window)).getFileName(), juce::String ("Brakkle.so"));
    EXPECT_TRUE (world.has (lilv_ui_get_uri (window), lv2 + "optionalFeature", ui + "noUserResize"));
    lilv_uis_free (uis);
}
