#pragma once

#include "BeatGrid.h"
#include "FillPattern.h"
#include "HandOver.h"
#include "LinearDelay.h"
#include "NoteDivisions.h"
#include "PositionCache.h"
#include "RelaxedFloat.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_dsp/juce_dsp.h>

#include <array>

/** The beat-repeat core.

    While the transport plays it records a slice of the incoming audio, then
    plays that slice again from its start until the refresh period is over,
    then records a fresh slice. A tone stage (low-pass sweep, volume fade,
    stereo widener) moves across every recorded and repeated slice, and short
    fades at the slice edges keep the joins free of clicks. While the transport
    is stopped the audio passes untouched.

    Cycles run free from the first playing sample, each a whole number of
    samples long. With "gridLock" on and a musical position and tempo from the
    host, they start on the host's refresh lines instead (see BeatGrid): after
    a start or a jump the audio passes untouched until the first line (or, when
    a line lies less than a block back, the cycle that began there is taken up
    from the kept input), and every cycle ends on the next one. A loop the host
    reports wraps where it falls, and "1 BAR" / "2 BARS" are the host's bars.
    Every hand-over between the passing input and a cycle is a crossfade.

    Fills (see FillPattern) choose when cycles repeat: the offset moves each
    period's start later (the grid's lines, or the first free cycle), the gate
    ends the repeats early, and chance skips whole cycles by a draw tied to the
    cycle's line on the song grid or, running free, its count since playback
    started. Wherever a cycle does not repeat, the input passes and nothing is
    recorded; the defaults change nothing.

    The parameter block below is written by the processor from any thread and
    read here on the audio thread; each field is an indivisible float. */
class StutterEngine
{
public:
    StutterEngine();

    void prepare (const juce::dsp::ProcessSpec& spec);

    /** Rewrites the wet buffer in place. Audio thread only. */
    void process (juce::AudioBuffer<float>& buffer, float hostBpm, bool isPlaying) noexcept;

    /** The same, with where the host's transport is at the block's first sample
        (null when the host gives no musical position). With "gridLock" on and a
        position, cycles start on the host's refresh lines. */
    void process (juce::AudioBuffer<float>& buffer, float hostBpm, bool isPlaying,
                  const brakkle::MusicalPosition* position) noexcept;

    /** What a block with the transport stopped does to the engine, without the
        block: the slice is discarded and the next playing sample starts a fresh
        cycle. Every way into the stopped state goes through here (a stopped
        transport, a host's bypass). Audio thread only. */
    void stop() noexcept;

    /** A sync switch, a note-division index and a free time in milliseconds
        turned into a number of samples at the adopted tempo and sample rate. */
    int durationInSamples (float sync, float noteIndex, float freeTimeMs) const noexcept;

    //==============================================================================
    // The current plain values of the plug-in's parameters, in their own
    // units (milliseconds, note index, 0/1, decibels, percent, hertz).
    brakkle::RelaxedFloat stutterTimeFree { 200.0f };
    brakkle::RelaxedFloat stutterTimeBpm { 11.0f };
    brakkle::RelaxedFloat stutterSync { 1.0f };
    brakkle::RelaxedFloat refreshTimeFree { 200.0f };
    brakkle::RelaxedFloat refreshTimeBpm { 13.0f };
    brakkle::RelaxedFloat refreshSync { 1.0f };
    brakkle::RelaxedFloat input { 0.0f };
    brakkle::RelaxedFloat mix { 100.0f };
    brakkle::RelaxedFloat output { 0.0f };
    brakkle::RelaxedFloat filterFreq { 8000.0f };
    brakkle::RelaxedFloat filterMix { 0.0f };
    brakkle::RelaxedFloat fadeVol { -12.0f };
    brakkle::RelaxedFloat fadeMix { 0.0f };
    brakkle::RelaxedFloat stereoWidth { 100.0f };
    brakkle::RelaxedFloat stereoMix { 0.0f };
    brakkle::RelaxedFloat gridLock { 0.0f };   // on: cycles start on the host's beat grid
    brakkle::RelaxedFloat fillOffset { 0.0f };    // sixteenths of a period before the repeats begin
    brakkle::RelaxedFloat fillGate { 16.0f };     // sixteenths of a period that repeat
    brakkle::RelaxedFloat fillChance { 100.0f };  // percent of cycles that repeat at all
    brakkle::RelaxedFloat fillSeed { 1.0f };      // which sequence of chance draws

