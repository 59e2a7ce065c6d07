#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
    struct ParameterRow
    {
        const char* id;
        const char* name;
        float minimum, maximum, step, defaultValue;
        const char* defaultText;
        int versionHint = 1;
    };

    // What hosts list, in order.
    const ParameterRow expectedParameters[] = {
        { "stutterTimeFree", "Stutter Time Free", 10.0f, 1000.0f, 1.0f, 200.0f, "200" },
        { "stutterTimeBpm", "Stutter Time BPM", 0.0f, 19.0f, 1.0f, 11.0f, "1/8 D" },
        { "stutterSync", "Stutter Sync", 0.0f, 1.0f, 1.0f, 1.0f, "On" },
        { "refreshTimeFree", "Refresh Time Free", 10.0f, 1000.0f, 1.0f, 200.0f, "200" },
        { "refreshTimeBpm", "Refresh Time BPM", 0.0f, 19.0f, 1.0f, 13.0f, "1/4" },
        { "refreshSync", "Refresh Sync", 0.0f, 1.0f, 1.0f, 1.0f, "On" },
        { "input", "Input", -24.0f, 24.0f, 0.01f, 0.0f, "0" },
        { "mix", "Mix", 0.0f, 100.0f, 0.01f, 100.0f, "100.00" },
        { "output", "Output", -24.0f, 24.0f, 0.01f, 0.0f, "0" },
        { "filterFreq", "Filter Frequency", 500.0f, 12000.0f, 1.0f, 8000.0f, "8.00 kHz" },
        { "filterMix", "Filter Mix", -100.0f, 100.0f, 0.01f, 0.0f, "0" },
        { "fadeVol", "Fade Volume", -36.0f, 0.0f, 0.01f, -12.0f, "-12.00" },
        { "fadeMix", "Fade Mix", -100.0f, 100.0f, 0.01f, 0.0f, "0" },
        { "stereoWidth", "Stereo Width", 0.0f, 100.0f, 0.01f, 100.0f, "100.00" },
        { "stereoMix", "Stereo Mix", -100.0f, 100.0f, 0.01f, 0.0f, "0" },
        // Appended in a later release, so hosts that care see it as new.
        { "gridLock", "Grid Lock", 0.0f, 1.0f, 1.0f, 0.0f, "Off", 2 },
        { "fillOffset", "Offset", 0.0f, 15.0f, 1.0f, 0.0f, "0/16", 3 },
        { "fillGate", "Gate", 1.0f, 16.0f, 1.0f, 16.0f, "16/16", 3 },
        { "fillChance", "Chance", 0.0f, 100.0f, 1.0f, 100.0f, "100 %", 3 },
        { "fillSeed", "Seed", 1.0f, 128.0f, 1.0f, 1.0f, "1", 3 },
        { "repeatHold", "Repeat", 0.0f, 1.0f, 1.0f, 0.0f, "Off", 4 },
        { "variation", "Variation", 0.0f, 100.0f, 1.0f, 0.0f, "0 %", 5 },
        { "pitch", "Pitch", -24.0f, 0.0f, 1.0f, 0.0f, "0 st", 5 },
        { "pitchDecay", "Pitch Decay", 0.0f, 100.0f, 1.0f, 0.0f, "0 %", 5 },
        { "reverse", "Reverse", 0.0f, 2.0f, 1.0f, 0.0f, "Off", 5 },
    };

    class Parameters : public ::testing::Test
    {
    protected:
        BrakkleAudioProcessor processor;

        juce::RangedAudioParameter& parameter (const juce::String& id)
        {
            auto* p = processor.parameters.getParameter (id);
            EXPECT_NE (p, nullptr) << id;
            return *p;
        }

        juce::String textFor (const juce::String& id, float plain)
        {
            auto& p = parameter (id);
            return p.getText (p.convertTo0to1 (plain), 1024);
        }

        float valueForText (const juce::String& id, const juce::String& text)
        {
            auto& p = parameter (id);
            return p.convertFrom0to1 (p.getValueForText (text));
        }

        float plainValue (const juce::String& id)
        {
            return processor.parameters.getRawParameterValue (id)->load();
        }
    };
}

