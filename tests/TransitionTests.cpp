// Changes a producer makes while playing, through the built bundle: each must
// keep the cycles on tempo and every join click-free. The click measure is the
// largest step between neighbouring output samples of a 0.5 sine at 110.3 Hz
// (support/ClickMeasure.h), against the bound the hand-over tests share.

#include "support/ClickMeasure.h"
#include "support/HostedBrakkle.h"
#include "support/Signals.h"

#include "engine/FillPattern.h"
#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <vector>

using brakkle::test::ClickMeasure;
using brakkle::test::loadBrakkle;
using brakkle::test::setPlain;

namespace
{
    constexpr double rate = 44100.0;

    /** Frames where the output is exactly 0 while a constant level plays: the
        first sample of every recording and every repeat (their edge fades start
        from nothing). */
    std::vector<int> silentFrames (const juce::AudioBuffer<float>& out, int from, int to)
    {
        std::vector<int> frames;
        for (int i = from; i < to; ++i)
            if (juce::exactlyEqual (out.getSample (0, i), 0.0f))
                frames.push_back (i);
        return frames;
    }

    juce::AudioBuffer<float> constant (int length, float level)
    {
        juce::AudioBuffer<float> audio (1, length);
        juce::FloatVectorOperations::fill (audio.getWritePointer (0), level, length);
        return audio;
    }
}

TEST (Transitions, TheFirstCycleHasTheHostsTempo)
{
    // Running free, "1/8" slices in "1/4" cycles: every cycle, the first one
    // included, has the tempo the host plays, from a fresh instance and after
    // the tempo changed while the transport stood still. Lengths are the
    // single-precision note lengths: 14700 and 29400 samples at 90 BPM, 10335
    // and 20671 at 128.
    struct Case
    {
        const char* name;
        double bpm;
        int slice, period;
        bool stoppedAt120First;
    };

    const Case cases[] = {
        { "a fresh instance at 90 BPM", 90.0, 14700, 29400, false },
        { "a fresh instance at 128 BPM", 128.0, 10335, 20671, false },
        { "90 BPM set while stopped after playing at 120", 90.0, 14700, 29400, true },
        { "128 BPM set while stopped after playing at 120", 128.0, 10335, 20671, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadBrakkle (1, rate, 512);
        ASSERT_NE (plugin, nullptr);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 10.0f);   // "1/8"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);   // "1/4"

        if (c.stoppedAt120First)
        {
            auto before = constant (512 * 40, 0.5f);
            plugin->transport().bpm = 120.0;
            brakkle::test::renderInBlocks (*plugin, before, { 512 });
            plugin->transport().playing = false;
            auto stopped = constant (512 * 4, 0.5f);
            brakkle::test::renderInBlocks (*plugin, stopped, { 512 });
            plugin->transport().playing = true;
        }

        plugin->transport().bpm = c.bpm;
        const int total = 3 * c.period + 100;
        const auto out = brakkle::test::renderInBlocks (*plugin, constant (total, 0.5f), { 512 });

        std::vector<int> expected;
        for (int cycle = 0; cycle < 3; ++cycle)
            for (int repeat = 0; repeat * c.slice < c.period; ++repeat)
                expected.push_back (cycle * c.period + repeat * c.slice);
        expected.push_back (3 * c.period);

        EXPECT_EQ (silentFrames (out, 0, total), expected);
    }
}

TEST (Transitions, ShortSlicesRepeatWithoutClicks)
{
    // Slices shorter than two 10 ms fades fade over their halves: every repeat's
    // envelope is continuous, from 10 ms up to 20 ms and "1/64 T" at 160 BPM.
    struct Case
    {
        const char* name;
        float freeMs;       // the slice in free time, or
        float noteIndex;    // a note division when freeMs is 0
        double bpm;
    };

    const Case cases[] = {
        { "10 ms", 10.0f, 0.0f, 120.0 },
        { "12 ms", 12.0f, 0.0f, 120.0 },
        { "15 ms", 15.0f, 0.0f, 120.0 },
        { "19 ms", 19.0f, 0.0f, 120.0 },
        { "20 ms", 20.0f, 0.0f, 120.0 },
        { "1/64 T at 160 BPM", 0.0f, 0.0f, 160.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadBrakkle (1, rate, 512);
        ASSERT_NE (plugin, nullptr);
        plugin->transport().bpm = c.bpm;
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);   // "1/4"

        if (c.freeMs > 0.0f)
        {
            setPlain (*plugin, ParameterIds::stutterSync, 0.0f);
            setPlain (*plugin, ParameterIds::stutterTimeFree, c.freeMs);
        }
        else
        {
            setPlain (*plugin, ParameterIds::stutterTimeBpm, c.noteIndex);
        }

        const auto worst = ClickMeasure::largestStep (*plugin, (std::int64_t) rate * 2, 512, [] (auto&, auto) {});
        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
        std::cout << c.name << ": largest step " << worst.size << " (bound " << ClickMeasure::allowedStep() << ")\n";
    }
}

