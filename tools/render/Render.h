#pragma once

#include "PluginHost.h"
#include "Schedule.h"

#include <functional>

namespace brakkle::render
{

/** Renders audio in place through a hosted plug-in: the host state and the
    scheduled changes reach it the way a host's transport and automation do,
    each change at the first sample of the block it belongs to, and the
    transport's song position runs from `start` (after its pre-roll, which
    plays from the position that many samples earlier at the starting tempo,
    or holds the position at the start). The transport reports its position
    at each block's first sample; loops wrap and ramps move on inside blocks.
    The changes due at the first sample are in force from the pre-roll on.
    `progress` (optional) hears the finished fraction now and then. Returns an
    empty string, or what went wrong. */
juce::String renderThroughPlugin (brakkle::host::HostedPlugin& plugin,
                                  juce::AudioBuffer<float>& audio,
                                  int blockSize,
                                  const HostState& initial,
                                  const std::vector<ScheduleEvent>& events,
                                  const PlaybackStart& start = {},
                                  const std::function<void (double)>& progress = {});

/** The host's transport for a block: its playing state, meter, loop and what
    its play head reports, and what changes at the block's start: a tempo step,
    a locate, a held position, a tempo ramp. */
void setTransport (brakkle::host::Transport& transport, const HostState& state, const BlockChanges& changes);

/** The command-line settings as changes at the first sample, ahead of a schedule's. */
std::vector<ScheduleEvent> withInitialSettings (const std::vector<ParameterSetting>& settings, std::vector<ScheduleEvent> events);

} // namespace brakkle::render
