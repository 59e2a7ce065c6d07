#pragma once

#include "ParameterIds.h"
#include "Presets.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** Which preset the plug-in plays and whether a control has moved since it was
    loaded. Kept beside the parameters, not in the saved state: a project
    stores the sound, the same document as before. */
class PresetSession
{
public:
    explicit PresetSession (juce::AudioProcessorValueTreeState& parameters);

    struct Outcome
    {
        bool loaded = false;
        juce::StringArray notes;   // why refused, or what was clamped
    };

    /** Loads a preset document under a name; a refused document changes nothing. */
    Outcome load (const juce::String& name, const juce::MemoryBlock& document);

    /** The current settings as a preset document. */
    juce::String currentDocument() const;

    /** The name of the preset last loaded or saved; empty when none. */
    juce::String currentName() const;

    /** The preset is now saved under a name (the settings are its own). */
    void markSaved (const juce::String& name);

    /** A project or a host preset replaced the settings: no preset is current. */
    void forget();

    /** True when a parameter (Repeat aside) differs from the preset's values. */
    bool hasChangedSinceLoad() const;

private:
    std::array<float, parameterTable.size()> currentValues() const;

    juce::AudioProcessorValueTreeState& parameters;

    // A host may restore a project from another thread while the window reads.
    mutable juce::CriticalSection lock;
    juce::String name;
    std::array<float, parameterTable.size()> valuesAtLoad {};
};
