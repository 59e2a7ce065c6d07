#include "BrakkleAudioProcessor.h"

#include "ParameterIds.h"
#include "editor/BrakkleAudioProcessorEditor.h"
#include "engine/SoftClip.h"

#include <cmath>
#include <cstring>

namespace
{
    constexpr double defaultTempo = 120.0;

    /** True when every character up to the end (or up to a zero byte, where a
        reader stops) is a whole UTF-8 sequence: a lead byte followed by exactly
        the continuation bytes it announces. */
    bool isWellFormedUtf8 (const juce::uint8* text, int numBytes) noexcept
    {
        for (int i = 0; i < numBytes;)
        {
            const auto lead = text[i];

            if (lead == 0)
                return true;

            const int continuations = lead < 0x80                 ? 0
                                    : (lead >= 0xc2 && lead <= 0xdf) ? 1
                                    : (lead >= 0xe0 && lead <= 0xef) ? 2
                                    : (lead >= 0xf0 && lead <= 0xf4) ? 3
                                                                     : -1;

            if (continuations < 0 || continuations >= numBytes - i)
                return false;

            for (int k = 1; k <= continuations; ++k)
                if ((text[i + k] & 0xc0) != 0x80)
                    return false;

            i += continuations + 1;
        }

        return true;
    }

    /** JUCE's XML reader never gets past a processing instruction ("<?...?>")
        followed by text inside an element: it reads the same spot for ever.
        A saved state has none after its declaration, so one there marks a
        damaged blob. Any '<' that opens neither an instruction nor a comment
        or declaration counts as the start of the elements. */
    bool hasInstructionInsideElements (const juce::uint8* text, int numBytes) noexcept
    {
        bool insideElements = false;

        for (int i = 0; i + 1 < numBytes && text[i] != 0; ++i)
        {
            if (text[i] != '<')
                continue;

            if (text[i + 1] == '?')
            {
                if (insideElements)
                    return true;
            }
            else if (text[i + 1] != '!')
            {
                insideElements = true;
            }
        }

        return false;
    }

    /** JUCE's XML reader expands the entities a document type declares in a
        loop that a malformed declaration keeps going for ever. A saved state
        never declares a document type, so one marks a damaged blob. */
    bool hasDocumentType (const juce::uint8* text, int numBytes) noexcept
    {
        static constexpr char marker[] = "<!DOCTYPE";
        constexpr int markerLength = (int) sizeof (marker) - 1;

        for (int i = 0; i + markerLength <= numBytes && text[i] != 0; ++i)
            if (std::memcmp (text + i, marker, (size_t) markerLength) == 0)
                return true;

        return false;
    }

