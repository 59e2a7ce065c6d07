#pragma once

#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"

#include <vector>

namespace brakkle::test
{

/** Gives the processor mono in and out (1) or stereo in and out (2), as a
    host does for a mono or a stereo track. True when it accepts. */
inline bool useChannels (BrakkleAudioProcessor& processor, int channels)
{
    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    return processor.setBusesLayout (layout);
}

/** Sets a parameter in its own units, as a host or the editor would. */
inline void setPlain (BrakkleAudioProcessor& processor, const juce::String& id, float value)
{
    auto* parameter = processor.parameters.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

/** A parameter's current value in its own units, as the engine receives it. */
inline float plainValue (BrakkleAudioProcessor& processor, const juce::String& id)
{
    return processor.parameters.getRawParameterValue (id)->load();
}

/** Every parameter value, in the parameter table's order. */
inline std::vector<float> parameterValues (BrakkleAudioProcessor& processor)
{
    std::vector<float> values;
    for (const auto& spec : parameterTable)
        values.push_back (plainValue (processor, spec.id));
    return values;
}

/** The engine's copy of the values, in the same order. */
inline std::vector<float> engineValues (const StutterEngine& e)
{
    return { e.stutterTimeFree, e.stutterTimeBpm, e.stutterSync, e.refreshTimeFree, e.refreshTimeBpm, e.refreshSync,
             e.input, e.mix, e.output, e.filterFreq, e.filterMix, e.fadeVol, e.fadeMix, e.stereoWidth, e.stereoMix,
             e.gridLock, e.fillOffset, e.fillGate, e.fillChance, e.fillSeed,
             e.repeatHold, e.variation, e.pitch, e.pitchDecay, e.reverse };
}

} // namespace brakkle::test
