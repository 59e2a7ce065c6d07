#include "SavedState.h"

#include "ParameterText.h"
#include "StateBounds.h"

#include <cmath>
#include <cstring>

namespace
{
    /** True when every character up to the end (or up to a zero byte, where a
        reader stops) is a whole UTF-8 sequence: a lead byte followed by exactly
        the continuation bytes it announces. */
    bool isWellFormedUtf8 (const juce::uint8* text, int numBytes) noexcept
    {
        for (int i = 0; i < numBytes;)
        {
            const auto lead = text[i];

            if (lead == 0)
                return true;

            const int continuations = lead < 0x80                 ? 0
                                    : (lead >= 0xc2 && lead <= 0xdf) ? 1
                                    : (lead >= 0xe0 && lead <= 0xef) ? 2
                                    : (lead >= 0xf0 && lead <= 0xf4) ? 3
                                                                     : -1;

            if (continuations < 0 || continuations >= numBytes - i)
                return false;

            for (int k = 1; k <= continuations; ++k)
                if ((text[i + k] & 0xc0) != 0x80)
                    return false;

            i += continuations + 1;
        }

        return true;
    }

    /** JUCE's XML reader never gets past a processing instruction ("<?...?>")
        followed by text inside an element: it reads the same spot for ever.
        A saved state has none after its declaration, so one there marks a
        damaged blob. Any '<' that opens neither an instruction nor a comment
        or declaration counts as the start of the elements. */
    bool hasInstructionInsideElements (const juce::uint8* text, int numBytes) noexcept
    {
        bool insideElements = false;

        for (int i = 0; i + 1 < numBytes && text[i] != 0; ++i)
        {
            if (text[i] != '<')
                continue;

            if (text[i + 1] == '?')
            {
                if (insideElements)
                    return true;
            }
            else if (text[i + 1] != '!')
            {
                insideElements = true;
            }
        }

        return false;
    }

    /** JUCE's XML reader expands the entities a document type declares in a
        loop that a malformed declaration keeps going for ever. A saved state
        never declares a document type, so one marks a damaged blob. */
    bool hasDocumentType (const juce::uint8* text, int numBytes) noexcept
    {
        static constexpr char marker[] = "<!DOCTYPE";
        constexpr int markerLength = (int) sizeof (marker) - 1;

        for (int i = 0; i + markerLength <= numBytes && text[i] != 0; ++i)
            if (std::memcmp (text + i, marker, (size_t) markerLength) == 0)
                return true;

        return false;
    }

