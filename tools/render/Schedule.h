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
    enum class Kind { parameter, tempo, stop, play, locate };

    juce::int64 sample = 0;
    Kind kind = Kind::parameter;
    ParameterSetting setting;    // for parameter changes
    double bpm = 120.0;          // for tempo changes
    double beats = 0.0;          // for locates: the new song position, in quarter notes
    int line = 0;
};

/** Parses a schedule: one change per line, "<time> <change>", where the time is
    seconds ("1.5", "1.5s") or beats ("8b") and the change is "stop", "play",
    "bpm=<value>", "locate=<beats>" or "<parameter id>=<value>". Beats count at
    the tempo in force, which the schedule's own bpm changes move (a locate moves
    the song position, not the schedule's clock); times must not go backwards.
    '#' starts a comment. Returns an empty string or "line N: what is wrong". */
juce::String parseSchedule (const juce::String& text, double sampleRate, double startBpm, std::vector<ScheduleEvent>& events);

/** Plain parameter values, in the parameter table's order. */
using ParameterValues = std::array<float, parameterTable.size()>;

/** What the host tells the plug-in during one stretch of audio. */
struct HostState
{
    double bpm = 120.0;
    bool playing = true;
    int meterNumerator = 4, meterDenominator = 4;
    ParameterValues values {};   // plain parameter values, in the parameter table's order
};

/** Where the song position starts, and what a host plays before it. */
struct PlaybackStart
{
    double beats = 0.0;          // song position of the first sample, in quarter notes
    juce::int64 preroll = 0;     // samples of silence played first, transport running, output discarded
};

/** The plain values a fresh plug-in starts with. */
ParameterValues defaultParameterValues();

/** What happens at the start of one block besides the host state it plays in. */
struct BlockChanges
{
    std::vector<ParameterSetting> settings;   // parameter settings applied here
    bool located = false;                     // the song position jumps here ...
    double locateBeats = 0.0;                 // ... to this many quarter notes
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
    start at the starting tempo; then forEachBlock's blocks. The first block
    (the pre-roll's, or the file's without one) locates the song position. */
void forEachPlayedBlock (juce::int64 totalSamples,
                         int blockSize,
                         double sampleRate,
                         const HostState& initial,
                         const std::vector<ScheduleEvent>& events,
                         const PlaybackStart& start,
                         const BlockCallback& callback);

} // namespace brakkle::render
