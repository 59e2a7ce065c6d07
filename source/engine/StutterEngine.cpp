#include "StutterEngine.h"

#include "SoftClip.h"

#include <cmath>
#include <utility>

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
    // Slice storage is reserved for the longest slice at this tempo or faster.
    constexpr float slowestReservedTempo = 60.0f;
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
    history.prepare (numChannels, (int) spec.maximumBlockSize);
    handOver.prepare (numChannels, (int) (sampleRate * edgeFadeSeconds));
    rearmGrid();
    rearmFills();

    // Kept designs and gains cover slices up to half a second: those repeat most.
    const int cachedPositions = (int) (sampleRate * cachedSliceSeconds);
    designCache.reserve (cachedPositions);
    gainCache.reserve (cachedPositions);
}

int StutterEngine::durationInSamples (float sync, float noteIndex, float freeTimeMs) const noexcept
{
    // "1 BAR" and "2 BARS" are four and eight quarters, or the host's bars on the grid.
    const int index = noteIndexOf (noteIndex);
    const float beats = index < brakkle::oneBarNoteDivision ? noteBeats[(size_t) index]
                                                            : barBeats * (float) (index - brakkle::oneBarNoteDivision + 1);
    const float seconds = sync > 0.5f ? (60.0f / bpm) * beats
                                      : freeTimeMs / 1000.0f;
    const float samples = seconds * sampleRate;

    if (! (samples >= 1.0f))
        return 1;

    return (int) juce::jmin (samples, maxDurationSeconds * sampleRate);
}

void StutterEngine::reserveSliceStorage (int numChannelsToHold)
{
    // Room for the longest slice the current tempo (or 60 BPM, if faster)
    // allows, so that slice starts while playing never need to allocate; and
    // never less than the slice in use, which is kept whole until its next start.
    const float slowestTempo = juce::jmin (bpm, slowestReservedTempo);
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
    timing.count = 0;

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

    if (grid.isLocked() || gridWaiting)
        leaveGrid();

    history.forget();
    processFree (buffer, hostBpm);
    cyclesRunFree = true;
}

void StutterEngine::processFree (juce::AudioBuffer<float>& buffer, float hostBpm) noexcept
{
    // Cycles run free from the first playing sample; a fill's lead-in, the rest
    // of a gated period and skipped cycles pass the input between them.
    const int numSamples = buffer.getNumSamples();

    if (numSamples > 0 && std::exchange (freshPlayback, false))
        beginFreePlayback();

    for (int j = 0; j < numSamples;)
    {
        noteWhetherInputPasses (j);
        j = freePassLeft > 0 ? passFreeInput (j, numSamples) : processPlaying (buffer, hostBpm, j);
    }
}

void StutterEngine::noteWhetherInputPasses (int frame) noexcept
{
    if (isPassingInput() != timingSaysWaiting)
    {
        timingSaysWaiting = ! timingSaysWaiting;
        timing.add (timingSaysWaiting ? TimingEvent::Kind::inputPasses : TimingEvent::Kind::inputEnds, frame);
    }
}

void StutterEngine::stop() noexcept
{
    // Ready to record on the first playing sample; Grid Lock locks afresh and
    // waits for its next line.
    barBeats = (float) noteBeats[brakkle::oneBarNoteDivision];
    startCycle();
    rearmGrid();
    rearmFills();
}

void StutterEngine::startCycle() noexcept
{
    // A fresh cycle crossfades with the input only where the caller says so.
    enteredFromInput = exitsIntoInput = false;
    cycleLine = std::numeric_limits<double>::quiet_NaN();
    cycleGated = false;
    restartSlice();
    nominalRefreshPeriod = durationInSamples (refreshSync, refreshTimeBpm, refreshTimeFree);
    refreshPeriod = nominalRefreshPeriod;
    refreshCounter = 0;
}

