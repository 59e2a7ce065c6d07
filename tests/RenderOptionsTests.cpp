#include "RenderOptions.h"

#include <gtest/gtest.h>

using brakkle::render::parseRenderOptions;
using brakkle::render::RenderOptions;

namespace
{
    juce::String parse (const juce::String& commandLine, RenderOptions& options)
    {
        return parseRenderOptions (juce::StringArray::fromTokens (commandLine, " ", "\""), options);
    }
}

TEST (RenderOptions, AcceptsTheDocumentedForms)
{
    RenderOptions options;
    const juce::StringArray arguments { "--out", "o.wav", "--bpm", "128", "--block", "64", "--bits", "24", "--stopped",
                                        "--param", "mix=50", "--param", "stutterTimeBpm=1/16", "--param=refreshSync=off",
                                        "--param", "stutterTimeBpm=1/8 D", "--meter", "7/8", "--start=2.5", "--preroll", "1776" };
    ASSERT_EQ (parseRenderOptions (arguments, options), juce::String());
    EXPECT_EQ (options.output.getFileName(), juce::String ("o.wav"));
    EXPECT_EQ (options.bpm, 128.0);
    EXPECT_EQ (options.blockSize, 64);
    EXPECT_EQ (options.bits, 24);
    EXPECT_TRUE (options.stopped);
    EXPECT_EQ (options.meterNumerator, 7);
    EXPECT_EQ (options.meterDenominator, 8);
    EXPECT_EQ (options.startBeats, 2.5);
    EXPECT_EQ (options.preroll, 1776);
    ASSERT_EQ (options.parameters.size(), 4u);
    EXPECT_EQ (options.parameters[0].id, juce::String ("mix"));
    EXPECT_EQ (options.parameters[0].value, 50.0f);
    EXPECT_EQ (options.parameters[0].normalised, 0.5f);
    EXPECT_EQ (options.parameters[1].value, 7.0f);
    EXPECT_EQ (options.parameters[2].value, 0.0f);
    EXPECT_EQ (options.parameters[3].value, 11.0f);
    EXPECT_EQ (options.parameters[3].normalised, 11.0f / 19.0f);

    // The bundle: this build's VST3 unless told otherwise.
    EXPECT_EQ (options.format, juce::String ("vst3"));
    EXPECT_EQ (options.bundle, juce::File());
    RenderOptions lv2;
    ASSERT_EQ (parseRenderOptions ({ "--out", "o.wav", "--format", "lv2" }, lv2), juce::String());
    EXPECT_EQ (lv2.format, juce::String ("lv2"));
    RenderOptions clap;
    ASSERT_EQ (parseRenderOptions ({ "--out", "o.wav", "--format", "clap" }, clap), juce::String());
    EXPECT_EQ (clap.format, juce::String ("clap"));
    RenderOptions named;
    ASSERT_EQ (parseRenderOptions ({ "--out", "o.wav", "--bundle=elsewhere/Brakkle.lv2" }, named), juce::String());
    EXPECT_EQ (named.bundle.getFileName(), juce::String ("Brakkle.lv2"));
    // Without them the host reports its tempo, loops nowhere and runs through its pre-roll.
    EXPECT_TRUE (options.reportsTempo);
    EXPECT_FALSE (options.loops);
    EXPECT_FALSE (options.holdPreroll);
}

