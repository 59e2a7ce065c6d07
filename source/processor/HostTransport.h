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

/** The transport at each host block's start, for hosts that report it only
    when it changes.

    LV2 hosts send the transport's position in the blocks where they think it
    moved (a start, a stop, a locate, a tempo change; Ardour in most rolling
    blocks, but not always in the part of a block it splits at a lane's
    point), and JUCE's LV2 client reports no play head at all for the others.
    With `fillGaps` such a block finds the transport where the last report
    puts it, moved on by the blocks played since; without, a block without a
    report has no transport to follow (as before: the audio passes). */
class TransportFollower
{
public:
    /** A fresh start: nothing reported yet. */
    void prepare (bool fillGaps) noexcept;

    /** The transport at the first sample of a host block of `numSamples`,
        from the block's report (none: the play head said nothing). */
    const HostTransport& blockStarts (const juce::Optional<juce::AudioPlayHead::PositionInfo>& report,
                                      int numSamples, double sampleRate) noexcept;

    const HostTransport& current() const noexcept { return transport; }

private:
    bool fillsGaps = false;
    HostTransport transport;
    int lastBlockLength = 0;
};

} // namespace brakkle
