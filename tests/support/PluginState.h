#pragma once

// The plug-in's own saved state (what its getStateInformation writes) as each
// format's host keeps it in a project:
//
//   VST3  the component's state; JUCE's VST3 hosting saves it in base64 as the
//         <IComponent> element of its own XML (beside the controller's state).
//         JUCE's VST3 client writes the host's bypass after the plug-in's
//         state there, marked "JUCEPrivateData" at the very end.
//   LV2   the plug-in's state property <URI:StateString>, a string that
//         JUCE's LV2 client writes in JUCE's base64; JUCE's LV2 hosting saves
//         it in the state Turtle it makes (beside the values of the ports).
//   CLAP  the bytes the plug-in writes to the host's stream, kept as they are.
//
// Reading it out of a host's state and putting another one in its place is
// what moving a project's settings from one format to the other takes.

#include "PluginHost.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace brakkle::test
{

/** The LV2 state property Brakkle's saved state travels in. */
inline juce::String lv2StateProperty()
{
    return juce::String (BRAKKLE_LV2_URI) + ":StateString";
}

/** Where the string of the LV2 state property starts and ends in a host's
    state Turtle (the text between the quotes), or false. */
inline bool findLv2StateString (const juce::String& turtle, int& start, int& end)
{
    const auto key = turtle.indexOf ("<" + lv2StateProperty() + ">");
    start = key < 0 ? -1 : turtle.indexOfChar (key, '"');
    end = start < 0 ? -1 : turtle.indexOfChar (start + 1, '"');
    ++start;
    return key >= 0 && start > 0 && end > start;
}

/** A VST3 component state without the record JUCE's VST3 client keeps after
    the plug-in's own state: a zero, the record, its size and "JUCEPrivateData". */
inline juce::MemoryBlock withoutJucePrivateData (const juce::MemoryBlock& componentState)
{
    const juce::String marker ("JUCEPrivateData");
    const auto markerSize = (size_t) marker.length();
    const auto size = componentState.getSize();
    const auto* bytes = static_cast<const char*> (componentState.getData());

    if (size < markerSize + 16 || juce::String (bytes + size - markerSize, markerSize) != marker)
        return componentState;

    const auto recordSize = (size_t) juce::ByteOrder::littleEndianInt64 (bytes + size - markerSize - 8);
    if (recordSize + markerSize + 16 > size)
        return componentState;

    return { bytes, size - recordSize - markerSize - 16 };
}

/** The plug-in's own state inside a host's saved state, or false. */
inline bool pluginStateIn (const juce::MemoryBlock& hostState, host::PluginFormat format, juce::MemoryBlock& pluginState)
{
    pluginState.reset();

    if (format == host::PluginFormat::clap)
    {
        pluginState = hostState;
        return ! pluginState.isEmpty();
    }

    if (format == host::PluginFormat::vst3)
    {
        const auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
        auto* component = xml != nullptr ? xml->getChildByName ("IComponent") : nullptr;
        juce::MemoryBlock componentState;
        if (component == nullptr || ! componentState.fromBase64Encoding (component->getAllSubText()))
            return false;

        pluginState = withoutJucePrivateData (componentState);
        return true;
    }

    const auto turtle = hostState.toString();
    int start = 0, end = 0;
    return findLv2StateString (turtle, start, end) && pluginState.fromBase64Encoding (turtle.substring (start, end));
}

/** A host's saved state with the plug-in's own state replaced by another one. */
inline juce::MemoryBlock withPluginState (const juce::MemoryBlock& hostState, host::PluginFormat format,
                                          const juce::MemoryBlock& pluginState)
{
    juce::MemoryBlock result;

    if (format == host::PluginFormat::clap)
        return pluginState;

    if (format == host::PluginFormat::vst3)
    {
        if (auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize()))
        {
            if (auto* component = xml->getChildByName ("IComponent"))
            {
                component->deleteAllChildElements();
                component->addTextElement (pluginState.toBase64Encoding());
                juce::AudioProcessor::copyXmlToBinary (*xml, result);
            }
        }

        return result;
    }

    const auto turtle = hostState.toString();
    int start = 0, end = 0;
    if (findLv2StateString (turtle, start, end))
    {
        const auto text = turtle.replaceSection (start, end - start, pluginState.toBase64Encoding());
        result.append (text.toRawUTF8(), text.getNumBytesAsUTF8());
    }

    return result;
}

/** The plug-in's own state, as the host saves it now. */
inline juce::MemoryBlock pluginStateOf (host::HostedPlugin& plugin)
{
    juce::MemoryBlock hostState, pluginState;
    plugin.instance().getStateInformation (hostState);
    pluginStateIn (hostState, plugin.format(), pluginState);
    return pluginState;
}

/** Opens a project that holds this plug-in state: the host's own saved state,
    with the plug-in's state in its place, restored through the host. False
    when the host's state has no place for it. */
inline bool restorePluginState (host::HostedPlugin& plugin, const juce::MemoryBlock& pluginState)
{
    juce::MemoryBlock hostState;
    plugin.instance().getStateInformation (hostState);
    const auto project = withPluginState (hostState, plugin.format(), pluginState);

    // A CLAP host's saved state is the plug-in's own, so even an empty one is a project.
    if (project.isEmpty() && plugin.format() != host::PluginFormat::clap)
        return false;

    plugin.instance().setStateInformation (project.getData(), (int) project.getSize());
    return true;
}

/** The plain value of every parameter the plug-in's own state holds, by ID. */
inline juce::StringPairArray valuesInPluginState (const juce::MemoryBlock& pluginState)
{
    juce::StringPairArray values;

    if (auto xml = juce::AudioProcessor::getXmlFromBinary (pluginState.getData(), (int) pluginState.getSize()))
        for (auto* child : xml->getChildIterator())
            values.set (child->getStringAttribute ("id"), child->getStringAttribute ("value"));

    return values;
}

} // namespace brakkle::test
