#include "ToneStage.h"

#include "SoftClip.h"

#include <cmath>

namespace brakkle
{

namespace
{
    // Filter sweep: from this floor up to the "filterFreq" parameter.
    constexpr float sweepFloorHz = 200.0f;
    constexpr float filterQ = 1.4f;
    // Cutoffs are kept just below half the sample rate, where the low-pass
    // design stops being valid. At 44.1 kHz and above this never bites.
    constexpr float maxCutoffRatio = 0.499f;

    constexpr float widenerDelaySeconds = 0.015f;
}

void ToneStage::prepare (float newSampleRate, int cachedPositions)
{
    sampleRate = newSampleRate;

    for (auto* filter : { &riseFilterLeft, &riseFilterRight, &fallFilterLeft, &fallFilterRight })
        filter->reset();

    // The widener runs every channel through one shared delay channel, with room
    // for one second.
    widenDelay.setMaximumDelayInSamples ((int) sampleRate);
    widenDelay.setDelay (widenerDelaySeconds * sampleRate);

    designCache.reserve (cachedPositions);
    gainCache.reserve (cachedPositions);
}

const ToneStage::Settings& ToneStage::read() noexcept
{
    // The shares are worked out again only when a mix has changed.
    const float filter = controls.filterMix, fade = controls.fadeMix, stereo = controls.stereoMix;

    if (! (juce::exactlyEqual (filter, tone.filterMix) && juce::exactlyEqual (fade, tone.fadeMix)
           && juce::exactlyEqual (stereo, tone.stereoMix)))
        tone = { filter, fade, stereo, std::abs (filter) / 100.0f, std::abs (fade) / 100.0f, std::abs (stereo) / 100.0f };

    return tone;
}

bool ToneStage::Settings::isNeutral() const noexcept
{
    return juce::exactlyEqual (filterMix, 0.0f) && juce::exactlyEqual (fadeMix, 0.0f) && juce::exactlyEqual (stereoMix, 0.0f);
}

void ToneStage::update (int position, int sliceLength, const Settings& settings) noexcept
{
    // Only what a selected effect uses this frame is computed; the rest would be
    // computed afresh before it is heard anyway. Filter designs and fade gains
    // depend on the position and a few settings alone, so a slice that repeats
    // with the same settings finds them kept from its earlier passes.
    const float fraction = (float) position / (float) sliceLength;
    const auto length = (float) sliceLength;

    if (! juce::exactlyEqual (settings.filterMix, 0.0f))
    {
        const bool rising = settings.filterMix > 0.0f;
        const float top = controls.filterFreq;
        designCache.setKey ({ top, sampleRate, rising ? 1.0f : -1.0f, length });

        LowPassDesign design;
        if (const auto* kept = designCache.find (position))
        {
            design = *kept;
        }
        else
        {
            const float sweep = rising ? fraction : 1.0f - fraction;
            const float cutoff = juce::jmin (sweepFloorHz + sweep * (top - sweepFloorHz), sampleRate * maxCutoffRatio);
            design = juce::dsp::IIR::ArrayCoefficients<float>::makeLowPass ((double) sampleRate, cutoff, filterQ);
            designCache.store (position, design);
        }

        (rising ? riseFilterLeft : fallFilterLeft).setDesign (design);
        (rising ? riseFilterRight : fallFilterRight).setDesign (design);
    }

    if (! juce::exactlyEqual (settings.fadeMix, 0.0f))
    {
        const bool rising = settings.fadeMix > 0.0f;
        const float quietEnd = controls.fadeVol;
        gainCache.setKey ({ quietEnd, rising ? 1.0f : -1.0f, length, 0.0f });

        float gain;
        if (const auto* kept = gainCache.find (position))
        {
            gain = *kept;
        }
        else
        {
            gain = juce::Decibels::decibelsToGain (quietEnd * (rising ? 1.0f - fraction : fraction));
            gainCache.store (position, gain);
        }

        (rising ? riseGain : fallGain) = gain;
    }

    if (settings.stereoMix > 0.0f)
        widenRamp = (controls.stereoWidth / 100.0f) * fraction;
    else if (settings.stereoMix < 0.0f)
        widenRamp = (controls.stereoWidth / 100.0f) * (1.0f - fraction);
}

float ToneStage::passNeutral (float s) noexcept
{
    // With every mix at 0 the blends give the limited sample back and the
    // widener adds nothing, but the delay line keeps moving, so that turning
    // the widener up later hears what went through it meanwhile.
    s = limitUnit (s);
    widenDelay.pushSample (s);
    widenDelay.popSample();
    return s;
}

void ToneStage::pushNeutralFrames (const float* const* channels, int numChannels, int start, int count) noexcept
{
    widenDelay.pushFramesUnread (channels, numChannels, start, count);
}

float ToneStage::process (float s, int channel, const Settings& settings) noexcept
{
    const bool left = (channel & 1) == 0;

    // Filter, blended by the magnitude of its mix.
    float m = limitUnit (s);
    if (settings.filterMix > 0.0f)
        m = softClip ((left ? riseFilterLeft : riseFilterRight).process (m));
    else if (settings.filterMix < 0.0f)
        m = softClip ((left ? fallFilterLeft : fallFilterRight).process (m));

    const float a = settings.filterShare;
    s = limitUnit ((1.0f - a) * s + a * m);

    // Volume fade.
    float g = s;
    if (settings.fadeMix > 0.0f)
        g = s * riseGain;
    else if (settings.fadeMix < 0.0f)
        g = s * fallGain;

    const float b = settings.fadeShare;
    s = limitUnit ((1.0f - b) * s + b * g);

    // Widener: the delayed signal added on the left, subtracted on the right.
    widenDelay.pushSample (s);
    const float d = widenDelay.popSample();
    const float k = settings.widenShare * d * widenRamp;
    s = left ? s + k : s - k;

    return limitUnit (s);
}

void ToneStage::copyStateFrom (const ToneStage& other) noexcept
{
    riseFilterLeft = other.riseFilterLeft;
    riseFilterRight = other.riseFilterRight;
    fallFilterLeft = other.fallFilterLeft;
    fallFilterRight = other.fallFilterRight;
    riseGain = other.riseGain;
    fallGain = other.fallGain;
    widenRamp = other.widenRamp;
    widenDelay.copyStateFrom (other.widenDelay);
}

} // namespace brakkle
