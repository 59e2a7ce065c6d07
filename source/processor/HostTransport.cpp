#include "HostTransport.h"

#include <cmath>

namespace brakkle
{

namespace
{
    /** The musical position of a host that reports its bar, meter, tempo and
        sample position but no beat position. Some LV2 hosts (Ardour) send the
        beat within the bar instead of the beat since the song's start, and
        JUCE's LV2 client passes on only the latter: there the position follows
        from the samples played since the song's start at the reported tempo.
        That holds while the tempo has stayed the same, so it is used only when
        it lands in the bar the host names; otherwise there is none. */
    std::optional<MusicalPosition> positionFromBarAndSamples (const juce::AudioPlayHead::PositionInfo& host,
                                                             double sampleRate)
    {
        const auto bar = host.getBarCount();
        const auto samples = host.getTimeInSamples();
        const auto bpm = host.getBpm();
        const auto meter = host.getTimeSignature();

        if (! bar || ! samples || ! bpm || ! meter || ! (sampleRate > 0.0) || ! (*bpm > 0.0)
            || meter->numerator <= 0 || meter->denominator <= 0)
            return std::nullopt;

        const double quarters = (double) *samples * *bpm / 60.0 / sampleRate;
        const double barLength = meter->numerator * 4.0 / meter->denominator;
        const double barStart = (double) *bar * barLength;

        // A host's bar number and sample position at the same sample: allow for rounding, nothing more.
        constexpr double rounding = 1.0e-6;
        if (! (quarters >= barStart - rounding && quarters < barStart + barLength + rounding))
            return std::nullopt;

        MusicalPosition musical;
        musical.ppq = quarters;
        musical.bpm = *bpm;
        musical.hasBarStart = true;
        musical.barStartPpq = barStart;
        musical.numerator = meter->numerator;
        musical.denominator = meter->denominator;
        return musical;
    }
}

HostTransport readHostTransport (const juce::Optional<juce::AudioPlayHead::PositionInfo>& position, double sampleRate)
{
    // Without a play head there is no transport to follow: the audio passes through.
    HostTransport transport;

    if (! position)
        return transport;

    if (const auto bpm = position->getBpm())
        transport.bpm = *bpm;

    transport.playing = position->getIsPlaying();

    // Grid Lock follows a song position only together with the host's own tempo.
    const auto hostBpm = position->getBpm();

    if (const auto ppq = position->getPpqPosition(); ppq && std::isfinite (*ppq) && hostBpm)
    {
        MusicalPosition musical;
        musical.ppq = *ppq;
        musical.bpm = *hostBpm;

        if (const auto samples = position->getTimeInSamples())
        {
            musical.hasSamplePosition = true;
            musical.samplePosition = *samples;
        }

        if (const auto barStart = position->getPpqPositionOfLastBarStart(); barStart && std::isfinite (*barStart))
        {
            musical.hasBarStart = true;
            musical.barStartPpq = *barStart;
        }

        if (const auto meter = position->getTimeSignature())
        {
            musical.numerator = meter->numerator;
            musical.denominator = meter->denominator;
        }

        if (const auto loop = position->getLoopPoints(); loop && position->getIsLooping())
        {
            musical.looping = true;
            musical.loopStartPpq = loop->ppqStart;
            musical.loopEndPpq = loop->ppqEnd;
        }

        transport.musicalPosition = musical;
    }
    else
    {
        transport.musicalPosition = positionFromBarAndSamples (*position, sampleRate);
    }

    return transport;
}

HostTransport advancedBy (const HostTransport& transport, int samples, double sampleRate)
{
    auto later = transport;

    if (! transport.playing || ! transport.musicalPosition || samples <= 0 || ! (sampleRate > 0.0))
        return later;

    auto& position = *later.musicalPosition;
    position.ppq += (double) samples * position.bpm / 60.0 / sampleRate;

    if (position.hasSamplePosition)
        position.samplePosition += samples;

    const double loopLength = position.loopEndPpq - position.loopStartPpq;
    if (position.looping && loopLength > 0.0 && transport.musicalPosition->ppq < position.loopEndPpq && position.ppq >= position.loopEndPpq)
        position.ppq = position.loopStartPpq + std::fmod (position.ppq - position.loopStartPpq, loopLength);

    const double barLength = position.numerator * 4.0 / position.denominator;
    if (position.hasBarStart && barLength > 0.0)
        position.barStartPpq += std::floor ((position.ppq - position.barStartPpq) / barLength) * barLength;

    return later;
}

void TransportFollower::prepare (bool fillGaps) noexcept
{
    fillsGaps = fillGaps;
    transport = {};
    lastBlockLength = 0;
}

const HostTransport& TransportFollower::blockStarts (const juce::Optional<juce::AudioPlayHead::PositionInfo>& report,
                                                     int numSamples, double sampleRate) noexcept
{
    if (report || ! fillsGaps || ! transport.playing)
        transport = readHostTransport (report, sampleRate);
    else
        transport = advancedBy (transport, lastBlockLength, sampleRate);

    lastBlockLength = juce::jmax (0, numSamples);
    return transport;
}

} // namespace brakkle
