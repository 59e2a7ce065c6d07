#include "BrakkleAudioProcessor.h"

#include "EngineFields.h"
#include "ParameterIds.h"
#include "HostTransport.h"
#include "SavedState.h"
#include "editor/BrakkleAudioProcessorEditor.h"
#include "engine/SoftClip.h"

#include <cmath>

BrakkleAudioProcessor::BrakkleAudioProcessor()
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      parameters (*this, nullptr, "PARAMETERS", createParameterLayout())
{
    for (size_t i = 0; i < parameterTable.size(); ++i)
        rawParameterValues[i] = parameters.getRawParameterValue (parameterTable[i].id);

    for (const auto& spec : parameterTable)
        parameters.addParameterListener (spec.id, this);
}

BrakkleAudioProcessor::~BrakkleAudioProcessor()
{
    for (const auto& spec : parameterTable)
        parameters.removeParameterListener (spec.id, this);
}

const juce::String BrakkleAudioProcessor::getName() const
{
    return "Brakkle";
}

//==============================================================================
void BrakkleAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto numChannels = getTotalNumOutputChannels();
    const juce::dsp::ProcessSpec spec { sampleRate,
                                        (juce::uint32) juce::jmax (0, maximumExpectedSamplesPerBlock),
                                        (juce::uint32) numChannels };
    stutterEngine.prepare (spec);

    // Room for the largest block the host announced, so processing never allocates.
    preparedBlockSize = juce::jmax (0, maximumExpectedSamplesPerBlock);
    wetBuffer.setSize (juce::jmax (numChannels, getTotalNumInputChannels()), preparedBlockSize, false, false, true);
    bypassFadeBuffer.setSize (wetBuffer.getNumChannels(), wetBuffer.getNumSamples(), false, false, true);
    bypassFade.prepare (sampleRate);
    hostTransport.prepare (wrapperType == wrapperType_LV2);

    updateEngineParameters();
}

void BrakkleAudioProcessor::releaseResources() {}

template <typename PlayPart>
void BrakkleAudioProcessor::inPreparedParts (juce::AudioBuffer<float>& buffer, PlayPart&& playPart)
{
    const int numSamples = buffer.getNumSamples();
    // The prepared size, not the wet buffer's: copying a short block into that
    // buffer leaves it as short, and every later block would go in short parts.
    const int partLength = juce::jmax (1, preparedBlockSize);

    if (numSamples <= partLength)
    {
        playPart (buffer, 0);
        return;
    }

    for (int start = 0; start < numSamples; start += partLength)
    {
        // Refers to the host's channels (no copy, nothing allocated).
        juce::AudioBuffer<float> part (buffer.getArrayOfWritePointers(), buffer.getNumChannels(),
                                       start, juce::jmin (partLength, numSamples - start));
        playPart (part, start);
    }
}

void BrakkleAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    followTransport (buffer.getNumSamples());
    inPreparedParts (buffer, [this] (auto& part, int offset) { processPart (part, offset); });
}

void BrakkleAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    // The audio passes as JUCE passes it for any bypassed plug-in.
    AudioProcessor::processBlockBypassed (buffer, midiMessages);
    followTransport (buffer.getNumSamples());

    inPreparedParts (buffer, [this] (auto& part, int offset) { processPartBypassed (part, offset); });
}

void BrakkleAudioProcessor::processPart (juce::AudioBuffer<float>& buffer, int samplesIntoBlock)
{
    const auto numSamples = buffer.getNumSamples();
    const auto numOutputs = juce::jmin (getTotalNumOutputChannels(), buffer.getNumChannels());

    for (auto c = getTotalNumInputChannels(); c < numOutputs; ++c)
        buffer.clear (c, 0, numSamples);

    if (bypassFade.restsAt (false, numSamples))
    {
        processPipeline (buffer, numOutputs, samplesIntoBlock);
        return;
    }

    // Out of a bypass: from the dry input, as the bypass passed it, into the output.
    bypassFadeBuffer.makeCopyOf (buffer, true);
    processPipeline (buffer, numOutputs, samplesIntoBlock);

    juce::ScopedNoDenormals noDenormals;
    bypassFade.apply (false, buffer.getArrayOfWritePointers(), buffer.getArrayOfReadPointers(),
                      bypassFadeBuffer.getArrayOfReadPointers(), numOutputs, numSamples);
}

void BrakkleAudioProcessor::processPartBypassed (juce::AudioBuffer<float>& buffer, int samplesIntoBlock)
{
    const auto numSamples = buffer.getNumSamples();

    if (! bypassFade.restsAt (true, numSamples))
    {
        // Into the bypass: from what the plug-in plays, made from a copy of the
        // input while the engine runs on, into the dry input.
        const auto numOutputs = juce::jmin (getTotalNumOutputChannels(), buffer.getNumChannels());
        bypassFadeBuffer.makeCopyOf (buffer, true);
        processPipeline (bypassFadeBuffer, numOutputs, samplesIntoBlock);

        juce::ScopedNoDenormals noDenormals;
        bypassFade.apply (true, buffer.getArrayOfWritePointers(), bypassFadeBuffer.getArrayOfReadPointers(),
                          buffer.getArrayOfReadPointers(), numOutputs, numSamples);
    }

    // Once the output is the dry input, the engine is left as a stopped
    // transport leaves it, so that the first block after the bypass starts a
    // fresh cycle instead of repeating a slice from before it.
    if (bypassFade.restsAt (true, numSamples))
        stutterEngine.stop();
}

