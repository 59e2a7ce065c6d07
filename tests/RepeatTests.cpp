// The Repeat switch held by hand, through the built bundle: a press a moment
// after a line still starts the held slice on it (Grid Lock on).

#include "support/AllocationCounter.h"
#include "support/ClickMeasure.h"
#include "support/HostedBrakkle.h"
#include "support/Signals.h"

#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <vector>

using brakkle::test::ClickMeasure;
using brakkle::test::loadBrakkle;
using brakkle::test::setPlain;

namespace
{
    constexpr double rate = 44100.0;
    constexpr int samplesPerBeat = 22050;   // 120 BPM

    /** A stutter setting and its grid's spacing in beats as an exact fraction. */
    struct Stutter
    {
        const char* name;
        bool sync;
        float value;             // note index, or milliseconds
        long long num, den;      // line spacing in beats
    };

    /** The sample at which the song reaches num/den beats (lines between samples are reached at the next one). */
    long long sampleOfBeat (long long num, long long den)
    {
        return (num * samplesPerBeat + den - 1) / den;
    }

    /** The samples of the stutter grid's lines from bar 2 (beat 4) on, before
        `until`: every spacing from each bar line (4/4), the bar line included. */
    std::vector<long long> linesFromBar2 (const Stutter& s, long long until)
    {
        std::vector<long long> lines;
        for (long long bar = 1;; ++bar)
        {
            for (long long n = 0; n * s.num < 4 * s.den; ++n)
            {
                // Beat 4 * bar + n * num / den.
                const long long at = sampleOfBeat (4 * bar * s.den + n * s.num, s.den);
                if (at >= until)
                    return lines;
                lines.push_back (at);
            }
        }
    }

    /** Plays a constant level in blocks of `blockSize`, a block boundary at
        `pressAt` (where Repeat turns on) and at `releaseAt` (off). */
    juce::AudioBuffer<float> renderPress (const Stutter& s, int blockSize, long long pressAt, long long releaseAt, int total)
    {
        auto plugin = loadBrakkle (1, rate, blockSize);
        setPlain (*plugin, ParameterIds::gridLock, 1.0f);
        setPlain (*plugin, ParameterIds::stutterSync, s.sync ? 1.0f : 0.0f);
        setPlain (*plugin, s.sync ? ParameterIds::stutterTimeBpm : ParameterIds::stutterTimeFree, s.value);
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 16.0f);   // "1/2"

        juce::AudioBuffer<float> out (1, total);
        for (long long start = 0; start < total;)
        {
            long long end = std::min<long long> (start + blockSize, total);
            for (const auto boundary : { pressAt, releaseAt })
                if (boundary > start && boundary < end)
                    end = boundary;

            if (start == pressAt)
                setPlain (*plugin, ParameterIds::repeatHold, 1.0f);
            if (start == releaseAt)
                setPlain (*plugin, ParameterIds::repeatHold, 0.0f);

            juce::AudioBuffer<float> block (1, (int) (end - start));
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (0, i, ClickMeasure::sine (start + i));
            plugin->process (block);
            out.copyFrom (0, (int) start, block, 0, 0, block.getNumSamples());
            start = end;
        }
        return out;
    }
}

