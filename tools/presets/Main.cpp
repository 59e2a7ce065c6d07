// brakkle-host-presets: writes the factory bank in the hosts' own preset formats.
//   brakkle-host-presets --lv2 BUNDLE URI   presets.ttl in the LV2 bundle, listed in its manifest.ttl
//   brakkle-host-presets --vst3 FOLDER      one <Name>.vstpreset per preset
// Each preset carries the state the plug-in itself saves for it: the preset's
// document with every parameter it does not name at its default and Repeat
// Off (a host restores a preset as the whole state, as from a project).

#include "processor/ParameterIds.h"
#include "processor/Presets.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <iostream>

namespace
{
    /** The state a host stores for a preset: the bytes the plug-in's own
        getStateInformation gives for that document. */
    juce::MemoryBlock stateOf (const Presets::Preset& preset)
    {
        // A host restores the whole state, as from a project, and a state without
        // Repeat restores it to Off: the preset says so, so that the state a host
        // keeps after loading it is complete.
        const auto repeatOff = [] (const juce::String& id)
        {
            return id == ParameterIds::repeatHold ? std::optional<float> (0.0f) : std::nullopt;
        };
        const auto reading = Presets::read (Presets::bytesOf (preset.document), repeatOff);

        if (! reading.tree.has_value() || ! reading.notes.isEmpty())
        {
            std::cerr << "brakkle-host-presets: factory preset " << preset.name << " does not load cleanly: "
                      << reading.notes.joinIntoString ("; ") << std::endl;
            std::exit (1);
        }

        juce::MemoryBlock state;
        juce::AudioProcessor::copyXmlToBinary (*reading.tree->createXml(), state);
        return state;
    }

    juce::String turtleString (const juce::String& text)
    {
        return "\"" + text.replace ("\\", "\\\\").replace ("\"", "\\\"") + "\"";
    }

    juce::String presetUri (const juce::String& pluginUri, const Presets::Preset& preset)
    {
        return pluginUri + ":preset:" + juce::URL::addEscapeChars (preset.name.replaceCharacter (' ', '_'), true);
    }

    /** The presets as LV2 presets: each sets JUCE's state property (the state
        as a string, in MemoryBlock's base-64 form) that the plug-in's LV2
        wrapper restores through setStateInformation. */
    int writeLv2 (const juce::File& bundle, const juce::String& uri)
    {
        juce::String presets, manifest;
        presets << "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                   "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
                   "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                   "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                   "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n\n";
        // The state property JUCE's LV2 wrapper stores and restores, described
        // so that the presets use no undefined property.
        presets << "<" << uri << ":StateString>\n"
                << "\ta rdf:Property ;\n"
                << "\trdfs:label \"Brakkle state\" ;\n"
                << "\trdfs:comment \"The plug-in's saved state, as JUCE's LV2 wrapper stores it.\" .\n\n";
        manifest << "\n# The factory presets (written by brakkle-host-presets).\n";

        for (const auto& preset : Presets::factoryBank())
        {
            const auto presetId = presetUri (uri, preset);
            presets << "<" << presetId << ">\n"
                    << "\ta pset:Preset ;\n"
                    << "\tlv2:appliesTo <" << uri << "> ;\n"
                    << "\trdfs:label " << turtleString (preset.name) << " ;\n"
                    << "\tpset:bank <" << uri << ":bank:" << juce::URL::addEscapeChars (preset.group.replaceCharacter (' ', '_'), true) << "> ;\n"
                    << "\tstate:state [\n"
                    << "\t\t<" << uri << ":StateString> " << turtleString (stateOf (preset).toBase64Encoding()) << "\n"
                    << "\t] .\n\n";
            manifest << "<" << presetId << ">\n"
                     << "\ta pset:Preset ;\n"
                     << "\tlv2:appliesTo <" << uri << "> ;\n"
                     << "\trdfs:seeAlso <presets.ttl> .\n\n";
        }

        juce::StringArray banks;
        for (const auto& preset : Presets::factoryBank())
            banks.addIfNotAlreadyThere (preset.group);

        for (const auto& group : banks)
            presets << "<" << uri << ":bank:" << juce::URL::addEscapeChars (group.replaceCharacter (' ', '_'), true) << ">\n"
                    << "\ta pset:Bank ;\n"
                    << "\trdfs:label " << turtleString (group) << " .\n\n";

        const auto manifestFile = bundle.getChildFile ("manifest.ttl");
        auto manifestText = manifestFile.loadFileAsString();

        if (manifestText.isEmpty())
        {
            std::cerr << "brakkle-host-presets: " << manifestFile.getFullPathName() << " is missing" << std::endl;
            return 1;
        }

        // The manifest is written anew on every link; a second run adds nothing.
        if (! manifestText.contains ("rdfs:seeAlso <presets.ttl>"))
        {
            if (! manifestText.contains ("@prefix pset:"))
                manifestText = "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n" + manifestText;
            manifestText << manifest;
        }

        if (! bundle.getChildFile ("presets.ttl").replaceWithText (presets, false, false, "\n")
            || ! manifestFile.replaceWithText (manifestText, false, false, "\n"))
        {
            std::cerr << "brakkle-host-presets: cannot write into " << bundle.getFullPathName() << std::endl;
            return 1;
        }

        return 0;
    }

