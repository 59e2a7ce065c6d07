#pragma once

#include <juce_core/juce_core.h>

#include <optional>

/** The user's own presets: one file per preset, <Name>.xml, in the XDG data
    home ($XDG_DATA_HOME, or ~/.local/share) under Brakkle/Presets. The VST3
    and LV2 plug-ins and the renderer share the folder. Every name reads,
    writes and deletes a file directly inside that folder, and a user preset
    never takes a factory preset's name. */
namespace UserPresets
{
    /** The folder the presets live in (it may not exist yet). */
    juce::File folder();

    /** A name that makes a safe file name: 1 to 64 characters that fit a file
        name, no path separator, no control character, not starting with a
        dot, no surrounding spaces. */
    bool isSafeName (const juce::String& name);

    /** True when a factory preset has that name: no preset of yours may. */
    bool isFactoryName (const juce::String& name);

    /** The name Save as... offers for the current preset: its own name, or
        for a factory preset the first of "<name> 2", "<name> 3"... that no
        preset has. */
    juce::String proposedName (const juce::String& currentName);

    /** The presets' names, sorted as a person reads them: the regular files
        in the folder with a safe name that is no factory preset's. */
    juce::StringArray names();

    /** True when something by that name is in the folder (reading it says
        whether it is a preset). */
    bool exists (const juce::String& name);

    enum class SaveResult { saved, unsafeName, factoryName, exists, failed };

    /** Writes the document under that name; an existing preset is replaced
        only when overwrite is true. */
    SaveResult save (const juce::String& name, const juce::String& document, bool overwrite);

    struct FileReading
    {
        /** The bytes as they are in the file; nothing when refused. */
        std::optional<juce::MemoryBlock> document;

        /** Why it was refused; empty when read. */
        juce::String problem;
    };

    /** The document a preset holds. Only a regular file is read (never a
        device, a pipe or a folder, nor a link to one), without waiting on it,
        and only up to the size of the largest saved state. */
    FileReading read (const juce::String& name);

    /** A preset file anywhere, with the same limits. */
    FileReading readFile (const juce::File& file);

    bool remove (const juce::String& name);
}
