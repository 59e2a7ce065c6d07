#include "StutterEngine.h"

#include "SoftClip.h"

#include <cmath>

namespace
{
    // Filter sweep: from this floor up to the "filterFreq" parameter.
    constexpr float sweepFloorHz = 200.0f;
    constexpr float filterQ = 1.4f;
    // Cutoffs are kept just below half the sample rate, where the low-pass
    // design stops being valid. At 44.1 kHz and above this never bites.
    constexpr float maxCutoffRatio = 0.499f;

    constexpr float widenerDelaySeconds = 0.015f;
    constexpr float cachedSliceSeconds = 0.5f;
    constexpr float edgeFadeSeconds = 0.01f;
    constexpr float defaultTempo = 120.0f;
    // Tempos outside (0, maxTempo] or not finite are never adopted.
    constexpr float maxTempo = 100000.0f;

    /** The bytes juce::AudioBuffer<float>::setSize asks for to hold this many
        channels and samples: each channel rounded up to whole groups of four
        samples, after the list of channel pointers (one more than the channels,
        rounded up to 16 bytes), and 32 bytes to spare. A resize that keeps its
        storage (avoidReallocating) reallocates only when this outgrows it. */
    size_t sliceStorageBytes (int channels, int samples) noexcept
    {
        const auto samplesPerChannel = ((size_t) samples + 3) & ~(size_t) 3;
        const auto channelList = (((size_t) channels + 1) * sizeof (float*) + 15) & ~(size_t) 15;
        return (size_t) channels * samplesPerChannel * sizeof (float) + channelList + 32;
    }

    std::array<juce::String, brakkle::numNoteDivisions> makeNoteNames()
    {
        std::array<juce::String, brakkle::numNoteDivisions> names;
        for (size_t i = 0; i < names.size(); ++i)
            names[i] = brakkle::noteDivisionNames[i];
        return names;
    }

    bool isUsableTempo (float tempo) noexcept
    {
        return tempo > 0.0f && tempo <= maxTempo;   // false for NaN
    }

    /** The tempo in truncated hundredths of a BPM. */
    int tempoKey (float tempo) noexcept
    {
        return (int) (tempo * 100.0f);
    }

    /** A note-division value truncated to a valid index. */
    int noteIndexOf (float value) noexcept
    {
        if (! (value >= 0.0f))
            return 0;
        return juce::jmin ((int) value, brakkle::numNoteDivisions - 1);
    }

    juce::dsp::IIR::Coefficients<float>::Ptr makeInitialLowPass()
    {
        // Any second-order design will do: the real one is written on every frame.
        return new juce::dsp::IIR::Coefficients<float> (
            juce::dsp::IIR::ArrayCoefficients<float>::makeLowPass (44100.0, 1000.0f, filterQ));
    }

    void setLowPass (juce::dsp::IIR::Filter<float>& filter, const StutterEngine::LowPassDesign& design) noexcept
    {
        // Written into the filter's own coefficient object, so its state carries on.
        // The design's a0 is exactly 1, so these are the values JUCE's own
        // assignment stores (each divided by a0), without its bookkeeping.
        jassert (juce::exactlyEqual (design[3], 1.0f));
        auto* c = filter.coefficients->getRawCoefficients();
        c[0] = design[0];
        c[1] = design[1];
        c[2] = design[2];
        c[3] = design[4];
        c[4] = design[5];
    }
}

StutterEngine::StutterEngine()
    : noteNames (makeNoteNames()),
      noteBeats (brakkle::noteDivisionBeats)
{
    for (auto* filter : { &riseFilterLeft, &riseFilterRight, &fallFilterLeft, &fallFilterRight })
    {
        filter->coefficients = makeInitialLowPass();
        filter->reset();
    }
}

//==============================================================================
void StutterEngine::prepare (const juce::dsp::ProcessSpec& spec)
{
    const auto rate = (float) spec.sampleRate;
    if (std::isfinite (rate) && rate > 0.0f)
        sampleRate = rate;

    numChannels = (int) spec.numChannels;

    prepareToneStage (spec);
    reserveSliceStorage (numChannels);

    grid.setSampleRate (spec.sampleRate);
    rearmGrid();

    // Kept designs and gains cover slices up to half a second: those repeat most.
    const int cachedPositions = (int) (sampleRate * cachedSliceSeconds);
    designCache.reserve (cachedPositions);
    gainCache.reserve (cachedPositions);
}