TEST (Transitions, NeverLouderThanTheInput)
{
    // A constant level through the shortest cycles, every gate (a gated cycle
    // hands over to the input on both sides) and both clocks: the output never
    // rises above what the input gives passing through (the stopped transport's
    // level), however much the cycle's way in and way out overlap.
    const float level = 0.5f;
    auto reference = loadBrakkle (1, rate, 512);
    ASSERT_NE (reference, nullptr);
    reference->transport().playing = false;
    auto passing = constant (512, level);
    reference->process (passing);
    const float inputLevel = passing.getSample (0, 100);

    float loudest = 0.0f;
    const char* loudestCase = "";

    for (float refresh : { 0.0f, 1.0f, 4.0f, 7.0f })   // "1/64 T", "1/64", "1/32", "1/16"
    {
        for (int gate = 1; gate <= 16; ++gate)
        {
            for (bool grid : { false, true })
            {
                auto plugin = loadBrakkle (1, rate, 512);
                ASSERT_NE (plugin, nullptr);
                setPlain (*plugin, ParameterIds::stutterSync, 0.0f);
                setPlain (*plugin, ParameterIds::stutterTimeFree, 10.0f);
                setPlain (*plugin, ParameterIds::refreshTimeBpm, refresh);
                setPlain (*plugin, ParameterIds::fillGate, (float) gate);
                setPlain (*plugin, ParameterIds::gridLock, grid ? 1.0f : 0.0f);

                const auto out = brakkle::test::renderInBlocks (*plugin, constant (22050, level), { 512 });
                const auto peak = out.getMagnitude (0, 0, out.getNumSamples());

                if (peak > loudest)
                {
                    loudest = peak;
                    loudestCase = grid ? "on the grid" : "running free";
                }

                EXPECT_LE (peak, inputLevel + 1.0e-6f) << "refresh index " << refresh << ", gate " << gate << "/16, "
                                                       << (grid ? "Grid Lock on" : "Grid Lock off");
            }
        }
    }

    std::cout << "loudest " << loudest << " (" << loudestCase << "), input passing " << inputLevel << "\n";
}

