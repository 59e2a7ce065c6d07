// The renderer's parts: schedules, block splitting, slice marks, WAV formats,
// pictures; and a scheduled render against the plug-in driven by hand.

#include "DemoLoop.h"
#include "Plot.h"
#include "Render.h"
#include "Schedule.h"
#include "SliceMarks.h"
#include "WavIO.h"

#include "processor/ParameterIds.h"
#include "support/ReferencePipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

using namespace brakkle::render;

namespace
{
    std::unique_ptr<brakkle::host::HostedPlugin> loadBrakkle (int channels, double rate, int block)
    {
        juce::String error;
        auto plugin = brakkle::host::HostedPlugin::load (brakkle::host::defaultBundle(), rate, block, channels, error);
        EXPECT_NE (plugin, nullptr) << error;
        return plugin;
    }

    juce::AudioBuffer<float> tone (int channels, int samples, double rate)
    {
        juce::AudioBuffer<float> b (channels, samples);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < samples; ++i)
                b.setSample (c, i, 0.6f * std::sin ((float) (juce::MathConstants<double>::twoPi * (220.0 + 110.0 * c) * i / rate)));
        return b;
    }

    /** What a WAV file's format chunk says: channels, rate, bits and whether
        the samples are floating point. */
    struct WavFormat
    {
        int channels = 0, rate = 0, bits = 0;
        bool isFloat = false;
    };

    WavFormat wavFormat (const juce::File& file)
    {
        juce::MemoryBlock data;
        if (! file.loadFileAsData (data) || data.getSize() < 12)
            return {};
        const auto* b = static_cast<const juce::uint8*> (data.getData());
        for (size_t at = 12; at + 8 <= data.getSize();)
        {
            const auto size = (size_t) juce::ByteOrder::littleEndianInt (b + at + 4);
            if (juce::String ((const char*) b + at, 4) == "fmt " && at + 8 + 16 <= data.getSize())
            {
                const auto* f = b + at + 8;
                auto tag = juce::ByteOrder::littleEndianShort (f);
                if (tag == 0xfffe && size >= 26)   // extensible: the real tag opens the sub-format
                    tag = juce::ByteOrder::littleEndianShort (f + 24);
                return { (int) juce::ByteOrder::littleEndianShort (f + 2), (int) juce::ByteOrder::littleEndianInt (f + 4),
                         (int) juce::ByteOrder::littleEndianShort (f + 14), tag == 3 };
            }
            at += 8 + size + (size & 1);
        }
        return {};
    }

    /** Width and height from a PNG file's header. */
    std::pair<int, int> pngSize (const juce::File& file)
    {
        juce::MemoryBlock data;
        if (! file.loadFileAsData (data) || data.getSize() < 24)
            return { 0, 0 };
        const auto* b = static_cast<const juce::uint8*> (data.getData());
        return { (int) juce::ByteOrder::bigEndianInt (b + 16), (int) juce::ByteOrder::bigEndianInt (b + 20) };
    }
}

TEST (Schedule, ParsesTimesInSecondsAndBeatsWithTempoChanges)
{
    std::vector<ScheduleEvent> events;
    const auto error = parseSchedule ("# a comment line\n"
                                      "0      stutterTimeBpm=1/16\n"
                                      "\n"
                                      "4b     filterMix=100   # two seconds at 120 BPM\n"
                                      "2.5s   stop\n"
                                      "3      play\n"
                                      "8b     bpm=60\n"
                                      "10b    refreshSync=off\n"
                                      "12b    locate=2.5   # the song position jumps; the schedule's beats do not\n"
                                      "13b    stop\n",
                                      1000.0, 120.0, events);
    ASSERT_EQ (error, juce::String());
    ASSERT_EQ (events.size(), 8u);

    // Beat 10 is 2 beats at 60 BPM after beat 8; beat 13 one after beat 12.
    const juce::int64 samples[] = { 0, 2000, 2500, 3000, 4000, 6000, 8000, 9000 };
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ (events[i].sample, samples[i]) << "event " << i;

    EXPECT_EQ (events[0].setting.value, 7.0f);
    EXPECT_EQ (events[2].kind, ScheduleEvent::Kind::stop);
    EXPECT_EQ (events[3].kind, ScheduleEvent::Kind::play);
    EXPECT_EQ (events[4].kind, ScheduleEvent::Kind::tempo);
    EXPECT_EQ (events[4].bpm, 60.0);
    EXPECT_EQ (events[5].setting.id, juce::String ("refreshSync"));
    EXPECT_EQ (events[5].line, 8);
    EXPECT_EQ (events[6].kind, ScheduleEvent::Kind::locate);
    EXPECT_EQ (events[6].beats, 2.5);
}

TEST (Schedule, TakesValuesAsTheWindowShowsThem)
{
    struct Case
    {
        const char* line;
        const char* id;
        float value;
    };
    const Case cases[] = {
        { "0 fillOffset=12/16", "fillOffset", 12.0f },
        { "1b fillGate=4/16", "fillGate", 4.0f },
        { "2b fillChance=50 %", "fillChance", 50.0f },
        { "3b fillChance=25%   # a comment", "fillChance", 25.0f },
        { "4b fillSeed=7", "fillSeed", 7.0f },
        { "5b refreshTimeBpm=1 BAR", "refreshTimeBpm", 18.0f },
        { "6b filterFreq=2.5 kHz", "filterFreq", 2500.0f },
    };

    for (const auto& c : cases)
    {
        std::vector<ScheduleEvent> events;
        ASSERT_EQ (parseSchedule (c.line, 44100.0, 120.0, events), juce::String()) << c.line;
        ASSERT_EQ (events.size(), 1u) << c.line;
        EXPECT_EQ (events[0].kind, ScheduleEvent::Kind::parameter) << c.line;
        EXPECT_EQ (events[0].setting.id, juce::String (c.id)) << c.line;
        EXPECT_EQ (events[0].setting.value, c.value) << c.line;
    }
}

TEST (Schedule, BadLinesAreNamedByNumber)
{
    struct Case
    {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        { "soon stop", "line 1: \"soon\" is not a time" },
        { "1.2.3 stop", "line 1: \"1.2.3\" is not a time" },
        { "-1 stop", "line 1: \"-1\" is not a time" },
        { "0 play\n1", "line 2: a time needs a change" },
        { "0 play\n\n2 wobble=3", "line 3: unknown parameter \"wobble\"" },
        { "1 mix=150", "line 1: value of mix is out of range" },
        { "1 mix=loud", "line 1: value of mix is not a number" },
        { "1 fillGate=17/16", "line 1: value of fillGate is out of range" },
        { "1 fillChance=often", "line 1: value of fillChance is not a number" },
        { "1 bpm=0", "line 1: bpm takes a tempo from 1 to 999" },
        { "1 bpm=fast", "line 1: bpm takes a tempo from 1 to 999" },
        { "2 stop\n1 play", "line 2: the time goes backwards" },
        { "1 jump", "line 1: --param takes id=value" },
        { "1 locate=-2", "line 1: locate takes a song position in beats" },
        { "1 locate=bar 3", "line 1: locate takes a song position in beats" },
        { "1 locate=", "line 1: locate takes a song position in beats" },
        { "1 ramp=140", "line 1: ramp takes a tempo from 1 to 999 and a length" },
        { "1 ramp=0,2s", "line 1: ramp takes a tempo from 1 to 999 and a length" },
        { "1 ramp=fast,2s", "line 1: ramp takes a tempo from 1 to 999 and a length" },
        { "1 ramp=140,0", "line 1: ramp takes a tempo from 1 to 999 and a length" },
        { "1 ramp=140,-2b", "line 1: ramp takes a tempo from 1 to 999 and a length" },
        { "1 ramp=140,soon", "line 1: ramp takes a tempo from 1 to 999 and a length" },
        { "1 ramp=140,2b,3", "line 1: ramp takes a tempo from 1 to 999 and a length" },
    };

    for (const auto& c : cases)
    {
        std::vector<ScheduleEvent> events;
        const auto error = parseSchedule (c.text, 44100.0, 120.0, events);
        EXPECT_TRUE (error.startsWith (c.error)) << c.text << " gave \"" << error << "\"";
    }
}

