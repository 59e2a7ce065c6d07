#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"
#include "support/ProcessorParameters.h"
#include "support/StateBlobs.h"

#include <gtest/gtest.h>

namespace
{
    using brakkle::test::setPlain;

    using brakkle::test::engineValues;
    using brakkle::test::plainValue;

    std::vector<float> allValues (BrakkleAudioProcessor& p) { return brakkle::test::parameterValues (p); }

    /** A state blob in the plug-in's own wrapping around any XML text. */
    juce::MemoryBlock blobWithXml (const juce::String& xmlText)
    {
        juce::MemoryBlock block;
        juce::AudioProcessor::copyXmlToBinary (*juce::parseXML (xmlText), block);
        return block;
    }


    const std::vector<float> nonDefaults { 321, 4, 0, 777, 17, 0, -6.5f, 42.25f, 3.5f, 1234, -55.5f, -30, 66.6f, 12.34f, -99, 1, 12, 4, 50, 7, 1, 35, -7, 40, 2 };
}

TEST (State, RoundTripRestoresEveryParameterAndTheEngine)
{
    BrakkleAudioProcessor source;
    for (size_t i = 0; i < parameterTable.size(); ++i)
        setPlain (source, parameterTable[i].id, nonDefaults[i]);
    const auto saved = allValues (source);
    for (size_t i = 0; i < saved.size(); ++i)
        ASSERT_NEAR (saved[i], nonDefaults[i], 0.006f) << parameterTable[i].id;   // snapped to the step

    juce::MemoryBlock blob;
    source.getStateInformation (blob);

    BrakkleAudioProcessor restored;
    restored.prepareToPlay (44100.0, 64);
    restored.setStateInformation (blob.getData(), (int) blob.getSize());
    EXPECT_EQ (allValues (restored), saved);
    EXPECT_EQ (engineValues (restored.stutterEngine), saved);

    juce::MemoryBlock again;
    restored.getStateInformation (again);
    EXPECT_EQ (again, blob);
}

TEST (State, BlobLayout)
{
    BrakkleAudioProcessor processor;
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);

    ASSERT_GT (saved.getSize(), 9u);
    const auto* bytes = static_cast<const char*> (saved.getData());
    EXPECT_EQ (juce::String (bytes, 4), juce::String ("VC2!"));
    EXPECT_EQ ((size_t) juce::ByteOrder::littleEndianInt (bytes + 4), saved.getSize() - 9);
    EXPECT_EQ (bytes[saved.getSize() - 1], 0);

    const auto xml = juce::parseXML (juce::String::fromUTF8 (bytes + 8, (int) saved.getSize() - 9));
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), juce::String ("PARAMETERS"));
    EXPECT_EQ (xml->getNumChildElements(), (int) parameterTable.size());
    for (auto* child : xml->getChildIterator())
    {
        EXPECT_EQ (child->getTagName(), juce::String ("PARAM"));
        EXPECT_TRUE (child->hasAttribute ("id") && child->hasAttribute ("value"));
    }
}

TEST (State, ForeignOrDamagedStateChangesNothing)
{
    BrakkleAudioProcessor reference;
    juce::MemoryBlock good;
    reference.getStateInformation (good);
    const auto goodText = juce::String::fromUTF8 (static_cast<const char*> (good.getData()) + 8, (int) good.getSize() - 9);

    struct Case
    {
        const char* name;
        juce::MemoryBlock blob;
    };
    const Case cases[] = {
        { "empty", {} },
        { "eight bytes", juce::MemoryBlock (good.getData(), 8) },
        { "wrong magic", brakkle::test::blobWithHeader (0x21324357, goodText.getNumBytesAsUTF8(), goodText) },
        { "count of zero", brakkle::test::blobWithHeader (0x21324356, 0, goodText) },
        { "negative count", brakkle::test::blobWithHeader (0x21324356, -5, goodText) },
        { "truncated text", brakkle::test::blobWithHeader (0x21324356, 100000, goodText.substring (0, goodText.length() / 2)) },
        { "not XML", brakkle::test::blobWithHeader (0x21324356, 20, "this is no xml at all") },
        { "root in another case", blobWithXml ("<Parameters><PARAM id=\"mix\" value=\"10\"/></Parameters>") },
        { "another plug-in's state", blobWithXml ("<STATE><PARAM id=\"mix\" value=\"10\"/></STATE>") },
        { "random bytes", juce::MemoryBlock ("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b", 11) },
    };

    for (const auto& c : cases)
    {
        BrakkleAudioProcessor processor;
        for (size_t i = 0; i < parameterTable.size(); ++i)
            setPlain (processor, parameterTable[i].id, nonDefaults[i]);
        const auto before = allValues (processor);

        processor.setStateInformation (c.blob.getData(), (int) c.blob.getSize());
        EXPECT_EQ (allValues (processor), before) << c.name;
    }
}