TEST_F (Parameters, ListInOrderWithNamesRangesDefaultsAndTexts)
{
    const auto& list = processor.getParameters();
    ASSERT_EQ (list.size(), 25);

    for (int i = 0; i < list.size(); ++i)
    {
        const auto& row = expectedParameters[i];
        auto* p = dynamic_cast<juce::RangedAudioParameter*> (list[i]);
        ASSERT_NE (p, nullptr);
        SCOPED_TRACE (row.id);

        EXPECT_EQ (p->getParameterID(), juce::String (row.id));
        EXPECT_EQ (p->getVersionHint(), row.versionHint);
        EXPECT_EQ (p->getName (1024), juce::String (row.name));
        EXPECT_EQ (p->getLabel(), juce::String());
        EXPECT_TRUE (p->isAutomatable());
        EXPECT_FALSE (p->isMetaParameter());
        EXPECT_EQ (p->getCategory(), juce::AudioProcessorParameter::genericParameter);

        const auto& range = p->getNormalisableRange();
        EXPECT_EQ (range.start, row.minimum);
        EXPECT_EQ (range.end, row.maximum);
        EXPECT_EQ (range.interval, row.step);
        EXPECT_EQ (range.skew, 1.0f);

        EXPECT_EQ (p->convertFrom0to1 (p->getDefaultValue()), row.defaultValue);
        EXPECT_EQ (p->getCurrentValueAsText(), juce::String (row.defaultText));
        // JUCE's tree starts from the unsnapped default (8000 Hz reads 7999.9995).
        EXPECT_FLOAT_EQ (plainValue (row.id), row.defaultValue);
    }

    EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (list[2]), nullptr);
    EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (list[5]), nullptr);
    EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (list[15]), nullptr);
    EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (list[20]), nullptr);
}