TEST (Transitions, StopsAndSwitchesFadeWhatWasPlaying)
{
    // Changes that end what was playing: the transport stopped while a slice
    // repeats (both clocks), and Grid Lock switched off a block after a locate
    // cut a repeat (its crossfade must play to its end). The largest step
    // between neighbouring samples stays within the hand-overs' bound.
    constexpr int blockSize = 256;
    constexpr std::int64_t change = blockSize * 30;   // inside the first cycle's repeats

    struct Case
    {
        const char* name;
        bool gridLock;
        std::function<void (brakkle::host::HostedPlugin&, std::int64_t)> beforeBlock;
    };

    const Case cases[] = {
        { "the transport stopped during a repeat, running free", false, [] (auto& p, auto start) {
              if (start == change)
                  p.transport().playing = false;
          } },
        { "the transport stopped during a repeat, on the grid", true, [] (auto& p, auto start) {
              if (start == change)
                  p.transport().playing = false;
          } },
        { "Grid Lock off a block after a locate cut a repeat", true, [] (auto& p, auto start) {
              if (start == change)
                  p.transport().locate (9.3);
              if (start == change + blockSize)
                  setPlain (p, ParameterIds::gridLock, 0.0f);
          } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadBrakkle (1, rate, blockSize);
        ASSERT_NE (plugin, nullptr);
        setPlain (*plugin, ParameterIds::gridLock, c.gridLock ? 1.0f : 0.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);  // "1/4"

        const auto worst = ClickMeasure::largestStep (*plugin, (std::int64_t) rate * 2, blockSize, c.beforeBlock);
        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
        std::cout << c.name << ": largest step " << worst.size << " at sample " << worst.at
                  << " (bound " << ClickMeasure::allowedStep() << ")\n";
    }
}

TEST (Transitions, AutomatingTheStutterOrChanceKeepsEveryJoinClickFree)
{
    // Automation while a cycle plays, taken up at the next cycle: a stutter as
    // long as its "1/4" cycle (the input passes) swept to "1/16" and back, both
    // clocks; and, running free, chance moved to 0 % (the next cycle passes
    // the input after a cycle that faded to silence) or from 50 % to 100 %
    // (the next cycle repeats after one that faded into the input).
    constexpr int blockSize = 512;
    constexpr std::int64_t change = blockSize * 15;   // inside the first "1/4" cycle

    // A seed whose first cycle repeats at 50 % and whose second does not.
    int seed = 1;
    while (! (brakkle::FillSettings::fromValues (0, 16, 50, (float) seed).repeats (0)
              && ! brakkle::FillSettings::fromValues (0, 16, 50, (float) seed).repeats (1)))
        ++seed;

    struct Case
    {
        const char* name;
        bool gridLock;
        float stutterFrom, stutterTo;
        float chanceFrom, chanceTo;
    };

    const Case cases[] = {
        { "stutter 1/4 to 1/16, running free", false, 13.0f, 7.0f, 100.0f, 100.0f },
        { "stutter 1/16 to 1/4, running free", false, 7.0f, 13.0f, 100.0f, 100.0f },
        { "stutter 1/4 to 1/16, on the grid", true, 13.0f, 7.0f, 100.0f, 100.0f },
        { "stutter 1/16 to 1/4, on the grid", true, 7.0f, 13.0f, 100.0f, 100.0f },
        { "chance 100 % to 0 %, running free", false, 7.0f, 7.0f, 100.0f, 0.0f },
        { "chance 50 % to 100 %, running free", false, 7.0f, 7.0f, 50.0f, 100.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadBrakkle (1, rate, blockSize);
        ASSERT_NE (plugin, nullptr);
        setPlain (*plugin, ParameterIds::gridLock, c.gridLock ? 1.0f : 0.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, c.stutterFrom);
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);   // "1/4"
        setPlain (*plugin, ParameterIds::fillChance, c.chanceFrom);
        setPlain (*plugin, ParameterIds::fillSeed, (float) seed);

        const auto worst = ClickMeasure::largestStep (*plugin, (std::int64_t) rate * 3, blockSize, [&] (auto& p, auto start) {
            if (start == change)
            {
                setPlain (p, ParameterIds::stutterTimeBpm, c.stutterTo);
                setPlain (p, ParameterIds::fillChance, c.chanceTo);
            }
        });

        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
        std::cout << c.name << ": largest step " << worst.size << " at sample " << worst.at
                  << " (bound " << ClickMeasure::allowedStep() << ")\n";
    }
}

TEST (Transitions, ALineThatMovesDuringAFadeOutKeepsTheFadeWhole)
{
    // Grid Lock on, "1/16" slices in "1/4" cycles at 120 BPM, blocks of 64: a
    // change reported in a block that starts inside a cycle's last 10 ms moves
    // the line the cycle fades out toward (or what it fades into). The fade
    // goes on as it began and the output meets the new line without a step.
    constexpr int blockSize = 64;
    constexpr std::int64_t line = 44100;               // beat 2
    constexpr std::int64_t insideFade = 43840;         // 260 samples before it, a block start
    constexpr std::int64_t insideGatedFade = 42624;    // 95 samples before a 15/16 gate's end at 42718.75

    struct Case
    {
        const char* name;
        std::int64_t at;
        std::function<void (brakkle::host::HostedPlugin&)> before, change;
    };

    const auto nothing = [] (brakkle::host::HostedPlugin&) {};
    const Case cases[] = {
        { "tempo to 90 BPM (the line moves later)", insideFade, nothing, [] (auto& p) { p.transport().bpm = 90.0; } },
        { "tempo to 240 BPM (the line moves closer)", insideFade, nothing, [] (auto& p) { p.transport().bpm = 240.0; } },
        { "refresh to 1/8 D (the line moves later)", insideFade, nothing, [] (auto& p) { setPlain (p, ParameterIds::refreshTimeBpm, 11.0f); } },
        { "offset to 4/16", insideFade, nothing, [] (auto& p) { setPlain (p, ParameterIds::fillOffset, 4.0f); } },
        { "chance to 0 % (the next line passes the input)", insideFade, nothing, [] (auto& p) { setPlain (p, ParameterIds::fillChance, 0.0f); } },
        { "gate from 15/16 to 16/16 while fading into the input", insideGatedFade,
          [] (auto& p) { setPlain (p, ParameterIds::fillGate, 15.0f); },
          [] (auto& p) { setPlain (p, ParameterIds::fillGate, 16.0f); } },
        { "gate from 16/16 to 15/16 while fading toward the line", insideFade,
          nothing, [] (auto& p) { setPlain (p, ParameterIds::fillGate, 15.0f); } },
        { "meter from 4/4 to 3/4 with 1 BAR cycles", 88200 - 256,
          [] (auto& p) { setPlain (p, ParameterIds::refreshTimeBpm, 18.0f); },
          [] (auto& p) { p.transport().numerator = 3; } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadBrakkle (1, rate, blockSize);
        ASSERT_NE (plugin, nullptr);
        setPlain (*plugin, ParameterIds::gridLock, 1.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);  // "1/4"
        c.before (*plugin);

        const auto worst = ClickMeasure::largestStep (*plugin, line * 4, blockSize, [&] (auto& p, auto start) {
            if (start == c.at)
                c.change (p);
        });

        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
        std::cout << c.name << ": largest step " << worst.size << " at sample " << worst.at
                  << " (bound " << ClickMeasure::allowedStep() << ")\n";
    }
}

TEST (Transitions, TempoRampsOnTheGridStayClickFree)
{
    // Grid Lock on, "1/16" in "1/4", a ramp from 60 to 180 BPM over eight
    // seconds reported at each block's start: every block moves the line ahead
    // a little, also while a cycle fades out toward it.
    for (const int blockSize : { 64, 256, 4096 })
    {
        SCOPED_TRACE (blockSize);
        auto plugin = loadBrakkle (1, rate, blockSize);
        ASSERT_NE (plugin, nullptr);
        setPlain (*plugin, ParameterIds::gridLock, 1.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);
        plugin->transport().bpm = 60.0;
        plugin->transport().rampTo (180.0, (juce::int64) rate * 8);

        const auto worst = ClickMeasure::largestStep (*plugin, (std::int64_t) rate * 9, blockSize, [] (auto&, auto) {});
        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
        std::cout << "ramp at blocks of " << blockSize << ": largest step " << worst.size << " at sample " << worst.at << "\n";
    }
}

TEST (Transitions, AHostBlockLongerThanPreparedPlaysAsItsParts)
{
    // Prepared for blocks of 256, the host sends one of 2048 where a change
    // begins a hand-over: a locate (Grid Lock on, the cut cycle's tail and a
    // cycle taken up from the kept input) or a stop during a repeat (running
    // free). The long block plays exactly as eight blocks of 256 would, with
    // its crossfades whole.
    if (! brakkle::test::testingLv2())
        GTEST_SKIP() << "JUCE's VST3 client copies each block into buffers of the announced maximum, "
                        "which VST3 hosts never exceed";

    constexpr int prepared = 256, longBlock = 2048;
    constexpr int change = prepared * 30;
    constexpr int total = (int) rate * 2;

    struct Case
    {
        const char* name;
        bool gridLock;
        std::function<void (brakkle::host::HostedPlugin&)> atChange;
    };

    const Case cases[] = {
        { "a locate on the grid", true, [] (auto& p) { p.transport().locate (9.3); } },
        { "a stop while running free", false, [] (auto& p) { p.transport().playing = false; } },
    };

    const auto sine = ClickMeasure::sineBuffer (total);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto render = [&] (const std::vector<int>& blockSizes) {
            auto plugin = loadBrakkle (1, rate, prepared);
            setPlain (*plugin, ParameterIds::gridLock, c.gridLock ? 1.0f : 0.0f);
            setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
            setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);  // "1/4"
            return brakkle::test::renderInBlocks (*plugin, sine, blockSizes, [&] (int start) {
                if (start == change)
                    c.atChange (*plugin);
            });
        };

        std::vector<int> withLongBlock (change / prepared, prepared);
        withLongBlock.push_back (longBlock);
        withLongBlock.resize ((size_t) (change / prepared + 1 + total / prepared), prepared);

        const auto parts = render (withLongBlock);
        EXPECT_EQ (brakkle::test::firstDifference (parts, render ({ prepared })), "");

        float worst = 0.0f;
        for (int i = 1; i < total; ++i)
            worst = std::max (worst, std::abs (parts.getSample (0, i) - parts.getSample (0, i - 1)));
        EXPECT_LT (worst, ClickMeasure::allowedStep());
        std::cout << c.name << ", a block of " << longBlock << ": largest step " << worst << "\n";
    }
}

