#pragma once

#include <juce_core/juce_core.h>

#include <array>

/** The parameter IDs, shared by the processor, the parameter layout and the
    editor. The IDs are what hosts store in projects: never change them. */
namespace ParameterIds
{
    inline const juce::String stutterTimeFree { "stutterTimeFree" };
    inline const juce::String stutterTimeBpm { "stutterTimeBpm" };
    inline const juce::String stutterSync { "stutterSync" };
    inline const juce::String refreshTimeFree { "refreshTimeFree" };
    inline const juce::String refreshTimeBpm { "refreshTimeBpm" };
    inline const juce::String refreshSync { "refreshSync" };
    inline const juce::String input { "input" };
    inline const juce::String mix { "mix" };
    inline const juce::String output { "output" };
    inline const juce::String filterFreq { "filterFreq" };
    inline const juce::String filterMix { "filterMix" };
    inline const juce::String fadeVol { "fadeVol" };
    inline const juce::String fadeMix { "fadeMix" };
    inline const juce::String stereoWidth { "stereoWidth" };
    inline const juce::String stereoMix { "stereoMix" };
    inline const juce::String gridLock { "gridLock" };
    inline const juce::String fillOffset { "fillOffset" };
    inline const juce::String fillGate { "fillGate" };
    inline const juce::String fillChance { "fillChance" };
    inline const juce::String fillSeed { "fillSeed" };
    inline const juce::String repeatHold { "repeatHold" };
    inline const juce::String variation { "variation" };
    inline const juce::String pitch { "pitch" };
    inline const juce::String pitchDecay { "pitchDecay" };
    inline const juce::String reverse { "reverse" };
}

/** The names hosts show for the parameters. */
namespace ParameterNames
{
    inline const juce::String stutterTimeFree { "Stutter Time Free" };
    inline const juce::String stutterTimeBpm { "Stutter Time BPM" };
    inline const juce::String stutterSync { "Stutter Sync" };
    inline const juce::String refreshTimeFree { "Refresh Time Free" };
    inline const juce::String refreshTimeBpm { "Refresh Time BPM" };
    inline const juce::String refreshSync { "Refresh Sync" };
    inline const juce::String input { "Input" };
    inline const juce::String mix { "Mix" };
    inline const juce::String output { "Output" };
    inline const juce::String filterFreq { "Filter Frequency" };
    inline const juce::String filterMix { "Filter Mix" };
    inline const juce::String fadeVol { "Fade Volume" };
    inline const juce::String fadeMix { "Fade Mix" };
    inline const juce::String stereoWidth { "Stereo Width" };
    inline const juce::String stereoMix { "Stereo Mix" };
    inline const juce::String gridLock { "Grid Lock" };
    inline const juce::String fillOffset { "Offset" };
    inline const juce::String fillGate { "Gate" };
    inline const juce::String fillChance { "Chance" };
    inline const juce::String fillSeed { "Seed" };
    inline const juce::String repeatHold { "Repeat" };
    inline const juce::String variation { "Variation" };
    inline const juce::String pitch { "Pitch" };
    inline const juce::String pitchDecay { "Pitch Decay" };
    inline const juce::String reverse { "Reverse" };
}

/** How a parameter's value is shown and typed. */
enum class ParameterText
{
    wholeNumber,      // "200"
    noteDivision,     // "1/8 D"
    twoDecimals,      // "0", "0.50", "-12.00"
    frequency,        // "500 Hz", "8.00 kHz"
    onOff,            // a switch: "On" / "Off"
    sixteenths,       // a share of the refresh period: "12/16"
    percent,          // "50 %"
    semitones,        // "-12 st"
    reverseMode       // "Off", "On", "Alternate"
};

/** One row of the parameter table: everything a parameter is made from. */
struct ParameterSpec
{
    const juce::String& id;
    const juce::String& name;
    ParameterText text;
    float minimum, maximum, step, defaultValue;

    /** The release that added the parameter: hosts that care (AU) see a later
        one as new. The fifteen of the first release carry 1. */
    int versionHint = 1;

    bool isSwitch() const noexcept { return text == ParameterText::onOff; }

    /** Takes only its whole steps, each with a name hosts may list ("1/8 D", "12/16"). */
    bool hasNamedSteps() const noexcept
    {
        return text == ParameterText::noteDivision || text == ParameterText::sixteenths || text == ParameterText::reverseMode;
    }
};

/** The parameter table, in the order hosts list the parameters. New parameters
    are only ever appended. */