    /** Names of the note divisions, by index; never changed after construction. */
    const std::array<juce::String, brakkle::numNoteDivisions> noteNames;

    /** Lengths of the note divisions in quarter-note beats. */
    const std::array<float, brakkle::numNoteDivisions> noteBeats;

    /** The tempo adopted from the host, in beats per minute. */
    float getAdoptedBpm() const noexcept { return bpm; }

    /** The current slice length and refresh period in samples. */
    int getSliceLength() const noexcept { return sliceBuffer.getNumSamples(); }
    int getRefreshPeriod() const noexcept { return refreshPeriod; }

    /** Where the timing of the last processed block changed, for pictures of a
        render: a cycle's start (a fresh slice; negative frames for a cycle taken
        up from before the block), a repeat's start, and where the input began
        or ended passing while playing (Grid Lock waiting for a line, a fill's
        lead-in, gate or skipped cycle); also where a cycle's gate ended and
        where a cycle that chance skips began. At most `capacity` per block
        are kept. */
    struct TimingEvent
    {
        enum class Kind { cycleStart, repeatStart, inputPasses, inputEnds, gateEnds, cycleSkipped };
        Kind kind;
        int frame;
    };

    struct TimingEvents
    {
        static constexpr int capacity = 64;
        std::array<TimingEvent, capacity> events {};
        int count = 0;

        void add (TimingEvent::Kind kind, int frame) noexcept
        {
            if (count < capacity)
                events[(size_t) count++] = { kind, frame };
        }

        const TimingEvent* begin() const noexcept { return events.data(); }
        const TimingEvent* end() const noexcept { return events.data() + count; }
    };

    const TimingEvents& lastBlockTiming() const noexcept { return timing; }

    /** True while the input passes until the next cycle starts: on the grid
        until its next line, or running free through a fill's lead-in, the rest
        of a gated period or a skipped cycle. */
    bool isPassingInput() const noexcept { return gridWaiting || heldBlock || freePassLeft > 0; }

    /** Longest duration any slice or refresh period may take, in seconds. It only
        bites at tempos below about 8 BPM and keeps memory bounded there. */
    static constexpr float maxDurationSeconds = 60.0f;

    /** A second-order low-pass design: b0, b1, b2, a0 (always 1), a1, a2. */
    using LowPassDesign = std::array<float, 6>;

private:
    using LowPass = juce::dsp::IIR::Filter<float>;

    /** The tone settings of one frame, read once and shared by its channels. */
    struct ToneSettings
    {
        float filterMix, fadeMix, stereoMix;
        float filterShare, fadeShare, widenShare;   // the magnitudes as 0..1

        /** No filter, fade or widening: the chain only limits the sample. */
        bool isNeutral() const noexcept;
    };

    int processPlaying (juce::AudioBuffer<float>& buffer, float hostBpm, int firstFrame) noexcept;
    void processFree (juce::AudioBuffer<float>& buffer, float hostBpm) noexcept;
    void noteWhetherInputPasses (int frame) noexcept;
    void processOnGrid (juce::AudioBuffer<float>& buffer, float hostBpm, const brakkle::MusicalPosition& position) noexcept;
    void followHostChange (brakkle::BeatGrid::Change change) noexcept;
    void followJump() noexcept;
    int waitForLine (int frame, int numSamples) noexcept;
    void takeUpDeferredLine (bool hostStartsOnLine) noexcept;
    bool beginNextGridCycle (std::int64_t now) noexcept;
    void startGridCycle (std::int64_t now, bool afterWait) noexcept;
    bool takesUpLine (std::int64_t lineSample) const noexcept;
    double lineStartingAt (std::int64_t sample) const noexcept;
    bool repeatsOnLine (double ppq) const noexcept;
    void takeUpCycle (int samplesAgo) noexcept;
    void enterWait() noexcept;
    void fadeOutRunningCycle() noexcept;
    void setCycleEnd (std::int64_t cycleStart, std::int64_t from) noexcept;
    void startCycle() noexcept;
    void rearmGrid() noexcept;
    void leaveGrid() noexcept;
    void steerCycleToGrid() noexcept;
    bool cycleRuns() const noexcept { return ! gridWaiting && ! gridFresh; }
    int position (bool recording) const noexcept { return recording ? writePosition : playPosition; }
    brakkle::BeatGrid::Period gridPeriod() const noexcept;
    void restartSlice() noexcept;

