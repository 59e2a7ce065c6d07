// Faults the fuzz targets found, kept as plain tests: damaged project text,
// attributes given twice, and switches sent values that are no switch values.
// And a host that sends more samples than it announced.

#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"
#include "../support/FakePlayHead.h"
#include "../support/ProcessorParameters.h"
#include "../support/Signals.h"

#include <gtest/gtest.h>

#include <limits>

using brakkle::test::parameterValues;
using brakkle::test::plainValue;
using brakkle::test::setPlain;

namespace
{
    /** The framing JUCE's copyXmlToBinary writes, around any bytes at all. */
    juce::MemoryBlock blobAround (const std::string& text)
    {
        juce::MemoryOutputStream out;
        out.writeInt (0x21324356);
        out.writeInt ((int) text.size());
        out.write (text.data(), text.size());
        out.writeByte (0);
        return out.getMemoryBlock();
    }

    /** Restoring the text leaves every value as it was. */
    void expectRefusedWhole (const std::string& text, const char* what)
    {
        BrakkleAudioProcessor processor;
        setPlain (processor, ParameterIds::mix, 55.0f);
        const auto before = parameterValues (processor);

        const auto blob = blobAround (text);
        processor.setStateInformation (blob.getData(), (int) blob.getSize());
        EXPECT_EQ (parameterValues (processor), before) << what;
    }

    /** Restoring the text sets Mix to the 10 it holds. */
    void expectMixRestoredAs10 (const char* text)
    {
        BrakkleAudioProcessor processor;
        const auto blob = blobAround (text);
        processor.setStateInformation (blob.getData(), (int) blob.getSize());
        EXPECT_EQ (plainValue (processor, ParameterIds::mix), 10.0f) << text;
    }

    juce::MemoryBlock savedState (BrakkleAudioProcessor& processor)
    {
        juce::MemoryBlock blob;
        processor.getStateInformation (blob);
        return blob;
    }
}

