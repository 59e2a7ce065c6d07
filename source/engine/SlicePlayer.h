#pragma once

#include "CyclePlan.h"
#include "HandOver.h"
#include "LineFade.h"
#include "RecentInput.h"
#include "SliceReader.h"
#include "SliceStorage.h"
#include "ToneStage.h"
#include "TonedTail.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_dsp/juce_dsp.h>

namespace brakkle
{

/** How a cycle sounds: records the slice, repeats it, shapes it with the edge
    fades, the fade before the cycle's end and the tone stage, and crossfades
    where the timing hands over between a cycle and the passing input. It plays
    the plan CycleTiming writes (CyclePlan.h) and decides nothing about when.

    Between steps it either plays the running cycle or leaves the buffer as it
    is (the input passes). */
class SlicePlayer
{
public:
    explicit SlicePlayer (const ToneControls& toneControls) noexcept : tone (toneControls), tonedTail (toneControls) {}

    /** Sizes everything for the rate, block size and channels, with slice storage for slices up to
        `longestSlice` samples. The running cycle is kept: a new rate or
        channel count reaches the slice at its next start. */
    void prepare (const juce::dsp::ProcessSpec& spec, int longestSlice);

    /** Stopped: the slice is discarded, crossfades and kept input end, and
        `primed` is ready to record on the first playing sample. */
    void stop (const CycleSpec& primed) noexcept;

    /** A block with the transport stopped: a cycle that was playing fades out
        into the input over the block's first samples (and the next blocks' if
        they are short); otherwise the block is left as it is. */
    void fadeOutAtStop (juce::AudioBuffer<float>& buffer) noexcept;

    /** `primed` is ready to record on the first playing sample; a fade-out
        under way goes on. */
    void prime (const CycleSpec& primed) noexcept { startCycle (primed); }

    /** A block starts: its input is kept, for cycles a jump takes up and for
        crossfades, and a cut cycle's toned tail hears it. */
    void beginBlock (const juce::AudioBuffer<float>& input) noexcept;
    KeptInput keptInput() const noexcept { return { history.previousLength(), history.capturedCurrent() }; }

    /** How far back before this block the input is kept for a repeat held by hand. */
    int recentInputKept() const noexcept { return recent.kept(); }

    /** How the repeats read the slice from now on (each repeat takes it as it starts). */
    void setShape (const RepeatShape& newShape) noexcept { shape = newShape; }

    /** Plays frames [plan.begin, plan.end) of the block, applying each step at its frame. */
    void play (juce::AudioBuffer<float>& buffer, const BlockPlan& plan) noexcept;

    /** The block is over: crossfades under way are blended into its first samples. */
    void endBlock (juce::AudioBuffer<float>& buffer) noexcept;

    void clearMarks() noexcept { events.count = 0; }
    const TimingEvents& marks() const noexcept { return events; }

    int sliceLength() const noexcept { return storage.slice().getNumSamples(); }

    /** The length of the edge fades and the crossfades at this rate. */
    static int fadeLengthAt (float sampleRate) noexcept;

private:
    /** Where the output stands as the running cycle reaches its end. */
    enum class Level { unknown, silence, input };

    void apply (const PlanStep& step) noexcept;
    Level endingLevel() const noexcept;
    void startAfter (Level ending, const CycleSpec& next) noexcept;
    void passAfter (Level ending) noexcept;
    void beginInputFadeIn() noexcept;
    void fadeInputIn (juce::AudioBuffer<float>& buffer, int from, int to) noexcept;
    void startCycle (const CycleSpec& cycle) noexcept;
    void takeUpCycle (const CycleSpec& cycle, int samplesAgo) noexcept;
    void toneOverTakenUp (int frames) noexcept;
    void cutCycle() noexcept;
    void fadeOutWhatPlays() noexcept;
    void retimeCycle (const CycleSpec& retimed) noexcept;
    void repeatOnLine (int lineAhead) noexcept;
    void followLines (int lineAhead) noexcept;
    void aimLineFade() noexcept;
    bool repeatsAtSliceEnd() const noexcept { return heldLine < 0 || lineOwed; }
    void continueTailAfterEnd (int from) noexcept;
    bool isFadingOut() const noexcept;
    bool fadesOutBefore (int end) const noexcept;
    int tailFramesBeforeEnd() const noexcept;
    void writePlainTail (bool shaped, int frames) noexcept;
    void writeTonedTail (bool shaped, int frames) noexcept;
    void toneTailWithCurrentInput() noexcept;
    void beginHandOver (int length, bool fromInput) noexcept;

    void playFrames (juce::AudioBuffer<float>& buffer, int from, int to) noexcept;
    void keepEndlessCycleFromItsEnd() noexcept;
    int plainRunLength (int framesLeft, bool recording, bool neutralTone, bool shaped, int position, int length) const noexcept;
    void copyPlainRun (float* const* io, float* const* slice, int bufferChannels, int sliceChannels,
                       int start, int run, bool recording, bool shaped) noexcept;

    void beginRepeat (int repeat, int length) noexcept;
    float repeatedSample (int channel, int position) const noexcept;
    float repeatedSample (const float* samples, int length, int position) const noexcept
    {
        return reader.readsAsRecorded() ? samples[position] : reader.read (samples, length, position);
    }

    int edgeFadeLength (int length) const noexcept;
    int handOverLength() const noexcept;
    int handOverLengthBefore (int end) const noexcept;
    float edgeGain (int position, int length) const noexcept;
    float refreshGainAt (int count) const noexcept;
    float inputShareAt (int count, bool shaped) const noexcept;

    /** The grid ends this cycle before its slice is fully recorded (a period
        that starts again at a bar line): the fade before the next slice start
        then also shapes the recording, so the cut is click-free. */
    bool endsBeforeSliceIsFull() const noexcept { return cycle.period < storage.slice().getNumSamples(); }
    bool fadesRecordingOut() const noexcept { return endsBeforeSliceIsFull() || cycle.exitsIntoInput; }

    float sampleRate = 44100.0f;
    int numChannels = 0;

    SliceStorage storage;            // the recorded slice
    CycleSpec cycle {};
    bool playing = false;            // a cycle runs (else the input passes)
    bool passingInput = false;       // the timing said the input passes (not: nothing played yet)
    int writePosition = 0;
    int playPosition = 0;
    int counter = 0;                 // samples since the cycle started
    int fadeLength = 0;
    int inputFadeLength = 0;         // the input fading in after a cycle that faded to silence
    int inputFadeDone = 0;

    int heldLine = -1;               // the count at which a held slice's next line falls (-1: it has no lines)
    bool lineOwed = false;           // a line passed while the held slice recorded: its repeat starts once it is full
    LineFade lineFade;               // a held repeat that the next line cuts short fades out before it

    RepeatShape shape {};            // how repeats read the slice (pitch, decay, reverse)
    SliceReader reader;              // how the current repeat reads it

    ToneStage tone;
    TonedTail tonedTail;             // carries the tone of a cut cycle's tail
    InputHistory history;
    RecentInput recent;              // a longer stretch, for a held repeat's late press
    Crossfade handOver;
    TimingEvents events;
};

} // namespace brakkle
