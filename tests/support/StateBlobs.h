#pragma once

// Saved states made by hand: the wrapping JUCE's copyXmlToBinary writes (a
// magic number, the text's byte count, the text and a closing zero), with any
// of its parts as a damaged project or another plug-in would have them.

#include <juce_core/juce_core.h>

namespace brakkle::test
{

inline juce::MemoryBlock blobWithHeader (juce::uint32 magic, juce::int32 count, const juce::String& text)
{
    juce::MemoryOutputStream out;
    out.writeInt ((int) magic);
    out.writeInt (count);
    out << text;
    out.writeByte (0);
    return out.getMemoryBlock();
}

} // namespace brakkle::test