TEST (DamagedState, TextJuceCannotReadSafelyIsRefusedWhole)
{
    // JUCE's XML reader steps over a UTF-8 lead byte and the continuation bytes
    // it announces without looking at them: with a stray 0xff near the end it
    // read past the text (found by the state fuzz target under AddressSanitizer),
    // and with 0xf1 runs it could loop for ever. It read past the end as well
    // when the text ended inside a character reference ("&#x4"), and when the
    // name of an entity the text never defines began with '<' (the name is
    // read again as elements). A processing instruction followed by text
    // inside an element, or a malformed document type, made it loop for ever,
    // freezing the host while it loads the project. Such text is refused
    // before it is read, so nothing changes.
    const std::string good = "<PARAMETERS><PARAM id=\"mix\" value=\"10\"/></PARAMETERS>";

    struct Case
    {
        const char* name;
        std::string text;
    };

    const Case cases[] = {
        { "0xff run inside a processing instruction", "<?" + std::string (10, '\xff') + "?>" + good },
        { "0xff run at the very end", good + "<?" + std::string (11, '\xff') + "?>" },
        { "lead bytes without continuation bytes", "<?" + std::string (20, '\xf1') + " encoding=\"UTF-8\"?>" + good },
        { "a character cut short by the end", good + "<!-- \xe2\x82" },
        { "a stray continuation byte", "<PARAMETERS><PARAM id=\"mix\" value=\"10\x80\"/></PARAMETERS>" },
        { "a processing instruction among the elements", "<PARAMETERS><?x?>a<PARAM id=\"mix\" value=\"10\"/></PARAMETERS>" },
        { "an instruction after the first element", "<?xml version=\"1.0\"?><PARAMETERS><PARAM id=\"mix\" value=\"10\"/><?a?> b</PARAMETERS>" },
        { "the end inside a character reference", "<PARAMETERS><PARAM id=\"mix\" value=\"10\"/>&#x" },
        { "the end inside a character reference in a value", "<PARAMETERS><PARAM id=\"mix\" value=\"1&#x4" },
        { "the end after eight digits of one", "<PARAMETERS><PARAM id=\"mix\" value=\"10\"/>&#X0123abCD" },
        { "an entity name that reads as elements", "<PARAMETERS><PARAM id=\"mix\" value=\"10\"/>&<A>&#x0;</PARAMETERS>" },
        { "an entity the text never defines", "<PARAMETERS><PARAM id=\"mix\" value=\"&ten;\"/></PARAMETERS>" },
        { "an ampersand on its own", "<PARAMETERS><PARAM id=\"mix\" value=\"10\"/>a & b</PARAMETERS>" },
        { "a malformed document type", "<?xml version=\"1.0\"?><!DOCTYPE PARAMETERS [<!ENTITY ten \"100;!ENTITY e2 \"&ten;&ten;\">]>"
                                       "<PARAMETERS><PARAM id=\"mix\" value=\"&ten;\"/><PARAM id=\"input\" value=\"&e2;\"/></PARAMETERS>" },
        { "any document type", "<!DOCTYPE PARAMETERS [<!ENTITY ten \"10\">]><PARAMETERS><PARAM id=\"mix\" value=\"&ten;\"/></PARAMETERS>" },
        { "a lead byte that UTF-8 never uses", "<PARAMETERS><PARAM id=\"mix\" value=\"10\"/><!-- \xf8\x88\x80\x80\x80 --></PARAMETERS>" },
    };

    for (const auto& c : cases)
        expectRefusedWhole (c.text, c.name);

    // Well-formed text that is not ASCII, a closed character reference, and the
    // declaration JUCE writes, still restore.
    for (const char* text : { "<PARAMETERS><!-- &#x41; --><PARAM id=\"mix\" value=\"1&#x30;\"/></PARAMETERS>",
                              "<PARAMETERS>&lt;&AMP;&Quot;&apos;&gt;&#38;<PARAM id=\"mix\" value=\"10\"/></PARAMETERS>",
                              "<PARAMETERS><!-- \xc2\xbd \xe2\x88\x9e \xf0\x9f\x98\x80 --><PARAM id=\"mix\" value=\"10\"/></PARAMETERS>",
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<PARAMETERS><PARAM id=\"mix\" value=\"10\"/></PARAMETERS>" })
        expectMixRestoredAs10 (text);
}

TEST (DamagedState, NestingDeeperThanAnyStateIsRefusedBeforeItIsRead)
{
    // JUCE's XML reader reads each level of nesting one call deeper: a project
    // nested some tens of thousands of levels deep overflowed the host's stack
    // while it opened the project. However the levels are written, and
    // whatever markup around them could hide an element's start or end from a
    // count that does not read the text as that reader does, such a text is
    // refused whole and nothing changes.
    const std::string root = "<PARAMETERS><PARAM id=\"mix\" value=\"10\"/>";
    const auto levels = [] (const std::string& each, int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += each;
        return text;
    };

    struct Case
    {
        const char* name;
        std::string text;
    };

    const Case cases[] = {
        { "plain elements", root + levels ("<a>", 30000) },
        { "the root itself", levels ("<PARAMETERS>", 20000) },
        { "elements with attributes, closed again", root + levels ("<a b='1'>", 12000) + levels ("</a>", 12000) + "</PARAMETERS>" },
        { "an end tag in a comment after each", root + levels ("<a><!--</a>-->", 18000) },
        { "an end tag in CDATA after each", root + levels ("<a><![CDATA[</a>]]>", 13000) },
        { "an end tag in an attribute of each", root + levels ("<a b=\"</a>\">", 20000) },
        { "an end tag in an attribute of each, single quotes", root + levels ("<a b='</a>'>", 20000) },
        { "after a quote outside any attribute", root + "<a \"x\">" + levels ("<a>", 30000) + "\"" },
        { "after a reference that swallows a quote", root + "<a b=\"&#x4\">" + levels ("<a>", 30000) },
        { "after an attribute without quotes", root + "<a b=1>" + levels ("<a>", 30000) },
        { "with a gap after each '<'", root + levels ("< a>", 30000) },
        { "with a comment inside each tag", root + levels ("<a<!---->>", 20000) },
    };

    for (const auto& c : cases)
        expectRefusedWhole (c.text, c.name);

    // A state with more inside it than today's still restores: elements a
    // few levels deep, comments, instructions before the root, references
    // and markup characters in attribute values, and whatever follows the root.
    for (const char* text : { "<PARAMETERS><PARAM id=\"mix\" value=\"10\"><a><b><c x='1'/></b></a></PARAM></PARAMETERS>",
                              "<?xml version=\"1.0\"?>\n<!-- saved --><?later?>\n<PARAMETERS a='&lt;b&gt;' b = \"x>y&#10;</a>\">"
                              "<!-- </PARAMETERS> --><PARAM id=\"mix\" value=\"10\"/>\n</PARAMETERS>\n<after>" })
        expectMixRestoredAs10 (text);
}

