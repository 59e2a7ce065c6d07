#pragma once

#include <algorithm>

// A deliberately plain beat repeater, written line by line from the behaviour
// Brakkle promises, with no optimisation at all: every frame designs all four
// low-pass filters as new coefficient objects and computes both fade gains.
// Tests compare the real engine with it sample for sample; the benchmark uses
// it as the straightforward baseline. It keeps its own note lengths, soft
// clipper and trim, so a wrong number in the plug-in cannot hide behind a
// shared one; tests anchor these with values worked out by hand.

#include "ReferencePipeline.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_dsp/juce_dsp.h>

#include <array>
#include <cmath>

class ReferenceEngine
{
public:
    float stutterTimeFree = 200, stutterTimeBpm = 11, stutterSync = 1;
    float refreshTimeFree = 200, refreshTimeBpm = 13, refreshSync = 1;
    float filterFreq = 8000, filterMix = 0, fadeVol = -12, fadeMix = 0, stereoWidth = 100, stereoMix = 0;

    ReferenceEngine()
    {
        for (auto* f : filters())
        {
            f->coefficients = juce::dsp::IIR::Coefficients<float>::makeLowPass (44100.0, 1000.0f, 1.4f);
            f->reset();
        }
    }

    /** Takes the twelve values the engine reads from anything that names them
        as the plug-in does (a prepared processor's engine, a test's settings). */
    template <typename Values>
    void takeParameters (const Values& v)
    {
        stutterTimeFree = v.stutterTimeFree; stutterTimeBpm = v.stutterTimeBpm; stutterSync = v.stutterSync;
        refreshTimeFree = v.refreshTimeFree; refreshTimeBpm = v.refreshTimeBpm; refreshSync = v.refreshSync;
        filterFreq = v.filterFreq; filterMix = v.filterMix; fadeVol = v.fadeVol; fadeMix = v.fadeMix;
        stereoWidth = v.stereoWidth; stereoMix = v.stereoMix;
    }

    void prepare (const juce::dsp::ProcessSpec& spec)
    {
        sampleRate = (float) spec.sampleRate;
        numChannels = (int) spec.numChannels;
        for (auto* f : filters())
        {
            f->prepare (spec);
            f->reset();
        }
        widenDelay.prepare (spec);
        widenDelay.reset();
        widenDelay.setMaximumDelayInSamples ((int) sampleRate);
        widenDelay.setDelay (0.015f * sampleRate);
    }

    int durationInSamples (float sync, float index, float freeMs) const
    {
        if (sync > 0.5f)
            return (int) (((60.0f / bpm) * reference::noteBeats[(size_t) (int) index]) * sampleRate);
        return (int) ((freeMs / 1000.0f) * sampleRate);
    }

    void process (juce::AudioBuffer<float>& buffer, float hostBpm, bool isPlaying)
    {
        if (! isPlaying)
        {
            cycleHeard = entering = false;
            fadeInCount = -1;
            restartSlice();
            refreshPeriod = durationInSamples (refreshSync, refreshTimeBpm, refreshTimeFree);
            refreshCounter = 0;
            return;
        }

        const int key = (int) (hostBpm * 100.0f);

        // The host's tempo holds from the block's first sample, and the cycle a
        // stop made ready starts with it.
        if (buffer.getNumSamples() > 0)
        {
            if ((int) (bpm * 100.0f) != key)
                bpm = hostBpm;
            if (refreshCounter == 0)
                refreshCounter = refreshPeriod;
        }

        for (int j = 0; j < buffer.getNumSamples(); ++j)
        {
            if (refreshCounter >= refreshPeriod)
            {
                // Joins meet themselves: after a cycle as long as its period (the
                // input itself) a shorter one takes over from the input, and
                // after a shorter one (faded to silence) a long one fades the
                // input in. The first cycle after a stop does neither.
                const bool wasShaped = slice.getNumSamples() < refreshPeriod;
                restartSlice();
                refreshPeriod = durationInSamples (refreshSync, refreshTimeBpm, refreshTimeFree);
                refreshCounter = 0;
                const bool shaped = slice.getNumSamples() < refreshPeriod;
                entering = cycleHeard && ! wasShaped && shaped;
                fadeInCount = cycleHeard && wasShaped && ! shaped ? 0 : -1;
            }

            const int L = slice.getNumSamples();
            if (playPosition >= L)
                playPosition = 0;

            const bool recording = writePosition < L;
            const int p = recording ? writePosition : playPosition;
            const float f = (float) p / (float) L;
            frameUpdate (f);

            for (int c = 0; c < buffer.getNumChannels(); ++c)
            {
                const float x = buffer.getSample (c, j);
                float s;
                if (recording)
                {
                    if (c < slice.getNumChannels())
                        slice.setSample (c, writePosition, x);
                    s = x;
                }
                else
                {
                    s = c < slice.getNumChannels() ? slice.getSample (c, playPosition) : 0.0f;
                }

                if (L < refreshPeriod)
                    s = chain (s, c);

                // Slices shorter than two fades fade over their halves; the fade
                // before the refresh is no longer than those, nor than half the cycle.
                const int F = std::min (fadeLength, L / 2);
                const int G = std::min (F, refreshPeriod / 2);
                if (! recording || L < refreshPeriod)
                {
                    if (p < F)
                        s *= (float) p / (float) F;
                    else if (p > L - F)
                        s *= 1.0f - (float) (p - (L - F)) / (float) F;
                    s = juce::jlimit (-1.0f, 1.0f, s);
                }
                if (! recording && refreshCounter > refreshPeriod - G)
                    s *= 1.0f - (float) (refreshCounter - (refreshPeriod - G)) / (float) G;
                if (entering && L < refreshPeriod && refreshCounter < G)
                    s += (1.0f - (float) refreshCounter / (float) G) * x;
                if (fadeInCount >= 0 && fadeInCount < fadeLength)
                    s *= (float) (fadeInCount + 1) / (float) fadeLength;

                buffer.setSample (c, j, s);
            }

            if (recording)
                ++writePosition;
            else
                ++playPosition;
            ++refreshCounter;
            cycleHeard = true;
            if (fadeInCount >= 0)
                ++fadeInCount;
        }
    }