TEST (Schedule, BlocksBreakAtEveryChange)
{
    std::vector<ScheduleEvent> events;
    ASSERT_EQ (parseSchedule ("0.1 stop\n0.25 play\n0.25 mix=50\n0.35 locate=6", 1000.0, 120.0, events), juce::String());

    HostState initial;
    initial.values = defaultParameterValues();
    std::vector<std::tuple<juce::int64, int, bool, float, double>> blocks;
    forEachBlock (400, 64, initial, events, [&] (juce::int64 start, int length, const HostState& state, const auto& changes)
    {
        blocks.emplace_back (start, length, state.playing, state.values[7], changes.located ? changes.locateBeats : -1.0);
    });

    const std::vector<std::tuple<juce::int64, int, bool, float, double>> expected {
        { 0, 64, true, 100.0f, -1.0 }, { 64, 36, true, 100.0f, -1.0 }, { 100, 64, false, 100.0f, -1.0 },
        { 164, 64, false, 100.0f, -1.0 }, { 228, 22, false, 100.0f, -1.0 }, { 250, 64, true, 50.0f, -1.0 },
        { 314, 36, true, 50.0f, -1.0 }, { 350, 50, true, 50.0f, 6.0 },
    };
    EXPECT_EQ (blocks, expected);
}

TEST (Schedule, RampsMoveTheBeatClockLinearlyInTime)
{
    // At 1000 samples a second from 100 BPM: a ramp to 140 over 8 beats lasts
    // 8 / mean tempo = 8 / 120 minutes, 4 s. During it the beats since its
    // start are (100 t + 40 t^2 / (2 * 4)) / 60 after t seconds; after it they
    // count at 140. A ramp given in seconds lasts that long, from the tempo
    // reached; a step ends it.
    std::vector<ScheduleEvent> events;
    ASSERT_EQ (parseSchedule ("0 ramp=140,8b\n"
                              "4b mix=50\n"
                              "10b ramp=70,2s\n"
                              "11b bpm=60\n"
                              "12b stop\n",
                              1000.0, 100.0, events), juce::String());
    ASSERT_EQ (events.size(), 5u);

    // Beat 4 solves 5 t^2 + 100 t - 240 = 0; beat 10 lies 2 beats at 140 after the
    // ramp's end at beat 8; beat 11 solves 140 u - 70 u^2 / 4 = 60 from there.
    const double beat4 = (-100.0 + std::sqrt (100.0 * 100.0 + 4.0 * 5.0 * 240.0)) / (2.0 * 5.0);
    const double beat10 = 4.0 + 2.0 * 60.0 / 140.0;
    const double u = (140.0 - std::sqrt (140.0 * 140.0 - 4.0 * 17.5 * 60.0)) / (2.0 * 17.5);
    const double beat11 = beat10 + u;
    const double beat12 = beat11 + 60.0 / 60.0;
    const juce::int64 samples[] = { 0, std::llround (beat4 * 1000.0), std::llround (beat10 * 1000.0),
                                    std::llround (beat11 * 1000.0), std::llround (beat12 * 1000.0) };
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ (events[i].sample, samples[i]) << "event " << i;

    EXPECT_EQ (events[0].kind, ScheduleEvent::Kind::ramp);
    EXPECT_EQ (events[0].bpm, 140.0);
    EXPECT_EQ (events[0].rampSamples, 4000);
    EXPECT_EQ (events[2].kind, ScheduleEvent::Kind::ramp);
    EXPECT_EQ (events[2].rampSamples, 2000);
    EXPECT_EQ (events[3].kind, ScheduleEvent::Kind::tempo);
}

TEST (Schedule, APrerollIsWalkedAsTheHostPlaysIt)
{
    // Blocks of 64, a pre-roll of 100 samples before a file of 300, position 2.
    // Running up to the start the pre-roll ends on the file's first sample; held
    // at the start its blocks run on into the file's (unless the transport stops
    // there), and the first block says how long the position holds.
    struct Row
    {
        const char* name;
        bool hold, stoppedAtStart;
        std::vector<std::pair<juce::int64, int>> blocks;
        double locateTo;
        juce::int64 holdFor;
    };
    const Row rows[] = {
        { "running up", false, false, { { -100, 64 }, { -36, 36 }, { 0, 64 }, { 64, 64 }, { 128, 64 }, { 192, 64 }, { 256, 44 } },
          2.0 - 100.0 * 120.0 / 60.0 / 1000.0, 0 },
        { "held", true, false, { { -100, 64 }, { -36, 64 }, { 28, 64 }, { 92, 64 }, { 156, 64 }, { 220, 64 }, { 284, 16 } }, 2.0, 100 },
        { "held, then stopped", true, true, { { -100, 64 }, { -36, 36 }, { 0, 64 }, { 64, 64 }, { 128, 64 }, { 192, 64 }, { 256, 44 } },
          2.0, 100 },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        HostState initial;
        initial.playing = ! row.stoppedAtStart;
        initial.values = defaultParameterValues();

        std::vector<std::pair<juce::int64, int>> blocks;
        std::vector<bool> playing;
        BlockChanges first;
        forEachPlayedBlock (300, 64, 1000.0, initial, {}, { 2.0, 100, row.hold },
                            [&] (juce::int64 start, int length, const HostState& state, const BlockChanges& changes)
        {
            if (blocks.empty())
                first = changes;
            blocks.emplace_back (start, length);
            playing.push_back (state.playing);
        });

        EXPECT_EQ (blocks, row.blocks);
        EXPECT_TRUE (first.located && first.tempoSet);
        EXPECT_EQ (first.locateBeats, row.locateTo);
        EXPECT_EQ (first.holdSamples, row.holdFor);
        for (size_t i = 0; i < blocks.size(); ++i)
            EXPECT_EQ (playing[i], blocks[i].first < 0 || ! row.stoppedAtStart) << "block " << i;
    }
}

TEST (Renderer, ScheduledRenderEqualsThePlugInDrivenBlockByBlock)
{
    // Stop and restart the transport, change the tempo and a few parameters.
    std::vector<ScheduleEvent> events;
    ASSERT_EQ (parseSchedule ("0 stutterTimeBpm=1/16\n"
                              "0.3 filterMix=-80\n"
                              "0.5 stop\n"
                              "0.61 play\n"
                              "0.7 bpm=97\n"
                              "0.9 stereoMix=100\n",
                              44100.0, 128.0, events), juce::String());

    HostState initial;
    initial.bpm = 128.0;
    initial.values = defaultParameterValues();
    const auto input = tone (2, 48000, 44100.0);

    auto scheduled = input;
    auto viaSchedule = loadBrakkle (2, 44100.0, 256);
    ASSERT_NE (viaSchedule, nullptr);
    ASSERT_EQ (renderThroughPlugin (*viaSchedule, scheduled, 256, initial, events), juce::String());

    // The same by hand: blocks of 256 broken at the changes, automation and transport set before each.
    auto byHand = input;
    auto plugin = loadBrakkle (2, 44100.0, 256);
    ASSERT_NE (plugin, nullptr);
    auto set = [&] (const juce::String& name, float normalised)
    {
        brakkle::host::HostedPlugin::setNormalised (*plugin->parameterNamed (name), normalised);
    };

    const juce::int64 cuts[] = { 13230, 22050, 26901, 30870, 39690 };
    juce::int64 position = 0;
    plugin->transport().bpm = 128.0;
    set (ParameterNames::stutterTimeBpm, 7.0f / 19.0f);
    while (position < byHand.getNumSamples())
    {
        if (position == cuts[0]) set (ParameterNames::filterMix, 0.1f);
        if (position == cuts[1]) plugin->transport().playing = false;
        if (position == cuts[2]) plugin->transport().playing = true;
        if (position == cuts[3]) plugin->transport().bpm = 97.0;
        if (position == cuts[4]) set (ParameterNames::stereoMix, 1.0f);

        juce::int64 end = juce::jmin ((juce::int64) byHand.getNumSamples(), position + 256);
        for (auto cut : cuts)
            if (cut > position)
                end = juce::jmin (end, cut);

        juce::AudioBuffer<float> block (byHand.getArrayOfWritePointers(), 2, (int) position, (int) (end - position));
        plugin->process (block);
        position = end;
    }

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < input.getNumSamples(); ++i)
            ASSERT_EQ (scheduled.getSample (c, i), byHand.getSample (c, i)) << "channel " << c << " sample " << i;
}