int StutterEngine::durationInSamples (float sync, float noteIndex, float freeTimeMs) const noexcept
{
    const float seconds = sync > 0.5f ? (60.0f / bpm) * noteBeats[(size_t) noteIndexOf (noteIndex)]
                                      : freeTimeMs / 1000.0f;
    const float samples = seconds * sampleRate;

    if (! (samples >= 1.0f))
        return 1;

    return (int) juce::jmin (samples, maxDurationSeconds * sampleRate);
}

void StutterEngine::reserveSliceStorage (int numChannelsToHold)
{
    // Room for the longest slice the current tempo (or 120 BPM, if faster)
    // allows, so that slice starts while playing never need to allocate; and
    // never less than the slice in use, which is kept whole until its next start.
    const float slowestTempo = juce::jmin (bpm, defaultTempo);
    const float longest = (60.0f / slowestTempo) * noteBeats[brakkle::longestNoteDivision] * sampleRate;
    const int samplesNeeded = juce::jmax ((int) juce::jmin (longest, maxDurationSeconds * sampleRate),
                                          sliceBuffer.getNumSamples());
    const int channelsNeeded = juce::jmax (numChannelsToHold, sliceBuffer.getNumChannels());
    const auto bytesNeeded = sliceStorageBytes (channelsNeeded, samplesNeeded);

    if (bytesNeeded <= reservedSliceBytes || channelsNeeded == 0)
        return;

    // Grow the storage, sized the way the slice's own resizes size it, but keep
    // the slice as it is: a new rate or channel count reaches the slice only at
    // its next start.
    juce::AudioBuffer<float> grown;
    grown.setSize (channelsNeeded, samplesNeeded);
    grown.clear();

    for (int c = 0; c < sliceBuffer.getNumChannels(); ++c)
        grown.copyFrom (c, 0, sliceBuffer, c, 0, sliceBuffer.getNumSamples());

    grown.setSize (sliceBuffer.getNumChannels(), sliceBuffer.getNumSamples(), true, false, true);
    sliceBuffer = std::move (grown);
    reservedSliceBytes = bytesNeeded;
}

//==============================================================================
void StutterEngine::process (juce::AudioBuffer<float>& buffer, float hostBpm, bool isPlaying) noexcept
{
    process (buffer, hostBpm, isPlaying, nullptr);
}

void StutterEngine::process (juce::AudioBuffer<float>& buffer, float hostBpm, bool isPlaying,
                             const brakkle::MusicalPosition* position) noexcept
{
    if (! isPlaying)
    {
        stop();   // the audio passes untouched
        return;
    }

    if (position != nullptr && gridLock > 0.5f && brakkle::BeatGrid::canFollow (*position))
    {
        processOnGrid (buffer, hostBpm, *position);
        return;
    }

    if (grid.isLocked())
        leaveGrid();

    processPlaying (buffer, hostBpm, 0);
    cyclesRunFree = true;
}

void StutterEngine::stop() noexcept
{
    // Ready to record on the first playing sample; Grid Lock locks afresh and
    // waits for its next line.
    startCycle();
    rearmGrid();
}

void StutterEngine::startCycle() noexcept
{
    restartSlice();
    nominalRefreshPeriod = durationInSamples (refreshSync, refreshTimeBpm, refreshTimeFree);
    refreshPeriod = nominalRefreshPeriod;
    refreshCounter = 0;
}

