#pragma once

// The texts of a stepped parameter's steps, lowest first, as users read them in
// a host: what a VST3 host's step texts and an LV2 bundle's scale points must
// say. Written out here, not taken from the plug-in.

#include "processor/ParameterIds.h"

#include <juce_core/juce_core.h>

namespace brakkle::test
{

/** The twenty note divisions, "1/64 T" to "2 BARS", by index. */
inline juce::StringArray noteDivisionNames()
{
    return { "1/64 T", "1/64", "1/64 D", "1/32 T", "1/32", "1/32 D", "1/16 T", "1/16", "1/16 D", "1/8 T",
             "1/8",    "1/8 D", "1/4 T", "1/4",    "1/4 D", "1/2 T", "1/2",   "1/2 D",  "1 BAR",  "2 BARS" };
}

/** Every step's text for a note division, a share in sixteenths or a switch; none for a parameter
    that takes any value in its range. */
inline juce::StringArray stepTexts (const ParameterSpec& spec)
{
    switch (spec.text)
    {
        case ParameterText::noteDivision: return noteDivisionNames();
        case ParameterText::onOff:        return { "Off", "On" };
        case ParameterText::reverseMode:  return { "Off", "On", "Alternate" };
        case ParameterText::sixteenths:
        {
            juce::StringArray texts;
            for (int i = (int) spec.minimum; i <= (int) spec.maximum; ++i)
                texts.add (juce::String (i) + "/16");
            return texts;
        }
        case ParameterText::percent:
        case ParameterText::semitones:
        case ParameterText::wholeNumber:
        case ParameterText::twoDecimals:
        case ParameterText::frequency:    break;
    }

    return {};
}

} // namespace brakkle::test