    brakkle::FillSettings fillSettings() const noexcept;
    void rearmFills() noexcept;
    void beginFreePlayback() noexcept;
    bool beginNextFreeCycle (int frame) noexcept;
    bool applyFreeFills (int frame) noexcept;
    void passFreeInputFor (int samples) noexcept;
    int passFreeInput (int frame, int numSamples) noexcept;
    void adoptTempo (int blockTempoKey, float hostBpm) noexcept;
    void reserveSliceStorage (int numChannelsToHold);

    const ToneSettings& readToneSettings() noexcept;
    int plainRunLength (int framesLeft, bool recording, bool neutralTone, bool shaped, int position, int sliceLength) const noexcept;
    void copyPlainRun (float* const* io, float* const* slice, int bufferChannels, int sliceChannels,
                       int start, int run, bool recording, bool shaped) noexcept;
    float edgeGain (int position, int sliceLength) const noexcept;
    float refreshGain() const noexcept { return refreshGainAt (refreshCounter); }
    float refreshGainAt (int counter) const noexcept;
    float inputShareAt (int counter, bool shaped) const noexcept;

    /** The grid ends this cycle before its slice is fully recorded (a period
        that starts again at a bar line): the fade before the next slice start
        then also shapes the recording, so the cut is click-free. */
    bool endsBeforeSliceIsFull() const noexcept { return refreshPeriod < sliceBuffer.getNumSamples(); }

    void prepareToneStage (const juce::dsp::ProcessSpec& spec);
    void updateToneStage (int position, int sliceLength, const ToneSettings& settings) noexcept;
    float processToneStage (float s, int channel, const ToneSettings& settings) noexcept;
    float passNeutralToneStage (float s) noexcept;

    //==============================================================================
    float sampleRate = 44100.0f;
    int numChannels = 0;
    float bpm = 120.0f;

    juce::AudioBuffer<float> sliceBuffer;
    int writePosition = 0;
    int playPosition = 0;
    int refreshPeriod = 0;
    int refreshCounter = 0;
    int nominalRefreshPeriod = 0;     // the refresh trio's own period; the grid may end a cycle elsewhere
    int fadeLength = 0;
    size_t reservedSliceBytes = 0;   // what the slice storage holds without reallocating

    // Tone stage
    LowPass riseFilterLeft, riseFilterRight, fallFilterLeft, fallFilterRight;
    float riseGain = 1.0f;
    float fallGain = 1.0f;
    brakkle::LinearDelay widenDelay;   // one channel shared by all channels, 15 ms
    float widenRamp = 0.0f;
    ToneSettings tone { std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f };
    brakkle::PositionCache<LowPassDesign> designCache;
    brakkle::PositionCache<float> gainCache;

    // Grid Lock
    brakkle::BeatGrid grid;
    bool gridWaiting = false;     // locked: the input passes until the first line
    bool gridFresh = false;       // stopped or prepared since: no cycle runs yet
    bool cyclesRunFree = false;   // the last block played free-running cycles
    bool heldBlock = false;       // the host's position stands still in this block
    bool lineDeferred = false;    // a line in the last block's last samples waits for this block's report
    bool enteredFromInput = false;  // this cycle took over from the passing input: its fade-in crossfades
    bool exitsIntoInput = false;    // this cycle ends where the input passes: its fade-out crossfades
    double cycleLine = 0.0;         // the song position of the line this cycle started on (NaN: none)
    bool cycleGated = false;        // this cycle ends at its gate, before the next line
    float barBeats = 4.0f;          // quarter notes in "1 BAR": four, or the host's bar on the grid
    TimingEvents timing;
    bool timingSaysWaiting = false;   // the input passed at the end of the last block's events
    brakkle::InputHistory history;

    // Fills, running free
    int freePassLeft = 0;           // samples of input that pass before the next cycle
    int freeGateRest = 0;           // what is left of a gated cycle's period after its gate
    std::int64_t freeCycleCount = 0;  // cycles since playback started, repeated or not
    bool freeInputPassed = false;   // the input passed since the last cycle started
    bool freshPlayback = true;      // no free-running block since playback started
    brakkle::Crossfade handOver;

    JUCE_DECLARE_NON_COPYABLE (StutterEngine)
};