TEST (DamagedState, ARepeatedAttributeReopensAsItPlays)
{
    // With "value" given twice, the parameter took the first, but the next save
    // wrote the last: the project reopened with another value than the one heard.
    struct Case
    {
        const char* name;
        const char* xml;
        const juce::String& id;
        float expected;
    };

    const Case cases[] = {
        { "two values", "<PARAMETERS><PARAM id=\"mix\" value=\"10\" value=\"40\"/></PARAMETERS>", ParameterIds::mix, 10.0f },
        { "three values, a switch", "<PARAMETERS><PARAM id=\"refreshSync\" value=\"0\" value=\"1\" value=\"1\"/></PARAMETERS>", ParameterIds::refreshSync, 0.0f },
        { "the id given twice", "<PARAMETERS><PARAM id=\"fadeVol\" value=\"-30\" id=\"mix\"/></PARAMETERS>", ParameterIds::fadeVol, -30.0f },
    };

    for (const auto& c : cases)
    {
        BrakkleAudioProcessor processor;
        const auto blob = blobAround (c.xml);
        processor.setStateInformation (blob.getData(), (int) blob.getSize());
        EXPECT_EQ (plainValue (processor, c.id), c.expected) << c.name;

        const auto saved = savedState (processor);
        BrakkleAudioProcessor reopened;
        reopened.setStateInformation (saved.getData(), (int) saved.getSize());
        EXPECT_EQ (parameterValues (reopened), parameterValues (processor)) << c.name;
    }
}

TEST (DamagedHost, SwitchesKeepAValueBetweenZeroAndOne)
{
    // JUCE's switch stored whatever normalised value a host sent, so the host
    // read back NaN or -1 as the switch's value and saved projects held "nan".
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();

    struct Case
    {
        const char* name;
        float before, sent, expected;
    };

    const Case cases[] = {
        { "NaN keeps on", 1.0f, nan, 1.0f },
        { "NaN keeps off", 0.0f, nan, 0.0f },
        { "below zero is off", 1.0f, -1.0f, 0.0f },
        { "minus infinity is off", 1.0f, -inf, 0.0f },
        { "above one is on", 0.0f, 2.0f, 1.0f },
        { "infinity is on", 0.0f, inf, 1.0f },
        { "in between stays as sent", 0.0f, 0.7f, 0.7f },
    };

    for (const auto& id : { ParameterIds::stutterSync, ParameterIds::refreshSync })
        for (const auto& c : cases)
        {
            BrakkleAudioProcessor processor;
            processor.prepareToPlay (44100.0, 64);
            auto* parameter = processor.parameters.getParameter (id);
            parameter->setValueNotifyingHost (c.before);
            parameter->setValueNotifyingHost (c.sent);

            EXPECT_EQ (parameter->getValue(), c.expected) << id << ": " << c.name;

            const float plain = plainValue (processor, id);
            EXPECT_TRUE (juce::exactlyEqual (plain, 0.0f) || juce::exactlyEqual (plain, 1.0f)) << id << ": " << c.name << " gives " << plain;

            const auto saved = savedState (processor);
            EXPECT_FALSE (saved.toString().containsIgnoreCase ("nan")) << id << ": " << c.name;
            BrakkleAudioProcessor reopened;
            reopened.setStateInformation (saved.getData(), (int) saved.getSize());
            EXPECT_EQ (plainValue (reopened, id), plain) << id << ": " << c.name;
        }
}