TEST (Renderer, SliceMarksFollowThePlugInsTiming)
{
    // "1/8" slices in a "1/4" refresh at 120 BPM, 44.1 kHz, stopped for a while.
    std::vector<ScheduleEvent> events;
    ASSERT_EQ (parseSchedule ("0 stutterTimeBpm=1/8\n1.2 stop\n1.5 play", 44100.0, 120.0, events), juce::String());
    HostState initial;
    initial.values = defaultParameterValues();

    const auto marks = traceSlices (100000, 512, 44100.0, initial, events);
    const std::vector<juce::int64> cycles { 0, 22050, 44100, 66150, 66150 + 22050 };
    const std::vector<juce::int64> repeats { 11025, 33075, 66150 + 11025, 66150 + 33075 };
    EXPECT_EQ (marks.cycleStarts, cycles);
    EXPECT_EQ (marks.repeatStarts, repeats);
    ASSERT_EQ (marks.stopped.size(), 1u);
    EXPECT_EQ (marks.stopped[0], (std::pair<juce::int64, juce::int64> { 52920, 66150 }));

    // A beat is 22050 samples. The song position stands still while the
    // transport is stopped (at beat 2.4), so beat 3 comes 13230 samples later
    // than it would have, and no beat falls in the stopped stretch.
    const std::vector<juce::int64> beats { 0, 22050, 44100, 79380 };
    EXPECT_EQ (marks.beats, beats);
}

//==============================================================================
// Beat and bar lines of the pictures follow the transport's song position
// sample by sample, in the song's meter: a beat is the meter's note value, bars
// count from song position 0. Expected samples: the first sample at or past
// each line, from the position's exact arithmetic (120 BPM: a quarter is 22050
// samples at 44.1 kHz).

namespace
{
    /** The first sample whose position reaches `beat` during a linear ramp from
        `from` to `to` BPM over 8 beats (a length of 8 * 60 / mean tempo seconds:
        176400 samples from 100 to 140), from position 0 at sample 0:
        from n + (to - from) n^2 / 2N = 60 * 44100 * beat. */
    juce::int64 rampedSample (double beat, double from, double to)
    {
        const double length = 8.0 * 60.0 / ((from + to) * 0.5) * 44100.0;
        const double a = (to - from) / (2.0 * length), b = from, c = -60.0 * 44100.0 * beat;
        return (juce::int64) std::ceil ((-b + std::sqrt (b * b - 4.0 * a * c)) / (2.0 * a));
    }

    struct SongLineRow
    {
        const char* name;
        int numerator, denominator;
        double bpm, startBeats;
        const char* schedule;
        std::vector<juce::int64> beats, bars;
        std::vector<int> barNumbers;
        juce::int64 preroll = 0;
        bool holdPreroll = false;
        double loopStart = 0.0, loopEnd = 0.0;    // a loop when loopEnd > 0
    };

    const SongLineRow songLineRows[] = {
        // 7/8 from beat 5: eighths every 11025 samples; bar 3 starts at beat 7, bar 4 at 10.5.
        { "SevenEightNumbersItsOwnBars", 7, 8, 120.0, 5.0, "",
          { 0, 11025, 22050, 33075, 44100, 55125, 66150, 77175, 88200, 99225, 110250, 121275 }, { 44100, 121275 }, { 3, 4 } },
        // Stopped at beat 3.5 for 22050 samples: beat 4 and bar 2 come that much later.
        { "NoLinesWhileStopped", 4, 4, 120.0, 3.0, "0.25 stop\n0.75 play", { 0, 44100, 66150, 88200, 110250 }, { 44100 }, { 2 } },
        // 3/4 looping from bar 2 (beat 3) to beat 5, from beat 2: each wrap lands on bar 2 again.
        { "ALoopWrapsOntoItsBarLine", 3, 4, 120.0, 2.0, "", { 0, 22050, 44100, 66150, 88200, 110250 }, { 22050, 66150, 110250 }, { 2, 2, 2 },
          0, false, 3.0, 5.0 },
        // The position holds at 0 through 1100 samples of pre-roll and moves from the file's first sample.
        { "AHeldPrerollStartsTheLinesWithTheFile", 4, 4, 120.0, 0.0, "", { 0, 22050, 44100, 66150, 88200, 110250 }, { 0, 88200 }, { 1, 2 },
          1100, true },
        // A ramp from 100 to 140 BPM over 8 beats.
        { "ARampMovesTheLines", 4, 4, 100.0, 0.0, "0 ramp=140,8b",
          { 0, rampedSample (1, 100, 140), rampedSample (2, 100, 140), rampedSample (3, 100, 140), rampedSample (4, 100, 140),
            rampedSample (5, 100, 140) }, { 0, rampedSample (4, 100, 140) }, { 1, 2 } },
    };

    void PrintTo (const SongLineRow& row, std::ostream* os) { *os << row.name; }

    class SongLines : public ::testing::TestWithParam<SongLineRow> {};
}

TEST_P (SongLines, FollowTheSongPositionInItsMeter)
{
    const auto& row = GetParam();
    HostState initial;
    initial.bpm = row.bpm;
    initial.meterNumerator = row.numerator;
    initial.meterDenominator = row.denominator;
    initial.loops = row.loopEnd > 0.0;
    initial.loopStart = row.loopStart;
    initial.loopEnd = row.loopEnd;
    initial.values = defaultParameterValues();

    std::vector<ScheduleEvent> events;
    ASSERT_EQ (parseSchedule (row.schedule, 44100.0, initial.bpm, events), juce::String());

    const auto marks = traceSlices (6 * 22050, 512, 44100.0, initial, events, { row.startBeats, row.preroll, row.holdPreroll });
    EXPECT_EQ (marks.beats, row.beats);
    EXPECT_EQ (marks.bars, row.bars);
    EXPECT_EQ (marks.barNumbers, row.barNumbers);
}

INSTANTIATE_TEST_SUITE_P (Renderer, SongLines, ::testing::ValuesIn (songLineRows),
                          [] (const auto& row) { return std::string (row.param.name); });

//==============================================================================
// Slice marks with Grid Lock on, against the bundle's own output. With "1/8"
// slices in a "1/4" refresh, noise as input and every tone mix at 0, a repeat
// starts with an output sample of exactly 0 (its fade-in begins there) and,
// past its 10 ms fade-in, plays the input of one (or a whole number of) slice
// lengths before as the stopped transport passes it. So every repeat points
// back to the start of its cycle, also of one that crossfades from the passing
// input after a wait
// (it has no 0 at its start) or one taken up from the kept input (it began
// before the plug-in could know). A cycle that follows another one without a
// wait also starts with a 0 and plays the input: that is how a cycle that ends
// before it repeats is seen.

namespace
{
    /** What the host does besides the row's start, meter and schedule. */
    struct HostBehaviour
    {
        int blockSize = 512;
        double bpm = 120.0;
        bool holdPreroll = false;
        double loopStart = 0.0, loopEnd = 0.0;    // a loop when loopEnd > 0, ...
        bool reportsLoop = true;                  // ... its points reported or not
        bool reportsTempo = true;
        double rampTo = 0.0;                      // a ramp from the start to this tempo over 8 beats (0: none)
    };

