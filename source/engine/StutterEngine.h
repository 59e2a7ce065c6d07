#pragma once

#include "CyclePlan.h"
#include "CycleTiming.h"
#include "NoteDivisions.h"
#include "RelaxedFloat.h"
#include "RepeatButton.h"
#include "SlicePlayer.h"

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

    The engine is two halves and the plan between them: CycleTiming decides
    when each stretch of a block records, repeats or passes the input, and
    SlicePlayer plays that plan (see CyclePlan.h and docs/engine.md). This
    class owns both and wires them together for the processor.

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

    /** The length of the engine's edge fades and crossfades at this rate (10 ms):
        the length for any other fade that should match them. */
    static int fadeLengthAt (float sampleRate) noexcept { return brakkle::SlicePlayer::fadeLengthAt (sampleRate); }

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
    brakkle::RelaxedFloat repeatHold { 0.0f };    // on: one slice repeats for as long as it is held
    brakkle::RelaxedFloat variation { 0.0f };     // percent of cycles that play a half or quarter slice
    brakkle::RelaxedFloat pitch { 0.0f };         // semitones the repeats play below the recording (0 to -24)
    brakkle::RelaxedFloat pitchDecay { 0.0f };    // percent of a semitone each repeat falls below the one before
    brakkle::RelaxedFloat reverse { 0.0f };       // 0 forward, 1 backwards, 2 every second repeat backwards

    /** Names of the note divisions, by index; never changed after construction. */
    const std::array<juce::String, brakkle::numNoteDivisions> noteNames;

    /** Lengths of the note divisions in quarter-note beats. */
    const std::array<float, brakkle::numNoteDivisions> noteBeats;

    /** The tempo adopted from the host, in beats per minute. */
    float getAdoptedBpm() const noexcept { return timing.adoptedBpm(); }

    /** The current slice length and refresh period in samples. */
    int getSliceLength() const noexcept { return player.sliceLength(); }
    int getRefreshPeriod() const noexcept { return timing.refreshPeriod(); }

    /** Where the timing of the last processed block changed, for pictures of a
        render (see brakkle::TimingEvent). */
    using TimingEvent = brakkle::TimingEvent;
    using TimingEvents = brakkle::TimingEvents;
    const TimingEvents& lastBlockTiming() const noexcept { return player.marks(); }

    /** True while the input passes until the next cycle starts: on the grid
        until its next line, or running free through a fill's lead-in, the rest
        of a gated period or a skipped cycle. */
    bool isPassingInput() const noexcept { return timing.isPassingInput(); }

    /** Longest duration any slice or refresh period may take, in seconds. */
    static constexpr float maxDurationSeconds = brakkle::CycleTiming::maxDurationSeconds;

private:
    brakkle::TimingSettings timingSettings() const noexcept;

    brakkle::CycleTiming timing;
    brakkle::RepeatButton button;
    brakkle::SlicePlayer player;
    brakkle::BlockPlan plan;
    brakkle::BlockPlan heldPlan;   // the hand-overs and the start of a repeat held by hand

    JUCE_DECLARE_NON_COPYABLE (StutterEngine)
};