//==============================================================================
void StutterEngine::processOnGrid (juce::AudioBuffer<float>& buffer, float hostBpm, const brakkle::MusicalPosition& position) noexcept
{
    const int numSamples = buffer.getNumSamples();

    // The host's tempo holds from the block's first sample, before any cycle starts.
    if (isUsableTempo (hostBpm))
        adoptTempo (tempoKey (hostBpm), hostBpm);

    history.capture (buffer);

    // Fills that ran free were passing the input: it goes on passing until the first line.
    freshPlayback = false;
    if (std::exchange (freeInputPassed, false) || freeGateRest > 0)
    {
        freePassLeft = freeGateRest = 0;
        enterWait();
    }

    const auto change = grid.beginBlock (position, ! cycleRuns());
    barBeats = (float) grid.barLength();
    followHostChange (change);

    if (gridWaiting && ! heldBlock)
        takeUpDeferredLine (grid.startsOnLine (position, gridPeriod()));
    cyclesRunFree = false;
    gridFresh = false;

    for (int j = 0; j < numSamples;)
    {
        noteWhetherInputPasses (j);
        j = gridWaiting ? waitForLine (j, numSamples) : processPlaying (buffer, hostBpm, j);
    }

    if (handOver.isActive())
    {
        if (history.capturedCurrent())
            handOver.apply (buffer.getArrayOfWritePointers(), history.current(),
                            juce::jmin (buffer.getNumChannels(), history.numChannels()), numSamples);
        else
            handOver.cancel();
    }

    history.endBlock();
    grid.endBlock (numSamples);
}

void StutterEngine::followHostChange (brakkle::BeatGrid::Change change) noexcept
{
    using Change = brakkle::BeatGrid::Change;
    heldBlock = change == Change::held;

    if (heldBlock)
    {
        // Standing still while playing (a held pre-roll): nothing is recorded
        // until the song moves.
        if (cycleRuns())
            fadeOutRunningCycle();
        enterWait();
        lineDeferred = false;
        return;
    }

    if (change == Change::locked && ! cyclesRunFree)
    {
        followJump();
        return;
    }

    // Switched on while playing, or playing on: the running cycle ends on the
    // first line ahead (a tempo, the bars or the host's loop may have moved it).
    if (cycleRuns() || cyclesRunFree)
        steerCycleToGrid();
}

void StutterEngine::followJump() noexcept
{
    // A start, a locate, a loop wrap the host did not announce, or the end of a
    // held position. A line less than a block back still owns its cycle: it is
    // taken up from the kept input, so no cycle is lost and its repeats sit on
    // the grid. Otherwise the input passes until the next line.
    const bool running = cycleRuns();
    const auto blockStart = grid.blockStart();
    lineDeferred = false;
    const auto line = grid.recentLineSample (history.previousLength(), gridPeriod());
    auto samplesAgo = line >= 0 ? blockStart - line : -1;

    if (running && samplesAgo > 0 && refreshCounter == samplesAgo)
    {
        // The running cycle began on that very line: it goes on.
        steerCycleToGrid();
        return;
    }

    // A cycle that chance skips, or whose gate is already over, passes the input.
    if (samplesAgo > 0 && ! takesUpLine (line))
        samplesAgo = -1;

    if (running)
        fadeOutRunningCycle();
    else if (samplesAgo > 0 && ! gridFresh)
        handOver.beginFromInput (fadeLength);

    if (samplesAgo > 0)
        takeUpCycle ((int) samplesAgo);
    else if (samplesAgo == 0 && repeatsOnLine (lineStartingAt (blockStart)))
        startGridCycle (blockStart, ! running);   // after a cut cycle, its fade-out is the crossfade
    else
        enterWait();
}

int StutterEngine::waitForLine (int frame, int numSamples) noexcept
{
    // The input passes (the buffer is left as it is) until the first line.
    if (heldBlock)
        return numSamples;

    const auto blockStart = grid.blockStart();
    const auto next = grid.nextBoundary (blockStart + frame, gridPeriod());

    // A line in the last few samples of a block may lie there only by the
    // rounding of the host's report: the next block, reported on or past it,
    // places it exactly (taken up from the kept input if it lies before).
    // Lines that follow from an exact report start where they fall.
    const int rounding = grid.roundingInSamples();
    const bool mayBeRounding = ! next.wraps && ! grid.isLockExact() && numSamples > 2 * rounding && history.capturedCurrent()
                            && next.sample - blockStart >= numSamples - rounding;
    lineDeferred = mayBeRounding && next.sample - blockStart < numSamples;

    if (next.sample - blockStart >= numSamples || lineDeferred)
    {
        startCycle();
        return numSamples;
    }

    if (next.wraps)
    {
        grid.wrapLoop (next.sample);
        if (! next.lineAtWrap)
            return (int) (next.sample - blockStart);
    }

    if (! repeatsOnLine (next.line))
    {
        // Chance skips this cycle: the input passes on, through its line.
        timing.add (TimingEvent::Kind::cycleSkipped, (int) (next.sample - blockStart));
        return (int) (next.sample - blockStart) + 1;
    }

    startGridCycle (next.sample, true);
    return (int) (next.sample - blockStart);
}

