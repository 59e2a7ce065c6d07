#pragma once

#include <juce_core/juce_core.h>

/** How large and how deeply nested the text of a saved state (a project's
    state or a preset file) may be. A state the plug-in writes is about 2 KB:
    one element per parameter inside the root, two levels. The limits leave
    room for every preset and for many more parameters, and refuse what no
    state could be before JUCE's XML reader sees it: that reader reads each
    level of nesting one call deeper, so a document nested some tens of
    thousands of levels deep overflows the host's stack. */
namespace StateBounds
{
    /** Bytes of text. */
    constexpr int largestText = 256 * 1024;

    /** Elements inside elements, the root counted as the first level. */
    constexpr int deepestNesting = 32;

    /** True when the text (up to numBytes, or up to a zero byte, where a
        reader stops) is no larger than largestText and its elements nest no
        deeper than deepestNesting, counted as JUCE's XML reader would read
        them. Markup that reader reads in ways this count does not follow
        (anything beyond start and end tags with quoted attributes, text,
        references, comments, CDATA and processing instructions) is refused
        as well. One pass over the text, without recursion. */
    bool fits (const juce::uint8* text, int numBytes) noexcept;
}
