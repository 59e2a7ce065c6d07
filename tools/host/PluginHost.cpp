#include "PluginHost.h"

#include <cmath>

namespace brakkle::host
{

void Transport::locate (double ppq)
{
    ppqPosition = ppq;
    startStretch();
    samplePosition = (juce::int64) std::llround (ppq * 60.0 / bpm * sampleRate);
}

void Transport::startStretch()
{
    anchorPpq = ppqPosition;
    anchorBpm = bpm;
    samplesSinceAnchor = 0;
    rampLength = 0;
}

void Transport::setLoop (double startPpq, double endPpq, bool reportPoints)
{
    looping = endPpq > startPpq;
    reportsLoop = reportPoints;
    loopStart = startPpq;
    loopEnd = endPpq;
}

void Transport::clearLoop()
{
    looping = false;
}

void Transport::holdFor (juce::int64 numSamples)
{
    holdLeft = juce::jmax ((juce::int64) 0, numSamples);
}

void Transport::rampTo (double target, juce::int64 numSamples)
{
    ppqPosition = positionAfter (samplesSinceAnchor);
    startStretch();
    rampStart = bpm;
    rampTarget = target;
    rampLength = juce::jmax ((juce::int64) 0, numSamples);
}

double Transport::positionAfter (juce::int64 samples) const
{
    // A linear ramp in time: the tempo's integral over the samples played.
    const auto n = (double) samples;

    if (rampLength <= 0)
        return anchorPpq + n * anchorBpm / 60.0 / sampleRate;

    const double perSample = 1.0 / (60.0 * sampleRate);

    const auto length = (double) rampLength;
    if (samples <= rampLength)
        return anchorPpq + (anchorBpm * n + (rampTarget - anchorBpm) * n * n / (2.0 * length)) * perSample;

    return anchorPpq + ((anchorBpm + rampTarget) * 0.5 * length + rampTarget * (n - length)) * perSample;
}

double Transport::tempoAfter (juce::int64 samples) const
{
    if (rampLength <= 0)
        return anchorBpm;
    if (samples >= rampLength)
        return rampTarget;
    return anchorBpm + (rampTarget - anchorBpm) * (double) samples / (double) rampLength;
}

void Transport::move (juce::int64 numSamples)
{
    // A loop wraps at the first sample at or past its end, wherever that falls.
    while (numSamples > 0)
    {
        if (looping && positionAfter (samplesSinceAnchor) < loopEnd && positionAfter (samplesSinceAnchor + numSamples) >= loopEnd)
        {
            juce::int64 lo = samplesSinceAnchor, hi = samplesSinceAnchor + numSamples;   // position(lo) < end <= position(hi)
            while (hi - lo > 1)
            {
                const auto mid = lo + (hi - lo) / 2;
                (positionAfter (mid) >= loopEnd ? hi : lo) = mid;
            }

            const auto played = hi - samplesSinceAnchor;
            ppqPosition = loopStart + (positionAfter (hi) - loopEnd);
            bpm = tempoAfter (hi);
            startStretch();
            numSamples -= played;
            continue;
        }

        samplesSinceAnchor += numSamples;
        numSamples = 0;
    }

    ppqPosition = positionAfter (samplesSinceAnchor);
    bpm = tempoAfter (samplesSinceAnchor);
}

void Transport::advance (int numSamples)
{
    // A position set from outside, or a new tempo, starts a new stretch.
    if (! juce::exactlyEqual (ppqPosition, positionAfter (samplesSinceAnchor))
        || ! juce::exactlyEqual (bpm, tempoAfter (samplesSinceAnchor)))
        startStretch();

    const auto held = juce::jmin ((juce::int64) numSamples, holdLeft);
    holdLeft -= held;

    move (numSamples - held);
    samplePosition += numSamples - held;
}

double Transport::quarterNotesPerBar() const
{
    return numerator * 4.0 / denominator;
}

juce::Optional<juce::AudioPlayHead::PositionInfo> Transport::getPosition() const
{
    PositionInfo info;
    if (hasTempo)
        info.setBpm (! reportsRampTempo && rampLength > 0 && samplesSinceAnchor < rampLength ? rampStart : bpm);
    info.setIsPlaying (playing);
    info.setTimeInSamples (samplePosition);
    info.setTimeInSeconds ((double) samplePosition / sampleRate);

    if (hasMusicalPosition)
    {
        const auto ppq = positionResolution > 0.0 ? std::round (ppqPosition / positionResolution) * positionResolution
                                                  : ppqPosition;
        const auto bar = quarterNotesPerBar();
        info.setPpqPosition (ppq);
        info.setPpqPositionOfLastBarStart (barStartInFours ? 4.0 * (std::floor (ppq / bar) + 1.0) : std::floor (ppq / bar) * bar);
        info.setTimeSignature (TimeSignature { numerator, denominator });

        if (looping && reportsLoop)
        {
            info.setIsLooping (true);
            info.setLoopPoints (LoopPoints { loopStart, loopEnd });
        }
    }

    return info;
}

juce::File defaultBundle()
{
   #ifdef BRAKKLE_DEFAULT_BUNDLE
    return juce::File (BRAKKLE_DEFAULT_BUNDLE);
   #else
    return {};
   #endif
}

namespace
{
    juce::AudioProcessor::BusesLayout layoutFor (int numChannels)
    {
        const auto set = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        return layout;
    }
}

std::unique_ptr<HostedPlugin> HostedPlugin::load (const juce::File& bundle,
                                                  double sampleRate,
                                                  int blockSize,
                                                  int numChannels,
                                                  juce::String& errorMessage)
{
    if (! bundle.exists())
    {
        errorMessage = "no plug-in bundle at " + bundle.getFullPathName();
        return nullptr;
    }

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, bundle.getFullPathName());

