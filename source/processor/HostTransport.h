#pragma once

#include "engine/BeatGrid.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <optional>

namespace brakkle
{

/** What a host's play head says for one block, as the plug-in follows it. */
struct HostTransport
{
    double bpm = 120.0;     // 120 when the host gives no tempo
    bool playing = false;   // false without a play head
    std::optional<MusicalPosition> musicalPosition;   // for Grid Lock: a song position with the host's own tempo
};

/** Reads a block's play-head report (none: no transport to follow, the audio
    passes through). The renderer's pictures read it the same way. */
HostTransport readHostTransport (const juce::Optional<juce::AudioPlayHead::PositionInfo>& position, double sampleRate);

/** Where a block's report puts the transport `samples` later in the same
    block, at the reported tempo: for a block longer than the plug-in was
    prepared for, played in parts. A position that passes the end of a loop
    the host reports goes on from its start, as the host would have played it. */
HostTransport advancedBy (const HostTransport& transport, int samples, double sampleRate);

} // namespace brakkle
