#include "SlicePlayer.h"

#include "SoftClip.h"

#include <algorithm>
#include <cmath>

namespace brakkle
{

namespace
{
    constexpr float edgeFadeSeconds = 0.01f;
    constexpr float cachedSliceSeconds = 0.5f;
}

int SlicePlayer::fadeLengthAt (float rate) noexcept
{
    return (int) (rate * edgeFadeSeconds);
}

//==============================================================================
void SlicePlayer::prepare (const juce::dsp::ProcessSpec& spec, int longestSlice)
{
    const auto rate = (float) spec.sampleRate;
    if (std::isfinite (rate) && rate > 0.0f)
        sampleRate = rate;

    numChannels = (int) spec.numChannels;

    // Kept designs and gains cover slices up to half a second: those repeat most.
    tone.prepare (sampleRate, (int) (sampleRate * cachedSliceSeconds));
    // Room for the longest slice the timing may ask for at the current tempo,
    // so that slice starts while playing need not wait for more; the slice in
    // use is kept whole until its next start.
    storage.reserve (numChannels, longestSlice);

    history.prepare (numChannels, (int) spec.maximumBlockSize);
    recent.prepare (numChannels, (int) std::ceil (latenessForgiven * sampleRate));
    handOver.prepare (numChannels, fadeLengthAt (sampleRate));
    tonedTail.prepare (sampleRate, handOver.capacity(), numChannels);
    cycle.entersFromInput = cycle.exitsIntoInput = false;

    // Hand-overs before any cycle has started (a press while every cycle
    // passes the input) fade as long as every other; a running cycle keeps
    // its fades until its next start.
    if (! playing)
        fadeLength = fadeLengthAt (sampleRate);
}

void SlicePlayer::stop (const CycleSpec& primed) noexcept
{
    handOver.cancel();
    tonedTail.cancel();
    history.forget();
    recent.forget();
    startCycle (primed);
}

void SlicePlayer::endBlock (juce::AudioBuffer<float>& buffer) noexcept
{
    if (handOver.isActive())
    {
        if (history.capturedCurrent())
            handOver.apply (buffer.getArrayOfWritePointers(), history.current(),
                            juce::jmin (buffer.getNumChannels(), history.numChannels()), buffer.getNumSamples());
        else
            handOver.cancel();
    }

    if (! handOver.isActive())
        tonedTail.cancel();

    if (history.capturedCurrent())
        recent.push (history.current(), history.numChannels(), history.currentLength());
    else
        recent.forget();

    history.endBlock();
}

//==============================================================================
void SlicePlayer::play (juce::AudioBuffer<float>& buffer, const BlockPlan& plan) noexcept
{
    keepEndlessCycleFromItsEnd();
    int j = plan.begin;

    for (int s = 0;;)
    {
        while (s < plan.count && plan.steps[(size_t) s].frame <= j)
            apply (plan.steps[(size_t) s++]);

        const int next = s < plan.count ? plan.steps[(size_t) s].frame : plan.end;

        if (next > j && playing)
            playFrames (buffer, j, next);

        if (next > j && inputFadeDone < inputFadeLength)
            fadeInputIn (buffer, j, next);

        j = juce::jmax (j, next);

        if (s >= plan.count && j >= plan.end)
            return;
    }
}

void SlicePlayer::apply (const PlanStep& step) noexcept
{
    using Kind = PlanStep::Kind;

    switch (step.kind)
    {
        case Kind::startCycle:         startAfter (endingLevel(), step.cycle); break;
        case Kind::takeUpCycle:        takeUpCycle (step.cycle, step.samplesAgo); break;
        case Kind::cutCycle:           cutCycle(); break;
        case Kind::crossfadeFromInput: beginHandOver (fadeLength, true); break;
        case Kind::passInput:          passAfter (endingLevel()); break;
        case Kind::fadeOutWhatPlays:   fadeOutWhatPlays(); break;
        case Kind::repeatOnLine:       repeatOnLine (step.lineAhead); break;
        case Kind::nextLine:           followLines (step.lineAhead); break;
        case Kind::mark:               events.add (step.markKind, step.frame); break;
        case Kind::retimeCycle:        retimeCycle (step.cycle); break;
    }
}

void SlicePlayer::startCycle (const CycleSpec& newCycle) noexcept
{
    // A slice longer than the storage holds is cut to what it holds, once: a
    // larger store is made off the audio thread for the slices that follow.
    if (numChannels > 0 && newCycle.sliceLength > 0)
        storage.startSlice (numChannels, newCycle.sliceLength);
    else
        storage.slice().clear();

    writePosition = 0;
    playPosition = 0;
    fadeLength = fadeLengthAt (sampleRate);
    counter = 0;
    cycle = newCycle;
    heldLine = -1;
    lineOwed = false;
    lineFade.clear();
    reader = {};
    playing = true;
    passingInput = false;
    inputFadeDone = inputFadeLength = 0;
}

void SlicePlayer::takeUpCycle (const CycleSpec& newCycle, int samplesAgo) noexcept
{
    // The cycle that began samplesAgo before this block: what it recorded then
    // comes from the kept input, and it goes on from there.
    startCycle (newCycle);

    const int length = storage.slice().getNumSamples();
    const int recorded = juce::jmin (samplesAgo, length);
    const int first = history.previousLength() - samplesAgo;
    const bool inBlockBefore = first >= 0;

    for (int c = 0; c < storage.slice().getNumChannels(); ++c)
        for (int k = 0; k < recorded; ++k)
            storage.slice().setSample (c, k, inBlockBefore ? history.previous (c, first + k) : recent.ago (c, samplesAgo - k));

    events.add (TimingEvent::Kind::cycleStart, -samplesAgo, { cycle.sliceDivision });
    toneOverTakenUp (recorded);
    writePosition = recorded;
    playPosition = length > 0 && samplesAgo > length ? (samplesAgo - length) % length : 0;
    counter = samplesAgo;

    if (length > 0 && samplesAgo > length)
        beginRepeat ((samplesAgo - length) / length + 1, length);
}

void SlicePlayer::toneOverTakenUp (int frames) noexcept
{
    // The tone stage hears the stretch taken up as if it had played it, so its
    // filters and the widener's delay line go on from there: what it carries
    // out later is the slice, not what was heard before the cycle.
    if (storage.slice().getNumSamples() >= cycle.nominalPeriod)
        return;   // unshaped: the tone stage never hears it

    const auto& settings = tone.read();
    const bool neutral = settings.isNeutral();
    const int length = storage.slice().getNumSamples();
    const int sliceChannels = storage.slice().getNumChannels();

    for (int k = 0; k < frames; ++k)
    {
        if (! neutral)
            tone.update (k, length, settings);

        for (int c = 0; c < numChannels; ++c)
        {
            const float x = c < sliceChannels ? storage.slice().getSample (c, k) : 0.0f;
            neutral ? (void) tone.passNeutral (x) : (void) tone.process (x, c, settings);
        }
    }
}

void SlicePlayer::keepEndlessCycleFromItsEnd() noexcept
{
    // A cycle held by hand may be held for hours: its count of samples steps
    // back from halfway to its end by a quarter of the way, where the count
    // changes nothing (far past the crossfade at its start, far before the
    // fade at an end), so that it never reaches the end the count stands for.
    if (cycle.isEndless() && counter > CycleSpec::endless / 2)
    {
        counter -= CycleSpec::endless / 4;
        if (heldLine >= 0)
            heldLine -= CycleSpec::endless / 4;
        lineFade.shift (CycleSpec::endless / 4);
    }
}

//==============================================================================
void SlicePlayer::repeatOnLine (int lineAhead) noexcept
{
    // A held slice that has been recorded plays again from its start, faded in
    // from nothing; one still recording owes the line a repeat, which starts
    // as soon as the slice is full.
    if (playing && writePosition >= storage.slice().getNumSamples())
    {
        playPosition = 0;
        lineFade.clear();
    }
    else if (playing)
    {
        lineOwed = true;
    }

    followLines (lineAhead);
}

void SlicePlayer::followLines (int lineAhead) noexcept
{
    // Where the held slice's next line falls. With lines, a repeat that ends
    // before its line waits for it in silence (one line, one repeat), and one
    // that a line cuts short fades out before it. Without, the slice repeats
    // by itself from its end; a fade toward a line under way plays out.
    if (lineAhead < 0)
    {
        heldLine = -1;
        return;
    }

    // The first repeat after the recording waits for its line too.
    if (heldLine < 0 && writePosition < storage.slice().getNumSamples())
        playPosition = storage.slice().getNumSamples();

    heldLine = counter + juce::jmin (lineAhead, CycleSpec::endless - counter);
    aimLineFade();
}

void SlicePlayer::aimLineFade() noexcept
{
    const int length = storage.slice().getNumSamples();
    const bool repeating = writePosition >= length && playPosition < length;

    if (heldLine < 0 || ! repeating)
        return;

    const int repeatEnd = counter - playPosition + length;

    if (heldLine < repeatEnd)
        lineFade.aimAt (heldLine, counter, fadeLength);
    else if (lineFade.isActive() && counter > lineFade.fadeStart())
        lineFade.aimAt (repeatEnd, counter, fadeLength);   // the line moved past the end mid-fade: end with the slice
    else
        lineFade.clear();
}

//==============================================================================
//==============================================================================
void SlicePlayer::playFrames (juce::AudioBuffer<float>& buffer, int from, int to) noexcept
{
    const int bufferChannels = buffer.getNumChannels();
    auto* const* io = buffer.getArrayOfWritePointers();
    auto* const* slice = storage.slice().getArrayOfWritePointers();
    const int sliceChannels = storage.slice().getNumChannels();

    for (int j = from; j < to; ++j)
    {
        if (counter == 0)
            events.add (TimingEvent::Kind::cycleStart, j, { cycle.sliceDivision });

        const int length = storage.slice().getNumSamples();

        if (playPosition >= length && repeatsAtSliceEnd())
        {
            playPosition = 0;
            lineOwed = false;
        }

        if (length == 0)
        {
            // Never prepared with any channels: nothing to record into.
            ++counter;
            continue;
        }

        const bool recording = writePosition < length;
        // Shaping follows the refresh setting's own period, not where the grid ends this cycle.
        const bool shaped = length < cycle.nominalPeriod;

        if (! recording && playPosition == 0 && shaped)
        {
            lineFade.clear();
            aimLineFade();
            beginRepeat (reader.repeat() + 1, length);
            events.add (TimingEvent::Kind::repeatStart, j, { cycle.sliceDivision, reader.semitones(), reader.readsBackwards() });
        }

        if (! recording && ! shaped)
        {
            // An unshaped cycle that the grid makes longer than its slice: the
            // input goes on passing, nothing repeats.
            const int run = juce::jmax (1, juce::jmin (to - j, cycle.period - counter));
            counter += run;
            j += run - 1;
            continue;
        }

        const auto& frameTone = tone.read();
        const bool neutral = frameTone.isNeutral();
        const int position = recording ? writePosition : playPosition;
        // A held slice on the grid that has played to its end waits for its line in silence.
        const bool waitsForLine = ! recording && position >= length;

        // Stretches that need no tone shaping and no fade are copied in one go.
        if (const int run = plainRunLength (to - j, recording, shaped && neutral, shaped, position, length); run > 0)
        {
            copyPlainRun (io, slice, bufferChannels, sliceChannels, j, run, recording, shaped);
            j += run - 1;
            continue;
        }

        if (shaped && ! neutral)
            tone.update (juce::jmin (position, length - 1), length, frameTone);

        // The edge envelope: on every repeated frame, and on recorded ones while
        // the slice is shorter than the refresh period. Gains of exactly 1 leave
        // samples untouched, so they stand in for "no fade here". Where the
        // input passes before or after this cycle, it crossfades with it.
        const bool enveloped = shaped || ! recording;
        const float edge = waitsForLine ? 0.0f : (enveloped ? edgeGain (position, length) : 1.0f);
        const bool fadesBeforeRefresh = ! recording || (shaped && fadesRecordingOut());
        const float beforeRefresh = fadesBeforeRefresh ? refreshGainAt (counter) : 1.0f;
        const float inputShare = inputShareAt (counter, shaped);

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
                s = inSlice && ! waitsForLine ? repeatedSample (slice[c], length, position) : 0.0f;
            }

            if (shaped)
                s = neutral ? tone.passNeutral (s) : tone.process (s, c, frameTone);

            if (enveloped)
                s = limitUnit (s * edge) * beforeRefresh;

            if (inputShare > 0.0f)
                s += inputShare * x;

            io[c][j] = s;
        }