    /** The tone stage's per-frame update for the slice fraction f. */
    void frameUpdate (float f)
    {
        riseCutoff = 200.0f + f * (filterFreq - 200.0f);
        fallCutoff = 200.0f + (1.0f - f) * (filterFreq - 200.0f);
        using Coefficients = juce::dsp::IIR::Coefficients<float>;
        *riseFilterLeft.coefficients = *Coefficients::makeLowPass ((double) sampleRate, riseCutoff, 1.4f);
        *riseFilterRight.coefficients = *Coefficients::makeLowPass ((double) sampleRate, riseCutoff, 1.4f);
        *fallFilterLeft.coefficients = *Coefficients::makeLowPass ((double) sampleRate, fallCutoff, 1.4f);
        *fallFilterRight.coefficients = *Coefficients::makeLowPass ((double) sampleRate, fallCutoff, 1.4f);

        riseGain = juce::Decibels::decibelsToGain (fadeVol * (1.0f - f));
        fallGain = juce::Decibels::decibelsToGain (fadeVol * f);

        if (stereoMix > 0)
            widenRamp = (stereoWidth / 100.0f) * f;
        else if (stereoMix < 0)
            widenRamp = (stereoWidth / 100.0f) * (1.0f - f);
    }

    /** The tone stage's chain for one sample of channel c, after frameUpdate. */
    float chain (float s, int c)
    {
        const bool even = c % 2 == 0;
        float m = juce::jlimit (-1.0f, 1.0f, s);
        if (filterMix > 0)
            m = reference::softClip ((even ? riseFilterLeft : riseFilterRight).processSample (m));
        else if (filterMix < 0)
            m = reference::softClip ((even ? fallFilterLeft : fallFilterRight).processSample (m));
        const float a = std::abs (filterMix) / 100.0f;
        s = juce::jlimit (-1.0f, 1.0f, (1 - a) * s + a * m);

        float g = s;
        if (fadeMix > 0)
            g = s * riseGain;
        else if (fadeMix < 0)
            g = s * fallGain;
        const float b = std::abs (fadeMix) / 100.0f;
        s = juce::jlimit (-1.0f, 1.0f, (1 - b) * s + b * g);

        widenDelay.pushSample (0, s);
        const float d = widenDelay.popSample (0);
        const float k = (std::abs (stereoMix) / 100.0f) * d * widenRamp;
        s = even ? s + k : s - k;
        return juce::jlimit (-1.0f, 1.0f, s);
    }

    /** Samples until the next slice starts: a block that changes the tempo
        this many frames in hands the new tempo to the frame of that start. */
    int framesUntilSliceStart() const { return juce::jmax (0, refreshPeriod - refreshCounter); }

    float riseCutoff = 0, fallCutoff = 0;

private:
    std::array<juce::dsp::IIR::Filter<float>*, 4> filters()
    {
        return { &riseFilterLeft, &riseFilterRight, &fallFilterLeft, &fallFilterRight };
    }

    void restartSlice()
    {
        if (numChannels > 0)
        {
            const int n = durationInSamples (stutterSync, stutterTimeBpm, stutterTimeFree);
            if (n > 0)
                slice.setSize (numChannels, n, false, false, false);
        }
        slice.clear();
        writePosition = 0;
        playPosition = 0;
        fadeLength = (int) (sampleRate * 0.01f);
    }

    float sampleRate = 44100, bpm = 120;
    int numChannels = 0;
    juce::AudioBuffer<float> slice;
    int writePosition = 0, playPosition = 0, refreshPeriod = 0, refreshCounter = 0, fadeLength = 0;
    bool cycleHeard = false, entering = false;
    int fadeInCount = -1;
    juce::dsp::IIR::Filter<float> riseFilterLeft, riseFilterRight, fallFilterLeft, fallFilterRight;
    float riseGain = 1, fallGain = 1, widenRamp = 0;
    juce::dsp::DelayLine<float, juce::dsp::DelayLineInterpolationTypes::Linear> widenDelay;
};
