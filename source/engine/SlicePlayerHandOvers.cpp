// SlicePlayer where the sound hands over: a cycle cut short fades out as it
// would have gone on, a stop fades what was playing into the input, and every
// join between a cycle and the passing input meets itself.

#include "SlicePlayer.h"

#include "SoftClip.h"

namespace brakkle
{

void SlicePlayer::fadeOutAtStop (juce::AudioBuffer<float>& buffer) noexcept
{
    // A shaped cycle that ended right at the stop has faded to silence: the
    // input comes back over the same fade as after any other cycle.
    const bool heard = playing && counter > 0 && counter < cycle.period;
    const bool fromSilence = ! heard && playing && endingLevel() == Level::silence;

    if (! heard && ! fromSilence && ! handOver.isActive())
        return;

    beginBlock (buffer);
    if (heard)
        cutCycle();
    else if (fromSilence)
        beginHandOver (fadeLength, false);
    playing = false;
    endBlock (buffer);

    // Once faded, nothing before the stop is taken up when playback starts again.
    if (! handOver.isActive())
    {
        history.forget();
        recent.forget();
    }
}

SlicePlayer::Level SlicePlayer::endingLevel() const noexcept
{
    // Where the output stands as a cycle reaches its end: a shaped cycle has
    // faded to silence, or into the input when it said it would; an unshaped
    // one is the input. A cycle cut short says nothing (a crossfade covers it).
    if (! playing)
        return passingInput ? Level::input : Level::unknown;

    if (counter < cycle.period)
        return Level::unknown;

    const bool shaped = storage.slice().getNumSamples() < cycle.nominalPeriod;
    return shaped && ! cycle.exitsIntoInput ? Level::silence : Level::input;
}

void SlicePlayer::startAfter (Level ending, const CycleSpec& next) noexcept
{
    // Every join meets itself: a shaped cycle that follows the input takes over
    // from it with its own crossfade, and an unshaped one (the input itself)
    // that follows silence fades the input in.
    startCycle (next);
    const bool shaped = storage.slice().getNumSamples() < cycle.nominalPeriod;

    if (ending == Level::input && shaped)
        cycle.entersFromInput = true;
    else if (ending == Level::silence && ! shaped)
        beginInputFadeIn();
}

void SlicePlayer::passAfter (Level ending) noexcept
{
    playing = false;
    passingInput = true;

    // The input passes from here: after a cycle that faded to silence it fades in.
    if (ending == Level::silence)
        beginInputFadeIn();
}

void SlicePlayer::beginInputFadeIn() noexcept
{
    inputFadeLength = fadeLength;
    inputFadeDone = 0;
}

void SlicePlayer::fadeInputIn (juce::AudioBuffer<float>& buffer, int from, int to) noexcept
{
    const int n = juce::jmin (to - from, inputFadeLength - inputFadeDone);

    for (int i = 0; i < n; ++i)
    {
        // From just above silence (no sample of exactly 0 where no slice starts) to the full input.
        const float gain = (float) (inputFadeDone + i + 1) / (float) inputFadeLength;
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            buffer.getWritePointer (c)[from + i] *= gain;
    }

    inputFadeDone += n;
}

void SlicePlayer::cutCycle() noexcept
{
    // The running cycle, cut where it was, fades out over the next frames as it
    // would have gone on, while what follows fades in.
    const int length = storage.slice().getNumSamples();
    const bool shaped = length < cycle.nominalPeriod;

    if (! playing || counter == 0 || counter >= cycle.period)
        return;   // nothing runs or has been heard yet, or it ended right here, already faded out

    beginHandOver (fadeLength, false);
    const int frames = tailFramesBeforeEnd();

    if (shaped && ! tone.read().isNeutral())
        writeTonedTail (shaped, frames);
    else
        writePlainTail (shaped, frames);

    continueTailAfterEnd (frames);
}

int SlicePlayer::tailFramesBeforeEnd() const noexcept
{
    // The frames of the crossfade in which the cut cycle would still have played.
    const int length = storage.slice().getNumSamples();
    return length == 0 ? 0 : juce::jmin (fadeLength, handOver.capacity(), cycle.period - counter);
}

void SlicePlayer::writePlainTail (bool shaped, int frames) noexcept
{
    const int length = storage.slice().getNumSamples();
    int write = writePosition, play = playPosition, count = counter;

    for (int i = 0; i < frames; ++i, ++count)
    {
        if (play >= length && repeatsAtSliceEnd())
            play = 0;

        const float share = inputShareAt (count, shaped);

        if (write < length || ! shaped)
        {
            // Recording, or an unshaped cycle passing the input.
            const bool faded = shaped && fadesRecordingOut();
            const float gain = shaped ? edgeGain (write, length) : 1.0f;
            handOver.setInputShare (i, gain * (faded ? refreshGainAt (count) : 1.0f) + share);
            ++write;
        }
        else
        {
            // A held slice waiting for its line is silent.
            const bool waitsForLine = play >= length;
            const float edge = waitsForLine ? 0.0f : edgeGain (play, length), beforeRefresh = refreshGainAt (count);
            for (int c = 0; c < storage.slice().getNumChannels(); ++c)
                handOver.setTail (c, i, waitsForLine ? 0.0f : limitUnit (repeatedSample (c, play) * edge) * beforeRefresh);
            handOver.setInputShare (i, share);
            ++play;
        }
    }
}

void SlicePlayer::fadeOutWhatPlays() noexcept
{
    // Whatever is heard fades out over the next frames: a cycle under way as it
    // would have gone on, else the input that passes (or the silence a cycle
    // faded to). What follows starts with none of its own hand-overs.
    const bool heard = playing && counter > 0 && counter < cycle.period;
    const auto ending = endingLevel();

    if (heard)
        cutCycle();
    else if (ending == Level::input)
        beginHandOver (fadeLength, true);
    else if (ending == Level::silence)
        beginHandOver (fadeLength, false);

    playing = false;
    passingInput = false;
    inputFadeDone = inputFadeLength = 0;
}

void SlicePlayer::continueTailAfterEnd (int from) noexcept
{
    // Past the cycle's end the tail is where that end leads: the input, for a
    // cycle that fades into it or that is the input itself, else silence.
    const bool shaped = storage.slice().getNumSamples() < cycle.nominalPeriod;

    if (playing && shaped && ! cycle.exitsIntoInput)
        return;

    for (int i = from; i < juce::jmin (fadeLength, handOver.capacity()); ++i)
        handOver.setInputShare (i, 1.0f);
}

void SlicePlayer::retimeCycle (const CycleSpec& retimed) noexcept
{
    // The cycle's end moved (a tempo, the meter, the refresh, the offset, the
    // gate or chance changed). A fade toward the old end that has begun, or
    // that the new end would begin at once, is not re-timed mid-way: it goes
    // on as it began in a tail, and the cycle, heading for its new end, takes
    // over across the crossfade. So does the cycle as it was where the new end
    // begins its fade at once or lies behind it already: the tail is the old
    // path, faded into the new.
    const bool moves = retimed.period != cycle.period || retimed.exitsIntoInput != cycle.exitsIntoInput;

    if (moves && (isFadingOut() || fadesOutBefore (retimed.period)))
        cutCycle();

    // A crossfade from the input that the cycle began with (its own, or one
    // the player gave it where it followed the passing input) plays on.
    cycle.period = retimed.period;
    cycle.entersFromInput = cycle.entersFromInput || retimed.entersFromInput;
    cycle.exitsIntoInput = retimed.exitsIntoInput;
}

bool SlicePlayer::isFadingOut() const noexcept
{
    return fadesOutBefore (cycle.period);
}

bool SlicePlayer::fadesOutBefore (int end) const noexcept
{
    // While the cycle is heard: past the first frame of the fade before an end
    // at `end` (its gain below 1 or, into the input, the input's share above
    // 0), or past that end altogether.
    return playing && counter > 0 && counter < cycle.period && counter > end - handOverLengthBefore (end);
}

void SlicePlayer::writeTonedTail (bool shaped, int frames) noexcept
{
    // The tail of a shaped cycle with its tone stage at work goes on through a
    // copy of that stage (see TonedTail). Repeated frames read the slice now,
    // before a new cycle records over it; recorded frames hear the input, the
    // block's now and, past its end, the next blocks' as they come.
    const int length = storage.slice().getNumSamples();
    const int sliceChannels = storage.slice().getNumChannels();
    int write = writePosition, play = playPosition, count = counter;

    tonedTail.begin (tone, length);

    for (int i = 0; i < frames; ++i, ++count)
    {
        if (play >= length && repeatsAtSliceEnd())
            play = 0;

        const bool recording = write < length;
        const bool waitsForLine = ! recording && play >= length;   // a held slice waiting for its line
        const int position = recording ? write : play;
        const float beforeRefresh = ! recording || fadesRecordingOut() ? refreshGainAt (count) : 1.0f;

        if (! recording)
            for (int c = 0; c < sliceChannels; ++c)
                handOver.setTail (c, i, waitsForLine ? 0.0f : repeatedSample (c, play));

        tonedTail.addFrame (handOver, recording, juce::jmin (position, length - 1), waitsForLine ? 0.0f : edgeGain (position, length),
                            beforeRefresh, inputShareAt (count, shaped));
        ++(recording ? write : play);
    }

    toneTailWithCurrentInput();
}

void SlicePlayer::toneTailWithCurrentInput() noexcept
{
    const int keptLength = history.capturedCurrent() ? history.currentLength() : 0;
    tonedTail.toneWithInput (handOver, history.current(), history.numChannels(), keptLength);
}

void SlicePlayer::beginBlock (const juce::AudioBuffer<float>& input) noexcept
{
    history.capture (input);

    if (tonedTail.isWaiting())
        toneTailWithCurrentInput();
}

void SlicePlayer::beginHandOver (int length, bool fromInput) noexcept
{
    // A toned tail still waiting for input is part of what is heard, which the
    // new crossfade starts from: it is finished first, with what is known.
    tonedTail.settle (handOver);

    if (fromInput)
        handOver.beginFromInput (length);
    else
        handOver.begin (length);
}

} // namespace brakkle
