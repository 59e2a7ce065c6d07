#pragma once

#include "RenderOptions.h"

#include "processor/ParameterIds.h"

#include <juce_core/juce_core.h>

#include <array>
#include <functional>
#include <vector>

namespace brakkle::render
{

/** One timed change: a parameter, the tempo, the transport, or a jump of the
    song position. */
struct ScheduleEvent
{
    enum class Kind { parameter, tempo, ramp, stop, play, locate };

    juce::int64 sample = 0;
    Kind kind = Kind::parameter;
    ParameterSetting setting;    // for parameter changes
    double bpm = 120.0;          // for tempo changes: the new tempo; for ramps: the tempo reached
    juce::int64 rampSamples = 0; // for ramps: how many played samples the ramp lasts
    double beats = 0.0;          // for locates: the new song position, in quarter notes
    int line = 0;
};

/** Parses a schedule: one change per line, "<time> <change>", where the time is
    seconds ("1.5", "1.5s") or beats ("8b") and the change is "stop", "play",
    "bpm=<value>", "ramp=<value>,<length>", "locate=<beats>" or
    "<parameter id>=<value>". A ramp moves the tempo linearly in time from the
    tempo in force to the value over the length, given in seconds ("2", "2s")
    or in the beats it covers ("8b"), rounded to whole samples; the transport
    plays it over played samples, and a locate or a loop wrap ends it at the
    tempo it reached. Beats count at the tempo in force, which the schedule's
    own bpm changes and ramps move (a locate moves the song position, not the
    schedule's clock); times must not go backwards. '#' starts a comment.
    Returns an empty string or "line N: what is wrong". */
juce::String parseSchedule (const juce::String& text, double sampleRate, double startBpm, std::vector<ScheduleEvent>& events);

/** Plain parameter values, in the parameter table's order. */
using ParameterValues = std::array<float, parameterTable.size()>;

/** What the host tells the plug-in during one stretch of audio. */
struct HostState
{
    double bpm = 120.0;          // the tempo the last step set (a ramp moves the transport's tempo on from it)
    bool playing = true;
    int meterNumerator = 4, meterDenominator = 4;
    bool reportsTempo = true;    // false: the play head gives no tempo (and the plug-in no musical position)
    bool loops = false;          // the transport loops from loopStart to loopEnd (quarter notes), wrapping
    double loopStart = 0.0;      // where it falls, also inside a block ...
    double loopEnd = 0.0;
    bool reportsLoop = true;     // ... and the play head says it loops and where
    ParameterValues values {};   // plain parameter values, in the parameter table's order
};

/** Where the song position starts, and what a host plays before it. */
struct PlaybackStart
{
    double beats = 0.0;          // song position of the first sample, in quarter notes
    juce::int64 preroll = 0;     // samples of silence played first, transport running, output discarded
    bool holdPreroll = false;    // the position stands still at `beats` through the pre-roll, which ends
                                 // where it ends, also inside a block
};

/** The plain values a fresh plug-in starts with. */
ParameterValues defaultParameterValues();

/** What happens at the start of one block besides the host state it plays in. */
struct BlockChanges
{
    std::vector<ParameterSetting> settings;   // parameter settings applied here
    bool tempoSet = false;                    // the tempo steps to the state's bpm here (ending any ramp)
    bool located = false;                     // the song position jumps here ...
    double locateBeats = 0.0;                 // ... to this many quarter notes
    juce::int64 holdSamples = 0;              // the position then stands still for this many played samples
    bool ramps = false;                       // a tempo ramp starts here ...
    double rampTarget = 120.0;                // ... to this tempo ...
    juce::int64 rampSamples = 0;              // ... over this many played samples
};

/** Applies one event to the host state, and to a block's changes. */
void applyEvent (const ScheduleEvent& event, HostState& state, BlockChanges& changes);

/** Called for each block of a render: where it starts, its length, the host
    state it plays in and what changed at its start. */
using BlockCallback = std::function<void (juce::int64 start, int length, const HostState& state,
                                          const BlockChanges& changes)>;

/** Walks a render: splits [0, totalSamples) into blocks of at most blockSize
    that also break at every event, applies the events due at each block's start
    to the host state, and calls back with the block, the state it plays in and
    what changed at its start. */
void forEachBlock (juce::int64 totalSamples,
                   int blockSize,
                   HostState initial,
                   const std::vector<ScheduleEvent>& events,
                   const BlockCallback& callback);

/** Walks a render as a host plays it from `start`: what is due at the first
    sample holds from the first block on; a pre-roll's blocks come first, at
    negative starts, playing from the position that many samples before the
    start at the starting tempo and ending on the file's first sample; then
    forEachBlock's blocks. With holdPreroll the pre-roll's position stands
    still at the start instead, and its blocks run on into the file's without
    a break at its first sample (blocks break there only when the transport
    stops there). The first block (the pre-roll's, or the file's without one)
    sets the tempo and locates the song position; a ramp due at the first
    sample starts moving with the song position. */
void forEachPlayedBlock (juce::int64 totalSamples,
                         int blockSize,
                         double sampleRate,
                         const HostState& initial,
                         const std::vector<ScheduleEvent>& events,
                         const PlaybackStart& start,
                         const BlockCallback& callback);

} // namespace brakkle::render