TEST (State, PartialAndOddTreesAreReadSafely)
{
    BrakkleAudioProcessor processor;
    setPlain (processor, ParameterIds::fadeVol, -20.0f);
    setPlain (processor, ParameterIds::filterMix, 30.0f);
    setPlain (processor, ParameterIds::filterFreq, 3000.0f);
    processor.prepareToPlay (44100.0, 64);

    const auto blob = blobWithXml (
        "<PARAMETERS>"
        "<PARAM id=\"mix\" value=\"250\"/>"              // beyond the range: clamped
        "<PARAM id=\"stutterTimeFree\" value=\"-3\"/>"   // below: clamped
        "<PARAM id=\"filterFreq\" value=\"nan\"/>"       // no number: keeps its current value
        "<PARAM id=\"stereoMix\" value=\"oops\"/>"       // reads as 0
        "<PARAM id=\"notOurs\" value=\"5\"/>"            // unknown: ignored
        "<PARAM id=\"output\" value=\"1e4294967297\"/>"  // an exponent no float holds: the top of the range
        "<PARAM id=\"input\" value=\"-2e-4294967297\"/>" // and one far below: 0
        "</PARAMETERS>");                                // missing: back to the default, as JUCE restores
    processor.setStateInformation (blob.getData(), (int) blob.getSize());

    EXPECT_EQ (plainValue (processor, ParameterIds::mix), 100.0f);
    EXPECT_EQ (plainValue (processor, ParameterIds::stutterTimeFree), 10.0f);
    EXPECT_EQ (plainValue (processor, ParameterIds::filterFreq), 3000.0f);
    EXPECT_EQ (plainValue (processor, ParameterIds::stereoMix), 0.0f);
    EXPECT_EQ (plainValue (processor, ParameterIds::output), 24.0f);
    EXPECT_EQ (plainValue (processor, ParameterIds::input), 0.0f);
    EXPECT_EQ (plainValue (processor, ParameterIds::fadeVol), -12.0f);
    EXPECT_EQ (plainValue (processor, ParameterIds::filterMix), 0.0f);
    EXPECT_EQ ((float) processor.stutterEngine.filterFreq, 3000.0f);
    EXPECT_EQ ((float) processor.stutterEngine.mix, 100.0f);

    for (const auto& spec : parameterTable)
    {
        const float v = plainValue (processor, spec.id);
        EXPECT_TRUE (v >= spec.minimum && v <= spec.maximum) << spec.id << " = " << v;
    }
}