//==============================================================================
void StutterEngine::processOnGrid (juce::AudioBuffer<float>& buffer, float hostBpm, const brakkle::MusicalPosition& position) noexcept
{
    const int numSamples = buffer.getNumSamples();
    const auto change = grid.beginBlock (position);

    if (change == brakkle::BeatGrid::Change::locked)
    {
        if (cyclesRunFree)
        {
            // Switched on while playing: the running cycle goes on and ends on the next line.
            steerCycleToGrid();
        }
        else
        {
            // A start or a jump: nothing is recorded out of place; the input
            // passes, as while stopped, until the first line.
            startCycle();
            gridWaiting = true;
        }
    }
    else if (change == brakkle::BeatGrid::Change::retimed && ! gridWaiting)
    {
        steerCycleToGrid();
    }

    cyclesRunFree = false;
    int firstFrame = 0;

    if (gridWaiting)
    {
        const auto blockStart = grid.blockStart();
        const auto line = grid.firstLineSampleFrom (blockStart, gridPeriod());

        if (line - blockStart >= numSamples)
        {
            startCycle();
            grid.endBlock (numSamples);
            return;
        }

        // The refresh test starts a cycle on the line itself.
        firstFrame = (int) (line - blockStart);
        gridWaiting = false;
        refreshCounter = refreshPeriod;
    }

    processPlaying (buffer, hostBpm, firstFrame);
    grid.endBlock (numSamples);
}

void StutterEngine::rearmGrid() noexcept
{
    // Stopped, bypassed or prepared again: Grid Lock locks afresh and waits for its next line.
    leaveGrid();
    cyclesRunFree = false;
}

void StutterEngine::leaveGrid() noexcept
{
    // Grid Lock switched off or the host's position gone: a running cycle ends
    // where it was heading and free-running cycles follow; a wait ends at once.
    grid.unlock();
    gridWaiting = false;
}

void StutterEngine::steerCycleToGrid() noexcept
{
    // The running cycle now ends on the first line from this block on.
    const auto blockStart = grid.blockStart();
    refreshPeriod = grid.samplesToLine (blockStart - refreshCounter, blockStart, gridPeriod());
}

brakkle::BeatGrid::Period StutterEngine::gridPeriod() const noexcept
{
    return grid.refreshPeriod (refreshSync > 0.5f, noteIndexOf (refreshTimeBpm), refreshTimeFree);
}

void StutterEngine::restartSlice() noexcept
{
    if (numChannels > 0)
    {
        const int length = durationInSamples (stutterSync, stutterTimeBpm, stutterTimeFree);

        if (length > 0)
        {
            // Reuses the reserved storage; only a slice longer than the reserve allocates.
            sliceBuffer.setSize (numChannels, length, false, false, true);
            reservedSliceBytes = juce::jmax (reservedSliceBytes, sliceStorageBytes (numChannels, length));
        }
    }

    sliceBuffer.clear();
    writePosition = 0;
    playPosition = 0;
    fadeLength = (int) (sampleRate * edgeFadeSeconds);
}

void StutterEngine::adoptTempo (int blockTempoKey, float hostBpm) noexcept
{
    if (tempoKey (bpm) != blockTempoKey)
        bpm = hostBpm;
}

