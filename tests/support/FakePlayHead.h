#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <optional>

namespace brakkle::test
{

/** A host's play head reduced to what Brakkle reads: a tempo (or none),
    whether the transport plays, and optionally a musical position (quarter
    notes, last bar start, meter), which is reported only when set. */
struct FakePlayHead final : juce::AudioPlayHead
{
    std::optional<double> bpm = 120.0;
    bool playing = true;
    std::optional<double> ppqPosition;
    std::optional<double> ppqPositionOfLastBarStart;
    std::optional<TimeSignature> timeSignature;

    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        if (bpm)
            info.setBpm (*bpm);
        info.setIsPlaying (playing);
        if (ppqPosition)
            info.setPpqPosition (*ppqPosition);
        if (ppqPositionOfLastBarStart)
            info.setPpqPositionOfLastBarStart (*ppqPositionOfLastBarStart);
        if (timeSignature)
            info.setTimeSignature (*timeSignature);
        return info;
    }
};

} // namespace brakkle::test