    if (types.isEmpty())
    {
        errorMessage = "no VST3 plug-in could be loaded from " + bundle.getFullPathName();
        return nullptr;
    }

    std::unique_ptr<HostedPlugin> hosted (new HostedPlugin());
    hosted->plugin = format.createInstanceFromDescription (*types[0], sampleRate, blockSize, errorMessage);

    if (hosted->plugin == nullptr)
    {
        if (errorMessage.isEmpty())
            errorMessage = "the plug-in in " + bundle.getFullPathName() + " could not be created";
        return nullptr;
    }

    hosted->plugin->setPlayHead (&hosted->playHead);

    if (! hosted->prepare (sampleRate, blockSize, numChannels))
    {
        errorMessage = "the plug-in does not accept " + juce::String (numChannels) + " channel(s)";
        return nullptr;
    }

    return hosted;
}

HostedPlugin::~HostedPlugin()
{
    if (plugin != nullptr)
        plugin->releaseResources();
}

bool HostedPlugin::prepare (double sampleRate, int blockSize, int numChannels)
{
    plugin->releaseResources();

    if (numChannels < 1 || numChannels > 2 || ! plugin->setBusesLayout (layoutFor (numChannels)))
        return false;

    rate = sampleRate;
    channels = numChannels;
    playHead.sampleRate = sampleRate;
    plugin->setRateAndBufferSizeDetails (sampleRate, blockSize);
    plugin->prepareToPlay (sampleRate, blockSize);
    return true;
}

void HostedPlugin::process (juce::AudioBuffer<float>& block)
{
    midi.clear();
    plugin->processBlock (block, midi);

    if (playHead.playing)
        playHead.advance (block.getNumSamples());
}

juce::AudioProcessorParameter* HostedPlugin::parameterNamed (const juce::String& name) const
{
    for (auto* parameter : plugin->getParameters())
        if (parameter->getName (1024) == name)
            return parameter;

    return nullptr;
}

void HostedPlugin::setNormalised (juce::AudioProcessorParameter& parameter, float normalised)
{
    parameter.beginChangeGesture();
    parameter.setValueNotifyingHost (normalised);
    parameter.endChangeGesture();
}

} // namespace brakkle::host