TEST (Transitions, BlockSizesGiveTheSameOutputOnTheGrid)
{
    // Grid Lock on, from starts on and between lines, at a tempo whose lines
    // fall between samples: whatever the block size, the cycles start on the
    // same samples and the output is the same, but for the last bit of a
    // sample here and there. (A host that rounds its positions tells a
    // block-of-1 render more than a block-of-512 one; there the lines may
    // differ by up to that rounding.)
    constexpr int total = (int) rate * 3;
    const auto sine = ClickMeasure::sineBuffer (total);

    const auto render = [&] (int blockSize, double startBeat) {
        auto plugin = loadBrakkle (1, rate, blockSize);
        plugin->transport().bpm = 93.0;
        plugin->transport().locate (startBeat);
        setPlain (*plugin, ParameterIds::gridLock, 1.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 10.0f);  // "1/8"
        return brakkle::test::renderInBlocks (*plugin, sine, { blockSize });
    };

    for (const double startBeat : { 0.0, 0.37, 1.123 })
    {
        SCOPED_TRACE (startBeat);
        const auto reference = render (1, startBeat);
        for (const int blockSize : { 64, 100, 512 })
        {
            const auto out = render (blockSize, startBeat);
            float largest = 0.0f;
            for (int i = 0; i < total; ++i)
                largest = std::max (largest, std::abs (out.getSample (0, i) - reference.getSample (0, i)));
            EXPECT_LE (largest, 1.0e-6f) << "blocks of " << blockSize;   // the last bit of a float, at most
        }
    }
}

