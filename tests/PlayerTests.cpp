// The slice player on its own, driven by plans written by hand: no timing, no
// host. Each row lays a few steps over a noise input; the test works out every
// output sample itself (the edge fades, the fade before a cycle's end, the
// share of the passing input, the volume fade of the tone stage and the
// crossfade of a cut cycle's tail, the input fading in after a cycle that
// faded to silence) in single precision, gain by gain as the
// player multiplies, and wants exactly those samples back. The same rows played
// with each block's plan split in two must give the same samples as whole plans.

#include "engine/SlicePlayer.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <functional>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace
{
    using brakkle::CycleSpec;
    using Kind = brakkle::PlanStep::Kind;

    constexpr int F = 441;   // the 10 ms fades at 44.1 kHz
    constexpr float fadeVol = -12.0f;

    struct Step
    {
        Kind kind;
        int frame;           // in the whole signal
        CycleSpec cycle {};
    };

    struct Row
    {
        const char* name;
        int blockSize, length;
        std::vector<Step> steps;
        float inputGain = 1.0f;
        float fadeMix = 0.0f;   // the tone stage's rising volume fade; every other mix stays at 0
    };

    CycleSpec cycleOf (int slice, int period, int nominal, bool enters = false, bool exits = false)
    {
        CycleSpec c;
        c.sliceLength = slice;
        c.period = period;
        c.nominalPeriod = nominal;
        c.entersFromInput = enters;
        c.exitsIntoInput = exits;
        return c;
    }

    Step start (int frame, CycleSpec c) { return { Kind::startCycle, frame, c }; }
    Step pass (int frame) { return { Kind::passInput, frame }; }
    Step cut (int frame) { return { Kind::cutCycle, frame }; }
    Step retime (int frame, int period, bool exits = false) { return { Kind::retimeCycle, frame, cycleOf (0, period, 0, false, exits) }; }

    juce::AudioBuffer<float> inputFor (const Row& row)
    {
        auto in = brakkle::test::noise (2, row.length, 1234);
        in.applyGain (row.inputGain);
        return in;
    }

    //==========================================================================
    // The sound, worked out here sample by sample.
    float ratio (int a, int b) { return (float) a / (float) b; }
    float clampUnit (float x) { return x < -1.0f ? -1.0f : (x > 1.0f ? 1.0f : x); }

    // A slice shorter than two fades fades over its halves; the fade before a
    // cycle's end and the input's shares are no longer than that, nor than half
    // the cycle.
    int edgeFade (int L) { return std::min (F, L / 2); }
    int handOverFade (const CycleSpec& c) { return std::min (edgeFade (c.sliceLength), c.period / 2); }

    float edge (int p, int L)
    {
        const int f = edgeFade (L);
        if (p < f) return ratio (p, f);
        if (p > L - f) return 1.0f - ratio (p - (L - f), f);
        return 1.0f;
    }

    float beforeEnd (int count, const CycleSpec& c)
    {
        const int f = handOverFade (c);
        return count > c.period - f ? 1.0f - ratio (count - (c.period - f), f) : 1.0f;
    }

    float inputShare (int count, const CycleSpec& c)
    {
        const int f = handOverFade (c);
        float share = 0.0f;
        if (c.entersFromInput && count < f) share += 1.0f - ratio (count, f);
        if (c.exitsIntoInput && count > c.period - f) share += 1.0f - beforeEnd (count, c);
        return share;
    }

    // Limited, then (with the volume fade on) blended with itself faded from
    // fadeVol dB at the slice start up to 0 dB at its end.
    float toned (float x, int p, int L, float fadeMix)
    {
        const float s = clampUnit (x);
        if (juce::exactlyEqual (fadeMix, 0.0f))
            return s;
        const float gain = std::pow (10.0f, fadeVol * (1.0f - ratio (p, L)) * 0.05f);
        const float b = fadeMix / 100.0f;
        return clampUnit ((1.0f - b) * s + b * (s * gain));
    }

    struct Running { CycleSpec c; int start; };

    bool shapedCycle (const CycleSpec& c) { return c.sliceLength < c.nominalPeriod; }
    bool fadesRecording (const CycleSpec& c) { return c.period < c.sliceLength || c.exitsIntoInput; }

    float cycleSample (const Running& r, const juce::AudioBuffer<float>& in, int ch, int j, float fadeMix)
    {
        const auto& c = r.c;
        const int L = c.sliceLength, count = j - r.start;
        const float x = in.getSample (ch, j);
        if (! shapedCycle (c))
            return x;   // a slice as long as the refresh period is the input itself

        const bool recording = count < L;
        const int p = recording ? count : (count - L) % L;
        const float s = in.getSample (ch, r.start + p);
        const float before = ! recording || fadesRecording (c) ? beforeEnd (count, c) : 1.0f;
        float out = clampUnit (toned (s, p, L, fadeMix) * edge (p, L)) * before;
        if (const float share = inputShare (count, c); share > 0.0f)
            out += share * x;
        return out;
    }

    // A cut cycle as it would have gone on: what it plays and how much of the
    // input it passes, `i` frames after the cut.
    std::pair<float, float> tailAt (const Running& r, const juce::AudioBuffer<float>& in, int ch, int cutFrame, int i)
    {
        const auto& c = r.c;
        const int L = c.sliceLength, count = cutFrame - r.start + i;
        if (count >= c.period)
            return { 0.0f, shapedCycle (c) && ! c.exitsIntoInput ? 0.0f : 1.0f };   // where its end leads
        if (! shapedCycle (c))
            return { 0.0f, 1.0f };
        if (count < L)
            return { 0.0f, edge (count, L) * (fadesRecording (c) ? beforeEnd (count, c) : 1.0f) + inputShare (count, c) };

        const int p = (count - L) % L;
        return { clampUnit (in.getSample (ch, r.start + p) * edge (p, L)) * beforeEnd (count, c), inputShare (count, c) };
    }

    juce::AudioBuffer<float> expectedFor (const Row& row, const juce::AudioBuffer<float>& in)
    {
        juce::AudioBuffer<float> out (in);
        std::optional<Running> running;
        std::vector<std::pair<Running, int>> cuts;
        size_t s = 0;
        bool passing = false;   // the input passes since a passInput step
        int fadeInFrom = -1;    // where the input began fading in after silence

        for (int j = 0; j < row.length; ++j)
        {
            for (; s < row.steps.size() && row.steps[s].frame == j; ++s)
            {
                const auto& step = row.steps[s];

                // Where the output stands as the running cycle reaches its end.
                const bool ended = running && j - running->start >= running->c.period;
                const bool atSilence = ended && shapedCycle (running->c) && ! running->c.exitsIntoInput;
                const bool atInput = (ended && ! atSilence) || (! running && passing);

                if (step.kind == Kind::startCycle)
                {
                    running = Running { step.cycle, j };
                    passing = false;
                    fadeInFrom = -1;
                    if (atInput && shapedCycle (step.cycle))
                        running->c.entersFromInput = true;   // it takes over from the input
                    else if (atSilence && ! shapedCycle (step.cycle))
                        fadeInFrom = j;                      // the input fades in after silence
                }
                if (step.kind == Kind::passInput)
                {
                    if (atSilence)
                        fadeInFrom = j;
                    running.reset();
                    passing = true;
                }
                if (step.kind == Kind::cutCycle && running && j - running->start < running->c.period)
                    cuts.push_back ({ *running, j });
                if (step.kind == Kind::retimeCycle && running)
                {
                    // A fade toward the old end that has begun goes on as it
                    // began in a cut's tail; where the new end's fade would have
                    // begun already, the tail is the cycle as it went before.
                    const auto fading = [&] (const CycleSpec& c) {
                        const int count = j - running->start;
                        return count > 0 && count < running->c.period && count > c.period - handOverFade (c);
                    };
                    auto retimed = running->c;
                    retimed.period = step.cycle.period;
                    retimed.entersFromInput = running->c.entersFromInput || step.cycle.entersFromInput;
                    retimed.exitsIntoInput = step.cycle.exitsIntoInput;
                    const bool moves = retimed.period != running->c.period || retimed.exitsIntoInput != running->c.exitsIntoInput;
                    if (moves && (fading (running->c) || fading (retimed)))
                        cuts.push_back ({ *running, j });
                    running->c = retimed;
                }
            }

            for (int ch = 0; running && ch < 2; ++ch)
                out.setSample (ch, j, cycleSample (*running, in, ch, j, row.fadeMix));

            if (fadeInFrom >= 0 && j - fadeInFrom < F)
                for (int ch = 0; ch < 2; ++ch)
                    out.setSample (ch, j, out.getSample (ch, j) * ratio (j - fadeInFrom + 1, F));
        }

        // The tail fades out over whatever follows: out + (old - out) * w, where
        // old = tail + share * input. A cut inside the crossfade of the one
        // before starts from what is heard: its old path is blended with that
        // crossfade's old path by that crossfade's weight.
        const std::function<float (size_t, int, int)> oldPath = [&] (size_t k, int ch, int frame) {
            const auto& [cycle, at] = cuts[k];
            const auto [tail, share] = tailAt (cycle, in, ch, at, frame - at);
            float old = tail + share * in.getSample (ch, frame);
            if (k > 0 && frame < cuts[k - 1].second + F)
            {
                const int i = frame - cuts[k - 1].second;
                old = old + (oldPath (k - 1, ch, frame) - old) * (1.0f - ratio (i, F));
            }
            return old;
        };

        for (size_t k = 0; k < cuts.size(); ++k)
        {
            const int at = cuts[k].second;
            const int until = k + 1 < cuts.size() ? std::min (at + F, cuts[k + 1].second) : at + F;
            for (int frame = at; frame < until && frame < row.length; ++frame)
                for (int ch = 0; ch < 2; ++ch)
                {
                    const float now = out.getSample (ch, frame);
                    out.setSample (ch, frame, now + (oldPath (k, ch, frame) - now) * (1.0f - ratio (frame - at, F)));
                }
        }

        return out;
    }

    //==========================================================================
    struct Tone
    {
        brakkle::RelaxedFloat filterFreq { 8000.0f }, filterMix, fadeVolume { fadeVol }, fadeMix, stereoWidth { 100.0f }, stereoMix;
        brakkle::ToneControls controls() const { return { filterFreq, filterMix, fadeVolume, fadeMix, stereoWidth, stereoMix }; }
    };

    /** Plays the row block by block, keeping each block's input; with `splitAt`
        inside a block, its plan is played in two pieces that meet there. */
    juce::AudioBuffer<float> played (const Row& row, const juce::AudioBuffer<float>& in, int splitAt = -1)
    {
        Tone tone;
        tone.fadeMix = row.fadeMix;
        brakkle::SlicePlayer player (tone.controls());
        player.prepare ({ 44100.0, (juce::uint32) row.blockSize, 2 }, 44100);

        juce::AudioBuffer<float> out (in);
        brakkle::BlockPlan plan;

        for (int b0 = 0; b0 < row.length; b0 += row.blockSize)
        {
            const int n = juce::jmin (row.blockSize, row.length - b0);
            const int split = splitAt > 0 && splitAt < n ? splitAt : n;
            juce::AudioBuffer<float> block (out.getArrayOfWritePointers(), 2, b0, n);
            player.beginBlock (block);

            for (const auto& [from, to] : { std::pair { 0, split }, std::pair { split, n } })
            {
                if (from == to)
                    continue;
                plan.restartAt (from);
                for (const auto& step : row.steps)
                    if (step.frame >= b0 + from && step.frame < b0 + to)
                        plan.add ({ step.kind, step.frame - b0, step.cycle });
                plan.end = to;
                player.play (block, plan);
            }

            player.endBlock (block);
        }

        return out;
    }

    std::vector<Row> cycleRows()
    {
        return {
            { "a slice recorded, repeated, then a fresh one; a loud input is limited", 512, 8000,
              { start (300, cycleOf (1000, 4000, 4000)), start (4300, cycleOf (1500, 3000, 3000)), pass (7300) }, 1.4f },
            { "a slice shorter than two fades", 256, 4000,
              { start (0, cycleOf (600, 3000, 3000)), pass (3000) } },
            { "the grid ends the cycle before its slice is full", 300, 6000,
              { start (150, cycleOf (3000, 2000, 6000)), start (2150, cycleOf (3000, 2000, 6000)), pass (4150) } },
            { "a gate exits into the input, which then passes untouched", 512, 6000,
              { start (200, cycleOf (1000, 2500, 4000, false, true)), pass (2700) } },
            { "a cycle enters from the passing input", 1000, 5000,
              { start (700, cycleOf (1000, 3000, 3000, true)), start (3700, cycleOf (800, 1200, 1200)), pass (4900) } },
            { "entering and exiting overlap in a short cycle", 512, 3000,
              { start (100, cycleOf (1000, 700, 2000, true, true)), pass (800) } },
            { "a slice as long as the refresh period leaves the input alone", 512, 5000,
              { start (100, cycleOf (2000, 3000, 2000)), pass (3100) } },
            { "the tone stage's volume fade, half mixed in", 512, 5000,
              { start (300, cycleOf (1000, 4000, 4000)), pass (4300) }, 1.0f, 50.0f },
        };
    }

    std::vector<Row> cutRows()
    {
        return {
            { "cut while repeating, across the slice's end", 512, 4000,
              { start (100, cycleOf (1000, 8000, 8000)), cut (2048), pass (2048) } },
            { "cut while still recording, into the repeats", 512, 3000,
              { start (100, cycleOf (600, 8000, 8000)), cut (512), pass (512) } },
            { "cut just before its end, over a fresh cycle", 512, 4000,
              { start (100, cycleOf (1000, 2148, 2148)), cut (2048), start (2048, cycleOf (700, 1400, 1400)), pass (3448) } },
            { "a crossfade longer than the block, from recording into repeats", 256, 3000,
              { start (100, cycleOf (1000, 8000, 8000)), cut (768), pass (768) } },
            { "cut during a gate's exit into the input", 256, 3000,
              { start (0, cycleOf (500, 2000, 4000, false, true)), cut (1792), pass (1792) } },
            { "cut after the cycle's end: nothing to fade", 512, 3000,
              { start (0, cycleOf (800, 1024, 1024)), cut (1024), pass (1024) } },
            { "cut near the end of a gate's exit: past its end the tail is the input", 256, 3000,
              { start (0, cycleOf (500, 2000, 4000, false, true)), cut (1792), start (1792, cycleOf (600, 3000, 3000)) } },
            { "cut inside the crossfade of a cut before it", 256, 4000,
              { start (100, cycleOf (1000, 8000, 8000)), cut (2048), start (2048, cycleOf (700, 5000, 5000)),
                cut (2304), start (2304, cycleOf (600, 5000, 5000)), pass (3800) } },
            { "the end moved later while fading toward it", 256, 5000,
              { start (0, cycleOf (500, 2000, 2000)), retime (1792, 2600), start (2600, cycleOf (500, 2000, 2000)), pass (4600) } },
            { "the end moved closer while fading toward it", 256, 5000,
              { start (0, cycleOf (500, 2000, 2000)), retime (1792, 1900), start (1900, cycleOf (500, 2000, 2000)), pass (3900) } },
            { "the end moved into the frames already past its fade's start", 256, 5000,
              { start (0, cycleOf (500, 3000, 3000)), retime (1792, 2000), start (2000, cycleOf (500, 2000, 2000)), pass (4000) } },
            { "the next line passes the input while fading toward it", 256, 5000,
              { start (0, cycleOf (500, 2000, 2000)), retime (1792, 2000, true), pass (2000) } },
            { "the end moved later while fading into the input", 256, 5000,
              { start (0, cycleOf (500, 2000, 4000, false, true)), retime (1792, 2600), start (2600, cycleOf (500, 2000, 2000)), pass (4600) } },
            { "a move of a few samples before the fade leaves the cycle alone", 256, 5000,
              { start (0, cycleOf (500, 2000, 2000)), retime (1280, 2010), start (2010, cycleOf (500, 2000, 2000)), pass (4010) } },
        };
    }

    void expectRowsPlayAsWorkedOut (const std::vector<Row>& rows)
    {
        for (const auto& row : rows)
        {
            const auto in = inputFor (row);
            EXPECT_EQ (brakkle::test::firstDifference (played (row, in), expectedFor (row, in)), "") << row.name;
        }
    }
}

TEST (Player, CyclesRecordRepeatAndFadeExactlyAsWorkedOut)
{
    expectRowsPlayAsWorkedOut (cycleRows());
}

TEST (Player, CutCyclesCrossfadeTheirTailIntoWhatFollows)
{
    expectRowsPlayAsWorkedOut (cutRows());
}

TEST (Player, PlansSplitMidBlockPlayTheSameSamplesAsWholePlans)
{
    auto rows = cycleRows();
    for (auto& row : cutRows())
        rows.push_back (row);

    for (const auto& row : rows)
    {
        const auto in = inputFor (row);
        const auto whole = played (row, in);
        for (const int split : { 1, 97, row.blockSize / 2 + 3, row.blockSize - 1 })
            EXPECT_EQ (brakkle::test::firstDifference (played (row, in, split), whole), "") << row.name << ", split at " << split;
    }
}