TEST (Repeat, APressUpTo50MsLateStartsOnTheLineItFollows)
{
    const Stutter stutters[] = {
        { "1/16", true, 7.0f, 1, 4 },
        { "1/8 D", true, 11.0f, 3, 4 },
        { "1/4 T", true, 12.0f, 2, 3 },
        { "60 ms", false, 60.0f, 3, 25 },   // 0.12 beats at 120 BPM, counted from the bar line
    };

    for (const auto& s : stutters)
        for (const double lateMs : { 0.0, 1.0, 30.0, 49.0, 51.0 })
            for (const int blockSize : { 64, 512, 2048 })
            {
                SCOPED_TRACE (juce::String (s.name) + ", " + juce::String (lateMs) + " ms late, blocks of " + juce::String (blockSize));

                // The bar line at beat 4, and the line after it.
                const auto lines = linesFromBar2 (s, 8 * samplesPerBeat);
                const long long line = lines[0];
                const long long nextLine = lines[1];
                const long long pressAt = line + (long long) std::llround (lateMs * rate / 1000.0);
                const long long heldFrom = lateMs < 50.0 ? line : nextLine;
                const long long releaseAt = heldFrom + 3 * samplesPerBeat;
                const int total = (int) releaseAt + samplesPerBeat;

                const auto late = renderPress (s, blockSize, pressAt, releaseAt, total);
                const auto onTheLine = renderPress (s, blockSize, heldFrom, releaseAt, total);

                // Once the press's crossfade is over, the output is that of a press right on the line.
                const long long judged = std::max (pressAt, heldFrom) + 441;
                float largest = 0.0f;
                for (long long i = judged; i < releaseAt; ++i)
                    largest = std::max (largest, std::abs (late.getSample (0, (int) i) - onTheLine.getSample (0, (int) i)));
                EXPECT_EQ (largest, 0.0f);

                // Every repeat begins on a line of the stutter's grid: the edge fade
                // puts an exact 0 there.
                for (const auto at : lines)
                {
                    if (at > heldFrom && at > judged && at < releaseAt)
                    {
                        EXPECT_EQ (late.getSample (0, (int) at), 0.0f) << "line at " << at;
                    }
                }
            }
}

TEST (Repeat, PressesAndReleasesNeverStep)
{
    // A press and a release while cycles repeat, a release inside the press's
    // crossfade, and a press during a cycle's fade-out, both clocks.
    constexpr int blockSize = 256;
    struct Case
    {
        const char* name;
        bool gridLock;
        std::vector<std::pair<long long, bool>> switches;   // block start, Repeat on or off
    };

    const Case cases[] = {
        { "press and release while repeating, running free", false, { { 256 * 30, true }, { 256 * 90, false } } },
        { "press and release while repeating, on the grid", true, { { 256 * 30, true }, { 256 * 90, false } } },
        { "a release inside the press's crossfade", false, { { 256 * 30, true }, { 256 * 31, false } } },
        { "a press in a cycle's fade-out", true, { { 44032, true }, { 44032 + 256 * 40, false } } },
        { "on and off every block", false, { { 256 * 20, true }, { 256 * 21, false }, { 256 * 22, true }, { 256 * 23, false },
                                            { 256 * 24, true }, { 256 * 25, false }, { 256 * 26, true }, { 256 * 27, false } } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadBrakkle (1, rate, blockSize);
        setPlain (*plugin, ParameterIds::gridLock, c.gridLock ? 1.0f : 0.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);  // "1/4"

        const auto worst = ClickMeasure::largestStep (*plugin, (std::int64_t) rate * 2, blockSize, [&] (auto& p, auto start) {
            for (const auto& [at, on] : c.switches)
                if (start == at)
                    setPlain (p, ParameterIds::repeatHold, on ? 1.0f : 0.0f);
        });
        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
        std::cout << c.name << ": largest step " << worst.size << " at sample " << worst.at << "\n";
    }
}

namespace
{
    /** Frames where the output is exactly 0 (the first sample of every
        recording and repeat, their edge fades starting from nothing). */
    std::vector<long long> silentFrames (const juce::AudioBuffer<float>& out, long long from, long long to)
    {
        std::vector<long long> frames;
        for (long long i = from; i < to; ++i)
            if (juce::exactlyEqual (out.getSample (0, (int) i), 0.0f))
                frames.push_back (i);
        return frames;
    }

    /** Running free, "1/16" slices in "1/4" cycles at 120 BPM, the sine played
        in blocks of 256; Repeat set before the blocks that start at the
        switches' samples. */
    juce::AudioBuffer<float> renderFree (const std::vector<std::pair<long long, bool>>& switches, int total, bool playing = true)
    {
        auto plugin = loadBrakkle (1, rate, 256);
        plugin->transport().playing = playing;
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);
        const auto sine = ClickMeasure::sineBuffer (total);
        return brakkle::test::renderInBlocks (*plugin, sine, { 256 }, [&] (int start) {
            for (const auto& [at, on] : switches)
                if (start == at)
                    setPlain (*plugin, ParameterIds::repeatHold, on ? 1.0f : 0.0f);
        });
    }
}

