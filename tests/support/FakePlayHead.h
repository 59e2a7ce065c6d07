#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <optional>

namespace brakkle::test
{

/** A host's play head reduced to what Brakkle reads: a tempo (or none) and
    whether the transport plays. */
struct FakePlayHead final : juce::AudioPlayHead
{
    std::optional<double> bpm = 120.0;
    bool playing = true;

    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        if (bpm)
            info.setBpm (*bpm);
        info.setIsPlaying (playing);
        return info;
    }
};

} // namespace brakkle::test
