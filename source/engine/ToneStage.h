#pragma once

#include "LinearDelay.h"
#include "PositionCache.h"
#include "RelaxedFloat.h"

#include <juce_dsp/juce_dsp.h>

#include <array>
#include <limits>

namespace brakkle
{

/** The parameter fields the tone stage reads, frame by frame. */
struct ToneControls
{
    const RelaxedFloat& filterFreq;
    const RelaxedFloat& filterMix;
    const RelaxedFloat& fadeVol;
    const RelaxedFloat& fadeMix;
    const RelaxedFloat& stereoWidth;
    const RelaxedFloat& stereoMix;
};

/** A second-order low-pass design: b0, b1, b2, a0 (always 1), a1, a2. */
using LowPassDesign = std::array<float, 6>;

/** One second-order section in transposed direct form II, sample by sample:
    the arithmetic of juce::dsp::IIR::Filter<float>::processSample for a
    second-order design, with its state in plain values so that it can be
    copied (a tail that plays on after a cut carries it). */
struct LowPassSection
{
    float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
    float s1 = 0.0f, s2 = 0.0f;

    /** A design whose a0 is 1, so its values are used as they are. */
    void setDesign (const LowPassDesign& design) noexcept
    {
        jassert (juce::exactlyEqual (design[3], 1.0f));
        b0 = design[0];
        b1 = design[1];
        b2 = design[2];
        a1 = design[4];
        a2 = design[5];
    }

    float process (float x) noexcept
    {
        const float out = (b0 * x) + s1;
        s1 = (b1 * x) - (a1 * out) + s2;
        s2 = (b2 * x) - (a2 * out);
        return out;
    }

    void reset() noexcept { s1 = s2 = 0.0f; }
};

/** The tone stage that moves across every recorded and repeated slice: a
    resonant low-pass whose cutoff sweeps between 200 Hz and "filterFreq", a
    volume fade between "fadeVol" and 0 dB, and a stereo widener whose amount
    ramps. Each is driven by the frame's position in the slice; the sign of
    its mix picks the direction, its size the wet share. */
class ToneStage
{
public:
    /** The mixes of one frame, read once and shared by its channels. */
    struct Settings
    {
        float filterMix, fadeMix, stereoMix;
        float filterShare, fadeShare, widenShare;   // the magnitudes as 0..1

        /** No filter, fade or widening: the chain only limits the sample. */
        bool isNeutral() const noexcept;
    };

    explicit ToneStage (const ToneControls& toneControls) noexcept : controls (toneControls) {}

    /** Filters and delay line cleared and sized for the rate; designs and gains
        are kept for slice positions up to `cachedPositions`. */
    void prepare (float sampleRate, int cachedPositions);

    /** Read every frame (a change is heard at the next sample). */
    const Settings& read() noexcept;

    /** Cutoffs, gains and ramp for a frame at `position` of a slice. */
    void update (int position, int sliceLength, const Settings& settings) noexcept;

    /** The chain for one sample of a channel (even: left, odd: right). */
    float process (float s, int channel, const Settings& settings) noexcept;

    /** The chain with every mix at 0: the limited sample; the delay line moves. */
    float passNeutral (float s) noexcept;

    /** What a run of neutral frames pushes through the widener's delay line. */
    void pushNeutralFrames (const float* const* channels, int numChannels, int start, int count) noexcept;

    /** The filters', gains' and delay line's state of another stage prepared for
        the same rate, so that this one plays on from where that one is. */
    void copyStateFrom (const ToneStage& other) noexcept;

private:
    const ToneControls controls;
    float sampleRate = 44100.0f;

    LowPassSection riseFilterLeft, riseFilterRight, fallFilterLeft, fallFilterRight;
    float riseGain = 1.0f;
    float fallGain = 1.0f;
    LinearDelay widenDelay;   // one channel shared by all channels, 15 ms
    float widenRamp = 0.0f;
    Settings tone { std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f };
    PositionCache<LowPassDesign> designCache;
    PositionCache<float> gainCache;
};

} // namespace brakkle
