#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace brakkle::host
{

/** A transport a host would give the plug-in: tempo, playing state, position. */
class Transport final : public juce::AudioPlayHead
{
public:
    double bpm = 120.0;
    bool playing = true;
    juce::int64 samplePosition = 0;
    double sampleRate = 44100.0;

    juce::Optional<PositionInfo> getPosition() const override;
};

/** The bundle this build made. */
juce::File defaultBundle();

/** One instance of a VST3 plug-in, loaded through JUCE's VST3 hosting, with a
    transport and the plain calls a host makes on it. Message thread only,
    except process(). A JUCE message manager must exist (juce::ScopedJuceInitialiser_GUI). */
class HostedPlugin
{
public:
    /** Loads the bundle and creates an instance with the given layout (1 or 2
        channels). Returns null and says why in errorMessage when it cannot. */
    static std::unique_ptr<HostedPlugin> load (const juce::File& bundle,
                                               double sampleRate,
                                               int blockSize,
                                               int numChannels,
                                               juce::String& errorMessage);

    ~HostedPlugin();

    juce::AudioPluginInstance& instance() noexcept { return *plugin; }
    Transport& transport() noexcept { return playHead; }

    /** Prepares again, for another rate, block size or channel count. */
    bool prepare (double sampleRate, int blockSize, int numChannels);

    /** Processes one block in place and moves the transport on if it plays. */
    void process (juce::AudioBuffer<float>& block);

    /** The hosted parameter with this display name, or null. */
    juce::AudioProcessorParameter* parameterNamed (const juce::String& name) const;

    /** Sets a parameter by its normalised value, as host automation does.
        The plug-in sees it at its next process call. */
    static void setNormalised (juce::AudioProcessorParameter& parameter, float normalised);

    int getNumChannels() const noexcept { return channels; }
    double getSampleRate() const noexcept { return rate; }

private:
    HostedPlugin() = default;

    std::unique_ptr<juce::AudioPluginInstance> plugin;
    Transport playHead;
    juce::MidiBuffer midi;
    double rate = 44100.0;
    int channels = 2;
};

} // namespace brakkle::host