TEST (Repeat, RunningFreeItHoldsFromThePressAndTheCyclesGoOnAfterwards)
{
    // Cycles every 22050 samples, slices of 5512. Pressed in the block at
    // 30000 (inside the second cycle), let go in the block at 60160 (inside
    // the third): the held slice is recorded from 30000 and repeats every 5512
    // samples; after the release the input passes until 66150, where the
    // fourth cycle starts as it would have without the hold (taking over from
    // the input with its crossfade), and from there on the output is the same.
    constexpr int total = 22050 * 6;
    constexpr long long press = 256 * 117, release = 256 * 235;   // 29952 and 60160
    const auto held = renderFree ({ { press, true }, { release, false } }, total);
    const auto plain = renderFree ({}, total);
    const auto passing = renderFree ({}, total, false);

    std::vector<long long> repeats;
    for (long long at = press + 5512; at < release; at += 5512)
        repeats.push_back (at);
    EXPECT_EQ (silentFrames (held, press + 1, release), repeats);

    // The input passes from the release's crossfade to the next cycle.
    for (long long i = release + 441; i < 66150; ++i)
        ASSERT_EQ (held.getSample (0, (int) i), passing.getSample (0, (int) i)) << "the input passes, at " << i;

    EXPECT_EQ (silentFrames (held, 66151, total), silentFrames (plain, 66151, total));
    for (long long i = 66150 + 441; i < total; ++i)
        ASSERT_EQ (held.getSample (0, (int) i), plain.getSample (0, (int) i)) << "at " << i;
}

TEST (Repeat, ToggledEveryBlockAndAtRandomForAMinuteAllocatesNothingAndNeverSticks)
{
    // Beside it a second instance hears the same blocks and is never held:
    // once Repeat is let go for good, the cycles come back exactly as that
    // one plays them (the clock went on underneath; nothing stuck).
    for (const bool gridLock : { false, true })
    {
        SCOPED_TRACE (gridLock ? "on the grid" : "running free");
        std::unique_ptr<brakkle::host::HostedPlugin> plugins[] = { loadBrakkle (2, rate, 256), loadBrakkle (2, rate, 256) };
        for (auto& p : plugins)
        {
            setPlain (*p, ParameterIds::gridLock, gridLock ? 1.0f : 0.0f);
            setPlain (*p, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16" in "1/4"
        }
        auto& toggled = *plugins[0];
        auto* repeat = toggled.parameterNamed (ParameterNames::repeatHold);
        ASSERT_NE (repeat, nullptr);

        const auto source = brakkle::test::noise (2, 256, 3);
        juce::AudioBuffer<float> blocks[] = { source, source };
        const auto play = [&] (bool counted) {
            long allocations = 0;
            for (int k = 0; k < 2; ++k)
            {
                blocks[k].makeCopyOf (source, true);
                brakkle::test::ScopedAllocationCount counter;
                plugins[k]->process (blocks[k]);
                allocations += counted ? counter.count() : 0;
            }
            return allocations;
        };

        for (int i = 0; i < 50; ++i)   // JUCE's hosting makes room for a parameter's first changes
        {
            brakkle::host::HostedPlugin::setNormalised (*repeat, (float) (i % 2));
            play (false);
        }

        juce::Random random (7);
        long allocations = 0;
        bool finite = true;
        constexpr int blocksInAMinute = 44100 * 60 / 256;
        for (int i = 0; i < blocksInAMinute; ++i)
        {
            const bool on = i < blocksInAMinute / 2 ? (i % 2 == 0) : random.nextBool();
            brakkle::host::HostedPlugin::setNormalised (*repeat, on ? 1.0f : 0.0f);
            allocations += play (true);

            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < 256; ++k)
                    finite = finite && std::isfinite (blocks[0].getSample (c, k));
        }

        EXPECT_EQ (allocations, 0);
        EXPECT_TRUE (finite);

        // Let go; after the next cycle has begun and its crossfade is over
        // (a "1/4" cycle is 22050 samples), both play the same.
        brakkle::host::HostedPlugin::setNormalised (*repeat, 0.0f);
        for (int i = 0; i < 22050 / 256 + 3; ++i)
            play (false);
        for (int i = 0; i < 100; ++i)
        {
            play (false);
            ASSERT_EQ (brakkle::test::firstDifference (blocks[0], blocks[1]), "") << "block " << i << " after the cycles came back";
        }
    }
}