TEST (RenderOptions, TakesValuesAsTheWindowShowsThem)
{
    // Each value as the plug-in's window shows it (or as a user types it
    // there), in the parameter's own units; normalised over its range.
    struct Case
    {
        const char* setting;
        float value, normalised;
    };
    const Case cases[] = {
        { "fillOffset=12/16",          12.0f, 12.0f / 15.0f },
        { "fillOffset=0/16",            0.0f, 0.0f },
        { "fillOffset=3/4",            12.0f, 12.0f / 15.0f },   // a quarter is four sixteenths
        { "fillOffset=15",             15.0f, 1.0f },
        { "fillGate=4/16",              4.0f, 3.0f / 15.0f },
        { "fillGate=16/16",            16.0f, 1.0f },
        { "fillGate=1/2",               8.0f, 7.0f / 15.0f },
        { "fillChance=50 %",           50.0f, 0.5f },
        { "fillChance=50%",            50.0f, 0.5f },
        { "fillChance=50",             50.0f, 0.5f },
        { "fillChance=0 %",             0.0f, 0.0f },
        { "fillSeed=7",                 7.0f, 6.0f / 127.0f },
        { "fillSeed=128",             128.0f, 1.0f },
        { "filterFreq=8.00 kHz",     8000.0f, 7500.0f / 11500.0f },
        { "filterFreq=2.5k",         2500.0f, 2000.0f / 11500.0f },
        { "filterFreq=750 Hz",        750.0f, 250.0f / 11500.0f },
        { "filterFreq=9000",         9000.0f, 8500.0f / 11500.0f },
        { "refreshTimeBpm=1 BAR",      18.0f, 18.0f / 19.0f },
        { "stutterTimeBpm=1/8 D",      11.0f, 11.0f / 19.0f },
        { "stutterTimeBpm=1/8 d",      11.0f, 11.0f / 19.0f },
        { "stutterTimeBpm=13",         13.0f, 13.0f / 19.0f },
        { "input=-6",                  -6.0f, 18.0f / 48.0f },
        { "fadeVol=-12.00",           -12.0f, 24.0f / 36.0f },
        { "mix=50",                    50.0f, 0.5f },
        { "stutterTimeFree=120.4",    120.4f, 110.4f / 990.0f },
        { "gridLock=on",                1.0f, 1.0f },
        { "gridLock=true",              1.0f, 1.0f },
        { "stutterSync=off",            0.0f, 0.0f },
        { "stutterSync=0",              0.0f, 0.0f },
    };

    for (const auto& c : cases)
    {
        brakkle::render::ParameterSetting setting;
        ASSERT_EQ (brakkle::render::parseParameterSetting (c.setting, setting), juce::String()) << c.setting;
        EXPECT_EQ (setting.id, juce::String (c.setting).upToFirstOccurrenceOf ("=", false, false)) << c.setting;
        EXPECT_FLOAT_EQ (setting.value, c.value) << c.setting;
        EXPECT_FLOAT_EQ (setting.normalised, c.normalised) << c.setting;
    }

    // And on the command line, with the space a shell passes inside quotes.
    RenderOptions options;
    const juce::StringArray arguments { "--out", "o.wav", "--param", "fillOffset=12/16", "--param", "fillChance=50 %", "--param=fillSeed=7" };
    ASSERT_EQ (parseRenderOptions (arguments, options), juce::String());
    ASSERT_EQ (options.parameters.size(), 3u);
    EXPECT_EQ (options.parameters[1].id, juce::String ("fillChance"));
    EXPECT_EQ (options.parameters[1].value, 50.0f);
}

TEST (RenderOptions, AcceptsHostBehaviours)
{
    struct Case
    {
        const char* commandLine;
        bool loops, reportsLoop;
        double loopStart, loopEnd;
        bool holdPreroll, reportsTempo;
    };
    const Case cases[] = {
        { "--out o.wav --loop 4,8", true, true, 4.0, 8.0, false, true },
        { "--out o.wav --loop=1.5,2.875 --loop-unreported", true, false, 1.5, 2.875, false, true },
        { "--out o.wav --loop-unreported --loop 0,0.25", true, false, 0.0, 0.25, false, true },
        { "--out o.wav --preroll 1100 --preroll-hold", false, true, 0.0, 0.0, true, true },
        { "--out o.wav --no-tempo", false, true, 0.0, 0.0, false, false },
    };

    for (const auto& c : cases)
    {
        RenderOptions options;
        ASSERT_EQ (parse (c.commandLine, options), juce::String()) << c.commandLine;
        EXPECT_EQ (options.loops, c.loops) << c.commandLine;
        EXPECT_EQ (options.reportsLoop, c.reportsLoop) << c.commandLine;
        EXPECT_EQ (options.loopStart, c.loopStart) << c.commandLine;
        EXPECT_EQ (options.loopEnd, c.loopEnd) << c.commandLine;
        EXPECT_EQ (options.holdPreroll, c.holdPreroll) << c.commandLine;
        EXPECT_EQ (options.reportsTempo, c.reportsTempo) << c.commandLine;
    }
}

TEST (RenderOptions, PressesBecomeRepeatOnAndOffInTheSchedule)
{
    RenderOptions options;
    ASSERT_EQ (parse ("--out o.wav --press 1.02,2 --press=4.5,6.25", options), juce::String());
    EXPECT_EQ (options.presses.joinIntoString ("|"),
               juce::String ("1.020000b repeatHold=on|2.000000b repeatHold=off|4.500000b repeatHold=on|6.250000b repeatHold=off"));
}

