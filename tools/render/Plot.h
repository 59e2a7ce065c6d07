#pragma once

#include "SliceMarks.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

namespace brakkle::render
{

/** Size of the pictures writePlot draws. */
inline constexpr int plotWidth = 1600, plotHeight = 900;

/** Draws the input above the output, with time in seconds below and bars of
    the song's meter above, beat and bar lines where the song position reaches
    them, refresh points and repeat starts marked, and the stretches where the
    input passes (transport stopped, Grid Lock waiting or the position held)
    shaded, and writes it as a PNG. Returns false and says why on failure. */
bool writePlot (const juce::File& file,
                const juce::AudioBuffer<float>& input,
                const juce::AudioBuffer<float>& output,
                double sampleRate,
                const SliceMarks& marks,
                const juce::String& title,
                juce::String& errorMessage);

} // namespace brakkle::render