TEST (Repeat, OnBeforePlaybackHoldsFromItsStart)
{
    // Repeat switched on while the transport stands still does nothing there;
    // when playback starts the held slice starts at once (running free) or on
    // the first line of the stutter's grid (Grid Lock on, from beat 0.37: the
    // "1/16" line at beat 0.5), and repeats every "1/16" from there.
    for (const bool gridLock : { false, true })
    {
        SCOPED_TRACE (gridLock ? "on the grid" : "running free");
        auto plugin = loadBrakkle (1, rate, 256);
        setPlain (*plugin, ParameterIds::gridLock, gridLock ? 1.0f : 0.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16": 5512 samples, lines 5512.5 apart
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 16.0f);  // "1/2"
        setPlain (*plugin, ParameterIds::repeatHold, 1.0f);

        plugin->transport().playing = false;
        juce::AudioBuffer<float> level (1, 256 * 20);
        juce::FloatVectorOperations::fill (level.getWritePointer (0), 0.5f, level.getNumSamples());
        const auto stopped = brakkle::test::renderInBlocks (*plugin, level, { 256 });
        for (int i = 0; i < stopped.getNumSamples(); ++i)
            ASSERT_EQ (stopped.getSample (0, i), stopped.getSample (0, 0)) << "the input passes while stopped, at " << i;
        EXPECT_GT (stopped.getSample (0, 0), 0.4f);

        plugin->transport().playing = true;
        plugin->transport().locate (gridLock ? 0.37 : 0.0);
        juce::AudioBuffer<float> played (1, 44100);
        juce::FloatVectorOperations::fill (played.getWritePointer (0), 0.5f, played.getNumSamples());
        const auto out = brakkle::test::renderInBlocks (*plugin, played, { 256 });

        // From beat 0.37 (song sample 8158.5) the "1/16" line at beat k/4 is
        // reached at frame ceil ((k * 11025 - 16317) / 2): beat 0.5 at 2867.
        // The held slice starts there out of the passing input (crossfaded,
        // so no 0); each repeat shows a 0 where the slice wraps (5512 samples
        // on) and on the next line, where they differ by the half sample.
        std::vector<long long> starts;
        if (gridLock)
        {
            const auto lineFrame = [] (long long k) { return (k * 11025 - 16317 + 1) / 2; };
            for (long long k = 3; lineFrame (k) < 44100; ++k)
            {
                if (const long long wrap = lineFrame (k - 1) + 5512; wrap != lineFrame (k))
                    starts.push_back (wrap);
                starts.push_back (lineFrame (k));
            }
        }
        else
        {
            for (long long at = 0; at < 44100; at += 5512)
                starts.push_back (at);
        }

        EXPECT_EQ (silentFrames (out, 0, 44100), starts);
    }
}

//==============================================================================
// A held roll on the grid, played as a producer would: one repeat a line, and
// no clicks where a line comes before the held slice has ended.

namespace
{
    /** Something a host does before a block: settings, tempo, meter, loops. */
    using HostAction = std::function<void (brakkle::host::HostedPlugin&, std::int64_t blockStart)>;

    void nothing (brakkle::host::HostedPlugin&, std::int64_t) {}
}

