#pragma once

// The plug-in state a host's preset carries for a factory preset.

#include "processor/Presets.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

namespace brakkle::test
{

inline juce::MemoryBlock stateFor (const Presets::Preset& preset)
{
    const auto reading = Presets::read (Presets::bytesOf (preset.document), [] (const juce::String&) { return std::optional<float>(); });
    EXPECT_TRUE (reading.tree.has_value()) << preset.name;
    EXPECT_TRUE (reading.notes.isEmpty()) << preset.name << ": " << reading.notes.joinIntoString ("; ");

    juce::MemoryBlock state;
    if (reading.tree.has_value())
        juce::AudioProcessor::copyXmlToBinary (*reading.tree->createXml(), state);
    return state;
}

} // namespace brakkle::test