    /** True when the text holds a reference ("&...;") that JUCE's XML reader
        misreads. It steps one character past a hexadecimal character
        reference ("&#x41;") whatever ends it, so a text that ends inside one
        is read past its end. And it takes any other name up to the next ';'
        as an entity, and one that starts with '<' it reads again as elements,
        where that same step runs past the end of the name. A saved state
        holds only the five predefined entities and character references. */
    bool hasReferenceJuceMisreads (const juce::uint8* text, int numBytes) noexcept
    {
        const auto at = [&] (int i) -> juce::uint8 { return i < numBytes ? text[i] : 0; };

        const auto isHexDigit = [] (juce::uint8 c)
        {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        };

        // Compared as the reader compares them, ignoring the case of letters.
        const auto namesPredefinedEntity = [&] (int i)
        {
            for (const char* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
            {
                int k = 0;
                while (name[k] != 0 && (at (i + k) == (juce::uint8) name[k]
                                        || (at (i + k) >= 'A' && at (i + k) <= 'Z' && at (i + k) + 32 == name[k])))
                    ++k;

                if (name[k] == 0)
                    return true;
            }

            return false;
        };

        for (int i = 0; i < numBytes && text[i] != 0; ++i)
        {
            if (text[i] != '&')
                continue;

            if (at (i + 1) != '#')
            {
                if (! namesPredefinedEntity (i + 1))
                    return true;

                continue;
            }

            if (at (i + 2) != 'x' && at (i + 2) != 'X')
                continue;

            // The reader stops at the first character that is not a digit, or at the ninth digit.
            int end = i + 3;
            while (end < numBytes && end < i + 11 && isHexDigit (text[end]))
                ++end;

            if (at (end) == 0)
                return true;
        }

        return false;
    }

    /** A damaged project may repeat an attribute (two "value"s on one parameter).
        The parameter takes the first one, but a save would write only the last,
        so the project would reopen differently from how it plays: only the
        first of each name is kept. */
    void dropRepeatedProperties (juce::ValueTree& tree)
    {
        juce::NamedValueSet firsts;
        bool repeated = false;

        for (int i = 0; i < tree.getNumProperties(); ++i)
        {
            const auto name = tree.getPropertyName (i);

            if (firsts.contains (name))
                repeated = true;
            else
                firsts.set (name, tree.getProperty (name));
        }

        if (repeated)
        {
            tree.removeAllProperties (nullptr);

            for (const auto& property : firsts)
                tree.setProperty (property.name, property.value, nullptr);
        }

        for (auto child : tree)
            dropRepeatedProperties (child);
    }

    /** JUCE's XML reader trusts its text to be UTF-8: on a damaged blob (a stray
        0xff, a character cut short, a lead byte without its continuation bytes)
        it can step past the end of the text or never reach it; so it does with
        some references, and a processing instruction among the elements or a
        malformed document type makes it loop for ever. Such a blob is refused
        before it is read, like any other unreadable one, and so is one larger
        or more deeply nested than any state (StateBounds). The text is found
        as getXmlFromBinary finds it: a count after the magic number, limited
        by the data present. */
    bool holdsReadableText (const void* data, int sizeInBytes)
    {
        // copyXmlToBinary's wrapping: a magic number, a count, a terminating zero.
        constexpr int wrapping = 9;

        if (sizeInBytes > StateBounds::largestText + wrapping)
            return false;

        if (data == nullptr || sizeInBytes <= 8)
            return true;

        const auto* bytes = static_cast<const juce::uint8*> (data);
        const auto count = (int) juce::ByteOrder::littleEndianInt (bytes + 4);

        if (count <= 0)
            return true;

        const auto* text = bytes + 8;
        const auto length = juce::jmin (sizeInBytes - 8, count);
        return isWellFormedUtf8 (text, length)
            && ! hasInstructionInsideElements (text, length)
            && ! hasDocumentType (text, length)
            && ! hasReferenceJuceMisreads (text, length)
            && StateBounds::fits (text, length);
    }

    /** A damaged project may hold "nan" where a value belongs: that parameter keeps
        the value it has rather than pass a non-number on to the audio. And a value
        with an exponent of more digits than any number needs ("1e4294967297") would
        overflow JUCE's number reader: it is cut, before anything reads it as a
        number, to one that reads as what it means. */
    void settleValues (juce::ValueTree& restored, const SavedState::CurrentValue& currentValue)
    {
        static const juce::Identifier id ("id"), value ("value");

        for (auto child : restored)
        {
            if (! child.hasProperty (value))
                continue;

            const auto text = child.getProperty (value).toString();
            if (const auto bounded = ParameterTextFunctions::withBoundedExponents (text); bounded != text)
                child.setProperty (value, bounded, nullptr);

            if (std::isnan ((float) child.getProperty (value)))
                if (const auto current = currentValue (child.getProperty (id).toString()))
                    child.setProperty (value, *current, nullptr);
        }
    }
}

namespace SavedState
{

CurrentValue currentValuesOf (const juce::AudioProcessorValueTreeState& parameters)
{
    return [&parameters] (const juce::String& id) -> std::optional<float>
    {
        if (auto* parameter = parameters.getParameter (id))
            return parameter->convertFrom0to1 (parameter->getValue());

        return std::nullopt;
    };
}

std::optional<juce::ValueTree> read (const void* data,
                                     int sizeInBytes,
                                     const juce::Identifier& treeType,
                                     const CurrentValue& currentValue)
{
    if (! holdsReadableText (data, sizeInBytes))
        return std::nullopt;

    const auto xml = juce::AudioProcessor::getXmlFromBinary (data, sizeInBytes);

    // Exact, case-sensitive: another plug-in's state or a damaged blob is ignored.
    if (xml == nullptr || xml->getTagName() != treeType.toString())
        return std::nullopt;

    auto restored = juce::ValueTree::fromXml (*xml);
    dropRepeatedProperties (restored);
    settleValues (restored, currentValue);
    return restored;
}

} // namespace SavedState
