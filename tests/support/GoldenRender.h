#pragma once

// The stored render with every effect on (tests/golden/): its input, settings
// and host, shared by the in-process test and the one through each bundle.

#include "processor/ParameterIds.h"
#include "Signals.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>
#include <utility>

namespace brakkle::test::golden
{

constexpr double sampleRate = 44100.0;
constexpr double bpm = 123.0;      // playing from the first block, no musical position needed
constexpr int blockSize = 441;
constexpr int length = 88200;

/** Every effect on, in each parameter's own units; the others at their defaults. */
inline const std::pair<const juce::String*, float> settings[] = {
    { &ParameterIds::stutterTimeBpm, 7.0f },  { &ParameterIds::refreshTimeBpm, 16.0f },
    { &ParameterIds::input, 3.0f },           { &ParameterIds::mix, 85.0f },
    { &ParameterIds::output, -2.0f },         { &ParameterIds::filterFreq, 9000.0f },
    { &ParameterIds::filterMix, 70.0f },      { &ParameterIds::fadeVol, -20.0f },
    { &ParameterIds::fadeMix, -60.0f },       { &ParameterIds::stereoWidth, 90.0f },
    { &ParameterIds::stereoMix, 80.0f },
};

/** Noise and two low tones, stereo. */
inline juce::AudioBuffer<float> input()
{
    auto audio = noise (2, length, 2024);
    audio.applyGain (0.3f);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < length; ++i)
            audio.addSample (c, i, 0.5f * std::sin (juce::MathConstants<float>::twoPi * (110.0f + 55.0f * (float) c) * (float) i / 44100.0f));
    return audio;
}

inline juce::File storedRender()
{
    return juce::File (BRAKKLE_TESTS_DIR).getChildFile ("golden/every-effect-44k1-stereo.f32");
}

/** The largest difference between a render and the stored one (interleaved
    32-bit floats, little-endian as JUCE's streams write them), and the frame
    where it is; -1 when they do not hold the same number of samples. */
inline std::pair<float, int> largestDifference (const juce::AudioBuffer<float>& audio, const juce::MemoryBlock& stored)
{
    if (stored.getSize() != (size_t) audio.getNumSamples() * (size_t) audio.getNumChannels() * sizeof (float))
        return { 0.0f, -1 };

    juce::MemoryInputStream in (stored, false);
    float worst = 0.0f;
    int worstIndex = 0;
    for (int i = 0; i < audio.getNumSamples(); ++i)
        for (int c = 0; c < audio.getNumChannels(); ++c)
        {
            const float difference = std::abs (in.readFloat() - audio.getSample (c, i));
            if (difference > worst)
            {
                worst = difference;
                worstIndex = i;
            }
        }

    return { worst, worstIndex };
}

} // namespace brakkle::test::golden