    /** True when the text holds a reference ("&...;") that JUCE's XML reader
        misreads. It steps one character past a hexadecimal character
        reference ("&#x41;") whatever ends it, so a text that ends inside one
        is read past its end. And it takes any other name up to the next ';'
        as an entity, and one that starts with '<' it reads again as elements,
        where that same step runs past the end of the name. A saved state
        holds only the five predefined entities and character references. */
    bool hasReferenceJuceMisreads (const juce::uint8* text, int numBytes) noexcept
    {
        const auto at = [&] (int i) -> juce::uint8 { return i < numBytes ? text[i] : 0; };

        const auto isHexDigit = [] (juce::uint8 c)
        {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        };

        // Compared as the reader compares them, ignoring the case of letters.
        const auto namesPredefinedEntity = [&] (int i)
        {
            for (const char* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
            {
                int k = 0;
                while (name[k] != 0 && (at (i + k) == (juce::uint8) name[k]
                                        || (at (i + k) >= 'A' && at (i + k) <= 'Z' && at (i + k) + 32 == name[k])))
                    ++k;

                if (name[k] == 0)
                    return true;
            }

            return false;
        };

        for (int i = 0; i < numBytes && text[i] != 0; ++i)
        {
            if (text[i] != '&')
                continue;

            if (at (i + 1) != '#')
            {
                if (! namesPredefinedEntity (i + 1))
                    return true;

                continue;
            }

            if (at (i + 2) != 'x' && at (i + 2) != 'X')
                continue;

            // The reader stops at the first character that is not a digit, or at the ninth digit.
            int end = i + 3;
            while (end < numBytes && end < i + 11 && isHexDigit (text[end]))
                ++end;

            if (at (end) == 0)
                return true;
        }

        return false;
    }

    /** A damaged project may repeat an attribute (two "value"s on one parameter).
        The parameter takes the first one, but a save would write only the last,
        so the project would reopen differently from how it plays: only the
        first of each name is kept. */
    void dropRepeatedProperties (juce::ValueTree& tree)
    {
        juce::NamedValueSet firsts;
        bool repeated = false;

        for (int i = 0; i < tree.getNumProperties(); ++i)
        {
            const auto name = tree.getPropertyName (i);

            if (firsts.contains (name))
                repeated = true;
            else
                firsts.set (name, tree.getProperty (name));
        }

        if (repeated)
        {
            tree.removeAllProperties (nullptr);

            for (const auto& property : firsts)
                tree.setProperty (property.name, property.value, nullptr);
        }

        for (auto child : tree)
            dropRepeatedProperties (child);
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

    if (const auto ppq = position->getPpqPosition(); ppq && std::isfinite (*ppq))
    {
        brakkle::MusicalPosition musical;
        musical.ppq = *ppq;
        musical.bpm = transport.bpm;

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

        transport.musicalPosition = musical;
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
    if (! holdsReadableText (data, sizeInBytes))
        return;

    const auto xml = getXmlFromBinary (data, sizeInBytes);

    // Exact, case-sensitive: another plug-in's state or a damaged blob is ignored.
    if (xml == nullptr || xml->getTagName() != parameters.state.getType().toString())
        return;

    auto restored = juce::ValueTree::fromXml (*xml);
    dropRepeatedProperties (restored);
    keepCurrentValuesWhereNotANumber (restored);
    parameters.replaceState (restored);
}

bool BrakkleAudioProcessor::holdsReadableText (const void* data, int sizeInBytes)
{
    // JUCE's XML reader trusts its text to be UTF-8: on a damaged blob (a stray
    // 0xff, a character cut short, a lead byte without its continuation bytes)
    // it can step past the end of the text or never reach it; so it does with
    // some references, and a processing instruction among the elements or a
    // malformed document type makes it loop for ever.
    // Such a blob is refused before it is read, like any other unreadable one.
    // The text is found as getXmlFromBinary finds it: a count after the magic
    // number, limited by the data present.
    if (data == nullptr || sizeInBytes <= 8)
        return true;

    const auto* bytes = static_cast<const juce::uint8*> (data);
    const auto count = (int) juce::ByteOrder::littleEndianInt (bytes + 4);

    if (count <= 0)
        return true;

    const auto* text = bytes + 8;
    const auto length = juce::jmin (sizeInBytes - 8, count);
    return isWellFormedUtf8 (text, length)
        && ! hasInstructionInsideElements (text, length)
        && ! hasDocumentType (text, length)
        && ! hasReferenceJuceMisreads (text, length);
}

void BrakkleAudioProcessor::keepCurrentValuesWhereNotANumber (juce::ValueTree& restored) const
{
    // A damaged project may hold "nan" where a value belongs: that parameter keeps
    // the value it has rather than pass a non-number on to the audio.
    static const juce::Identifier id ("id"), value ("value");

    for (auto child : restored)
        if (auto* parameter = parameters.getParameter (child.getProperty (id).toString()))
            if (child.hasProperty (value) && std::isnan ((float) child.getProperty (value)))
                child.setProperty (value, parameter->convertFrom0to1 (parameter->getValue()), nullptr);
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
