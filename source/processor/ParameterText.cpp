#include "ParameterText.h"

#include <cmath>

namespace ParameterTextFunctions
{

juce::String wholeNumberText (float value)
{
    return juce::String (value, 0);
}

juce::String twoDecimalsText (float value)
{
    // Truncated to whole hundredths, zero means "0" (written so that no
    // out-of-range value can make the truncation undefined).
    const float hundredths = value * 100.0f;

    if (std::abs (hundredths) < 1.0f)
        return "0";

    return juce::String (value, 2);
}

juce::String frequencyText (float value)
{
    if (value > 1000.0f)
        return juce::String (value / 1000.0f, 2) + " kHz";

    return juce::String (value, 0) + " Hz";
}

juce::String noteDivisionText (const NoteNames& names, float value)
{
    // The parameter has already clamped and snapped the value to 0..19;
    // out-of-table values still land on a name.
    const float last = (float) (names.size() - 1);
    const int index = value >= 0.0f ? (int) juce::jmin (value, last) : 0;
    return names[(size_t) index];
}

namespace
{
    /** JUCE's number reader gathers an exponent's digits in an int with no
        limit, so a typed "5e4294967298" overflows it (undefined behaviour; in
        practice it wraps and reads as 500). Nine digits already put any
        exponent far beyond what a float holds, so a longer run of digits after
        an 'e' is cut to nine nines, which reads as what the text means:
        infinity, or zero for a negative exponent. */
    juce::String withBoundedExponents (const juce::String& text)
    {
        constexpr int maxDigits = 9;
        juce::String result;
        auto rest = text.getCharPointer();
        auto copiedUpTo = rest;
        bool changed = false;

        while (! rest.isEmpty())
        {
            const auto c = rest.getAndAdvance();

            if (c != 'e' && c != 'E')
                continue;

            auto digits = rest;
            if (*digits == '+' || *digits == '-')
                ++digits;
            while (*digits == '0')
                ++digits;

            auto end = digits;
            int count = 0;
            while (end.isDigit())
            {
                ++end;
                ++count;
            }

            if (count > maxDigits)
            {
                result += juce::String (copiedUpTo, digits) + juce::String::repeatedString ("9", maxDigits);
                copiedUpTo = end;
                changed = true;
            }

            rest = end;
        }

        return changed ? result + juce::String (copiedUpTo) : text;
    }
}

float leadingNumberValue (const juce::String& text)
{
    return withBoundedExponents (text).getFloatValue();
}

float noteDivisionValue (const NoteNames& names, const juce::String& text)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (text == names[i])
            return (float) i;

    return 0.0f;
}

} // namespace ParameterTextFunctions