TEST (DamagedHost, BlocksLargerThanPreparedAreProcessedInFull)
{
    // Prepared for 64 samples, handed up to 8192 at once: every sample is
    // processed, exactly as in blocks of the announced size.
    struct Case
    {
        const char* name;
        int channels;
        std::vector<int> sizes;
    };

    const Case cases[] = {
        { "stereo, far beyond", 2, { 4096, 8192, 1000, 65, 3000 } },
        { "mono, growing", 1, { 64, 65, 128, 1024, 8192 } },
        { "stereo, alternating", 2, { 1, 4096, 1, 4096, 64 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        int total = 0;
        for (auto n : c.sizes)
            total += n;

        const auto input = brakkle::test::noise (c.channels, total, 21);

        const auto render = [&] (int prepared, const std::vector<int>& sizes)
        {
            BrakkleAudioProcessor processor;
            EXPECT_TRUE (brakkle::test::useChannels (processor, c.channels));

            brakkle::test::FakePlayHead head;
            processor.setPlayHead (&head);
            processor.prepareToPlay (48000.0, prepared);
            setPlain (processor, ParameterIds::stutterTimeBpm, 4.0f);
            setPlain (processor, ParameterIds::refreshTimeBpm, 7.0f);
            setPlain (processor, ParameterIds::filterMix, -50.0f);

            juce::AudioBuffer<float> output (c.channels, total);
            juce::MidiBuffer midi;
            int start = 0;
            for (auto n : sizes)
            {
                juce::AudioBuffer<float> block (c.channels, n);
                for (int ch = 0; ch < c.channels; ++ch)
                    block.copyFrom (ch, 0, input, ch, start, n);
                processor.processBlock (block, midi);
                for (int ch = 0; ch < c.channels; ++ch)
                    output.copyFrom (ch, start, block, ch, 0, n);
                start += n;
            }
            return output;
        };

        std::vector<int> announced (((size_t) total + 63) / 64, 64);
        announced.back() = total - 64 * ((int) announced.size() - 1);

        const auto expected = render (64, announced);
        const auto actual = render (64, c.sizes);

        ASSERT_EQ (brakkle::test::firstDifference (actual, expected), "");
    }
}

TEST (DamagedText, ExponentsTooLongForJucesReaderReadAsWhatTheyMean)
{
    // JUCE gathers an exponent's digits in an int: ten or more digits overflowed
    // it (found by the parameter-text fuzz target under UndefinedBehaviorSanitizer)
    // and, wrapping, "5e4294967298" read as 500.
    struct Case
    {
        const juce::String& id;
        const char* text;
        float expected;
    };

    const Case cases[] = {
        { ParameterIds::stutterTimeFree, "5e4294967298", 1000.0f },          // far beyond the range: the top
        { ParameterIds::filterFreq, "5e4294967298 Hz", 12000.0f },
        { ParameterIds::filterFreq, "5E+00004294967298", 12000.0f },
        { ParameterIds::output, "-1e99999999999999999999", -24.0f },
        { ParameterIds::refreshTimeFree, "7e-4294967298", 10.0f },           // as good as zero: the bottom
        { ParameterIds::mix, "1.5e-99999999999", 0.0f },
        { ParameterIds::input, "6e0000000000001", 24.0f },                   // leading zeros are no digits: 60
        { ParameterIds::fadeMix, "-12.5e0", -12.5f },                        // ordinary texts as before
        { ParameterIds::stereoMix, "25 e12345678901", 25.0f },               // not part of the number
    };

    for (const auto& c : cases)
    {
        BrakkleAudioProcessor processor;
        auto* parameter = processor.parameters.getParameter (c.id);
        parameter->setValueNotifyingHost (parameter->getValueForText (c.text));
        EXPECT_EQ (plainValue (processor, c.id), c.expected) << c.id << " from \"" << c.text << "\"";
    }
}