        if (recording)
            ++writePosition;
        else
            ++playPosition;

        ++counter;
    }
}

int SlicePlayer::plainRunLength (int framesLeft, bool recording, bool neutralTone, bool shaped, int position, int length) const noexcept
{
    // A plain frame is either a recording that passes unshaped (the slice is not
    // shorter than the refresh period), or a shaped frame whose tone stage is
    // neutral and whose fades are all at unity.
    if (! (neutralTone || (recording && ! shaped)))
        return 0;

    int run = juce::jmin (framesLeft, cycle.period - counter, length - position);

    if (shaped || ! recording)
    {
        const int edge = edgeFadeLength (length), join = handOverLength();

        if (position < edge)
            return 0;
        run = juce::jmin (run, length - edge - position + 1);

        if (! recording || fadesRecordingOut())
            run = juce::jmin (run, cycle.period - join - counter + 1);

        // The crossfade from the input at a cycle's start.
        if (cycle.entersFromInput && counter < join)
            return 0;

        // A held repeat that its line cuts short fades out before it.
        if (! recording && lineFade.isActive())
            run = juce::jmin (run, lineFade.fadeStart() - counter);
    }

    return juce::jmax (0, run);
}

void SlicePlayer::copyPlainRun (float* const* io, float* const* slice, int bufferChannels, int sliceChannels,
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
        else if (inSlice && reader.readsAsRecorded())
        {
            std::copy (slice[c] + position, slice[c] + position + run, out);
        }
        else if (inSlice)
        {
            reader.readRun (slice[c], storage.slice().getNumSamples(), position, out, run);
        }
        else
        {
            // A channel the slice does not have repeats silence.
            std::fill (out, out + run, 0.0f);
        }

        // With a neutral tone stage the chain only limits; the fades are at unity.
        if (shaped)
            limitUnitRun (out, run);
    }

    // The widener's delay line still hears every shaped sample, in frame and channel order.
    if (shaped)
        tone.pushNeutralFrames (io, bufferChannels, start, run);

    position += run;
    counter += run;
}