TEST (Repeat, ALineBeforeTheHeldSliceHasEndedNeverClicks)
{
    // Grid Lock on, blocks of 441, Repeat held from beat 4 to beat 16 of the
    // render: lines that cut the held slice short (divisions that do not
    // divide the bar, an odd meter, a faster tempo, a loop wrap) end its
    // repeat as every other join does. The roll steps no more than 1.5 times
    // what the same render steps without the press (or the joins' own bound).
    constexpr int block = 441;
    constexpr std::int64_t beat = 22050, pressAt = 4 * beat, releaseAt = 16 * beat, total = 18 * beat;

    struct Case
    {
        const char* name;
        HostAction setUp;
        HostAction beforeBlock = nothing;
    };

    const auto stutter = [] (float index) {
        return [index] (brakkle::host::HostedPlugin& p, std::int64_t) { setPlain (p, ParameterIds::stutterTimeBpm, index); };
    };

    const Case cases[] = {
        { "1/8 D", stutter (11.0f) },
        { "1/16 D", stutter (8.0f) },
        { "1/4 D", stutter (14.0f) },
        { "1/2 D", stutter (17.0f) },
        { "60 ms", [] (auto& p, auto) { setPlain (p, ParameterIds::stutterSync, 0.0f); setPlain (p, ParameterIds::stutterTimeFree, 60.0f); } },
        { "1/4 in 7/8", [] (auto& p, auto) { setPlain (p, ParameterIds::stutterTimeBpm, 13.0f); p.transport().numerator = 7; p.transport().denominator = 8; } },
        { "1/4, tempo 120 to 126 while held", stutter (13.0f),
          [] (auto& p, auto start) { if (start == 6 * beat) p.transport().bpm = 126.0; } },
        { "1/4, a ramp to 130 BPM while held", stutter (13.0f),
          [] (auto& p, auto start) { if (start == 6 * beat) p.transport().rampTo (130.0, 4 * beat); } },
        { "1/16, a loop 0.9 to 4.83 the host reports", [] (auto& p, auto) { setPlain (p, ParameterIds::stutterTimeBpm, 7.0f); p.transport().setLoop (0.9, 4.83, true); } },
        { "1/16, a loop 0.9 to 4.83 the host does not report", [] (auto& p, auto) { setPlain (p, ParameterIds::stutterTimeBpm, 7.0f); p.transport().setLoop (0.9, 4.83, false); } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ClickMeasure::Step steps[2];

        for (const bool pressed : { false, true })
        {
            auto plugin = loadBrakkle (1, rate, block);
            setPlain (*plugin, ParameterIds::gridLock, 1.0f);
            c.setUp (*plugin, 0);

            steps[pressed ? 1 : 0] = ClickMeasure::largestStep (*plugin, total, block, [&] (auto& p, auto start) {
                c.beforeBlock (p, start);
                if (pressed && (start == pressAt || start == releaseAt))
                    setPlain (p, ParameterIds::repeatHold, start == pressAt ? 1.0f : 0.0f);
            });
        }

        const float bound = std::max (1.5f * steps[0].size, ClickMeasure::allowedStep());
        EXPECT_LT (steps[1].size, bound) << "at sample " << steps[1].at;
        std::cout << c.name << ": held " << steps[1].size << " at " << steps[1].at << ", not held " << steps[0].size << "\n";
    }
}

namespace
{
    /** A quiet rising sawtooth, one tooth a beat from position 0 (so a slice
        recorded from a line reads as a straight rise, and the soft clippers of
        the input and output stages act as plain gains): a repeat read
        `semitones` below the recording rises (or falls, backwards) at
        2^(semitones/12) of the recording's slope. */
    float tooth (std::int64_t n, double samplesPerTooth)
    {
        const double beats = (double) n / samplesPerTooth;
        return (float) (0.04 * (beats - std::floor (beats)) - 0.02);
    }

    double slopeAround (const juce::AudioBuffer<float>& out, std::int64_t middle)
    {
        return (out.getSample (0, (int) middle + 100) - out.getSample (0, (int) middle - 100)) / 200.0;
    }
}

TEST (Repeat, HeldRepeatsAreShapedAndEachLineStartsOneRepeat)
{
    // "1/16" held from beat 4 to beat 8 with Grid Lock on, Decay 100 % and
    // Reverse "Alternate": repeat k (on the k-th line after the press) plays
    // k - 1 semitones below Pitch, backwards when k is odd, also where the
    // lines fall between samples (120 BPM at 44.1 kHz, 128 and 93 BPM) and at
    // 48 kHz. Each repeat's pitch is read from its slope in its middle.
    // Pitch, Decay and Reverse shape a held roll as they shape the cycles
    // (a falling held roll is a tape stop by hand), also running free, where
    // each repeat follows the slice's end (and the first starts at the press).
    struct Case
    {
        const char* name;
        double bpm;
        double sampleRate;
        bool gridLock = true;
        float pitch = 0.0f;
    };

    const Case cases[] = {
        { "120 BPM, 44.1 kHz", 120.0, 44100.0 },
        { "128 BPM, 44.1 kHz", 128.0, 44100.0 },
        { "93 BPM, 44.1 kHz", 93.0, 44100.0 },
        { "120 BPM, 48 kHz", 120.0, 48000.0 },
        { "128 BPM, 48 kHz", 128.0, 48000.0 },
        { "120 BPM, 44.1 kHz, Pitch -5 st", 120.0, 44100.0, true, -5.0f },
        { "120 BPM, 44.1 kHz, Grid Lock off, Pitch -5 st", 120.0, 44100.0, false, -5.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        constexpr int block = 441;
        const double perBeat = c.sampleRate * 60.0 / c.bpm;
        const auto slice = (std::int64_t) (perBeat / 4.0);
        const auto gridLine = [&] (int k) { return (std::int64_t) std::ceil ((4.0 + k / 4.0) * perBeat - 1.0e-9); };
        const auto pressed = (gridLine (0) + block - 1) / block * block;
        const auto lineAt = [&] (int k) { return c.gridLock ? gridLine (k) : pressed + k * slice; };
        const std::int64_t total = lineAt (17);

        auto plugin = loadBrakkle (1, c.sampleRate, block);
        plugin->transport().bpm = c.bpm;
        setPlain (*plugin, ParameterIds::gridLock, c.gridLock ? 1.0f : 0.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
        setPlain (*plugin, ParameterIds::pitch, c.pitch);
        setPlain (*plugin, ParameterIds::pitchDecay, 100.0f);
        setPlain (*plugin, ParameterIds::reverse, 2.0f);          // "Alternate"

        juce::AudioBuffer<float> in (1, (int) total);
        for (int i = 0; i < in.getNumSamples(); ++i)
            in.setSample (0, i, tooth (i, perBeat));

        // Held from the first block at or after beat 4 (at most a block late:
        // the line owns the press) to the first at or after beat 8.
        std::int64_t played = 0;
        const auto out = brakkle::test::renderInBlocks (*plugin, in, { block }, [&] (int start) {
            played = start;
            setPlain (*plugin, ParameterIds::repeatHold, start >= lineAt (0) && start < lineAt (16) ? 1.0f : 0.0f);
        });
        ASSERT_GT (played, lineAt (15));

        // The recording itself passes the input, from line 0 to line 1.
        const double recorded = slopeAround (out, (lineAt (0) + lineAt (1)) / 2);
        for (int k = 1; k < 15; ++k)
        {
            const double ratio = slopeAround (out, (lineAt (k) + lineAt (k + 1)) / 2) / recorded;
            const bool backwards = ratio < 0.0;
            const double semitones = 12.0 * std::log2 (std::abs (ratio));
            EXPECT_EQ (backwards, k % 2 == 1) << "repeat " << k;
            EXPECT_NEAR (semitones, c.pitch + 1.0f - (float) k, 0.1) << "repeat " << k;
        }
    }
}

TEST (Repeat, APressCrossfadesFromWhatPasses)
{
    // Presses where the input passes: running free with Chance 0 (every cycle
    // passes the input; Repeat alone plays), "1/8" in "1/4", blocks of 441,
    // pressed at block 103 (or 130) and let go at block 300. No step beyond
    // the joins' bound.
    constexpr int block = 441;
    struct Case
    {
        const char* name;
        bool gridLock;
        float stutter;
        float chance;
        std::vector<std::pair<std::int64_t, HostAction>> changes;   // at a block's start
    };

    const auto repeat = [] (bool on) { return [on] (auto& p, auto) { setPlain (p, ParameterIds::repeatHold, on ? 1.0f : 0.0f); }; };
    const Case cases[] = {
        { "Chance 0, running free", false, 10.0f, 0.0f, { { 103 * block, repeat (true) }, { 300 * block, repeat (false) } } },
        { "Chance 0, running free, pressed mid-period", false, 10.0f, 0.0f, { { 130 * block, repeat (true) }, { 300 * block, repeat (false) } } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadBrakkle (1, rate, block);
        setPlain (*plugin, ParameterIds::gridLock, c.gridLock ? 1.0f : 0.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, c.stutter);
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);   // "1/4"
        setPlain (*plugin, ParameterIds::fillChance, c.chance);

        const auto worst = ClickMeasure::largestStep (*plugin, 700 * block, block, [&] (auto& p, auto start) {
            for (const auto& [at, action] : c.changes)
                if (start == at)
                    action (p, start);
        });
        EXPECT_LT (worst.size, ClickMeasure::allowedStep()) << "at sample " << worst.at;
    }
}

TEST (Repeat, GridLockOffWhileAPressWaitsStartsTheHeldSliceThere)
{
    // "1/2" held from beat 4.3 (Grid Lock on: it waits for the line at beat 5);
    // Grid Lock goes off at the block at beat 5 (sample 110250, block 250 of
    // 441): the held slice starts there, running free, and repeats every
    // 44100 samples, so the output is no longer the input.
    constexpr int block = 441;
    auto plugin = loadBrakkle (1, rate, block);
    setPlain (*plugin, ParameterIds::gridLock, 1.0f);
    setPlain (*plugin, ParameterIds::stutterTimeBpm, 16.0f);   // "1/2"
    juce::AudioBuffer<float> in (1, 600 * block);
    for (int i = 0; i < in.getNumSamples(); ++i)
        in.setSample (0, i, ClickMeasure::sine (i));

    const auto out = brakkle::test::renderInBlocks (*plugin, in, { block }, [&] (int start) {
        if (start == 215 * block)
            setPlain (*plugin, ParameterIds::repeatHold, 1.0f);
        if (start == 250 * block)
            setPlain (*plugin, ParameterIds::gridLock, 0.0f);
    });

    // Recorded from 110250 (the recording passes the input), repeated from
    // 154350: the first repeat sounds as the recording did. The held slice
    // takes over from the passing input with its crossfade.
    constexpr int from = 250 * block, slice = 44100;
    float step = 0.0f;
    for (int i = 1; i < out.getNumSamples(); ++i)
        step = std::max (step, std::abs (out.getSample (0, i) - out.getSample (0, i - 1)));
    EXPECT_LT (step, ClickMeasure::allowedStep());

    EXPECT_EQ (out.getSample (0, from + slice), 0.0f) << "the first repeat starts from nothing";
    float largest = 0.0f;
    for (int i = from + slice + 441; i < from + 2 * slice - 441; ++i)
        largest = std::max (largest, std::abs (out.getSample (0, i) - out.getSample (0, i - slice)));
    EXPECT_EQ (largest, 0.0f) << "the first repeat plays the slice recorded from the switch";
}

TEST (Repeat, ALatePressWithTheToneStageOnStepsNoMoreThanTheCycles)
{
    // Grid Lock on, "1/16" in "1/2", blocks of 441, the widener at 100 %
    // (its delay is 15 ms), alone and with the filter and the fade: a press
    // 10 or 20 ms after a line (beats 4.52 and 4.54) starts the held slice on
    // the line, taken up from the kept input; what the tone stage carries past
    // the press's crossfade steps no more than 1.5 times the render without it.
    constexpr int block = 441;
    struct Case
    {
        const char* name;
        float filterMix, fadeMix;
    };

    const Case cases[] = { { "the widener", 0.0f, 0.0f }, { "every tone effect", 100.0f, 100.0f } };

    for (const auto& c : cases)
    {
        ClickMeasure::Step plain;

        for (const std::int64_t pressAt : { std::int64_t (0), std::int64_t (226 * block), std::int64_t (227 * block) })
        {
            SCOPED_TRACE (juce::String (c.name) + (pressAt == 0 ? ", not pressed" : ", pressed at " + juce::String (pressAt)));
            auto plugin = loadBrakkle (1, rate, block);
            setPlain (*plugin, ParameterIds::gridLock, 1.0f);
            setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);    // "1/16"
            setPlain (*plugin, ParameterIds::refreshTimeBpm, 16.0f);   // "1/2"
            setPlain (*plugin, ParameterIds::stereoMix, 100.0f);
            setPlain (*plugin, ParameterIds::filterMix, c.filterMix);
            setPlain (*plugin, ParameterIds::fadeMix, c.fadeMix);

            const auto worst = ClickMeasure::largestStep (*plugin, 8 * samplesPerBeat, block, [&] (auto& p, auto start) {
                if (pressAt > 0 && start == pressAt)
                    setPlain (p, ParameterIds::repeatHold, 1.0f);
            });

            if (pressAt == 0)
                plain = worst;
            else
                EXPECT_LT (worst.size, 1.5f * plain.size) << "at sample " << worst.at;
            std::cout << c.name << ", pressed at " << pressAt << ": largest step " << worst.size << " at " << worst.at << "\n";
        }
    }
}