void StutterEngine::takeUpDeferredLine (bool hostStartsOnLine) noexcept
{
    // The line put off at the end of the last block: the host's report now
    // places it at this block's start, or a few samples before it.
    if (! std::exchange (lineDeferred, false) || hostStartsOnLine)
        return;

    const auto line = grid.recentLineSample (grid.roundingInSamples(), gridPeriod());
    if (line < 0 || line >= grid.blockStart() || ! takesUpLine (line))
        return;

    // The input passed up to here: the cycle's own crossfade from it goes on.
    takeUpCycle ((int) (grid.blockStart() - line));
    enteredFromInput = true;
}

bool StutterEngine::beginNextGridCycle (std::int64_t now) noexcept
{
    // The running cycle ends here: on a line, or where the host's loop wraps.
    if (grid.loopWrapSampleFrom (now) == now)
        grid.wrapLoop (now);

    // A cycle that ends at its gate, or before a cycle that chance skips,
    // hands over to the passing input.
    if (cycleGated)
        timing.add (TimingEvent::Kind::gateEnds, (int) (now - grid.blockStart()));

    if (exitsIntoInput || grid.firstLineSampleFrom (now, gridPeriod()) != now)
    {
        enterWait();
        return false;
    }

    startGridCycle (now, false);
    return true;
}

void StutterEngine::startGridCycle (std::int64_t now, bool afterWait) noexcept
{
    startCycle();
    cycleLine = lineStartingAt (now);
    setCycleEnd (now, now + 1);
    gridWaiting = false;
    enteredFromInput = afterWait;
}

double StutterEngine::lineStartingAt (std::int64_t sample) const noexcept
{
    const auto line = grid.firstLineFrom (sample, gridPeriod());
    return line.sample == sample ? line.ppq : std::numeric_limits<double>::quiet_NaN();
}

bool StutterEngine::repeatsOnLine (double ppq) const noexcept
{
    // A cycle's chance is drawn for its line on the song grid, so the same
    // lines repeat on every playback. A cycle on no known line repeats.
    return ! std::isfinite (ppq) || fillSettings().repeats (brakkle::FillSettings::linePlace (ppq));
}

bool StutterEngine::takesUpLine (std::int64_t lineSample) const noexcept
{
    // The cycle that began on this line before the block repeats, and its gate
    // (if any) is not over by the block's start.
    const double ppq = lineStartingAt (lineSample);
    if (! repeatsOnLine (ppq))
        return false;

    const auto fills = fillSettings();
    if (! fills.isGated() || ! std::isfinite (ppq))
        return true;

    const double gate = gridPeriod().length() * fills.gate / brakkle::FillSettings::sixteenths;
    return grid.sampleAt (ppq + gate) > grid.blockStart();
}

void StutterEngine::takeUpCycle (int samplesAgo) noexcept
{
    // The cycle that began samplesAgo before this block: what it recorded then
    // comes from the kept input, and it goes on from there.
    const auto cycleStart = grid.blockStart() - samplesAgo;
    startCycle();
    cycleLine = lineStartingAt (cycleStart);
    setCycleEnd (cycleStart, grid.blockStart());
    gridWaiting = false;

    const int sliceLength = sliceBuffer.getNumSamples();
    const int recorded = juce::jmin (samplesAgo, sliceLength);
    const int first = history.previousLength() - samplesAgo;

    for (int c = 0; c < sliceBuffer.getNumChannels(); ++c)
        for (int k = 0; k < recorded; ++k)
            sliceBuffer.setSample (c, k, history.previous (c, first + k));

    timing.add (TimingEvent::Kind::cycleStart, -samplesAgo);
    writePosition = recorded;
    playPosition = sliceLength > 0 && samplesAgo > sliceLength ? (samplesAgo - sliceLength) % sliceLength : 0;
    refreshCounter = samplesAgo;
}

