#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

namespace brakkle::host
{

struct Audio
{
    juce::AudioBuffer<float> samples;
    double sampleRate = 44100.0;
};

/** Reads a whole WAV file. On failure returns false and says why. */
bool readWav (const juce::File& file, Audio& audio, juce::String& errorMessage);

/** Writes a WAV file (16, 24 or 32 bits; 32 is floating point) through a
    temporary file, so a failed write never leaves a half-written file. */
bool writeWav (const juce::File& file, const Audio& audio, int bitsPerSample, juce::String& errorMessage);

} // namespace brakkle::host
