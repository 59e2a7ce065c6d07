#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace brakkle::render
{

/** A stereo drum-like loop in 4/4 (kick, snare, hats and a bass line),
    synthesised so that the project needs no sample files. Deterministic. */
juce::AudioBuffer<float> makeDemoLoop (double sampleRate, double bpm, int bars);

} // namespace brakkle::render
