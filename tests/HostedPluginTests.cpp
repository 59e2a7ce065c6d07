// Brakkle as a host sees it: the built bundle loaded through JUCE's hosting of
// its format. CTest runs these through the VST3 bundle and again through the
// LV2 bundle ("LV2.HostedPlugin.*"); where the two formats differ by design,
// the test says how.

#include "support/GoldenRender.h"
#include "support/HostedBrakkle.h"
#include "support/StateBlobs.h"
#include "support/PluginState.h"
#include "support/ReferencePipeline.h"
#include "support/Signals.h"
#include "support/StepTexts.h"
#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <limits>

using brakkle::test::firstDifference;
using brakkle::test::loadBrakkle;
using brakkle::test::renderInBlocks;
using brakkle::test::setPlain;
using brakkle::test::testingClap;
using brakkle::test::testingLv2;

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

TEST (HostedPlugin, ListsEveryParameterInOrderWithFreshTexts)
{
    auto plugin = loadBrakkle();
    ASSERT_NE (plugin, nullptr);

    const char* freshTexts[] = { "200", "1/8 D", "On", "200", "1/4", "On", "0", "100.00", "0",
                                 "8.00 kHz", "0", "-12.00", "0", "100.00", "0", "Off",
                                 "0/16", "16/16", "100 %", "1", "Off", "0 %", "0 st", "0 %", "Off" };
    static_assert (std::size (freshTexts) == parameterTable.size());

    juce::Array<juce::AudioProcessorParameter*> automatable;
    for (auto* p : plugin->instance().getParameters())
        if (p->isAutomatable() && p != plugin->instance().getBypassParameter())
            automatable.add (p);

    ASSERT_EQ (automatable.size(), (int) parameterTable.size());

    // VST3 hosts list the parameters in the plug-in's order. An LV2 plug-in's
    // parameters are a set (patch:writable has no order): JUCE's LV2 hosting
    // lists them by URI.
    juce::StringArray listed, expectedOrder;
    for (auto* p : automatable)
        listed.add (p->getName (1024));
    for (const auto& spec : parameterTable)
        expectedOrder.add (spec.name);
    if (testingLv2())
    {
        juce::StringArray uris;
        for (const auto& spec : parameterTable)
            uris.add (juce::String (BRAKKLE_LV2_URI) + ":" + spec.id);
        uris.sort (false);
        expectedOrder.clear();
        for (const auto& uri : uris)
            expectedOrder.add (brakkle::test::specFor (uri.fromLastOccurrenceOf (":", false, false)).name);
    }
    EXPECT_EQ (listed.joinIntoString (", "), expectedOrder.joinIntoString (", "));

    for (size_t i = 0; i < parameterTable.size(); ++i)
    {
        const auto& spec = parameterTable[i];
        auto* p = plugin->parameterNamed (spec.name);
        ASSERT_NE (p, nullptr) << spec.name;
        const auto steps = brakkle::test::stepTexts (spec);

        // LV2 has no call that asks a plug-in for a value's text: LV2 hosts
        // show a stepped parameter's scale point, and any other value as a
        // number of their own making (JUCE's, here).
        const auto freshText = testingLv2() && steps.isEmpty() ? juce::String (spec.defaultValue) : juce::String (freshTexts[i]);
        EXPECT_EQ (p->getCurrentValueAsText(), freshText) << spec.name;
        EXPECT_EQ (p->getLabel(), juce::String()) << spec.name;

        // The ID hosts store automation under. VST3: JUCE's hash of the ID
        // string, whatever the parameter's version hint. LV2: the parameter's
        // URI, the plug-in's URI and the ID (JUCE's hosting adds "des:").
        // CLAP: the same hash, all 32 bits of it (clap_id is unsigned).
        const auto id = testingLv2()  ? "des:" + juce::String (BRAKKLE_LV2_URI) + ":" + spec.id
                      : testingClap() ? juce::String ((juce::uint32) spec.id.hashCode())
                                      : juce::String ((juce::uint32) spec.id.hashCode() & 0x7fffffffu);
        EXPECT_EQ (dynamic_cast<juce::HostedAudioProcessorParameter&> (*p).getParameterID(), id) << spec.name;
        EXPECT_NEAR (p->getDefaultValue(), (spec.defaultValue - spec.minimum) / (spec.maximum - spec.minimum), 1.0e-6f) << spec.name;

        // Switches step through named values in every format, note divisions
        // in LV2 (scale points); VST3 and CLAP hosts see note divisions as
        // continuous, as VST3 hosts always did.
        const bool stepped = ! steps.isEmpty() && (testingLv2() || spec.text != ParameterText::noteDivision);
        EXPECT_EQ (p->isDiscrete(), stepped) << spec.name;
        if (stepped)
        {
            EXPECT_EQ (p->getNumSteps(), steps.size()) << spec.name;
            juce::StringArray texts;
            for (int k = 0; k < steps.size(); ++k)
                texts.add (p->getText ((float) k / (float) (steps.size() - 1), 1024));
            EXPECT_EQ (texts.joinIntoString (", "), steps.joinIntoString (", ")) << spec.name;
        }
    }
}