    /** The VST3 preset file: a header (its version, the component's class ID,
        where the chunk list starts), the component's state in a 'Comp' chunk as
        the plug-in's VST3 component writes it, and the chunk list. */
    juce::MemoryBlock vstPresetFile (const juce::MemoryBlock& componentState)
    {
        const auto classId = juce::VST3ClientExtensions::convertJucePluginId (JucePlugin_ManufacturerCode, JucePlugin_PluginCode,
                                                                               juce::VST3ClientExtensions::InterfaceType::component);
        juce::String classText;
        for (const auto byte : classId)
            classText << juce::String::toHexString ((int) byte).paddedLeft ('0', 2).toUpperCase();

        constexpr juce::int64 headerSize = 4 + 4 + 32 + 8;
        juce::MemoryOutputStream out;
        out.write ("VST3", 4);
        out.writeInt (1);
        out.write (classText.toRawUTF8(), 32);
        out.writeInt64 (headerSize + (juce::int64) componentState.getSize());
        out.write (componentState.getData(), componentState.getSize());
        out.write ("List", 4);
        out.writeInt (1);
        out.write ("Comp", 4);
        out.writeInt64 (headerSize);
        out.writeInt64 ((juce::int64) componentState.getSize());
        return out.getMemoryBlock();
    }

    int writeVst3 (const juce::File& folder)
    {
        if (! folder.createDirectory())
        {
            std::cerr << "brakkle-host-presets: cannot create " << folder.getFullPathName() << std::endl;
            return 1;
        }

        for (const auto& preset : Presets::factoryBank())
        {
            const auto file = folder.getChildFile (preset.name + ".vstpreset");
            const auto bytes = vstPresetFile (stateOf (preset));

            if (! file.replaceWithData (bytes.getData(), bytes.getSize()))
            {
                std::cerr << "brakkle-host-presets: cannot write " << file.getFullPathName() << std::endl;
                return 1;
            }
        }

        return 0;
    }
}

int main (int argc, char* argv[])
{
    const juce::String mode = argc > 1 ? argv[1] : "";

    if (mode == "--lv2" && argc == 4)
        return writeLv2 (juce::File (juce::String::fromUTF8 (argv[2])), juce::String::fromUTF8 (argv[3]));

    if (mode == "--vst3" && argc == 3)
        return writeVst3 (juce::File (juce::String::fromUTF8 (argv[2])));

    std::cerr << "usage: brakkle-host-presets --lv2 BUNDLE URI | --vst3 FOLDER" << std::endl;
    return 2;
}