    struct GridMarkRow
    {
        const char* name;
        juce::int64 preroll;
        double startBeats;
        int numerator, denominator;
        std::vector<double> cycles, repeats;      // beats after the file's first sample, at the tempo the
                                                  // plug-in follows (120 BPM when the host gives none)
        std::vector<double> crossfaded;           // cycles that show no 0 at their start: they take over from
                                                  // the passing input, or are taken up while another one plays
        std::pair<double, double> passing;        // the input passes here, in beats (empty: none)
        const char* schedule = "";                // changes while it plays
        HostBehaviour host {};
        std::pair<juce::int64, juce::int64> passingSamples {};   // or here, in samples
    };

    // At 120 BPM and 44.1 kHz a beat is 22050 samples; a line between two
    // samples is reached at the later one. Renders are 6 beats of 120 BPM long.
    const GridMarkRow gridMarkRows[] = {
        // The pre-roll ends on the song's start, a line: slices from the first sample.
        { "PrerollUpToTheSongStart", 1776, 0.0, 4, 4, { 0, 1, 2, 3, 4, 5 }, { 0.5, 1.5, 2.5, 3.5, 4.5, 5.5 }, { 0 }, { 0, 0 } },
        // From beat 2.5 the first line is beat 3, half a beat into the file.
        { "PrerollThenMidBeatStart", 1776, 2.5, 4, 4, { 0.5, 1.5, 2.5, 3.5, 4.5, 5.5 }, { 1, 2, 3, 4, 5 }, { 0.5 }, { 0, 0.5 } },
        // On beat 2 the song jumps back to beat 0.5: nothing until beat 1, half a beat later.
        { "LocateBackToMidBeat", 0, 0.0, 4, 4, { 0, 1, 2.5, 3.5, 4.5, 5.5 }, { 0.5, 1.5, 3, 4, 5 }, { 0, 2.5 }, { 2, 2.5 }, "2b locate=0.5" },
        // Off from beat 0.5, cycles count from the first sample; switched on at beat 1.1 the
        // running cycle plays on (no wait) and ends on the next line, beat 2, 1.5 beats in.
        { "SwitchedOnWhilePlaying", 0, 0.5, 4, 4, { 0, 1.5, 2.5, 3.5, 4.5, 5.5 }, { 0.5, 1, 2, 3, 4, 5 }, {}, { 0, 0 },
          "0 gridLock=off\n0.3 gridLock=on" },
        // 7/8 from beat 3.25: lines at 3.5 (bar), 4.5, 5.5, 6.5, 7 (bar), 8, 9; the half-beat
        // cycle from 6.5 to the bar line at 7 has no repeat.
        { "SevenEightFromMidBar", 0, 3.25, 7, 8, { 0.25, 1.25, 2.25, 3.25, 3.75, 4.75, 5.75 }, { 0.75, 1.75, 2.75, 4.25, 5.25 }, { 0.25 },
          { 0, 0.25 } },
        // A loop from beat 1 to 2.875 that the host reports: it wraps 418 and 290 samples into
        // blocks (samples 63393.75 and 104737.5 rounded up), and every pass starts a cycle on
        // the loop's start; the cycle from beat 2 is cut at the wrap after its repeat.
        { "ALoopWrapsInsideBlocks", 0, 0.0, 4, 4, { 0, 1, 2, 2.875, 3.875, 4.75, 5.75 }, { 0.5, 1.5, 2.5, 3.375, 4.375, 5.25 },
          { 0 }, { 0, 0 }, "", { 512, 120.0, false, 1.0, 2.875 } },
        // The same loop without its points: each wrap is seen at the next block's start, less
        // than a block after the line on the loop's start, whose cycle is taken up from the
        // kept input. The cycle running there plays on until then (no 0 at the wrap); the
        // repeats are in place.
        { "AnUnreportedLoopWrapsInsideBlocks", 0, 0.0, 4, 4, { 0, 1, 2, 2.875, 3.875, 4.75, 5.75 }, { 0.5, 1.5, 2.5, 3.375, 4.375, 5.25 },
          { 0, 2.875, 4.75 }, { 0, 0 }, "", { 512, 120.0, false, 1.0, 2.875, false } },
        // The position holds at 0 through 1100 samples of pre-roll in blocks of 1024: the block
        // that runs into the file still reports 0, so the input passes until the next block, at
        // 2 * 1024 - 1100 = 948, which shows where the song started: line 0's cycle is taken up.
        { "APrerollHeldIntoABlock", 1100, 0.0, 4, 4, { 0, 1, 2, 3, 4, 5 }, { 0.5, 1.5, 2.5, 3.5, 4.5, 5.5 }, { 0 }, { 0, 0 }, "",
          { 1024, 120.0, true }, { 0, 948 } },
        // 100 to 140 BPM over 8 beats in blocks of 2048: no line lost, each cycle within 1 ms
        // of its line (the slices follow the tempo: their repeats are checked against the bundle).
        // A block that moves a line while the cycle before it fades out lets that fade run on
        // as it began, across the next cycle's start (beat 5 here).
        { "ARampKeepsEveryLineWithinAMillisecond", 0, 0.0, 4, 4, { 0, 1, 2, 3, 4, 5 }, {}, { 0, 5 }, { 0, 0 }, "",
          { 2048, 100.0, false, 0.0, 0.0, true, true, 140.0 } },
        // A host at 90 BPM that reports no tempo, from beat 0.5: Grid Lock acts as off, and
        // cycles run from the first sample at the plug-in's 120 BPM.
        { "NoTempoRunsFree", 0, 0.5, 4, 4, { 0, 1, 2, 3, 4, 5 }, { 0.5, 1.5, 2.5, 3.5, 4.5, 5.5 }, {}, { 0, 0 }, "",
          { 512, 90.0, false, 0.0, 0.0, true, false } },
    };

    void PrintTo (const GridMarkRow& row, std::ostream* os) { *os << row.name; }

    juce::int64 expectedSample (const GridMarkRow& row, double beat)
    {
        if (row.host.rampTo > 0.0)
            return rampedSample (beat, row.host.bpm, row.host.rampTo);

        const double followed = row.host.reportsTempo ? row.host.bpm : 120.0;
        return (juce::int64) std::ceil (beat * 60.0 * 44100.0 / followed);
    }

    std::vector<juce::int64> expectedSamples (const GridMarkRow& row, const std::vector<double>& beats)
    {
        std::vector<juce::int64> samples;
        for (auto b : beats)
            samples.push_back (expectedSample (row, b));
        return samples;
    }

    /** Cycle and repeat starts in a render, seen as described above; slices are
        from shortest to longest samples long. */
    struct SliceStarts
    {
        std::vector<juce::int64> cycles, repeats;
    };

    SliceStarts sliceStartsIn (const juce::AudioBuffer<float>& output, const juce::AudioBuffer<float>& dry, int shortest, int longest)
    {
        constexpr int fadeIn = 441, compared = 100;   // the 10 ms fade-in at 44.1 kHz, and samples compared after it
        const int length = output.getNumSamples();
        const auto same = [] (float a, float b) { return juce::exactlyEqual (a, b); };

        SliceStarts found;
        std::set<juce::int64> cycles;

        for (int i = 0; i < length; ++i)
        {
            if (! same (output.getSample (0, i), 0.0f) || ! same (output.getSample (1, i), 0.0f))
                continue;

            if (i + fadeIn + compared > length)
            {
                ADD_FAILURE() << "a slice starts too close to the end to tell which: " << i;
                continue;
            }

            // A repeat plays the input of a whole number of slice lengths before.
            const auto playsInputFrom = [&] (int back)
            {
                for (int k = fadeIn; k < fadeIn + compared; ++k)
                    if (! same (output.getSample (0, i + k), dry.getSample (0, i + k - back))
                        || ! same (output.getSample (1, i + k), dry.getSample (1, i + k - back)))
                        return false;
                return true;
            };

            juce::int64 cycle = -1;
            for (int slice = shortest; slice <= longest && cycle < 0; ++slice)
                for (int times = 1; times * slice <= i && cycle < 0; ++times)
                    if (playsInputFrom (times * slice))
                        cycle = i - times * slice;

            if (cycle >= 0)
                found.repeats.push_back (i);
            cycles.insert (cycle >= 0 ? cycle : i);
        }

        found.cycles.assign (cycles.begin(), cycles.end());
        return found;
    }

