#pragma once

#include "BypassFade.h"
#include "HostTransport.h"
#include "ParameterIds.h"
#include "PresetSession.h"
#include "engine/StutterEngine.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>

/** The plug-in instance a host creates: the parameter set, the stutter engine,
    and the audio pipeline around it (input gain and soft clip, the wet copy the
    engine rewrites, dry/wet mix, output gain, a fixed -3 dB trim, soft clip). */
class BrakkleAudioProcessor : public juce::AudioProcessor,
                              public juce::AudioProcessorValueTreeState::Listener
{
public:
    BrakkleAudioProcessor();
    ~BrakkleAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;

    using AudioProcessor::processBlock;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;

    using AudioProcessor::processBlockBypassed;
    void processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;

    double getTailLengthSeconds() const override;

    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    void parameterChanged (const juce::String& parameterID, float newValue) override;

    /** The fixed trim of the output stage, -3 dB. */
    static const float outputTrim;

    juce::AudioProcessorValueTreeState parameters;
    StutterEngine stutterEngine;

    /** The preset the window shows (not part of the saved state). */
    PresetSession presets { parameters };

private:
    juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();
    void updateEngineParameters() noexcept;

    /** Reads the host's play head at a host block's start. */
    void followTransport (int numSamples);

    /** The transport at a part's first sample: the block's, moved on. */
    brakkle::HostTransport readTransport (int samplesIntoBlock) const;

    /** The whole pipeline on one block in place, as every unbypassed block goes. */
    void processPipeline (juce::AudioBuffer<float>& buffer, int numChannels, int samplesIntoBlock);

    /** A host block longer than the prepared size is played in parts that fit,
        each with the transport where it falls, so nothing is reallocated and
        the engine keeps its input and crossfades. */
    template <typename PlayPart>
    void inPreparedParts (juce::AudioBuffer<float>& buffer, PlayPart&& playPart);

    void processPart (juce::AudioBuffer<float>& buffer, int samplesIntoBlock);
    void processPartBypassed (juce::AudioBuffer<float>& buffer, int samplesIntoBlock);

    void applyInputStage (juce::AudioBuffer<float>& buffer, int numChannels) const noexcept;
    void applyMixAndOutputStage (juce::AudioBuffer<float>& buffer, int numChannels) const noexcept;

    juce::AudioBuffer<float> wetBuffer;
    int preparedBlockSize = 0;   // the longest block the host announced

    /** The host's transport block by block; an LV2 host's blocks without a
        report go on from the last one. */
    brakkle::TransportFollower hostTransport;

    /** The other side of a bypass crossfade: the dry input while the output
        fades out of the bypass, the plug-in's output while it fades into it. */
    juce::AudioBuffer<float> bypassFadeBuffer;
    BypassFade bypassFade;

    /** Where the parameter tree keeps each plain value, in the table's order;
        looked up once so that parameter changes on the audio thread stay cheap. */
    std::array<std::atomic<float>*, parameterTable.size()> rawParameterValues {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BrakkleAudioProcessor)
};