void StutterEngine::enterWait() noexcept
{
    startCycle();
    gridWaiting = true;
}

void StutterEngine::fadeOutRunningCycle() noexcept
{
    // The running cycle, cut where it was, fades out over the next frames as it
    // would have gone on (without its tone stage), while what follows fades in.
    const int sliceLength = sliceBuffer.getNumSamples();
    const bool shaped = sliceLength < nominalRefreshPeriod;

    if (refreshCounter >= refreshPeriod)
        return;   // it ended right here, already faded out

    handOver.begin (fadeLength);

    int write = writePosition, play = playPosition, counter = refreshCounter;

    for (int i = 0; i < juce::jmin (fadeLength, handOver.capacity()); ++i, ++counter)
    {
        if (counter >= refreshPeriod || sliceLength == 0)
            break;   // it would have ended here, faded out

        if (play >= sliceLength)
            play = 0;

        const float share = inputShareAt (counter, shaped);

        if (write < sliceLength || ! shaped)
        {
            // Recording, or an unshaped cycle passing the input.
            const bool faded = shaped && (endsBeforeSliceIsFull() || exitsIntoInput);
            const float gain = shaped ? edgeGain (write, sliceLength) : 1.0f;
            handOver.setInputShare (i, gain * (faded ? refreshGainAt (counter) : 1.0f) + share);
            ++write;
        }
        else
        {
            const float edge = edgeGain (play, sliceLength), beforeRefresh = refreshGainAt (counter);
            for (int c = 0; c < sliceBuffer.getNumChannels(); ++c)
                handOver.setTail (c, i, brakkle::limitUnit (sliceBuffer.getSample (c, play) * edge) * beforeRefresh);
            handOver.setInputShare (i, share);
            ++play;
        }
    }
}

void StutterEngine::setCycleEnd (std::int64_t cycleStart, std::int64_t from) noexcept
{
    // The cycle ends on the next line or loop wrap, or earlier at its gate. It
    // hands over to the passing input where no cycle follows: at a wrap to no
    // line, at its gate, or before a cycle that chance skips.
    const auto period = gridPeriod();
    const auto boundary = grid.nextBoundary (from, period);
    auto end = boundary.sample;
    exitsIntoInput = (boundary.wraps && ! boundary.lineAtWrap) || ! repeatsOnLine (boundary.line);
    cycleGated = false;

    if (const auto fills = fillSettings(); fills.isGated() && std::isfinite (cycleLine))
    {
        const double gate = period.length() * fills.gate / brakkle::FillSettings::sixteenths;
        const auto gateEnd = grid.sampleAt (cycleLine + gate);

        if (gateEnd >= from && gateEnd < end)
        {
            end = gateEnd;
            exitsIntoInput = cycleGated = true;
        }
    }

    refreshPeriod = (int) juce::jlimit<std::int64_t> (1, std::numeric_limits<int>::max(), end - cycleStart);
}

void StutterEngine::rearmGrid() noexcept
{
    // Stopped, bypassed or prepared again: Grid Lock locks afresh and waits for its next line.
    grid.unlock();
    gridWaiting = false;
    gridFresh = true;
    cyclesRunFree = false;
    enteredFromInput = exitsIntoInput = false;
    timingSaysWaiting = false;
    lineDeferred = false;
    history.forget();
    handOver.cancel();
}

void StutterEngine::leaveGrid() noexcept
{
    // Grid Lock switched off or the host's position gone: a running cycle ends
    // where it was heading and free-running cycles follow; a wait ends at once,
    // its input crossfading into a fresh cycle.
    grid.unlock();
    barBeats = (float) noteBeats[brakkle::oneBarNoteDivision];
    exitsIntoInput = false;
    handOver.cancel();

    if (gridWaiting)
    {
        startCycle();
        enteredFromInput = true;
        timing.add (TimingEvent::Kind::inputEnds, 0);
    }

    gridWaiting = false;
    heldBlock = false;
    timingSaysWaiting = false;
}

