#pragma once

#include <juce_core/juce_core.h>

#include <optional>

/** The user's own presets: one file per preset, <Name>.xml, in the XDG data
    home ($XDG_DATA_HOME, or ~/.local/share) under Brakkle/Presets. The VST3
    and LV2 plug-ins and the renderer share the folder. */
namespace UserPresets
{
    /** The folder the presets live in (it may not exist yet). */
    juce::File folder();

    /** A name that makes a safe file name: 1 to 64 characters, no path
        separator, no control character, not starting with a dot, no
        surrounding spaces. */
    bool isSafeName (const juce::String& name);

    /** The presets' names, sorted as a person reads them. */
    juce::StringArray names();

    bool exists (const juce::String& name);

    enum class SaveResult { saved, unsafeName, exists, failed };

    /** Writes the document under that name; an existing preset is replaced
        only when overwrite is true. */
    SaveResult save (const juce::String& name, const juce::String& document, bool overwrite);

    /** The document a preset holds, or nothing (no such preset, unreadable,
        or larger than any saved state). */
    std::optional<juce::MemoryBlock> read (const juce::String& name);

    /** A preset file anywhere, with the same limits. */
    std::optional<juce::MemoryBlock> readFile (const juce::File& file);

    bool remove (const juce::String& name);
}