TEST (RenderOptions, RefusesBadInputWithAClearReason)
{
    struct Case
    {
        const char* commandLine;
        const char* reasonContains;
    };
    const Case cases[] = {
        { "--bpm 120", "--out is required" },
        { "--out o.wav --param nosuch=1", "unknown parameter \"nosuch\"" },
        { "--out o.wav --param mix=loud", "not a number" },
        { "--out o.wav --param mix", "id=value" },
        { "--out o.wav --param mix=150", "the range is 0 to 100" },
        { "--out o.wav --param stutterTimeFree=5", "the range is 10 to 1000" },
        { "--out o.wav --param stutterTimeBpm=1/128", "not a number" },
        { "--out o.wav --param stutterSync=maybe", "on or off" },
        { "--out o.wav --param mix=nan", "not a number" },
        { "--out o.wav --param fillOffset=late", "like 12/16" },
        { "--out o.wav --param fillOffset=/16", "not a number" },
        { "--out o.wav --param fillOffset=16/16", "the range is 0 to 15: 0/16 to 15/16" },
        { "--out o.wav --param fillGate=0/16", "the range is 1 to 16: 1/16 to 16/16" },
        { "--out o.wav --param fillGate=2/1", "the range is 1 to 16" },
        { "--out o.wav --param fillChance=often", "like 50 %" },
        { "--out o.wav --param fillChance=150%", "the range is 0 to 100" },
        { "--out o.wav --param fillSeed=none", "not a number" },
        { "--out o.wav --param fillSeed=0", "the range is 1 to 128" },
        { "--out o.wav --param filterFreq=bright", "like 8 kHz" },
        { "--out o.wav --param filterFreq=20k", "the range is 500 to 12000" },
        { "--out o.wav --param refreshTimeBpm=20", "the range is 0 to 19: 1/64 T to 2 BARS" },
        { "--out o.wav --bpm 0", "--bpm" },
        { "--out o.wav --bpm fast", "--bpm" },
        { "--out o.wav --block 0", "--block" },
        { "--out o.wav --bits 8", "--bits" },
        { "--out o.wav --meter 4", "--meter takes a time signature" },
        { "--out o.wav --meter 4/3", "--meter takes a time signature" },
        { "--out o.wav --meter 0/4", "--meter takes a time signature" },
        { "--out o.wav --meter 33/4", "--meter takes a time signature" },
        { "--out o.wav --meter 3/4/4", "--meter takes a time signature" },
        { "--out o.wav --start -1", "--start takes a position in beats" },
        { "--out o.wav --start bar2", "--start takes a position in beats" },
        { "--out o.wav --start inf", "--start takes a position in beats" },
        { "--out o.wav --preroll -1", "--preroll takes a whole number of samples" },
        { "--out o.wav --preroll 1.5", "--preroll takes a whole number of samples" },
        { "--out o.wav --preroll 1920001", "--preroll takes a whole number of samples" },
        { "--out o.wav --preroll", "needs a value" },
        { "--out o.wav --format au", "--format takes vst3, lv2 or clap" },
        { "--out o.wav --format", "needs a value" },
        { "--out o.wav --format lv2 --bundle Brakkle.lv2", "either --format or --bundle" },
        { "--out o.wav --preroll-hold", "--preroll-hold needs a --preroll" },
        { "--out o.wav --preroll 0 --preroll-hold", "--preroll-hold needs a --preroll" },
        { "--out o.wav --loop 4", "--loop takes two song positions in beats" },
        { "--out o.wav --loop 8,4", "--loop takes two song positions in beats" },
        { "--out o.wav --loop 4,4", "--loop takes two song positions in beats" },
        { "--out o.wav --loop -1,4", "--loop takes two song positions in beats" },
        { "--out o.wav --loop 0,bar", "--loop takes two song positions in beats" },
        { "--out o.wav --loop 0,100001", "--loop takes two song positions in beats" },
        { "--out o.wav --press 4", "--press takes two times in beats" },
        { "--out o.wav --press 6,4", "--press takes two times in beats" },
        { "--out o.wav --press 4,4", "--press takes two times in beats" },
        { "--out o.wav --press soon,6", "--press takes two times in beats" },
        { "--out o.wav --loop", "needs a value" },
        { "--out o.wav --loop-unreported", "--loop-unreported needs a --loop" },
        { "--out o.wav --wobble", "unknown option" },
        { "--out", "needs a value" },
        { "--in same.wav --out same.wav", "must not name the input" },
    };

    for (const auto& c : cases)
    {
        RenderOptions options;
        const auto error = parse (c.commandLine, options);
        EXPECT_TRUE (error.contains (c.reasonContains)) << c.commandLine << " gave \"" << error << "\"";
    }
}
