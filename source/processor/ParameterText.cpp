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

juce::String sixteenthsText (float value)
{
    return juce::String (value, 0) + "/16";
}

juce::String percentText (float value)
{
    return juce::String (value, 0) + " %";
}

juce::String semitonesText (float value)
{
    // Whole semitones, and never "-0 st". The parameter has already clamped the value.
    return juce::String ((int) std::lround (value)) + " st";
}

juce::String reverseModeText (float value)
{
    const int index = value >= 0.0f ? (int) juce::jmin (value, (float) (reverseModeNames.size() - 1)) : 0;
    return reverseModeNames[(size_t) index];
}

juce::String noteDivisionText (const NoteNames& names, float value)
{
    // The parameter has already clamped and snapped the value to 0..19;
    // out-of-table values still land on a name.
    const float last = (float) (names.size() - 1);
    const int index = value >= 0.0f ? (int) juce::jmin (value, last) : 0;
    return names[(size_t) index];
}

juce::String shownText (ParameterText kind, const NoteNames& names, float value)
{
    switch (kind)
    {
        case ParameterText::wholeNumber:  return wholeNumberText (value);
        case ParameterText::twoDecimals:  return twoDecimalsText (value);
        case ParameterText::frequency:    return frequencyText (value);
        case ParameterText::noteDivision: return noteDivisionText (names, value);
        case ParameterText::sixteenths:   return sixteenthsText (value);
        case ParameterText::percent:      return percentText (value);
        case ParameterText::semitones:    return semitonesText (value);
        case ParameterText::reverseMode:  return reverseModeText (value);
        case ParameterText::onOff:        break;
    }

    return value >= 0.5f ? "On" : "Off";
}

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

namespace
{
    /** The number a text begins with, as JUCE reads it, and the text after it. */
    struct LeadingNumber
    {
        double value = 0.0;
        bool found = false;   // false when the text does not begin with a number (the value is then 0)
        juce::String rest;
    };

    LeadingNumber readLeadingNumber (const juce::String& text)
    {
        const auto bounded = withBoundedExponents (text);
        auto position = bounded.getCharPointer();
        const auto start = position.findEndOfWhitespace();

        LeadingNumber reading;
        reading.value = juce::CharacterFunctions::readDoubleValue (position);
        reading.found = position != start;
        reading.rest = juce::String (position);
        return reading;
    }

    std::optional<float> asValue (double value)
    {
        if (std::isnan (value))
            return std::nullopt;

        return (float) value;
    }
}

std::optional<float> leadingNumberValue (const juce::String& text)
{
    // A text that does not begin with a number reads as none: the value stays.
    const auto reading = readLeadingNumber (text);
    return reading.found ? asValue (reading.value) : std::nullopt;
}

std::optional<float> frequencyValue (const juce::String& text)
{
    const auto reading = readLeadingNumber (text);
    const auto unit = reading.rest.removeCharacters (" \t").toLowerCase();
    const bool kilohertz = unit == "k" || unit == "khz";

    if (! reading.found)
        return std::nullopt;

    return asValue (kilohertz ? reading.value * 1000.0 : reading.value);
}

std::optional<float> switchValue (const juce::String& text)
{
    const auto word = text.trim().toLowerCase();

    for (const auto* on : { "on", "yes", "true" })
        if (word == on)
            return 1.0f;

    for (const auto* off : { "off", "no", "false" })
        if (word == off)
            return 0.0f;

    const auto number = leadingNumberValue (word);
    if (! number)
        return std::nullopt;

    return std::abs (*number) >= 1.0f ? 1.0f : 0.0f;   // truncated to a whole number: 0 is off
}

std::optional<float> sixteenthsValue (const juce::String& text)
{
    constexpr double sixteenths = 16.0;
    const auto reading = readLeadingNumber (text);

    if (! reading.found)
        return std::nullopt;

    const auto rest = reading.rest.trimStart();

    if (! rest.startsWithChar ('/'))
        return asValue (reading.value);

    // A fraction: its share of the period, in sixteenths.
    const auto below = readLeadingNumber (rest.substring (1));

    if (! below.found || ! (below.value > 0.0))
        return asValue (reading.value);

    return asValue (reading.value * sixteenths / below.value);
}

std::optional<float> noteDivisionValue (const NoteNames& names, const juce::String& text)
{
    const auto typed = text.trim();

    for (size_t i = 0; i < names.size(); ++i)
        if (typed.equalsIgnoreCase (names[i]))
            return (float) i;

    // A plain number and nothing else is the index itself; JUCE snaps and clamps it.
    const auto reading = readLeadingNumber (typed);

    if (reading.found && reading.rest.isEmpty())
        return asValue (reading.value);

    return std::nullopt;
}

std::optional<float> reverseModeValue (const juce::String& text)
{
    const auto typed = text.trim();

    for (size_t i = 0; i < reverseModeNames.size(); ++i)
        if (typed.equalsIgnoreCase (reverseModeNames[i]))
            return (float) i;

    // The switch words read as the first two ("yes" is On); a number is the index.
    if (const auto onOff = switchValue (typed); onOff && ! readLeadingNumber (typed).found)
        return onOff;

    const auto reading = readLeadingNumber (typed);

    if (reading.found && reading.rest.trim().isEmpty())
        return asValue (reading.value);

    return std::nullopt;
}

std::optional<float> typedValue (ParameterText kind, const NoteNames& names, const juce::String& text)
{
    switch (kind)
    {
        case ParameterText::frequency:    return frequencyValue (text);
        case ParameterText::noteDivision: return noteDivisionValue (names, text);
        case ParameterText::sixteenths:   return sixteenthsValue (text);
        case ParameterText::onOff:        return switchValue (text);
        case ParameterText::reverseMode:  return reverseModeValue (text);
        case ParameterText::semitones:
        case ParameterText::percent:
        case ParameterText::wholeNumber:
        case ParameterText::twoDecimals:  break;
    }

    return leadingNumberValue (text);
}

} // namespace ParameterTextFunctions
