#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <optional>

/** Reading back a state the plug-in saved: the bytes a host keeps in its
    project (the parameter tree as XML, wrapped the way
    juce::AudioProcessor::copyXmlToBinary wraps it) turned into the parameter
    tree to restore. A damaged project, another plug-in's state or anything
    else gives nothing, and never reaches JUCE's XML reader in a form that
    reader cannot read safely. */
namespace SavedState
{
    /** A parameter's current value in its own units, by parameter ID; nothing
        for an ID that names no parameter. */
    using CurrentValue = std::function<std::optional<float> (const juce::String& parameterId)>;

    /** The current values of a parameter tree's parameters. */
    CurrentValue currentValuesOf (const juce::AudioProcessorValueTreeState& parameters);

    /** The tree to hand to replaceState, or nothing when the bytes hold no
        readable tree of the given type (compared exactly, case-sensitive).
        In the tree, an attribute given more than once keeps its first value,
        and a parameter whose value is no number gets its current value. */
    std::optional<juce::ValueTree> read (const void* data,
                                         int sizeInBytes,
                                         const juce::Identifier& treeType,
                                         const CurrentValue& currentValue);
}