void StutterEngine::steerCycleToGrid() noexcept
{
    // The running cycle now ends on the first line (or loop wrap) from this block
    // on. One that ended right at this block's start (its fade-out is over, at a
    // loop wrap the host cut its block at, say) stays ended.
    if (refreshCounter >= refreshPeriod)
        return;

    const auto blockStart = grid.blockStart();
    setCycleEnd (blockStart - refreshCounter, blockStart);
}

brakkle::BeatGrid::Period StutterEngine::gridPeriod() const noexcept
{
    // A fill's offset moves every line later by its share of the period.
    auto period = grid.refreshPeriod (refreshSync > 0.5f, noteIndexOf (refreshTimeBpm), refreshTimeFree);
    if (const int offset = fillSettings().offset; offset > 0)
        period.offset = period.numerator * offset / (period.denominator * brakkle::FillSettings::sixteenths);
    return period;
}

//==============================================================================
brakkle::FillSettings StutterEngine::fillSettings() const noexcept
{
    return brakkle::FillSettings::fromValues (fillOffset, fillGate, fillChance, fillSeed);
}

void StutterEngine::rearmFills() noexcept
{
    // Playback starts afresh: free-running fills count their cycles from here.
    freshPlayback = true;
    freePassLeft = freeGateRest = 0;
    freeInputPassed = false;
    freeCycleCount = 0;
}

void StutterEngine::beginFreePlayback() noexcept
{
    // The first cycle starts a fill's offset into the first period; until then
    // the input passes.
    if (refreshCounter >= refreshPeriod)
        startCycle();

    if (const int leadIn = brakkle::FillSettings::shareOf (refreshPeriod, fillSettings().offset); leadIn > 0)
        passFreeInputFor (leadIn);
    else
        applyFreeFills (0);
}

bool StutterEngine::beginNextFreeCycle (int frame) noexcept
{
    // After a gate, the rest of the period passes the input; then a cycle starts.
    if (freeGateRest > 0)
    {
        timing.add (TimingEvent::Kind::gateEnds, frame);
        passFreeInputFor (std::exchange (freeGateRest, 0));
        return false;
    }

    startCycle();
    return applyFreeFills (frame);
}

bool StutterEngine::applyFreeFills (int frame) noexcept
{
    // The freshly started cycle: skipped by chance (its place is its count since
    // playback started), cut at its gate, and crossfaded with the passing input
    // on the sides where it meets it.
    const auto fills = fillSettings();
    const auto index = (std::uint64_t) freeCycleCount++;
    const bool afterPass = std::exchange (freeInputPassed, false);

    if (! fills.repeats (index))
    {
        timing.add (TimingEvent::Kind::cycleSkipped, frame);
        passFreeInputFor (refreshPeriod);
        return false;
    }

    const int gate = brakkle::FillSettings::shareOf (refreshPeriod, fills.gate);

    if (gate >= 1 && gate < refreshPeriod)
    {
        freeGateRest = refreshPeriod - gate;
        refreshPeriod = gate;
        exitsIntoInput = true;
    }
    else
    {
        exitsIntoInput = ! fills.repeats (index + 1);
    }

    enteredFromInput = afterPass;
    return true;
}

void StutterEngine::passFreeInputFor (int samples) noexcept
{
    freePassLeft = samples;
    freeInputPassed = true;
}

