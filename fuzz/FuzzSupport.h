#pragma once

// What every fuzz target checks after each step, and what they share.
// A broken promise prints what went wrong and aborts, which libFuzzer
// records as a crash together with the input that caused it.

#include "processor/BrakkleAudioProcessor.h"
#include "processor/EngineFields.h"
#include "processor/ParameterIds.h"

#include <juce_events/juce_events.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace brakkle::fuzz
{

/** A value with every digit a float holds. */
inline juce::String exact (float v)
{
    char text[32];
    std::snprintf (text, sizeof (text), "%.9g", (double) v);
    return text;
}

[[noreturn]] inline void fail (const char* what, const juce::String& detail)
{
    std::fprintf (stderr, "\n*** broken promise: %s (%s)\n", what, detail.toRawUTF8());
    std::abort();
}

/** JUCE's message manager: parameter trees start timers, which need one.
    It is never shut down: libFuzzer leaves through exit(), after JUCE's own
    statics may already be gone. */
inline void initialiseJuce()
{
    juce::initialiseJuce_GUI();
}

/** The engine field that mirrors each parameter, in the parameter table's order. */
inline std::array<float, parameterTable.size()> engineFieldValues (const StutterEngine& e)
{
    std::array<float, parameterTable.size()> values {};
    const auto fields = engineFields (const_cast<StutterEngine&> (e));
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = *fields[i];
    return values;
}

inline bool within (float v, float low, float high) { return v >= low && v <= high; }   // false for NaN

/** Every parameter holds a number inside its range: what the host reads
    (normalised), what the parameter tree keeps (plain) and what the engine hears. */
inline void checkParameters (BrakkleAudioProcessor& processor, bool engineFilled = true)
{
    const auto engine = engineFieldValues (processor.stutterEngine);

    for (size_t i = 0; i < parameterTable.size(); ++i)
    {
        const auto& spec = parameterTable[i];
        auto* parameter = processor.parameters.getParameter (spec.id);

        if (parameter == nullptr)
            fail ("parameter missing", spec.id);

        const float normalised = parameter->getValue();
        if (! within (normalised, 0.0f, 1.0f))
            fail ("normalised value outside 0..1", spec.id + " = " + exact (normalised));

        const float plain = parameter->convertFrom0to1 (normalised);
        if (! within (plain, spec.minimum, spec.maximum))
            fail ("value outside its range", spec.id + " = " + exact (plain));

        const float raw = processor.parameters.getRawParameterValue (spec.id)->load();
        if (! within (raw, spec.minimum, spec.maximum))
            fail ("parameter tree value outside its range", spec.id + " = " + exact (raw));

        if (engineFilled && ! within (engine[i], spec.minimum, spec.maximum))
            fail ("engine value outside its range", spec.id + " = " + exact (engine[i]));
    }
}

/** Every sample of the first numChannels channels is a number within [-1, 1]. */
inline void checkOutput (const juce::AudioBuffer<float>& block, int numChannels)
{
    for (int c = 0; c < numChannels; ++c)
    {
        const auto* samples = block.getReadPointer (c);

        for (int i = 0; i < block.getNumSamples(); ++i)
            if (! within (samples[i], -1.0f, 1.0f))
                fail ("output sample not a number within [-1, 1]",
                      "channel " + juce::String (c) + " sample " + juce::String (i) + " = " + exact (samples[i]));
    }
}

/** Every plain value, as the host would read them back. */
inline std::array<float, parameterTable.size()> plainValues (BrakkleAudioProcessor& processor)
{
    std::array<float, parameterTable.size()> values {};
    for (size_t i = 0; i < parameterTable.size(); ++i)
        values[i] = processor.parameters.getRawParameterValue (parameterTable[i].id)->load();
    return values;
}

/** What was saved comes back: a fresh instance restored from the processor's
    state holds exactly its values. */
inline void checkStateRoundTrip (BrakkleAudioProcessor& processor)
{
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);

    BrakkleAudioProcessor restored;
    restored.setStateInformation (saved.getData(), (int) saved.getSize());

    const auto expected = plainValues (processor);
    const auto actual = plainValues (restored);

    for (size_t i = 0; i < expected.size(); ++i)
        // A fresh instance holds its defaults unsnapped (JUCE keeps that for
        // older projects' sake), so a restore may land a rounding step away.
        if (! (std::abs (expected[i] - actual[i]) <= 1.0e-6f * juce::jmax (1.0f, std::abs (expected[i]))))
            fail ("state round trip lost a value",
                  parameterTable[i].id + ": saved " + exact (expected[i]) + ", restored " + exact (actual[i]));
}

inline juce::AudioProcessor::BusesLayout layoutFor (int numChannels)
{
    const auto set = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    return layout;
}

} // namespace brakkle::fuzz