//==============================================================================
void SlicePlayer::beginRepeat (int repeat, int length) noexcept
{
    reader.beginRepeat (shape, repeat, length);
}

float SlicePlayer::repeatedSample (int channel, int position) const noexcept
{
    return repeatedSample (storage.slice().getReadPointer (channel), storage.slice().getNumSamples(), position);
}

//==============================================================================
int SlicePlayer::edgeFadeLength (int length) const noexcept
{
    // A slice shorter than two fades fades in over its first half and out over
    // its second, so its envelope never steps.
    return juce::jmin (fadeLength, length / 2);
}

int SlicePlayer::handOverLength() const noexcept
{
    // The fade before a cycle's end, and the input's share where the cycle meets
    // the passing input: at most half the cycle, so that its way in and its way
    // out never overlap, and never longer than the slice's own edge fades, so
    // that the input fades out no faster than the recording fades in.
    return handOverLengthBefore (cycle.period);
}

int SlicePlayer::handOverLengthBefore (int end) const noexcept
{
    return juce::jmin (edgeFadeLength (storage.slice().getNumSamples()), end / 2);
}

float SlicePlayer::edgeGain (int position, int length) const noexcept
{
    const int f = edgeFadeLength (length);

    if (position < f)
        return (float) position / (float) f;

    if (position > length - f)
        return 1.0f - (float) (position - (length - f)) / (float) f;

    return 1.0f;
}

float SlicePlayer::refreshGainAt (int count) const noexcept
{
    // The last frames before the cycle's end fade toward silence.
    const int f = handOverLength();
    const int fadeStart = cycle.period - f;

    const float gain = count > fadeStart ? 1.0f - (float) (count - fadeStart) / (float) f : 1.0f;

    // A held repeat also fades out before a line that cuts it short.
    return lineFade.isActive() ? gain * lineFade.gainAt (count) : gain;
}

float SlicePlayer::inputShareAt (int count, bool shaped) const noexcept
{
    // How much of the passing input joins a shaped cycle's own output: it fades
    // out while the cycle's first recording fades in after a wait, and fades in
    // while the cycle fades out before one. Unshaped cycles are the input already.
    const int f = handOverLength();

    if (! shaped || f <= 0)
        return 0.0f;

    float share = 0.0f;

    if (cycle.entersFromInput && count < f)
        share += 1.0f - (float) count / (float) f;

    if (cycle.exitsIntoInput && count > cycle.period - f)
        share += 1.0f - refreshGainAt (count);

    return share;
}

} // namespace brakkle