TEST (HostedPlugin, TheRendererListsEveryParameterAsTheBundleShowsIt)
{
    // Tools that set parameters by name (tools/ardour's scripts) read them from
    // brakkle-render --list-parameters: every parameter the bundle has, with its
    // range, step, default and named steps, one a line.
    juce::ChildProcess render;
    ASSERT_TRUE (render.start (juce::StringArray { BRAKKLE_RENDER, "--list-parameters" }));
    const auto said = render.readAllProcessOutput();
    ASSERT_EQ (render.getExitCode(), 0u) << said;

    juce::StringArray rows;
    for (const auto& line : juce::StringArray::fromLines (said))
        if (line.isNotEmpty() && ! line.startsWith ("#"))
            rows.add (line);

    auto plugin = loadBrakkle();
    ASSERT_NE (plugin, nullptr);
    int hostsSee = 0;
    for (auto* p : plugin->instance().getParameters())
        hostsSee += p->isAutomatable() && p != plugin->instance().getBypassParameter() ? 1 : 0;
    ASSERT_EQ (rows.size(), hostsSee) << said;
    ASSERT_EQ (rows.size(), (int) parameterTable.size()) << said;

    for (size_t i = 0; i < parameterTable.size(); ++i)
    {
        const auto& spec = parameterTable[i];
        const auto fields = juce::StringArray::fromTokens (rows[(int) i], "\t", "");
        ASSERT_EQ (fields.size(), 7) << rows[(int) i];
        EXPECT_EQ (fields[0], spec.id);
        EXPECT_EQ (fields[1], spec.name);

        const float minimum = fields[2].getFloatValue(), maximum = fields[3].getFloatValue();
        EXPECT_EQ (minimum, spec.minimum) << spec.name;
        EXPECT_EQ (maximum, spec.maximum) << spec.name;
        EXPECT_EQ (fields[4].getFloatValue(), spec.step) << spec.name;

        auto* p = plugin->parameterNamed (fields[1]);
        ASSERT_NE (p, nullptr) << fields[1];
        EXPECT_NEAR (p->getDefaultValue(), (fields[5].getFloatValue() - minimum) / (maximum - minimum), 1.0e-6f) << spec.name;

        // Named steps: a switch's, a note division's, a share's, the reverse
        // modes; the text the host shows for each step's value.
        const auto steps = juce::StringArray::fromTokens (fields[6], "|", "");
        const auto expected = brakkle::test::stepTexts (spec);
        EXPECT_EQ (fields[6], expected.joinIntoString ("|")) << spec.name;
        for (int k = 0; k < expected.size(); ++k)
            EXPECT_EQ (p->getText ((float) k * spec.step / (maximum - minimum), 1024), steps[k]) << spec.name;
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
    // LV2 hosts read the version from lv2:minorVersion and lv2:microVersion,
    // which JUCE's LV2 hosting does not pass on (the Turtle tests check them);
    // the category is the plug-in's LV2 class. CLAP: the descriptor's features.
    if (! testingLv2())
    {
        EXPECT_EQ (description.version, juce::String (BRAKKLE_VERSION));
    }
    EXPECT_EQ (description.category, juce::String (testingLv2()  ? "Delay Plugin"
                                                 : testingClap() ? "audio-effect|glitch|stereo|mono"
                                                                 : "Fx"));
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
    // An LV2 plug-in's ports are fixed: Brakkle's are a stereo pair, which LV2
    // hosts feed from a mono track too (the mono cases here play it that way).
    // The CLAP plug-in turns mono by its "Mono" port configuration.
    EXPECT_EQ (takes (layout (Set::mono(), Set::mono())), ! testingLv2());
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

    // An LV2 host hears the values a restored state set from the plug-in's next
    // run (as patch:Set messages); a VST3 host at once.
    warmUp = ramp (2, 256);
    if (testingLv2())
        restored->process (warmUp);

    for (const auto& spec : parameterTable)
        EXPECT_EQ (restored->parameterNamed (spec.name)->getValue(), source->parameterNamed (spec.name)->getValue()) << spec.id;

    // The engines got the same values: the same input sounds the same from here on.
    if (! testingLv2())
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

    if (testingLv2())
    {
        // LV2 has no such call: an LV2 host reads a typed text itself (JUCE's
        // LV2 hosting reads "nan" as a value that is no number) and sends the
        // plug-in that value. The plug-in keeps its own: its saved state and
        // its sound stay those of an instance that was never sent one.
        auto reference = loadBrakkle (2, 44100.0, 256);
        ASSERT_NE (reference, nullptr);
        setPlain (*reference, ParameterIds::filterFreq, 3000.0f);
        setPlain (*reference, ParameterIds::stutterTimeBpm, 4.0f);
        auto referenceBlock = ramp (2, 256);
        reference->process (referenceBlock);

        const auto before = brakkle::test::valuesInPluginState (brakkle::test::pluginStateOf (*plugin));
        ASSERT_EQ (before.size(), (int) parameterTable.size());

        for (const auto& spec : parameterTable)
        {
            if (spec.isSwitch())
                continue;

            brakkle::host::HostedPlugin::setNormalised (*plugin->parameterNamed (spec.name), std::numeric_limits<float>::quiet_NaN());
            block = ramp (2, 256);
            referenceBlock = ramp (2, 256);
            plugin->process (block);
            reference->process (referenceBlock);
            ASSERT_EQ (firstDifference (block, referenceBlock), "") << spec.id;
            EXPECT_EQ (brakkle::test::valuesInPluginState (brakkle::test::pluginStateOf (*plugin)), before) << spec.id;
        }
        return;
    }

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
    // bypasses the plug-in in the middle of a cycle: once the 10 ms (441-sample)
    // crossfade into the bypass is over, the bypassed blocks pass the input
    // unchanged, and the first block after it starts a fresh cycle, as after a
    // stopped transport, instead of repeating a slice recorded before (heard in
    // full once the crossfade out of the bypass is over).
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

    const int fade = 441;

    for (int c = 0; c < 2; ++c)
        for (int i = firstQuiet + fade; i < firstBack; ++i)
            ASSERT_EQ (output.getSample (c, i), input.getSample (c, i)) << "bypassed: channel " << c << " sample " << i;

    for (int c = 0; c < 2; ++c)
        for (int i = firstBack + fade; i < input.getNumSamples(); ++i)
            ASSERT_EQ (output.getSample (c, i), expected.getSample (c, i)) << "after the bypass: channel " << c << " sample " << i;

    // And before it, both played the same.
    for (int i = 0; i < firstQuiet; ++i)
        ASSERT_EQ (output.getSample (0, i), expected.getSample (0, i)) << "sample " << i;
}

TEST (HostedPlugin, EveryEffectSoundsAsTheStoredRender)
{
    // The stored render (tests/golden/, made in-process) again, through the
    // bundle: the host sets the parameters, plays at 123 BPM in blocks of 441.
    using namespace brakkle::test::golden;
    auto plugin = loadBrakkle (2, sampleRate, blockSize);
    ASSERT_NE (plugin, nullptr);
    for (const auto& [id, value] : settings)
        setPlain (*plugin, *id, value);
    plugin->transport().bpm = bpm;

    const auto audio = renderInBlocks (*plugin, input(), { blockSize });

    juce::MemoryBlock stored;
    ASSERT_TRUE (storedRender().loadFileAsData (stored)) << "missing " << storedRender().getFullPathName();
    ASSERT_EQ (stored.getSize(), (size_t) audio.getNumSamples() * 2 * sizeof (float));
    const auto [worst, worstIndex] = largestDifference (audio, stored);

    // As the in-process test: another C library's last bits in tanf/powf, nothing more.
    EXPECT_LT (worst, 1.0e-5f) << "largest difference at frame " << worstIndex;
}

TEST (HostedPlugin, DamagedOrForeignStateInAProjectChangesNothing)
{
    // A project whose saved plug-in state is damaged or another plug-in's: the
    // host hands it over as it is (VST3: the component's state; LV2: the state
    // property), and every value stays as it was.
    const auto blobWith = brakkle::test::blobWithHeader;
    const auto xmlBlob = [] (const char* xml)
    {
        juce::MemoryBlock block;
        juce::AudioProcessor::copyXmlToBinary (*juce::parseXML (xml), block);
        return block;
    };
    const juce::String good = "<PARAMETERS><PARAM id=\"mix\" value=\"10\"/></PARAMETERS>";
    const auto wrapped = [&] (const juce::String& text) { return blobWith (0x21324356, (int) text.getNumBytesAsUTF8() + 1, text); };

    struct Case
    {
        const char* name;
        juce::MemoryBlock blob;
    };
    const Case cases[] = {
        { "empty", {} },
        { "random bytes", juce::MemoryBlock ("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b", 11) },
        { "wrong magic", blobWith (0x21324357, good.getNumBytesAsUTF8(), good) },
        { "negative count", blobWith (0x21324356, -5, good) },
        { "truncated text", blobWith (0x21324356, 100000, good.substring (0, 20)) },
        { "another plug-in's state", xmlBlob ("<STATE><PARAM id=\"mix\" value=\"10\"/></STATE>") },
        { "text JUCE cannot read safely", blobWith (0x21324356, 40, "<?" + juce::String::repeatedString ("\xff", 10) + "?>" + good) },
        // JUCE's XML reader reads each level of nesting one call deeper: these overflowed the host's stack.
        { "nested 100,000 levels deep (700 KB)", wrapped ("<PARAMETERS>" + juce::String::repeatedString ("<PARAM>", 100000)) },
        { "an element nested 28,000 levels deep in the root", wrapped ("<PARAMETERS><PARAM id=\"mix\" value=\"10\"/>"
                                                                       + juce::String::repeatedString ("<PARAM>", 28000)
                                                                       + juce::String::repeatedString ("</PARAM>", 28000) + "</PARAMETERS>") },
        { "larger than any state", wrapped ("<PARAMETERS><!--" + juce::String::repeatedString (" ", 300 * 1024) + "-->"
                                            "<PARAM id=\"mix\" value=\"10\"/></PARAMETERS>") },
    };

    auto plugin = loadBrakkle (2, 44100.0, 256);
    ASSERT_NE (plugin, nullptr);
    setPlain (*plugin, ParameterIds::mix, 55.0f);
    setPlain (*plugin, ParameterIds::stutterTimeBpm, 4.0f);
    auto block = ramp (2, 256);
    plugin->process (block);

    const auto before = brakkle::test::valuesInPluginState (brakkle::test::pluginStateOf (*plugin));
    ASSERT_EQ (before.size(), (int) parameterTable.size());
    ASSERT_EQ (before["mix"].getFloatValue(), 55.0f);

    for (const auto& c : cases)
    {
        ASSERT_TRUE (brakkle::test::restorePluginState (*plugin, c.blob)) << c.name;
        block = ramp (2, 256);
        plugin->process (block);
        EXPECT_EQ (brakkle::test::valuesInPluginState (brakkle::test::pluginStateOf (*plugin)), before) << c.name;
        EXPECT_EQ (brakkle::test::plainValue (*plugin, ParameterIds::mix), 55.0f) << c.name;
    }

    // And a good state still restores this way.
    ASSERT_TRUE (brakkle::test::restorePluginState (*plugin, xmlBlob (good.toRawUTF8())));
    block = ramp (2, 256);
    plugin->process (block);
    EXPECT_EQ (brakkle::test::valuesInPluginState (brakkle::test::pluginStateOf (*plugin))["mix"].getFloatValue(), 10.0f);
}
