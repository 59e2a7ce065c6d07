#pragma once

#include <juce_core/juce_core.h>

#include <array>

/** How parameter values turn into text and typed text into values. Values are
    always in the parameter's own units (milliseconds, note index, dB, %, Hz). */
namespace ParameterTextFunctions
{
    using NoteNames = std::array<juce::String, 20>;

    /** "200", "1000": the plain whole number. */
    juce::String wholeNumberText (float value);

    /** "0" for anything that rounds to zero hundredths, otherwise two decimals: "0.50", "-12.00". */
    juce::String twoDecimalsText (float value);

    /** "500 Hz", "1000 Hz", then "1.00 kHz" above 1000. */
    juce::String frequencyText (float value);

    /** The name of the note division at the value's (truncated) index. */
    juce::String noteDivisionText (const NoteNames& names, float value);

    /** The number a text begins with ("-6 dB" gives -6, "abc" gives 0). */
    float leadingNumberValue (const juce::String& text);

    /** The index of the division whose name equals the text exactly, or 0. */
    float noteDivisionValue (const NoteNames& names, const juce::String& text);
}
