#pragma once

#include "SliceMarks.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>

namespace brakkle::render
{

/** Size of the pictures writePlot draws. */
inline constexpr int plotWidth = 1600, plotHeight = 900;

/** Draws the input above the output, with time in seconds below and bars of
    the song's meter above, beat and bar lines where the song position reaches
    them, refresh points, repeat starts, gate ends (dashed) and the cycles
    chance skips (a short tick above the output) marked, the stretches where
    the input passes (transport stopped, Grid Lock waiting, the position held,
    a fill's lead-in, the rest after a gate, a skipped cycle) shaded, and a
    legend of the marks below. */
juce::Image drawPlot (const juce::AudioBuffer<float>& input,
                      const juce::AudioBuffer<float>& output,
                      double sampleRate,
                      const SliceMarks& marks,
                      const juce::String& title);

/** Writes drawPlot's picture as a PNG. Returns false and says why on failure. */
bool writePlot (const juce::File& file,
                const juce::AudioBuffer<float>& input,
                const juce::AudioBuffer<float>& output,
                double sampleRate,
                const SliceMarks& marks,
                const juce::String& title,
                juce::String& errorMessage);

} // namespace brakkle::render