void StutterEngine::processPlaying (juce::AudioBuffer<float>& buffer, float hostBpm, int firstFrame) noexcept
{
    const int numSamples = buffer.getNumSamples();
    const int bufferChannels = buffer.getNumChannels();
    auto* const* io = buffer.getArrayOfWritePointers();

    // A tempo that is not a tempo (0, negative, not finite) keeps the last one.
    const bool tempoUsable = isUsableTempo (hostBpm);
    const int blockTempoKey = tempoUsable ? tempoKey (hostBpm) : 0;

    auto* const* slice = sliceBuffer.getArrayOfWritePointers();
    int sliceChannels = sliceBuffer.getNumChannels();

    for (int j = firstFrame; j < numSamples; ++j)
    {
        if (refreshCounter >= refreshPeriod)
        {
            startCycle();

            // On the grid, the cycle ends on the next line.
            if (grid.isLocked())
            {
                const auto now = grid.blockStart() + j;
                refreshPeriod = grid.samplesToLine (now, now + 1, gridPeriod());
            }

            slice = sliceBuffer.getArrayOfWritePointers();
            sliceChannels = sliceBuffer.getNumChannels();
        }

        const int sliceLength = sliceBuffer.getNumSamples();

        if (playPosition >= sliceLength)
            playPosition = 0;

        // Once adopted at the block's first frame the tempo matches for the rest
        // of the block, so later frames need not look again.
        if (j == firstFrame && tempoUsable)
            adoptTempo (blockTempoKey, hostBpm);

        if (sliceLength == 0)
        {
            // Never prepared with any channels: nothing to record into.
            ++refreshCounter;
            continue;
        }

        const bool recording = writePosition < sliceLength;
        const int position = recording ? writePosition : playPosition;
        // Shaping follows the refresh trio's own period, not where the grid ends this cycle.
        const bool shaped = sliceLength < nominalRefreshPeriod;
        const ToneSettings& frameTone = readToneSettings();
        const bool neutral = frameTone.isNeutral();

        // Stretches that need no tone shaping and no fade are copied in one go.
        if (const int run = plainRunLength (numSamples - j, recording, shaped && neutral, shaped, position, sliceLength); run > 0)
        {
            copyPlainRun (io, slice, bufferChannels, sliceChannels, j, run, recording, shaped);
            j += run - 1;
            continue;
        }

        if (shaped && ! neutral)
            updateToneStage (position, sliceLength, frameTone);

        // The edge envelope: on every repeated frame, and on recorded ones while
        // the slice is shorter than the refresh period. Gains of exactly 1 leave
        // samples untouched, so they stand in for "no fade here".
        const bool enveloped = shaped || ! recording;
        const float edge = enveloped ? edgeGain (position, sliceLength) : 1.0f;
        const float beforeRefresh = recording && ! (shaped && endsBeforeSliceIsFull()) ? 1.0f : refreshGain();

        for (int c = 0; c < bufferChannels; ++c)
        {
            // Channels the slice does not have (after a prepare with more channels,
            // until the next slice start) are neither written nor read: they repeat silence.
            const bool inSlice = c < sliceChannels;
            float s;

            if (recording)
            {
                s = io[c][j];
                if (inSlice)
                    slice[c][position] = s;
            }
            else
            {
                s = inSlice ? slice[c][position] : 0.0f;
            }

            if (shaped)
                s = neutral ? passNeutralToneStage (s) : processToneStage (s, c, frameTone);

            if (enveloped)
                s = brakkle::limitUnit (s * edge) * beforeRefresh;

            io[c][j] = s;
        }

        if (recording)
            ++writePosition;
        else
            ++playPosition;

        ++refreshCounter;
    }
}

int StutterEngine::plainRunLength (int framesLeft, bool recording, bool neutralTone, bool shaped, int position, int sliceLength) const noexcept
{
    // A plain frame is either a recording that passes unshaped (the slice is not
    // shorter than the refresh period), or a shaped frame whose tone stage is
    // neutral and whose fades are all at unity.
    if (! (neutralTone || (recording && ! shaped)))
        return 0;

    int run = juce::jmin (framesLeft, refreshPeriod - refreshCounter, sliceLength - position);

    if (shaped || ! recording)
    {
        if (position < fadeLength)
            return 0;
        run = juce::jmin (run, sliceLength - fadeLength - position + 1);

        if (! recording || endsBeforeSliceIsFull())
            run = juce::jmin (run, refreshPeriod - fadeLength - refreshCounter + 1);
    }

    return juce::jmax (0, run);
}

void StutterEngine::copyPlainRun (float* const* io, float* const* slice, int bufferChannels, int sliceChannels,
                                  int start, int run, bool recording, bool shaped) noexcept
{
    auto& position = recording ? writePosition : playPosition;

    for (int c = 0; c < bufferChannels; ++c)
    {
        float* out = io[c] + start;
        const bool inSlice = c < sliceChannels;

        if (recording)
        {
            if (inSlice)
                std::copy (out, out + run, slice[c] + position);
        }
        else if (inSlice)
        {
            std::copy (slice[c] + position, slice[c] + position + run, out);
        }
        else
        {
            // A channel the slice does not have repeats silence.
            std::fill (out, out + run, 0.0f);
        }

        // With a neutral tone stage the chain only limits; the fades are at unity.
        if (shaped)
            for (int j = 0; j < run; ++j)
                out[j] = brakkle::limitUnit (out[j]);
    }

    // The widener's delay line still hears every shaped sample, in frame and channel order.
    if (shaped)
        widenDelay.pushFramesUnread (io, bufferChannels, start, run);

    position += run;
    refreshCounter += run;
}

float StutterEngine::edgeGain (int position, int sliceLength) const noexcept
{
    // The fade-in is tested first: a slice shorter than two fades steps from
    // the fade-in straight into the later part of the fade-out.
    const int f = fadeLength;

    if (position < f)
        return (float) position / (float) f;

    if (position > sliceLength - f)
        return 1.0f - (float) (position - (sliceLength - f)) / (float) f;

    return 1.0f;
}

