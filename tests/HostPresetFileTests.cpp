// The factory bank as hosts' own preset menus list it: the LV2 presets inside
// Brakkle.lv2 read with lilv, and the .vstpreset files loaded through JUCE's
// VST3 hosting into the bundle. Each must name the bank's presets and carry
// exactly the values the preset's file holds.

#include "support/HostedBrakkle.h"
#include "support/Signals.h"

#include "processor/Presets.h"

#include <lilv/lilv.h>

#include <gtest/gtest.h>

#include <map>

namespace
{
using brakkle::host::PluginFormat;
using namespace brakkle::test;

/** The values a preset's file names, read from its text; the rest (Repeat
    among them: Off) at defaults. */
std::map<juce::String, float> valuesInFile (const juce::String& document)
{
    std::map<juce::String, float> values;
    for (const auto& spec : parameterTable)
        values[spec.id] = spec.defaultValue;

    if (const auto xml = juce::XmlDocument::parse (document))
        for (auto* parameter : xml->getChildIterator())
            values[parameter->getStringAttribute ("id")] = (float) parameter->getDoubleAttribute ("value");

    return values;
}

/** The values in a saved state (the plug-in's own wrapping of its XML). */
std::map<juce::String, float> valuesInState (const juce::MemoryBlock& state)
{
    std::map<juce::String, float> values;
    if (const auto xml = juce::AudioProcessor::getXmlFromBinary (state.getData(), (int) state.getSize()))
        for (auto* parameter : xml->getChildIterator())
            values[parameter->getStringAttribute ("id")] = (float) parameter->getDoubleAttribute ("value");
    return values;
}

/** Hands a .vstpreset file to the instance as a VST3 host does (through the
    SDK's preset file reader, which checks the class ID). */
bool loadVstPreset (juce::AudioPluginInstance& instance, const juce::MemoryBlock& file)
{
    struct Loader : juce::ExtensionsVisitor
    {
        explicit Loader (const juce::MemoryBlock& f) : data (f) {}
        void visitVST3Client (const VST3Client& client) override { loaded = client.setPreset (data); }
        const juce::MemoryBlock& data;
        bool loaded = false;
    } loader (file);

    instance.getExtensions (loader);
    return loader.loaded;
}

TEST (HostPresets, Lv2HostsListTheBankWithEachPresetsValues)
{
    std::unique_ptr<LilvWorld, void (*) (LilvWorld*)> world { lilv_world_new(), lilv_world_free };
    const auto bundleFolder = brakkle::host::defaultBundle (PluginFormat::lv2).getParentDirectory().getFullPathName();
    auto* path = lilv_new_string (world.get(), bundleFolder.toRawUTF8());
    lilv_world_set_option (world.get(), LILV_OPTION_LV2_PATH, path);
    lilv_node_free (path);
    lilv_world_load_all (world.get());

    auto* pluginUri = lilv_new_uri (world.get(), BRAKKLE_LV2_URI);
    auto* presetClass = lilv_new_uri (world.get(), "http://lv2plug.in/ns/ext/presets#Preset");
    auto* label = lilv_new_uri (world.get(), "http://www.w3.org/2000/01/rdf-schema#label");
    auto* stateKey = lilv_new_uri (world.get(), (juce::String (BRAKKLE_LV2_URI) + ":StateString").toRawUTF8());
    auto* stateProperty = lilv_new_uri (world.get(), "http://lv2plug.in/ns/ext/state#state");
    const auto* plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world.get()), pluginUri);
    ASSERT_NE (plugin, nullptr);

    std::map<juce::String, juce::MemoryBlock> listed;
    auto* presets = lilv_plugin_get_related (plugin, presetClass);
    LILV_FOREACH (nodes, i, presets)
    {
        const auto* preset = lilv_nodes_get (presets, i);
        lilv_world_load_resource (world.get(), preset);
        auto* name = lilv_world_get (world.get(), preset, label, nullptr);
        auto* state = lilv_world_get (world.get(), preset, stateProperty, nullptr);
        auto* text = state != nullptr ? lilv_world_get (world.get(), state, stateKey, nullptr) : nullptr;
        ASSERT_NE (name, nullptr);
        ASSERT_NE (text, nullptr) << lilv_node_as_string (name);

        juce::MemoryBlock bytes;
        EXPECT_TRUE (bytes.fromBase64Encoding (juce::String::fromUTF8 (lilv_node_as_string (text))));
        listed[juce::String::fromUTF8 (lilv_node_as_string (name))] = bytes;
        lilv_node_free (name);
        lilv_node_free (state);
        lilv_node_free (text);
    }
    lilv_nodes_free (presets);

    for (auto* node : { pluginUri, presetClass, label, stateKey, stateProperty })
        lilv_node_free (node);

    ASSERT_EQ (listed.size(), Presets::factoryBank().size());
    for (const auto& preset : Presets::factoryBank())
    {
        SCOPED_TRACE (preset.name.toStdString());
        ASSERT_EQ (listed.count (preset.name), 1u);
        EXPECT_EQ (valuesInState (listed[preset.name]), valuesInFile (preset.document));
    }
}

TEST (HostPresets, TheVst3PresetFilesLoadThroughJucesHostingWithTheirValues)
{
    const juce::File folder (BRAKKLE_VST3_PRESETS_DIR);
    ASSERT_EQ ((size_t) folder.findChildFiles (juce::File::findFiles, false, "*.vstpreset").size(), Presets::factoryBank().size());

    for (const auto& preset : Presets::factoryBank())
    {
        SCOPED_TRACE (preset.name.toStdString());
        auto plugin = loadBrakkle (PluginFormat::vst3);
        ASSERT_NE (plugin, nullptr);

        juce::MemoryBlock file;
        ASSERT_TRUE (folder.getChildFile (preset.name + ".vstpreset").loadFileAsData (file));
        ASSERT_TRUE (loadVstPreset (plugin->instance(), file));
        auto block = ramp (2, 512);
        plugin->process (block);

        for (const auto& [id, value] : valuesInFile (preset.document))
            EXPECT_NEAR (plainValue (*plugin, id), value, specFor (id).step * 0.01f) << id;
    }
}

} // namespace
