#include "StateBounds.h"

#include <cstring>

namespace
{
    /** The text as a reader walks it: a zero past the end, as at a zero byte. */
    struct Text
    {
        const juce::uint8* bytes;
        int size;

        juce::uint8 operator[] (int i) const noexcept { return i < size ? bytes[i] : 0; }

        bool startsWith (int i, const char* prefix) const noexcept
        {
            for (int k = 0; prefix[k] != 0; ++k)
                if ((*this)[i + k] != (juce::uint8) prefix[k])
                    return false;

            return true;
        }

        bool startsWithIgnoringCase (int i, const char* prefix) const noexcept
        {
            for (int k = 0; prefix[k] != 0; ++k)
            {
                auto c = (*this)[i + k];
                if (c >= 'A' && c <= 'Z')
                    c = (juce::uint8) (c + ('a' - 'A'));

                if (c != (juce::uint8) prefix[k])
                    return false;
            }

            return true;
        }

        /** Where the first `terminator` at or after i ends; -1 when there is none. */
        int after (int i, const char* terminator) const noexcept
        {
            for (; (*this)[i] != 0; ++i)
                if (startsWith (i, terminator))
                    return i + (int) std::strlen (terminator);

            return -1;
        }
    };

    bool isSpace (juce::uint8 c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    /** The characters JUCE's reader takes into a name, as far as ASCII goes. */
    bool isNameCharacter (juce::uint8 c) noexcept
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '_' || c == '-' || c == ':' || c == '.';
    }

    bool isDigit (juce::uint8 c) noexcept { return c >= '0' && c <= '9'; }

    bool isHexDigit (juce::uint8 c) noexcept
    {
        return isDigit (c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

    int skipSpaces (const Text& text, int i) noexcept
    {
        while (isSpace (text[i]))
            ++i;

        return i;
    }

    int skipName (const Text& text, int i) noexcept
    {
        while (isNameCharacter (text[i]))
            ++i;

        return i;
    }

    /** Where a reference ("&amp;", "&#10;", "&#x41;") at i ends, with the five
        predefined names in any case as JUCE's reader takes them; -1 for any
        other, which that reader reads past its end or past a closing quote. */
    int afterReference (const Text& text, int i) noexcept
    {
        for (const char* name : { "&amp;", "&quot;", "&apos;", "&lt;", "&gt;" })
            if (text.startsWithIgnoringCase (i, name))
                return i + (int) std::strlen (name);

        const bool hex = text[i + 1] == '#' && (text[i + 2] == 'x' || text[i + 2] == 'X');
        const bool decimal = text[i + 1] == '#' && ! hex;
        if (! hex && ! decimal)
            return -1;

        const int first = i + (hex ? 3 : 2);
        const int mostDigits = hex ? 8 : 12;
        int end = first;

        while (end - first < mostDigits && (hex ? isHexDigit (text[end]) : isDigit (text[end])))
            ++end;

        return end > first && text[end] == ';' ? end + 1 : -1;
    }

    /** Where a quoted attribute value starting at i (at its quote) ends; -1 when
        it never does or holds a reference that is not whole. */
    int afterQuotedValue (const Text& text, int i) noexcept
    {
        const auto quote = text[i++];

        while (text[i] != quote)
        {
            if (text[i] == 0)
                return -1;

            i = text[i] == '&' ? afterReference (text, i) : i + 1;

            if (i < 0)
                return -1;
        }

        return i + 1;
    }

    /** Where the start tag at i (at its '<') ends, and whether it closes
        itself ("/>"); end is -1 when the tag is not of the plain form. */
    struct StartTag
    {
        int end = -1;
        bool empty = false;
    };

    StartTag readStartTag (const Text& text, int i) noexcept
    {
        i = skipName (text, i + 1);

        for (;;)
        {
            i = skipSpaces (text, i);

            if (text.startsWith (i, "/>"))
                return { i + 2, true };

            if (text[i] == '>')
                return { i + 1, false };

            const auto nameEnd = skipName (text, i);
            if (nameEnd == i)
                return {};

            i = skipSpaces (text, nameEnd);
            if (text[i] != '=')
                return {};

            i = skipSpaces (text, i + 1);
            if (text[i] != '"' && text[i] != '\'')
                return {};

            i = afterQuotedValue (text, i);
            if (i < 0)
                return {};
        }
    }
}

namespace StateBounds
{

bool fits (const juce::uint8* bytes, int numBytes) noexcept
{
    if (numBytes > largestText)
        return false;

    const Text text { bytes, numBytes };
    int i = 0;
    int depth = 0;        // elements open around i
    bool rootSeen = false;

    // The reader stops once the root element is read.
    while (! (rootSeen && depth == 0))
    {
        const auto c = text[i];

        if (c == 0)
            return true;   // an unclosed element: the reader refuses it, no deeper than counted

        if (c == '&')
        {
            i = depth > 0 ? afterReference (text, i) : -1;
        }
        else if (c != '<')
        {
            // Only white space around the root; text inside it.
            i = depth > 0 || isSpace (c) ? i + 1 : -1;
        }
        else if (text.startsWith (i, "<!--"))
        {
            i = text.after (i + 4, "-->");
        }
        else if (text.startsWith (i, "<?"))
        {
            i = text.after (i + 2, "?>");
        }
        else if (text.startsWith (i, "<![CDATA["))
        {
            i = depth > 0 ? text.after (i + 9, "]]>") : -1;
        }
        else if (text.startsWith (i, "</"))
        {
            if (depth == 0)
                return false;

            // The reader takes any end tag as the end of the element it is in;
            // without a '>' it ends every element.
            --depth;
            i = text.after (i + 2, ">");
            if (i < 0)
                return true;
        }
        else if (isNameCharacter (text[i + 1]))
        {
            const auto tag = readStartTag (text, i);

            if (depth + 1 > deepestNesting)
                return false;

            depth += tag.empty ? 0 : 1;
            rootSeen = true;
            i = tag.end;
        }
        else
        {
            i = -1;   // a document type, "<" alone or other markup the reader reads its own way
        }

        if (i < 0)
            return false;
    }

    return true;
}

} // namespace StateBounds