TEST (State, ProjectSavedBeforeLaterParametersOpensWithTheirDefaults)
{
    // Projects from before a release added parameters hold the older ones only.
    // They open into an instance that has the newer ones away from their
    // defaults: those come back to their defaults, the rest as saved.
    const std::vector<juce::String> beforeShape { ParameterIds::variation, ParameterIds::pitch,
                                                  ParameterIds::pitchDecay, ParameterIds::reverse };
    auto beforeRepeat = beforeShape;
    beforeRepeat.push_back (ParameterIds::repeatHold);
    auto beforeFills = beforeRepeat;
    for (const auto& id : { ParameterIds::fillOffset, ParameterIds::fillGate, ParameterIds::fillChance, ParameterIds::fillSeed })
        beforeFills.push_back (id);
    auto beforeGridLock = beforeFills;
    beforeGridLock.push_back (ParameterIds::gridLock);

    for (const auto& missing : { beforeGridLock, beforeFills, beforeRepeat, beforeShape })
    {
        SCOPED_TRACE (juce::String (missing.size()) + " parameters missing");
        BrakkleAudioProcessor source;
        for (size_t i = 0; i < parameterTable.size(); ++i)
            setPlain (source, parameterTable[i].id, nonDefaults[i]);

        juce::MemoryBlock blob;
        source.getStateInformation (blob);
        auto xml = juce::AudioProcessor::getXmlFromBinary (blob.getData(), (int) blob.getSize());
        ASSERT_NE (xml, nullptr);
        for (const auto& id : missing)
        {
            auto* element = xml->getChildByAttribute ("id", id);
            ASSERT_NE (element, nullptr) << id;
            xml->removeChildElement (element, true);
        }
        juce::MemoryBlock older;
        juce::AudioProcessor::copyXmlToBinary (*xml, older);

        BrakkleAudioProcessor restored;
        for (size_t i = 0; i < parameterTable.size(); ++i)
            setPlain (restored, parameterTable[i].id, nonDefaults[i]);
        restored.prepareToPlay (44100.0, 64);
        restored.setStateInformation (older.getData(), (int) older.getSize());

        const auto values = allValues (restored);
        const auto engine = brakkle::test::engineValues (restored.stutterEngine);
        for (size_t i = 0; i < parameterTable.size(); ++i)
        {
            const auto& spec = parameterTable[i];
            const bool isMissing = std::find (missing.begin(), missing.end(), spec.id) != missing.end();
            const float expected = isMissing ? spec.defaultValue : nonDefaults[i];
            EXPECT_NEAR (values[i], expected, 0.006f) << spec.id;
            EXPECT_NEAR (engine[i], expected, 0.006f) << spec.id;
        }
    }
}

namespace
{
    /** A project saved by Brakkle 1.7.0 with every parameter away from its
        default, in each parameter's own units, by ID. */
    const std::pair<const char*, float> savedBy170[] = {
        { "stutterTimeFree", 345.0f }, { "stutterTimeBpm", 6.0f },  { "stutterSync", 0.0f },
        { "refreshTimeFree", 850.0f }, { "refreshTimeBpm", 16.0f }, { "refreshSync", 0.0f },
        { "input", -7.5f },            { "mix", 62.5f },            { "output", 4.25f },
        { "filterFreq", 2750.0f },     { "filterMix", -37.5f },     { "fadeVol", -20.75f },
        { "fadeMix", 81.25f },         { "stereoWidth", 43.5f },    { "stereoMix", -12.25f },
    };
}

TEST (State, ProjectSavedByVersion170RestoresExactly)
{
    // The file is a state exactly as Brakkle 1.7.0 saved it. Newer versions may
    // add parameters; these fifteen must come back as they were.
    juce::MemoryBlock blob;
    ASSERT_TRUE (juce::File (BRAKKLE_TESTS_DIR).getChildFile ("data/project-1.7.0.brakkle").loadFileAsData (blob));

    BrakkleAudioProcessor processor;
    processor.prepareToPlay (44100.0, 64);
    processor.setStateInformation (blob.getData(), (int) blob.getSize());

    std::vector<float> expected;
    for (auto [id, value] : savedBy170)
    {
        auto* raw = processor.parameters.getRawParameterValue (id);
        ASSERT_NE (raw, nullptr) << id;
        EXPECT_EQ (raw->load(), value) << id;
        expected.push_back (value);
    }

    // Parameters newer than the project open at their defaults.
    EXPECT_EQ (processor.parameters.getRawParameterValue (ParameterIds::gridLock)->load(), 0.0f);

    // The engine hears the same values (its first fifteen fields, in order).
    const auto engine = engineValues (processor.stutterEngine);
    ASSERT_GE (engine.size(), expected.size());
    EXPECT_EQ (std::vector<float> (engine.begin(), engine.begin() + (long) expected.size()), expected);
}