int StutterEngine::passFreeInput (int frame, int numSamples) noexcept
{
    // The buffer is left as it is; when the pass is over, the next cycle starts.
    const int run = juce::jmin (numSamples - frame, freePassLeft);
    freePassLeft -= run;

    if (freePassLeft == 0)
        refreshCounter = refreshPeriod;

    return frame + run;
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

int StutterEngine::processPlaying (juce::AudioBuffer<float>& buffer, float hostBpm, int firstFrame) noexcept
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
            // On the grid the next cycle starts on the line here and ends on the
            // next one; where the host's loop wraps to no line, the input passes.
            if (grid.isLocked())
            {
                if (! beginNextGridCycle (grid.blockStart() + j))
                    return j;
            }
            else if (! beginNextFreeCycle (j))
            {
                return j;
            }

            slice = sliceBuffer.getArrayOfWritePointers();
            sliceChannels = sliceBuffer.getNumChannels();
        }

        if (refreshCounter == 0)
            timing.add (TimingEvent::Kind::cycleStart, j);

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
        // Shaping follows the refresh trio's own period, not where the grid ends this cycle.
        const bool shaped = sliceLength < nominalRefreshPeriod;

        if (! recording && playPosition == 0 && shaped)
            timing.add (TimingEvent::Kind::repeatStart, j);

        if (! recording && ! shaped)
        {
            // An unshaped cycle that the grid makes longer than its slice: the
            // input goes on passing, nothing repeats.
            const int run = juce::jmin (numSamples - j, refreshPeriod - refreshCounter);
            refreshCounter += run;
            j += run - 1;
            continue;
        }

        const ToneSettings& frameTone = readToneSettings();
        const bool neutral = frameTone.isNeutral();

        // Stretches that need no tone shaping and no fade are copied in one go.
        if (const int run = plainRunLength (numSamples - j, recording, shaped && neutral, shaped, position (recording), sliceLength); run > 0)
        {
            copyPlainRun (io, slice, bufferChannels, sliceChannels, j, run, recording, shaped);
            j += run - 1;
            continue;
        }

        const int position = this->position (recording);

        if (shaped && ! neutral)
            updateToneStage (position, sliceLength, frameTone);

        // The edge envelope: on every repeated frame, and on recorded ones while
        // the slice is shorter than the refresh period. Gains of exactly 1 leave
        // samples untouched, so they stand in for "no fade here". Where the
        // input passes before or after this cycle, it crossfades with it.
        const bool enveloped = shaped || ! recording;
        const float edge = enveloped ? edgeGain (position, sliceLength) : 1.0f;
        const bool fadesBeforeRefresh = ! recording || (shaped && (endsBeforeSliceIsFull() || exitsIntoInput));
        const float beforeRefresh = fadesBeforeRefresh ? refreshGain() : 1.0f;
        const float inputShare = inputShareAt (refreshCounter, shaped);

        for (int c = 0; c < bufferChannels; ++c)
        {
            // Channels the slice does not have (after a prepare with more channels,
            // until the next slice start) are neither written nor read: they repeat silence.
            const bool inSlice = c < sliceChannels;
            const float x = io[c][j];
            float s;

            if (recording)
            {
                s = x;
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

            if (inputShare > 0.0f)
                s += inputShare * x;

            io[c][j] = s;
        }

        if (recording)
            ++writePosition;
        else
            ++playPosition;

        ++refreshCounter;
    }

    return numSamples;
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

        if (! recording || endsBeforeSliceIsFull() || exitsIntoInput)
            run = juce::jmin (run, refreshPeriod - fadeLength - refreshCounter + 1);

        // The crossfade from the input at a cycle's start.
        if (enteredFromInput && refreshCounter < fadeLength)
            return 0;
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

float StutterEngine::refreshGainAt (int counter) const noexcept
{
    // The last frames before the next slice start fade toward silence.
    const int f = fadeLength;
    const int fadeStart = refreshPeriod - f;

    if (counter > fadeStart)
        return 1.0f - (float) (counter - fadeStart) / (float) f;

    return 1.0f;
}

float StutterEngine::inputShareAt (int counter, bool shaped) const noexcept
{
    // How much of the passing input joins a shaped cycle's own output: it fades
    // out while the cycle's first recording fades in after a wait, and fades in
    // while the cycle fades out before one. Unshaped cycles are the input already.
    if (! shaped || fadeLength <= 0)
        return 0.0f;

    float share = 0.0f;

    if (enteredFromInput && counter < fadeLength)
        share += 1.0f - (float) counter / (float) fadeLength;

    if (exitsIntoInput && counter > refreshPeriod - fadeLength)
        share += 1.0f - refreshGainAt (counter);

    return share;
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
