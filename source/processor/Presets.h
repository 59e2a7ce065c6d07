#pragma once

#include "SavedState.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>
#include <vector>

/** A preset is a saved state (the XML document the plug-in keeps in a project)
    with a name. Reading one goes through the project reader (SavedState), so a
    damaged, foreign or odd file is refused or clamped as a project is (only a
    value that is no number differs: the parameter takes its default). A
    preset sets every parameter it names and the rest to their defaults; it
    never touches Repeat, which is played, not stored as a sound. */
namespace Presets
{
    /** The type of the parameter tree every saved state holds. */
    inline const juce::Identifier treeType { "PARAMETERS" };

    struct Preset
    {
        juce::String group;     // the factory group; empty for a user's preset
        juce::String name;
        juce::String document;
    };

    /** The factory bank, grouped, in the order the window lists it. */
    const std::vector<Preset>& factoryBank();

    /** The factory preset of that name, if there is one. */
    std::optional<Preset> findFactory (const juce::String& name);

    /** The bytes a host would hand back for this document: the wrapping
        AudioProcessor::copyXmlToBinary writes around the text. */
    juce::MemoryBlock asStateBytes (const juce::MemoryBlock& document);

    struct Reading
    {
        /** The tree to hand to replaceState; nothing when the file is refused. */
        std::optional<juce::ValueTree> tree;

        /** Why it was refused, or what was changed on the way in (values out of
            range, unknown parameters, values that are no number); empty when the
            file loads as it is. */
        juce::StringArray notes;
    };

    /** Reads a preset document. Parameters it does not name get their defaults,
        and so do those whose value is no number (with a note); Repeat keeps
        its current value whatever the document says (left out when there is
        none). */
    Reading read (const juce::MemoryBlock& document, const SavedState::CurrentValue& currentValue);

    /** The bytes of a document held as text. */
    juce::MemoryBlock bytesOf (const juce::String& document);

    /** The document to save for the given parameter state: the saved state
        without Repeat. */
    juce::String documentOf (const juce::ValueTree& state);

    /** The plain value a parameter takes from a text, as the parameter tree
        takes it: clamped into range and snapped to the parameter's steps. */
    float legalValue (const juce::String& parameterId, float value);
}