    class GridLockSliceMarks : public ::testing::TestWithParam<GridMarkRow>
    {
    protected:
        static constexpr int length = 6 * 22050;

        HostState initialState (bool playing) const
        {
            const auto& row = GetParam();
            HostState initial;
            initial.bpm = row.host.bpm;
            initial.playing = playing;
            initial.meterNumerator = row.numerator;
            initial.meterDenominator = row.denominator;
            initial.reportsTempo = row.host.reportsTempo;
            initial.loops = row.host.loopEnd > 0.0;
            initial.loopStart = row.host.loopStart;
            initial.loopEnd = row.host.loopEnd;
            initial.reportsLoop = row.host.reportsLoop;
            initial.values = defaultParameterValues();
            return initial;
        }

        PlaybackStart start() const
        {
            return { GetParam().startBeats, GetParam().preroll, GetParam().host.holdPreroll };
        }

        std::vector<ScheduleEvent> events() const
        {
            const auto& row = GetParam();
            std::vector<ParameterSetting> settings (3);
            EXPECT_EQ (parseParameterSetting ("gridLock=on", settings[0]), juce::String());
            EXPECT_EQ (parseParameterSetting ("stutterTimeBpm=1/8", settings[1]), juce::String());
            EXPECT_EQ (parseParameterSetting ("refreshTimeBpm=1/4", settings[2]), juce::String());

            auto schedule = juce::String (row.schedule);
            if (row.host.rampTo > 0.0)
                schedule = "0 ramp=" + juce::String (row.host.rampTo) + ",8b\n" + schedule;

            std::vector<ScheduleEvent> scheduled;
            EXPECT_EQ (parseSchedule (schedule, 44100.0, row.host.bpm, scheduled), juce::String());
            return withInitialSettings (settings, scheduled);
        }

        static juce::AudioBuffer<float> noise()
        {
            juce::Random random (17);
            juce::AudioBuffer<float> b (2, length);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < length; ++i)
                    b.setSample (c, i, (0.2f + 0.6f * random.nextFloat()) * (random.nextBool() ? 1.0f : -1.0f));
            return b;
        }

        juce::AudioBuffer<float> render (bool playing) const
        {
            auto audio = noise();
            auto plugin = loadBrakkle (2, 44100.0, GetParam().host.blockSize);
            if (plugin != nullptr)
            {
                EXPECT_EQ (renderThroughPlugin (*plugin, audio, GetParam().host.blockSize, initialState (playing), events(), start()),
                           juce::String());
            }
            return audio;
        }
    };
}

TEST_P (GridLockSliceMarks, MarkWhereTheBundleStartsSlices)
{
    const auto& row = GetParam();
    const bool ramps = row.host.rampTo > 0.0;
    const auto marks = traceSlices (length, row.host.blockSize, 44100.0, initialState (true), events(), start());

    // The marks, against the lines' exact positions.
    const auto lines = expectedSamples (row, row.cycles);
    const juce::int64 tolerance = ramps ? 44 : 0;   // 1 ms
    ASSERT_EQ (marks.cycleStarts.size(), lines.size()) << "cycles marked at " << ::testing::PrintToString (marks.cycleStarts);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_LE (std::abs (marks.cycleStarts[i] - lines[i]), tolerance) << "line " << row.cycles[i] << " at " << lines[i]
                                                                          << ", cycle at " << marks.cycleStarts[i];
    if (! ramps)
    {
        EXPECT_EQ (marks.repeatStarts, expectedSamples (row, row.repeats));
    }

    auto passing = std::make_pair (expectedSample (row, row.passing.first), expectedSample (row, row.passing.second));
    if (row.passingSamples.first < row.passingSamples.second)
        passing = row.passingSamples;
    std::vector<std::pair<juce::int64, juce::int64>> passingStretches;
    if (passing.first < passing.second)
        passingStretches.push_back (passing);
    EXPECT_EQ (marks.stopped, passingStretches);

    // The bundle starts its slices exactly there; where the input passes it
    // equals the stopped render. Along the ramp slices are half a beat at 100
    // to 140 BPM, and each cycle repeats once.
    const auto output = render (true);
    const auto dry = render (false);
    const auto found = ramps ? sliceStartsIn (output, dry, 9450, 13230) : sliceStartsIn (output, dry, 11025, 11025);
    EXPECT_EQ (found.cycles, marks.cycleStarts);
    EXPECT_EQ (found.repeats, marks.repeatStarts);

    std::vector<juce::int64> crossfaded;
    for (auto cycle : found.cycles)
        if (! juce::exactlyEqual (output.getSample (0, (int) cycle), 0.0f) || ! juce::exactlyEqual (output.getSample (1, (int) cycle), 0.0f))
            crossfaded.push_back (cycle);
    EXPECT_EQ (crossfaded, expectedSamples (row, row.crossfaded));

    if (ramps)
    {
        ASSERT_EQ (found.repeats.size(), found.cycles.size());
        for (size_t i = 0; i < found.cycles.size(); ++i)
            EXPECT_TRUE (found.cycles[i] < found.repeats[i] && (i + 1 == found.cycles.size() || found.repeats[i] < found.cycles[i + 1]))
                << "cycle " << i;
    }

    // A pass that begins where a cycle faded to silence fades the input in over 10 ms.
    const bool fadesIn = ! juce::exactlyEqual (output.getSample (0, (int) passing.first), dry.getSample (0, (int) passing.first));
    for (auto i = passing.first + (fadesIn ? 441 : 0); i < passing.second; ++i)
        ASSERT_EQ (output.getSample (0, (int) i), dry.getSample (0, (int) i)) << "sample " << i;
}

INSTANTIATE_TEST_SUITE_P (Renderer, GridLockSliceMarks, ::testing::ValuesIn (gridMarkRows),
                          [] (const auto& row) { return std::string (row.param.name); });

TEST (Renderer, SliceMarksTakeTheValuesThePlugInStores)
{
    // Free times are whole milliseconds in the plug-in: 120.4 ms slices are
    // 120 ms, 5292 samples, in cycles of 300.6 ms stored as 301 ms, 13274.1
    // samples cut to 13274; each slice plays twice more in its cycle.
    std::vector<ScheduleEvent> events;
    ASSERT_EQ (parseSchedule ("0 stutterSync=off\n0 stutterTimeFree=120.4\n0 refreshSync=off\n0 refreshTimeFree=300.6",
                              44100.0, 120.0, events), juce::String());
    HostState initial;
    initial.values = defaultParameterValues();
    constexpr int length = 132300, slice = 5292, cycle = 13274;

    std::vector<juce::int64> cycles, repeats;
    for (juce::int64 c = 0; c < length; c += cycle)
    {
        cycles.push_back (c);
        repeats.insert (repeats.end(), { c + slice, c + 2 * slice });
    }

    const auto marks = traceSlices (length, 512, 44100.0, initial, events);
    EXPECT_EQ (marks.cycleStarts, cycles);
    EXPECT_EQ (marks.repeatStarts, repeats);

    // And the bundle starts its slices there.
    juce::Random random (5);
    juce::AudioBuffer<float> noise (2, length);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < length; ++i)
            noise.setSample (c, i, (0.2f + 0.6f * random.nextFloat()) * (random.nextBool() ? 1.0f : -1.0f));

    auto output = noise, dry = noise;
    for (auto* audio : { &output, &dry })
    {
        auto plugin = loadBrakkle (2, 44100.0, 512);
        ASSERT_NE (plugin, nullptr);
        auto state = initial;
        state.playing = audio == &output;
        ASSERT_EQ (renderThroughPlugin (*plugin, *audio, 512, state, events), juce::String());
    }

    const auto found = sliceStartsIn (output, dry, slice, slice);
    EXPECT_EQ (found.cycles, marks.cycleStarts);
    EXPECT_EQ (found.repeats, marks.repeatStarts);
}

