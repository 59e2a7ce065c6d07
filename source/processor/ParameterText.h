#pragma once

#include "ParameterIds.h"

#include <juce_core/juce_core.h>

#include <array>
#include <optional>

/** How parameter values turn into text and typed text into values. Values are
    always in the parameter's own units (milliseconds, note index, dB, %, Hz). */
namespace ParameterTextFunctions
{
    using NoteNames = std::array<juce::String, 20>;

    /** The reverse switch's three settings, by value. */
    inline const std::array<juce::String, 3> reverseModeNames { "Off", "On", "Alternate" };

    /** "200", "1000": the plain whole number. */
    juce::String wholeNumberText (float value);

    /** "0" for anything that rounds to zero hundredths, otherwise two decimals: "0.50", "-12.00". */
    juce::String twoDecimalsText (float value);

    /** "500 Hz", "1000 Hz", then "1.00 kHz" above 1000. */
    juce::String frequencyText (float value);

    /** A share of a period in sixteenths: "0/16" to "16/16". */
    juce::String sixteenthsText (float value);

    /** A whole percentage: "50 %". */
    juce::String percentText (float value);

    /** Whole semitones: "-12 st", "0 st". */
    juce::String semitonesText (float value);

    /** "Off", "On" or "Alternate". */
    juce::String reverseModeText (float value);

    /** The name of the note division at the value's (truncated) index. */
    juce::String noteDivisionText (const NoteNames& names, float value);

    /** The text a parameter of this kind shows for a value, as above; a
        switch's is "On" or "Off". */
    juce::String shownText (ParameterText kind, const NoteNames& names, float value);

    /** The text with every run of more than nine digits after an 'e' cut to
        nine nines. JUCE's number reader gathers an exponent's digits in an int
        with no limit, so "5e4294967298" overflows it (undefined behaviour; in
        practice it wraps and reads as 500). Nine digits already put any
        exponent far beyond what a float holds, so the cut text reads as what
        the text means: infinity, or zero for a negative exponent. Typed text
        and saved values go through it before JUCE reads them as numbers. */
    juce::String withBoundedExponents (const juce::String& text);

    // Typed text to a value. Nothing (no value at all) means the text reads as
    // no number ("nan", "abc", ""): the parameter then keeps the value it has.

    /** The number a text begins with ("-6 dB" gives -6, "abc" nothing). */
    std::optional<float> leadingNumberValue (const juce::String& text);

    /** Hertz, or kilohertz with a "k" or "kHz" after the number in any case:
        "750 Hz" and "750" give 750, "9.00 kHz", "9k" and "9 KHZ" give 9000. */
    std::optional<float> frequencyValue (const juce::String& text);

    /** A switch: 1 for "on", "yes" and "true", 0 for "off", "no" and "false"
        (in any case, with spaces around), or a number: 0 (truncated) is off,
        any other on. Nothing for any other text. */
    std::optional<float> switchValue (const juce::String& text);

    /** Sixteenths: "12/16", "12" and "12 / 16" give 12, and any other
        fraction is turned into sixteenths ("3/4" gives 12, "1/2" 8). */
    std::optional<float> sixteenthsValue (const juce::String& text);

    /** The index of the division whose name the text is, in any case and with
        spaces around ("1/8 d" gives 11), or a plain number taken as the index
        ("13"); nothing for any other text. */
    std::optional<float> noteDivisionValue (const NoteNames& names, const juce::String& text);

    /** The reverse setting a text names ("alternate", "On", "off" in any case),
        or a plain number taken as the index; nothing for any other text. */
    std::optional<float> reverseModeValue (const juce::String& text);

    /** A typed text read as a parameter of this kind reads it, by one of the
        readers above: the leading number for plain numbers, percentages and
        switches. Nothing when the text reads as no number. */
    std::optional<float> typedValue (ParameterText kind, const NoteNames& names, const juce::String& text);
}
