#pragma once

#include "RenderOptions.h"

#include "processor/ParameterIds.h"

#include <juce_core/juce_core.h>

#include <array>
#include <functional>
#include <vector>

namespace brakkle::render
{

/** One timed change: a parameter, the tempo, or the transport. */
struct ScheduleEvent
{
    enum class Kind { parameter, tempo, stop, play };

    juce::int64 sample = 0;
    Kind kind = Kind::parameter;
    ParameterSetting setting;    // for parameter changes
    double bpm = 120.0;          // for tempo changes
    int line = 0;
};

/** Parses a schedule: one change per line, "<time> <change>", where the time is
    seconds ("1.5", "1.5s") or beats ("8b") and the change is "stop", "play",
    "bpm=<value>" or "<parameter id>=<value>". Beats count at the tempo in force,
    which the schedule's own bpm changes move; times must not go backwards.
    '#' starts a comment. Returns an empty string or "line N: what is wrong". */
juce::String parseSchedule (const juce::String& text, double sampleRate, double startBpm, std::vector<ScheduleEvent>& events);

/** Plain parameter values, in the parameter table's order. */
using ParameterValues = std::array<float, parameterTable.size()>;

/** What the host tells the plug-in during one stretch of audio. */
struct HostState
{
    double bpm = 120.0;
    bool playing = true;
    ParameterValues values {};   // plain parameter values, in the parameter table's order
};

/** The plain values a fresh plug-in starts with. */
ParameterValues defaultParameterValues();

/** Walks a render: splits [0, totalSamples) into blocks of at most blockSize
    that also break at every event, applies the events due at each block's start
    to the host state, and calls back with the block and the state it plays in.
    `changed` lists the parameter settings applied at that block's start. */
void forEachBlock (juce::int64 totalSamples,
                   int blockSize,
                   HostState initial,
                   const std::vector<ScheduleEvent>& events,
                   const std::function<void (juce::int64 start, int length, const HostState& state,
                                             const std::vector<ParameterSetting>& changed)>& callback);

} // namespace brakkle::render