TEST (Renderer, WavFormatsRoundTrip)
{
    const juce::TemporaryFile temporary (".wav");
    for (int channels : { 1, 2 })
        for (double rate : { 22050.0, 48000.0, 96000.0 })
            for (int bits : { 16, 24, 32 })
            {
                SCOPED_TRACE (juce::String (channels) + " ch, " + juce::String (rate) + " Hz, " + juce::String (bits) + " bits");
                brakkle::host::Audio written { tone (channels, 1000, rate), rate };
                juce::String error;
                ASSERT_TRUE (brakkle::host::writeWav (temporary.getFile(), written, bits, error)) << error;

                brakkle::host::Audio read;
                ASSERT_TRUE (brakkle::host::readWav (temporary.getFile(), read, error)) << error;
                ASSERT_EQ (read.sampleRate, rate);
                ASSERT_EQ (read.samples.getNumChannels(), channels);
                ASSERT_EQ (read.samples.getNumSamples(), 1000);

                const float tolerance = bits == 32 ? 0.0f : 1.0f / (float) (1 << (bits - 1));
                for (int c = 0; c < channels; ++c)
                    for (int i = 0; i < 1000; ++i)
                        ASSERT_NEAR (read.samples.getSample (c, i), written.samples.getSample (c, i), tolerance);
            }
}

TEST (Renderer, PlotIsWrittenAtItsSize)
{
    const juce::TemporaryFile temporary (".png");
    HostState initial;
    initial.values = defaultParameterValues();
    const auto input = tone (2, 44100, 44100.0);
    const auto marks = traceSlices (44100, 512, 44100.0, initial, {});

    juce::String error;
    ASSERT_TRUE (writePlot (temporary.getFile(), input, input, 44100.0, marks, "test", error)) << error;
    EXPECT_EQ (pngSize (temporary.getFile()), (std::pair<int, int> { plotWidth, plotHeight }));
}

//==============================================================================
// The plot's marks, drawn from hand-made slice marks over silence: each kind
// of mark where a fresh slice at the same sample would be, in a colour of its
// own that the legend shows, in its own shape.

namespace
{
    constexpr int plotSamples = 44100;

    /** A plot of silence with these marks, its pixels row by row (ARGB). */
    std::vector<juce::uint32> plotOfSilence (const SliceMarks& marks)
    {
        juce::AudioBuffer<float> silence (2, plotSamples);
        silence.clear();
        const auto image = drawPlot (silence, silence, 44100.0, marks, "marks");
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);

        std::vector<juce::uint32> pixels;
        pixels.reserve ((size_t) (plotWidth * plotHeight));
        for (int y = 0; y < plotHeight; ++y)
            for (int x = 0; x < plotWidth; ++x)
                pixels.push_back (data.getPixelColour (x, y).getARGB());
        return pixels;
    }

    juce::uint32 pixelAt (const std::vector<juce::uint32>& pixels, int x, int y)
    {
        return pixels[(size_t) (y * plotWidth + x)];
    }

    /** What one mark adds to a plot of silence without it. */
    struct DrawnMark
    {
        juce::Colour colour;            // the colour most of the added pixels have
        juce::Rectangle<int> bounds;    // of the added pixels in that colour
        int runs = 0;                   // separate runs of it down the left column of bounds
        bool inLegend = false;          // that colour stands in the legend, below the lanes
    };

    DrawnMark drawnMark (std::vector<juce::int64> SliceMarks::*list, juce::int64 sample)
    {
        SliceMarks marks;
        (marks.*list).push_back (sample);
        const auto plain = plotOfSilence ({}), marked = plotOfSilence (marks);

        std::map<juce::uint32, int> counts;
        for (size_t i = 0; i < marked.size(); ++i)
            if (marked[i] != plain[i])
                ++counts[marked[i]];

        DrawnMark drawn;
        if (counts.empty())
            return drawn;

        const auto colour = std::max_element (counts.begin(), counts.end(),
                                              [] (const auto& a, const auto& b) { return a.second < b.second; })->first;
        drawn.colour = juce::Colour (colour);
        const auto isMark = [&] (int x, int y) { return pixelAt (marked, x, y) != pixelAt (plain, x, y) && pixelAt (marked, x, y) == colour; };

        for (int y = 0; y < plotHeight; ++y)
            for (int x = 0; x < plotWidth; ++x)
                if (isMark (x, y))
                    drawn.bounds = drawn.bounds.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1)
                                                          : drawn.bounds.getUnion ({ x, y, 1, 1 });

        for (int y = 0; y < plotHeight; ++y)
            if (isMark (drawn.bounds.getX(), y) && ! (y > 0 && isMark (drawn.bounds.getX(), y - 1)))
                ++drawn.runs;

        // The legend is the last line of the picture, below the time labels.
        for (int y = plotHeight - 30; y < plotHeight; ++y)
            for (int x = 0; x < plotWidth; ++x)
                drawn.inLegend = drawn.inLegend || pixelAt (plain, x, y) == colour;

        return drawn;
    }

    struct MarkRow
    {
        const char* name;
        std::vector<juce::int64> SliceMarks::*list;
        int minRuns, maxRuns;           // runs of the mark's colour down its column
        int minHeight, maxHeight;       // the mark's height in pixels
    };

    // The output lane is over 300 pixels tall (of the plot's 900, under the input's).
    const MarkRow markRows[] = {
        { "CycleStartIsAFullBar",           &SliceMarks::cycleStarts,   1, 1, 300, plotHeight },
        { "RepeatStartIsAFullLine",         &SliceMarks::repeatStarts,  1, 1, 300, plotHeight },
        // Dashed: many short dashes down the whole lane.
        { "GateEndIsADashedLine",           &SliceMarks::gateEnds,     10, plotHeight, 300, plotHeight },
        // A short tick; its shaded stretch is the passing input's.
        { "SkippedCycleIsAShortTick",       &SliceMarks::skippedCycles, 1, 1, 4, 16 },
    };

    void PrintTo (const MarkRow& row, std::ostream* os) { *os << row.name; }

    class PlotMarks : public ::testing::TestWithParam<MarkRow> {};
}

