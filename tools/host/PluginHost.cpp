#include "PluginHost.h"

namespace brakkle::host
{

juce::Optional<juce::AudioPlayHead::PositionInfo> Transport::getPosition() const
{
    PositionInfo info;
    info.setBpm (bpm);
    info.setIsPlaying (playing);
    info.setTimeInSamples (samplePosition);
    info.setTimeInSeconds ((double) samplePosition / sampleRate);
    info.setPpqPosition ((double) samplePosition / sampleRate * bpm / 60.0);
    info.setTimeSignature (TimeSignature { 4, 4 });
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
        playHead.samplePosition += block.getNumSamples();
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