TEST_F (Parameters, ValueToText)
{
    struct Case
    {
        const juce::String& id;
        float value;
        const char* text;
    };
    const Case cases[] = {
        { ParameterIds::stutterTimeFree, 200.0f, "200" },
        { ParameterIds::stutterTimeFree, 1000.0f, "1000" },
        { ParameterIds::refreshTimeFree, 10.0f, "10" },
        { ParameterIds::stutterTimeBpm, 0.0f, "1/64 T" },
        { ParameterIds::stutterTimeBpm, 11.0f, "1/8 D" },
        { ParameterIds::refreshTimeBpm, 19.0f, "2 BARS" },
        { ParameterIds::refreshTimeBpm, 18.0f, "1 BAR" },
        { ParameterIds::input, 0.0f, "0" },
        { ParameterIds::input, 0.5f, "0.50" },
        { ParameterIds::input, -24.0f, "-24.00" },
        { ParameterIds::input, 24.0f, "24.00" },
        { ParameterIds::input, 0.01f, "0.01" },
        { ParameterIds::mix, 100.0f, "100.00" },
        { ParameterIds::fadeVol, -12.0f, "-12.00" },
        { ParameterIds::filterMix, -0.01f, "-0.01" },
        { ParameterIds::filterFreq, 8000.0f, "8.00 kHz" },
        { ParameterIds::filterFreq, 1001.0f, "1.00 kHz" },
        { ParameterIds::filterFreq, 1000.0f, "1000 Hz" },
        { ParameterIds::filterFreq, 500.0f, "500 Hz" },
        { ParameterIds::filterFreq, 12000.0f, "12.00 kHz" },
        { ParameterIds::stutterSync, 0.0f, "Off" },
        { ParameterIds::refreshSync, 1.0f, "On" },
        { ParameterIds::fillOffset, 0.0f, "0/16" },
        { ParameterIds::fillOffset, 12.0f, "12/16" },
        { ParameterIds::fillGate, 4.0f, "4/16" },
        { ParameterIds::fillGate, 16.0f, "16/16" },
        { ParameterIds::fillChance, 50.0f, "50 %" },
        { ParameterIds::fillChance, 0.0f, "0 %" },
        { ParameterIds::fillSeed, 7.0f, "7" },
        { ParameterIds::fillSeed, 128.0f, "128" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (textFor (c.id, c.value), juce::String (c.text)) << c.id << " at " << c.value;
}

TEST_F (Parameters, TextToValue)
{
    struct Case
    {
        const juce::String& id;
        const char* text;
        float value;
    };
    const Case cases[] = {
        { ParameterIds::stutterTimeBpm, "1/8", 10.0f },
        { ParameterIds::refreshTimeBpm, "2 BARS", 19.0f },
        // Names match in any case, with spaces around; a plain number is the index.
        { ParameterIds::stutterTimeBpm, "1/8 d", 11.0f },
        { ParameterIds::stutterTimeBpm, " 1/8", 10.0f },
        { ParameterIds::stutterTimeBpm, "1/8 ", 10.0f },
        { ParameterIds::refreshTimeBpm, " 1 bar ", 18.0f },
        { ParameterIds::refreshTimeBpm, "2 Bars", 19.0f },
        { ParameterIds::stutterTimeBpm, "13", 13.0f },
        // Neither a name nor a number: the current value stays ("1/8 D" and "1/4" here).
        { ParameterIds::stutterTimeBpm, "abc", 11.0f },
        { ParameterIds::stutterTimeBpm, "1/3", 11.0f },
        { ParameterIds::refreshTimeBpm, "nan", 13.0f },
        { ParameterIds::refreshTimeBpm, "", 13.0f },
        // A leading number in the parameter's own unit; the rest is ignored.
        { ParameterIds::input, "-6 dB", -6.0f },
        { ParameterIds::stutterTimeFree, "250ms", 250.0f },
        // Frequencies in kilohertz with a "k" or "kHz" in any case, otherwise in hertz.
        { ParameterIds::filterFreq, "2.5 kHz", 2500.0f },
        { ParameterIds::filterFreq, "8.00 kHz", 8000.0f },
        { ParameterIds::filterFreq, "9.00 kHz", 9000.0f },
        { ParameterIds::filterFreq, "9 kHz", 9000.0f },
        { ParameterIds::filterFreq, "9k", 9000.0f },
        { ParameterIds::filterFreq, "2.5k", 2500.0f },
        { ParameterIds::filterFreq, " 3 K ", 3000.0f },
        { ParameterIds::filterFreq, "1.25KHZ", 1250.0f },
        { ParameterIds::filterFreq, "750 Hz", 750.0f },
        { ParameterIds::filterFreq, "750hz", 750.0f },
        { ParameterIds::filterFreq, "4100", 4100.0f },
        { ParameterIds::filterFreq, "1e1 k", 10000.0f },
        { ParameterIds::filterFreq, "nan k", 8000.0f },      // no number: the current value
        { ParameterIds::stutterTimeFree, "5000", 1000.0f },   // clamped to the range
        { ParameterIds::fadeVol, "abc", -12.0f },             // no number: the current value
        { ParameterIds::refreshTimeFree, "abc", 200.0f },
        { ParameterIds::filterFreq, "zzz", 8000.0f },
        { ParameterIds::filterFreq, "kHz", 8000.0f },
        { ParameterIds::input, "", 0.0f },
        { ParameterIds::stereoWidth, " dB", 100.0f },
        { ParameterIds::mix, "  42.5", 42.5f },
        { ParameterIds::output, "1e1", 10.0f },
        { ParameterIds::output, "inf", 24.0f },
        { ParameterIds::output, "-inf", -24.0f },
        { ParameterIds::stereoMix, "12.345", 12.35f },        // snapped to the 0.01 step
        // Shares of the period in sixteenths, as shown or as any other fraction.
        { ParameterIds::fillOffset, "12/16", 12.0f },
        { ParameterIds::fillOffset, " 12 / 16 ", 12.0f },
        { ParameterIds::fillOffset, "12", 12.0f },
        { ParameterIds::fillOffset, "3/4", 12.0f },
        { ParameterIds::fillGate, "1/2", 8.0f },
        { ParameterIds::fillGate, "4/16", 4.0f },
        { ParameterIds::fillGate, "0/16", 1.0f },             // clamped to the range
        { ParameterIds::fillGate, "32/16", 16.0f },
        { ParameterIds::fillGate, "5/0", 5.0f },              // no fraction: the number
        { ParameterIds::fillOffset, "zzz", 0.0f },            // no number: the current value
        { ParameterIds::fillGate, "/16", 16.0f },
        { ParameterIds::fillChance, "50 %", 50.0f },
        { ParameterIds::fillChance, "50%", 50.0f },
        { ParameterIds::fillChance, "33.4", 33.0f },          // whole percents
        { ParameterIds::fillChance, "%", 100.0f },
        { ParameterIds::fillSeed, "7", 7.0f },
        { ParameterIds::fillSeed, "0", 1.0f },
        { ParameterIds::fillSeed, "500", 128.0f },
        { ParameterIds::fillSeed, "seed", 1.0f },
        // Switches take their names, yes and no, true and false, or a number.
        { ParameterIds::gridLock, "On", 1.0f },
        { ParameterIds::gridLock, "yes", 1.0f },
        { ParameterIds::gridLock, " TRUE ", 1.0f },
        { ParameterIds::gridLock, "1", 1.0f },
        { ParameterIds::stutterSync, "off", 0.0f },
        { ParameterIds::stutterSync, "No", 0.0f },
        { ParameterIds::stutterSync, "0", 0.0f },
        { ParameterIds::stutterSync, "zzz", 1.0f },           // neither: the current value
        { ParameterIds::gridLock, "zzz", 0.0f },
        { ParameterIds::refreshSync, "", 1.0f },
        { ParameterIds::mix, "nan", 100.0f },                 // no number: the current value
        { ParameterIds::fadeVol, "-NaN dB", -12.0f },
    };

    for (const auto& c : cases)
        EXPECT_FLOAT_EQ (valueForText (c.id, c.text), c.value) << c.id << " from \"" << c.text << "\"";
}

TEST_F (Parameters, TypedNotANumberKeepsTheCurrentValue)
{
    // Every kind of parameter, switches included (those On and those Off).
    for (const auto& spec : parameterTable)
    {
        auto& p = parameter (spec.id);
        const float before = plainValue (spec.id);

        for (const char* text : { "nan", "NaN", "-nan", "zzz", "", "k" })
        {
            p.setValueNotifyingHost (p.getValueForText (text));
            EXPECT_FLOAT_EQ (plainValue (spec.id), before) << spec.id << " after \"" << text << "\"";
            EXPECT_FLOAT_EQ (p.convertFrom0to1 (p.getValue()), before) << spec.id;
        }
    }

    // The engine never sees it either.
    processor.prepareToPlay (44100.0, 64);
    EXPECT_FLOAT_EQ ((float) processor.stutterEngine.filterFreq, 8000.0f);
}

TEST_F (Parameters, FrequencyTextsReadBackAsTheValueTheyShow)
{
    // "8.00 kHz" is 8000 Hz: whatever the box shows, typed back in, lands on the
    // value it shows, to its last digit (10 Hz for kilohertz, 1 Hz below).
    for (int hz = 500; hz <= 12000; ++hz)
    {
        const auto shown = textFor (ParameterIds::filterFreq, (float) hz);
        const float readBack = valueForText (ParameterIds::filterFreq, shown);
        ASSERT_LE (std::abs (readBack - (float) hz), hz > 1000 ? 5.0f : 0.0f) << hz << " Hz shows \"" << shown << "\"";
        ASSERT_EQ (valueForText (ParameterIds::filterFreq, textFor (ParameterIds::filterFreq, readBack)), readBack) << hz << " Hz";
    }
}