TEST_P (PlotMarks, StandWhereAFreshSliceWouldInTheirOwnShapeAndColour)
{
    const auto& row = GetParam();
    const juce::int64 middle = plotSamples / 2;
    const auto drawn = drawnMark (row.list, middle);
    const auto fresh = drawnMark (&SliceMarks::cycleStarts, middle);

    ASSERT_FALSE (drawn.bounds.isEmpty()) << "nothing drawn";
    EXPECT_NEAR (drawn.bounds.getCentreX(), fresh.bounds.getCentreX(), 1);
    EXPECT_GE (drawn.runs, row.minRuns);
    EXPECT_LE (drawn.runs, row.maxRuns);
    EXPECT_GE (drawn.bounds.getHeight(), row.minHeight);
    EXPECT_LE (drawn.bounds.getHeight(), row.maxHeight);
    EXPECT_TRUE (drawn.inLegend) << "no legend entry in " << drawn.colour.toDisplayString (true);

    // A later sample, further right.
    EXPECT_GT (drawnMark (row.list, middle + plotSamples / 4).bounds.getX(), drawn.bounds.getRight());

    for (const auto& other : markRows)
    {
        if (other.list != row.list)
        {
            EXPECT_NE (drawnMark (other.list, middle).colour, drawn.colour) << "the same colour as " << other.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P (Renderer, PlotMarks, ::testing::ValuesIn (markRows),
                          [] (const auto& row) { return std::string (row.param.name); });

TEST (Renderer, ASkippedCyclesTickStandsAboveTheOutputNotOverIt)
{
    // Over the lane the skipped cycle's stretch is shaded as passing input;
    // the tick stays clear of the waveform, above where the repeats' lines begin.
    const auto tick = drawnMark (&SliceMarks::skippedCycles, plotSamples / 2);
    const auto repeat = drawnMark (&SliceMarks::repeatStarts, plotSamples / 2);
    EXPECT_LE (tick.bounds.getBottom(), repeat.bounds.getY());
    EXPECT_GE (tick.bounds.getBottom(), repeat.bounds.getY() - 6);
}

//==============================================================================
// A host's pre-roll and a start off the grid, through the bundle. With Grid
// Lock on, slices start on the song's beat grid whatever the host plays first;
// with it off, the cycle counts from the first playing sample, so a pre-roll is
// heard as that much silence in front of the input.

namespace
{
    enum class Expect
    {
        sameAsPlainRender,     // equals the render without pre-roll and start
        silenceInFront,        // equals the plain render of the input with the pre-roll's silence in front
        dryUntilTheLine,       // the plain render until the jump, the stopped (dry) render from there until the
                               // first refresh line, then the plain render of what follows
        dryThenPlainRender,    // the stopped (dry) render until firstLine, then the render without pre-roll
        sameAsGridLockOff,     // equals the same render with Grid Lock off
    };

    struct StartRow
    {
        const char* name;
        bool gridLock;
        juce::int64 preroll;
        double startBeats;
        int numerator, denominator;
        const char* refresh;    // refreshTimeBpm
        int blockSize;
        int bars;
        Expect expect;
        int firstLine;          // for dryUntilTheLine: the line's sample, from 120 BPM and 44.1 kHz;
                                // for dryThenPlainRender: where the output becomes the render without pre-roll
        int jumpAt = 0;         // a scheduled locate at this sample (0: none) ...
        double locateTo = 0.0;  // ... to this song position
        int handOver = 0;       // samples after the line where a cycle cut by the jump crosses over into the new one
        bool holdPreroll = false;
        bool reportsTempo = true;
        double bpm = 120.0;
        int fadesIn = 0;        // samples after the jump over which the input fades in (a cycle faded to silence there)
    };

    // At 120 BPM and 44.1 kHz a beat (quarter note) is 22050 samples.
    const StartRow startRows[] = {
        // The demo loop as brakkle-render makes it (4 bars, blocks of 512), Ardour's pre-roll.
        { "GridLockOnIgnoresAPreroll", true, 1776, 0.0, 4, 4, "1/4", 512, 4, Expect::sameAsPlainRender, 0 },
        // A host's blocks of 1024, a pre-roll shorter than one of them.
        { "GridLockOnIgnoresAShortPreroll", true, 700, 0.0, 4, 4, "1/4", 1024, 1, Expect::sameAsPlainRender, 0 },
        { "FreeRunningHearsThePrerollAsSilence", false, 1776, 0.0, 4, 4, "1/4", 512, 1, Expect::silenceInFront, 0 },
        // "1/4" lines on every beat: from beat 0.5 the next is half a beat away.
        { "GridLockOnWaitsForTheLineAfterAMidBeatStart", true, 0, 0.5, 4, 4, "1/4", 512, 1, Expect::dryUntilTheLine, 11025 },
        // Pre-roll up to beat 2.75, then a quarter beat (5512.5 samples) to beat 3.
        { "GridLockOnWaitsThroughPrerollAndMidBeatStart", true, 1776, 2.75, 4, 4, "1/4", 512, 1, Expect::dryUntilTheLine, 5513 },
        // 7/8: bars of 3.5 beats; from beat 3.25 the next line is the bar line at 3.5, not beat 4.
        { "GridLockOnFindsTheBarLineIn7_8", true, 0, 3.25, 7, 8, "1/4", 512, 1, Expect::dryUntilTheLine, 5513 },
        // 3/4 with "1/2" lines at 0, 2, 3, 5, 6 ...: from beat 2.5 the next is the bar line at 3.
        { "GridLockOnRestartsTheHalfNotesAtTheBarIn3_4", true, 0, 2.5, 3, 4, "1/2", 512, 1, Expect::dryUntilTheLine, 11025 },
        // A locate on beat 2, where the cycle from beat 1 has just faded out, back to beat 0.5:
        // the input fades in over 10 ms, half a beat of waiting, then the grid again.
        { "GridLockOnWaitsAfterALocate", true, 0, 0.0, 4, 4, "1/4", 512, 1, Expect::dryUntilTheLine, 55125, 44100, 0.5, 0, false, true, 120.0, 441 },
        // A loop wrap from between two beats to the song's start, a line: a fresh cycle at once,
        // while the cycle the wrap cut fades out over the first 10 ms (441 samples) of it.
        { "GridLockOnStartsAfreshAtALoopWrap", true, 0, 0.0, 4, 4, "1/4", 512, 1, Expect::dryUntilTheLine, 50000, 50000, 0.0, 441 },
        // The position held at 0 through the pre-roll, which ends 948 samples before the end of
        // the block that runs into the file: that block still reports 0, so the input passes until
        // the next one shows where the song started, 948 samples in; line 0's cycle is taken up
        // from the kept input (recording what passed) and hands over in 10 ms; then the render
        // without pre-roll.
        { "GridLockOnTakesUpLineZeroAfterAPrerollHeldIntoABlock", true, 1100, 0.0, 4, 4, "1/4", 1024, 1, Expect::dryThenPlainRender,
          948 + 441, 0, 0.0, 0, true },
        // The same with a held pre-roll of two blocks: the file's first block still reports 0.
        { "GridLockOnTakesUpLineZeroAfterAPrerollHeldToABlockStart", true, 2048, 0.0, 4, 4, "1/4", 1024, 1, Expect::dryThenPlainRender,
          1024 + 441, 0, 0.0, 0, true },
        // A host at 90 BPM that reports no tempo, from mid-beat: Grid Lock on sounds as off.
        { "GridLockOnWithoutATempoSoundsAsOff", true, 0, 0.5, 4, 4, "1/4", 512, 1, Expect::sameAsGridLockOff, 0, 0, 0.0, 0, false,
          false, 90.0 },
    };

    void PrintTo (const StartRow& row, std::ostream* os) { *os << row.name; }

    class PlaybackStartRender : public ::testing::TestWithParam<StartRow>
    {
    protected:
        juce::AudioBuffer<float> render (const juce::AudioBuffer<float>& input, bool playing, const PlaybackStart& start,
                                         std::vector<ScheduleEvent> events = {}, std::optional<bool> gridLock = {},
                                         std::optional<bool> reportsTempo = {})
        {
            const auto& row = GetParam();
            HostState initial;
            initial.bpm = row.bpm;
            initial.playing = playing;
            initial.meterNumerator = row.numerator;
            initial.meterDenominator = row.denominator;
            initial.reportsTempo = reportsTempo.value_or (row.reportsTempo);
            initial.values = defaultParameterValues();

            std::vector<ParameterSetting> settings (2);
            EXPECT_EQ (parseParameterSetting (gridLock.value_or (row.gridLock) ? "gridLock=on" : "gridLock=off", settings[0]), juce::String());
            EXPECT_EQ (parseParameterSetting (juce::String ("refreshTimeBpm=") + row.refresh, settings[1]), juce::String());

            auto audio = input;
            auto plugin = loadBrakkle (2, 44100.0, row.blockSize);
            if (plugin == nullptr)
                return audio;
            EXPECT_EQ (renderThroughPlugin (*plugin, audio, row.blockSize, initial, withInitialSettings (settings, events), start),
                       juce::String());
            return audio;
        }

        static juce::AudioBuffer<float> withSilenceInFront (const juce::AudioBuffer<float>& input, int samples)
        {
            juce::AudioBuffer<float> padded (input.getNumChannels(), input.getNumSamples() + samples);
            padded.clear();
            for (int c = 0; c < input.getNumChannels(); ++c)
                padded.copyFrom (c, samples, input, c, 0, input.getNumSamples());
            return padded;
        }

        /** Sample for sample: `actual` from `from` on against `expected` from `offset` on, for `count` samples. */
        static void expectSameSamples (const juce::AudioBuffer<float>& actual, int from,
                                       const juce::AudioBuffer<float>& expected, int offset, int count, const char* what)
        {
            for (int c = 0; c < actual.getNumChannels(); ++c)
                for (int i = 0; i < count; ++i)
                    ASSERT_EQ (actual.getSample (c, from + i), expected.getSample (c, offset + i))
                        << what << ": channel " << c << " sample " << from + i;
        }
    };
}

TEST_P (PlaybackStartRender, SlicesLandWhereTheGridSays)
{
    const auto& row = GetParam();
    const auto input = makeDemoLoop (44100.0, 120.0, row.bars);
    const int length = input.getNumSamples();

    std::vector<ScheduleEvent> jump;
    if (row.jumpAt > 0)
    {
        jump.resize (1);
        jump[0].sample = row.jumpAt;
        jump[0].kind = ScheduleEvent::Kind::locate;
        jump[0].beats = row.locateTo;
    }

    const PlaybackStart start { row.startBeats, row.preroll, row.holdPreroll };
    const auto output = render (input, true, start, jump);
    ASSERT_EQ (output.getNumSamples(), length);   // the pre-roll's output is not in the file

    switch (row.expect)
    {
        case Expect::sameAsPlainRender:
            expectSameSamples (output, 0, render (input, true, {}), 0, length, "against the render without pre-roll");
            break;

        case Expect::silenceInFront:
        {
            const auto padded = render (withSilenceInFront (input, (int) row.preroll), true, {});
            expectSameSamples (output, 0, padded, (int) row.preroll, length, "against silence in front");

            // And that is not the render without pre-roll: the slices moved.
            const auto plain = render (input, true, {});
            bool differs = false;
            for (int i = 0; i < length && ! differs; ++i)
                differs = ! juce::exactlyEqual (output.getSample (0, i), plain.getSample (0, i));
            EXPECT_TRUE (differs);
            break;
        }

        case Expect::dryUntilTheLine:
        {
            expectSameSamples (output, 0, render (input, true, start), 0, row.jumpAt,
                               "before the jump, against the render without it");
            expectSameSamples (output, row.jumpAt + row.fadesIn, render (input, false, {}), row.jumpAt + row.fadesIn,
                               row.firstLine - row.jumpAt - row.fadesIn, "before the line, against the stopped render");

            juce::AudioBuffer<float> rest (input.getNumChannels(), length - row.firstLine);
            for (int c = 0; c < input.getNumChannels(); ++c)
                rest.copyFrom (c, 0, input, c, row.firstLine, rest.getNumSamples());
            expectSameSamples (output, row.firstLine + row.handOver, render (rest, true, {}), row.handOver,
                               rest.getNumSamples() - row.handOver, "from the line, against a render that starts there");
            break;
        }

        case Expect::dryThenPlainRender:
            expectSameSamples (output, 0, render (input, false, {}), 0, row.firstLine, "before the take-up, against the stopped render");
            expectSameSamples (output, row.firstLine, render (input, true, {}), row.firstLine, length - row.firstLine,
                               "from the take-up on, against the render without pre-roll");
            break;

        case Expect::sameAsGridLockOff:
        {
            expectSameSamples (output, 0, render (input, true, start, jump, false), 0, length, "against Grid Lock off");

            // Which is not what Grid Lock on does with the tempo reported: it waits for the line.
            const auto withTempo = render (input, true, start, jump, true, true);
            bool differs = false;
            for (int i = 0; i < length && ! differs; ++i)
                differs = ! juce::exactlyEqual (output.getSample (0, i), withTempo.getSample (0, i));
            EXPECT_TRUE (differs);
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P (Renderer, PlaybackStartRender, ::testing::ValuesIn (startRows),
                          [] (const auto& row) { return std::string (row.param.name); });

TEST (Renderer, CommandLineWritesTheInputsRateAndChannelsInTheAskedFormat)
{
    // A mono 48 kHz 24-bit file in: mono 48 kHz out, 32-bit float unless asked
    // otherwise; with the transport stopped only the gain stages act.
    const juce::TemporaryFile folder;
    ASSERT_TRUE (folder.getFile().createDirectory());
    const auto in = folder.getFile().getChildFile ("mono-48k-24bit.wav");
    juce::String error;
    ASSERT_TRUE (brakkle::host::writeWav (in, { tone (1, 24000, 48000.0), 48000.0 }, 24, error)) << error;
    ASSERT_EQ (wavFormat (in).bits, 24);

    struct Case
    {
        const char* name;
        juce::StringArray options;
        int bits;
        bool isFloat;
    };
    const Case cases[] = {
        { "default", {}, 32, true },
        { "--bits 16", { "--bits", "16" }, 16, false },
        { "--bits 24", { "--bits", "24" }, 24, false },
        { "--stopped", { "--stopped", "--param", "input=6", "--param", "output=-3", "--param", "filterMix=100", "--param", "stutterTimeBpm=1/64" }, 32, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto out = folder.getFile().getChildFile (juce::String (c.name).retainCharacters ("abcdefghijklmnopqrstuvwxyz0123456789") + ".wav");
        juce::StringArray command { BRAKKLE_RENDER, "--quiet", "--in", in.getFullPathName(), "--out", out.getFullPathName() };
        command.addArray (c.options);

        juce::ChildProcess render;
        ASSERT_TRUE (render.start (command));
        const auto said = render.readAllProcessOutput();
        ASSERT_EQ (render.getExitCode(), 0u) << said;

        const auto format = wavFormat (out);
        EXPECT_EQ (format.channels, 1);
        EXPECT_EQ (format.rate, 48000);
        EXPECT_EQ (format.bits, c.bits);
        EXPECT_EQ (format.isFloat, c.isFloat);
    }

    brakkle::host::Audio input, stopped;
    ASSERT_TRUE (brakkle::host::readWav (in, input, error)) << error;
    ASSERT_TRUE (brakkle::host::readWav (folder.getFile().getChildFile ("stopped.wav"), stopped, error)) << error;
    ASSERT_EQ (stopped.samples.getNumSamples(), input.samples.getNumSamples());
    const float inputGain = std::pow (10.0f, 6.0f / 20.0f), outputGain = std::pow (10.0f, -3.0f / 20.0f);
    for (int i = 0; i < input.samples.getNumSamples(); ++i)
        ASSERT_NEAR (stopped.samples.getSample (0, i), reference::gainStages (input.samples.getSample (0, i), inputGain, outputGain), 1.0e-6f)
            << "sample " << i;
}

TEST (Renderer, GridLockOnIgnoresAPrerollThatHoldsThePositionAtTheStart)
{
    // Ardour 7.3 pre-rolls 1776 samples in blocks of 1024 with the transport
    // playing and its position held at the start, and the file's first block
    // reports the start too. Grid Lock finds the grid again when the position
    // starts to move: the second block of the file shows that the song started
    // at its first sample, a line, so that line's cycle is taken up from the
    // kept input (which passed meanwhile) with a 10 ms hand-over. From there on,
    // the same samples as without the pre-roll.
    const auto input = makeDemoLoop (44100.0, 120.0, 1);
    constexpr int takenUp = 1024 + 441;

    const auto render = [&input] (juce::int64 preroll, bool playing)
    {
        auto audio = input;
        auto plugin = loadBrakkle (2, 44100.0, 1024);
        if (plugin == nullptr)
            return audio;
        brakkle::host::HostedPlugin::setNormalised (*plugin->parameterNamed (ParameterNames::gridLock), 1.0f);
        plugin->transport().playing = playing;

        juce::AudioBuffer<float> silence (2, 1024);
        for (juce::int64 done = 0; done < preroll;)
        {
            const auto length = (int) juce::jmin ((juce::int64) 1024, preroll - done);
            silence.setSize (2, length, false, false, true);
            silence.clear();
            plugin->transport().locate (0.0);
            plugin->process (silence);
            done += length;
        }
        plugin->transport().locate (0.0);

        for (int start = 0; start < audio.getNumSamples(); start += 1024)
        {
            juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), 2, start,
                                            juce::jmin (1024, audio.getNumSamples() - start));
            plugin->process (block);
        }
        return audio;
    };

    const auto held = render (1776, true);
    const auto plain = render (0, true);
    const auto dry = render (0, false);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < input.getNumSamples(); ++i)
            ASSERT_EQ (held.getSample (c, i), (i < takenUp ? dry : plain).getSample (c, i)) << "channel " << c << " sample " << i;
}