inline const std::array<ParameterSpec, 25> parameterTable {{
    { ParameterIds::stutterTimeFree, ParameterNames::stutterTimeFree, ParameterText::wholeNumber,  10.0f, 1000.0f, 1.0f,   200.0f },
    { ParameterIds::stutterTimeBpm,  ParameterNames::stutterTimeBpm,  ParameterText::noteDivision,  0.0f,   19.0f, 1.0f,    11.0f },
    { ParameterIds::stutterSync,     ParameterNames::stutterSync,     ParameterText::onOff,         0.0f,    1.0f, 1.0f,     1.0f },
    { ParameterIds::refreshTimeFree, ParameterNames::refreshTimeFree, ParameterText::wholeNumber,  10.0f, 1000.0f, 1.0f,   200.0f },
    { ParameterIds::refreshTimeBpm,  ParameterNames::refreshTimeBpm,  ParameterText::noteDivision,  0.0f,   19.0f, 1.0f,    13.0f },
    { ParameterIds::refreshSync,     ParameterNames::refreshSync,     ParameterText::onOff,         0.0f,    1.0f, 1.0f,     1.0f },
    { ParameterIds::input,           ParameterNames::input,           ParameterText::twoDecimals, -24.0f,   24.0f, 0.01f,    0.0f },
    { ParameterIds::mix,             ParameterNames::mix,             ParameterText::twoDecimals,   0.0f,  100.0f, 0.01f,  100.0f },
    { ParameterIds::output,          ParameterNames::output,          ParameterText::twoDecimals, -24.0f,   24.0f, 0.01f,    0.0f },
    { ParameterIds::filterFreq,      ParameterNames::filterFreq,      ParameterText::frequency,   500.0f, 12000.0f, 1.0f, 8000.0f },
    { ParameterIds::filterMix,       ParameterNames::filterMix,       ParameterText::twoDecimals, -100.0f, 100.0f, 0.01f,    0.0f },
    { ParameterIds::fadeVol,         ParameterNames::fadeVol,         ParameterText::twoDecimals, -36.0f,    0.0f, 0.01f,  -12.0f },
    { ParameterIds::fadeMix,         ParameterNames::fadeMix,         ParameterText::twoDecimals, -100.0f, 100.0f, 0.01f,    0.0f },
    { ParameterIds::stereoWidth,     ParameterNames::stereoWidth,     ParameterText::twoDecimals,   0.0f,  100.0f, 0.01f,  100.0f },
    { ParameterIds::stereoMix,       ParameterNames::stereoMix,       ParameterText::twoDecimals, -100.0f, 100.0f, 0.01f,    0.0f },
    { ParameterIds::gridLock,        ParameterNames::gridLock,        ParameterText::onOff,         0.0f,    1.0f, 1.0f,     0.0f, 2 },
    { ParameterIds::fillOffset,      ParameterNames::fillOffset,      ParameterText::sixteenths,    0.0f,   15.0f, 1.0f,     0.0f, 3 },
    { ParameterIds::fillGate,        ParameterNames::fillGate,        ParameterText::sixteenths,    1.0f,   16.0f, 1.0f,    16.0f, 3 },
    { ParameterIds::fillChance,      ParameterNames::fillChance,      ParameterText::percent,       0.0f,  100.0f, 1.0f,   100.0f, 3 },
    { ParameterIds::fillSeed,        ParameterNames::fillSeed,        ParameterText::wholeNumber,   1.0f,  128.0f, 1.0f,     1.0f, 3 },
    { ParameterIds::repeatHold,      ParameterNames::repeatHold,      ParameterText::onOff,         0.0f,    1.0f, 1.0f,     0.0f, 4 },
    { ParameterIds::variation,       ParameterNames::variation,       ParameterText::percent,       0.0f,  100.0f, 1.0f,     0.0f, 5 },
    { ParameterIds::pitch,           ParameterNames::pitch,           ParameterText::semitones,   -24.0f,    0.0f, 1.0f,     0.0f, 5 },
    { ParameterIds::pitchDecay,      ParameterNames::pitchDecay,      ParameterText::percent,       0.0f,  100.0f, 1.0f,     0.0f, 5 },
    { ParameterIds::reverse,         ParameterNames::reverse,         ParameterText::reverseMode,   0.0f,    2.0f, 1.0f,     0.0f, 5 },
}};

/** The row of the parameter with this ID, or null for an ID Brakkle does not have. */
inline const ParameterSpec* findParameterSpec (const juce::String& id) noexcept
{
    for (const auto& spec : parameterTable)
        if (spec.id == id)
            return &spec;

    return nullptr;
}