void BrakkleAudioProcessor::processPipeline (juce::AudioBuffer<float>& buffer, int numChannels, int samplesIntoBlock)
{
    juce::ScopedNoDenormals noDenormals;

    const auto transport = readTransport (samplesIntoBlock);
    applyInputStage (buffer, numChannels);

    wetBuffer.makeCopyOf (buffer, true);
    stutterEngine.process (wetBuffer, (float) transport.bpm, transport.playing,
                           transport.musicalPosition ? &*transport.musicalPosition : nullptr);

    applyMixAndOutputStage (buffer, numChannels);
}

void BrakkleAudioProcessor::followTransport (int numSamples)
{
    auto* head = getPlayHead();
    hostTransport.blockStarts (head != nullptr ? head->getPosition() : juce::Optional<juce::AudioPlayHead::PositionInfo>(),
                               numSamples, getSampleRate());
}

brakkle::HostTransport BrakkleAudioProcessor::readTransport (int samplesIntoBlock) const
{
    return brakkle::advancedBy (hostTransport.current(), samplesIntoBlock, getSampleRate());
}

void BrakkleAudioProcessor::applyInputStage (juce::AudioBuffer<float>& buffer, int numChannels) const noexcept
{
    const float gain = juce::Decibels::decibelsToGain ((float) stutterEngine.input);
    const auto numSamples = buffer.getNumSamples();

    for (int c = 0; c < numChannels; ++c)
    {
        auto* samples = buffer.getWritePointer (c);

        for (int i = 0; i < numSamples; ++i)
            samples[i] = gain * samples[i];

        brakkle::softClipRun (samples, numSamples);
    }
}

void BrakkleAudioProcessor::applyMixAndOutputStage (juce::AudioBuffer<float>& buffer, int numChannels) const noexcept
{
    const float gain = juce::Decibels::decibelsToGain ((float) stutterEngine.output);
    const float m = stutterEngine.mix / 100.0f;
    const auto numSamples = buffer.getNumSamples();

    for (int c = 0; c < numChannels; ++c)
    {
        auto* dry = buffer.getWritePointer (c);
        const auto* wet = wetBuffer.getReadPointer (c);

        for (int i = 0; i < numSamples; ++i)
            dry[i] = gain * ((1.0f - m) * dry[i] + m * wet[i]) * outputTrim;

        brakkle::softClipRun (dry, numSamples);
    }
}

const float BrakkleAudioProcessor::outputTrim = std::pow (10.0f, -0.15f);

//==============================================================================
void BrakkleAudioProcessor::parameterChanged (const juce::String&, float)
{
    updateEngineParameters();
}

void BrakkleAudioProcessor::updateEngineParameters() noexcept
{
    const auto fields = engineFields (stutterEngine);

    for (size_t i = 0; i < parameterTable.size(); ++i)
    {
        const auto& spec = parameterTable[i];
        const float value = rawParameterValues[i]->load();

        // A value that is no number never reaches the audio; the last good one stays.
        if (std::isfinite (value))
            *fields[i] = juce::jlimit (spec.minimum, spec.maximum, value);
    }
}

//==============================================================================
double BrakkleAudioProcessor::getTailLengthSeconds() const { return 0.0; }

bool BrakkleAudioProcessor::acceptsMidi() const { return false; }
bool BrakkleAudioProcessor::producesMidi() const { return false; }
bool BrakkleAudioProcessor::isMidiEffect() const { return false; }

juce::AudioProcessorEditor* BrakkleAudioProcessor::createEditor()
{
    return new BrakkleAudioProcessorEditor (*this, parameters);
}

bool BrakkleAudioProcessor::hasEditor() const { return true; }

int BrakkleAudioProcessor::getNumPrograms() { return 1; }
int BrakkleAudioProcessor::getCurrentProgram() { return 0; }
void BrakkleAudioProcessor::setCurrentProgram (int) {}
const juce::String BrakkleAudioProcessor::getProgramName (int) { return {}; }
void BrakkleAudioProcessor::changeProgramName (int, const juce::String&) {}

//==============================================================================
void BrakkleAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    if (const auto xml = parameters.copyState().createXml())
        copyXmlToBinary (*xml, destData);
}

void BrakkleAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    // Another plug-in's state or a damaged blob changes nothing.
    if (auto restored = SavedState::read (data, sizeInBytes, parameters.state.getType(), SavedState::currentValuesOf (parameters)))
    {
        parameters.replaceState (*restored);
        presets.forget();
    }
}

//==============================================================================
bool BrakkleAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new BrakkleAudioProcessor();
}