TEST (Transitions, AGateChangeInsideARepeatsFadeOutOnTheGridKeepsItWhole)
{
    // Grid Lock on, "1/16" slices in "1/4" cycles: Gate from 16/16 to 8/16 in
    // a block that starts inside a repeat's edge fade-out, just before the new
    // gate's end (beat 0.5, sample 11025), where the cycle now fades into the
    // input. The cycle as it went before crossfades into that fade.
    struct Case
    {
        const char* name;
        int blockSize;
        std::int64_t at;
    };

    const Case cases[] = {
        { "blocks of 256, at block 42", 256, 42 * 256 },
        { "blocks of 1225, at block 8", 1225, 8 * 1225 },
        { "blocks of 1225, at block 9", 1225, 9 * 1225 },
        { "blocks of 64, 200 samples before the gate's end", 64, 10816 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadBrakkle (1, rate, c.blockSize);
        ASSERT_NE (plugin, nullptr);
        setPlain (*plugin, ParameterIds::gridLock, 1.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);  // "1/4"

        const auto worst = ClickMeasure::largestStep (*plugin, 88200, c.blockSize, [&] (auto& p, auto start) {
            if (start == c.at)
                setPlain (p, ParameterIds::fillGate, 8.0f);
        });

        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
        std::cout << c.name << ": largest step " << worst.size << " at sample " << worst.at << "\n";
    }
}

TEST (Transitions, AStopRightWhereACycleEndsFadesTheInputIn)
{
    // "1/16" slices in "1/4" cycles (22050 samples), blocks of 441: the
    // transport stops at block 50, exactly where the first cycle ends, faded to
    // silence. The input comes back over the fade every other stop has.
    for (const bool gridLock : { false, true })
    {
        SCOPED_TRACE (gridLock ? "on the grid" : "running free");
        constexpr int blockSize = 441;
        auto plugin = loadBrakkle (1, rate, blockSize);
        ASSERT_NE (plugin, nullptr);
        setPlain (*plugin, ParameterIds::gridLock, gridLock ? 1.0f : 0.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);  // "1/4"

        const auto worst = ClickMeasure::largestStep (*plugin, 88200, blockSize, [&] (auto& p, auto start) {
            if (start == 50 * blockSize)
                p.transport().playing = false;
        });

        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
    }
}
