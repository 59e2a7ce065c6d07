#include "BrakkleAudioProcessor.h"

#include "ParameterIds.h"
#include "SavedState.h"
#include "editor/BrakkleAudioProcessorEditor.h"
#include "engine/SoftClip.h"

#include <cmath>

namespace
{
    constexpr double defaultTempo = 120.0;

    /** The musical position of a host that reports its bar, meter, tempo and
        sample position but no beat position. Some LV2 hosts (Ardour) send the
        beat within the bar instead of the beat since the song's start, and
        JUCE's LV2 client passes on only the latter: there the position follows
        from the samples played since the song's start at the reported tempo.
        That holds while the tempo has stayed the same, so it is used only when
        it lands in the bar the host names; otherwise there is none. */
    std::optional<brakkle::MusicalPosition> positionFromBarAndSamples (const juce::AudioPlayHead::PositionInfo& host,
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

        brakkle::MusicalPosition musical;
        musical.ppq = quarters;
        musical.bpm = *bpm;
        musical.hasBarStart = true;
        musical.barStartPpq = barStart;
        musical.numerator = meter->numerator;
        musical.denominator = meter->denominator;
        return musical;
    }


    /** The engine field that mirrors each parameter, in the parameter table's order. */
    std::array<brakkle::RelaxedFloat*, parameterTable.size()> engineFields (StutterEngine& e)
    {
        return { &e.stutterTimeFree, &e.stutterTimeBpm, &e.stutterSync,
                 &e.refreshTimeFree, &e.refreshTimeBpm, &e.refreshSync,
                 &e.input, &e.mix, &e.output,
                 &e.filterFreq, &e.filterMix, &e.fadeVol, &e.fadeMix,
                 &e.stereoWidth, &e.stereoMix,
                 &e.gridLock };
    }
}

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
    wetBuffer.setSize (juce::jmax (numChannels, getTotalNumInputChannels()),
                       juce::jmax (0, maximumExpectedSamplesPerBlock), false, false, true);

    updateEngineParameters();
}

void BrakkleAudioProcessor::releaseResources() {}

void BrakkleAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const auto numSamples = buffer.getNumSamples();
    const auto numOutputs = juce::jmin (getTotalNumOutputChannels(), buffer.getNumChannels());

    for (auto c = getTotalNumInputChannels(); c < numOutputs; ++c)
        buffer.clear (c, 0, numSamples);

    juce::ScopedNoDenormals noDenormals;

    const auto transport = readTransport();
    applyInputStage (buffer, numOutputs);

    wetBuffer.makeCopyOf (buffer, true);
    stutterEngine.process (wetBuffer, (float) transport.bpm, transport.playing,
                           transport.musicalPosition ? &*transport.musicalPosition : nullptr);

    applyMixAndOutputStage (buffer, numOutputs);
}

void BrakkleAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    // The audio passes as JUCE passes it for any bypassed plug-in; the engine is
    // left as a stopped transport leaves it, so that the first block after the
    // bypass starts a fresh cycle instead of repeating a slice from before it.
    AudioProcessor::processBlockBypassed (buffer, midiMessages);
    stutterEngine.stop();
}

BrakkleAudioProcessor::HostTransport BrakkleAudioProcessor::readTransport() const
{
    // Without a play head there is no transport to follow: the audio passes through.
    HostTransport transport { defaultTempo, false, std::nullopt };

    auto* head = getPlayHead();
    const auto position = head != nullptr ? head->getPosition() : juce::Optional<juce::AudioPlayHead::PositionInfo>();

    if (! position)
        return transport;

    if (const auto bpm = position->getBpm())
        transport.bpm = *bpm;

    transport.playing = position->getIsPlaying();

    // Grid Lock follows a song position only together with the host's own tempo.
    const auto hostBpm = position->getBpm();

    if (const auto ppq = position->getPpqPosition(); ppq && std::isfinite (*ppq) && hostBpm)
    {
        brakkle::MusicalPosition musical;
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
        transport.musicalPosition = positionFromBarAndSamples (*position, getSampleRate());
    }

    return transport;
}

void BrakkleAudioProcessor::applyInputStage (juce::AudioBuffer<float>& buffer, int numChannels) const noexcept
{
    const float gain = juce::Decibels::decibelsToGain ((float) stutterEngine.input);
    const auto numSamples = buffer.getNumSamples();

    for (int c = 0; c < numChannels; ++c)
    {
        auto* samples = buffer.getWritePointer (c);

        for (int i = 0; i < numSamples; ++i)
            samples[i] = brakkle::softClip (gain * samples[i]);
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
        {
            const float y = gain * ((1.0f - m) * dry[i] + m * wet[i]) * outputTrim;
            dry[i] = brakkle::softClip (y);
        }
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
        parameters.replaceState (*restored);
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
