#include "PluginHost.h"

#include <cmath>

namespace brakkle::host
{

void Transport::locate (double ppq)
{
    ppqPosition = ppq;
    anchorPpq = ppq;
    anchorBpm = bpm;
    samplesSinceAnchor = 0;
    samplePosition = (juce::int64) std::llround (ppq * 60.0 / bpm * sampleRate);
}

void Transport::advance (int numSamples)
{
    // A position set from outside, or a new tempo, starts a new stretch.
    if (! juce::exactlyEqual (ppqPosition, anchorPpq + (double) samplesSinceAnchor * anchorBpm / 60.0 / sampleRate)
        || ! juce::exactlyEqual (bpm, anchorBpm))
    {
        anchorPpq = ppqPosition;
        anchorBpm = bpm;
        samplesSinceAnchor = 0;
    }

    samplesSinceAnchor += numSamples;
    samplePosition += numSamples;
    ppqPosition = anchorPpq + (double) samplesSinceAnchor * anchorBpm / 60.0 / sampleRate;
}

double Transport::quarterNotesPerBar() const
{
    return numerator * 4.0 / denominator;
}

juce::Optional<juce::AudioPlayHead::PositionInfo> Transport::getPosition() const
{
    PositionInfo info;
    info.setBpm (bpm);
    info.setIsPlaying (playing);
    info.setTimeInSamples (samplePosition);
    info.setTimeInSeconds ((double) samplePosition / sampleRate);

    if (hasMusicalPosition)
    {
        const auto ppq = positionResolution > 0.0 ? std::round (ppqPosition / positionResolution) * positionResolution
                                                  : ppqPosition;
        const auto bar = quarterNotesPerBar();
        info.setPpqPosition (ppq);
        info.setPpqPositionOfLastBarStart (std::floor (ppq / bar) * bar);
        info.setTimeSignature (TimeSignature { numerator, denominator });
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