float StutterEngine::refreshGain() const noexcept
{
    // The last frames before the next slice start fade toward silence.
    const int f = fadeLength;
    const int fadeStart = refreshPeriod - f;

    if (refreshCounter > fadeStart)
        return 1.0f - (float) (refreshCounter - fadeStart) / (float) f;

    return 1.0f;
}

const StutterEngine::ToneSettings& StutterEngine::readToneSettings() noexcept
{
    // Read every frame (a change is heard at the next sample); the shares are
    // worked out again only when a mix has changed.
    const float filter = filterMix, fade = fadeMix, stereo = stereoMix;

    if (! (juce::exactlyEqual (filter, tone.filterMix) && juce::exactlyEqual (fade, tone.fadeMix)
           && juce::exactlyEqual (stereo, tone.stereoMix)))
        tone = { filter, fade, stereo, std::abs (filter) / 100.0f, std::abs (fade) / 100.0f, std::abs (stereo) / 100.0f };

    return tone;
}

//==============================================================================
void StutterEngine::prepareToneStage (const juce::dsp::ProcessSpec& spec)
{
    for (auto* filter : { &riseFilterLeft, &riseFilterRight, &fallFilterLeft, &fallFilterRight })
    {
        filter->prepare (spec);
        filter->reset();
    }

    // The widener runs every channel through one shared delay channel, with room
    // for one second.
    widenDelay.setMaximumDelayInSamples ((int) sampleRate);
    widenDelay.setDelay (widenerDelaySeconds * sampleRate);
}

void StutterEngine::updateToneStage (int position, int sliceLength, const ToneSettings& settings) noexcept
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
        const float top = filterFreq;
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

        setLowPass (rising ? riseFilterLeft : fallFilterLeft, design);
        setLowPass (rising ? riseFilterRight : fallFilterRight, design);
    }

    if (! juce::exactlyEqual (settings.fadeMix, 0.0f))
    {
        const bool rising = settings.fadeMix > 0.0f;
        const float quietEnd = fadeVol;
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
        widenRamp = (stereoWidth / 100.0f) * fraction;
    else if (settings.stereoMix < 0.0f)
        widenRamp = (stereoWidth / 100.0f) * (1.0f - fraction);
}

bool StutterEngine::ToneSettings::isNeutral() const noexcept
{
    return juce::exactlyEqual (filterMix, 0.0f) && juce::exactlyEqual (fadeMix, 0.0f) && juce::exactlyEqual (stereoMix, 0.0f);
}

float StutterEngine::passNeutralToneStage (float s) noexcept
{
    // With every mix at 0 the blends give the limited sample back and the
    // widener adds nothing, but the delay line keeps moving, so that turning
    // the widener up later hears what went through it meanwhile.
    s = brakkle::limitUnit (s);
    widenDelay.pushSample (s);
    widenDelay.popSample();
    return s;
}

float StutterEngine::processToneStage (float s, int channel, const ToneSettings& settings) noexcept
{
    const bool left = (channel & 1) == 0;

    // Filter, blended by the magnitude of its mix.
    float m = brakkle::limitUnit (s);
    if (settings.filterMix > 0.0f)
        m = brakkle::softClip ((left ? riseFilterLeft : riseFilterRight).processSample (m));
    else if (settings.filterMix < 0.0f)
        m = brakkle::softClip ((left ? fallFilterLeft : fallFilterRight).processSample (m));

    const float a = settings.filterShare;
    s = brakkle::limitUnit ((1.0f - a) * s + a * m);

    // Volume fade.
    float g = s;
    if (settings.fadeMix > 0.0f)
        g = s * riseGain;
    else if (settings.fadeMix < 0.0f)
        g = s * fallGain;

    const float b = settings.fadeShare;
    s = brakkle::limitUnit ((1.0f - b) * s + b * g);

    // Widener: the delayed signal added on the left, subtracted on the right.
    widenDelay.pushSample (s);
    const float d = widenDelay.popSample();
    const float k = settings.widenShare * d * widenRamp;
    s = left ? s + k : s - k;

    return brakkle::limitUnit (s);
}
