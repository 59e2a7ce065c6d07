// A host's bypass through the built bundle. Switching it either way crossfades
// over 10 ms between what the plug-in plays (mix, output gain, -3 dB trim, soft
// clip) and the dry input, so neither way steps the level; a switch back inside
// a fade turns the fade round where it is. Once a fade is over the plug-in
// sounds exactly as without the crossfade: the bypassed blocks are the input
// itself, and after the bypass it plays as after a stopped transport.
//
// The host switches at block starts: JUCE's VST3 client applies a block's
// parameter changes before processing it and calls processBlockBypassed while
// its own bypass parameter is on; its LV2 client reads the `enabled` port once
// per run.

#include "support/AllocationCounter.h"
#include "support/ClickMeasure.h"
#include "support/HostedBrakkle.h"
#include "support/Signals.h"

#include "engine/SoftClip.h"
#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

using brakkle::host::HostedPlugin;
using brakkle::test::ClickMeasure;
using brakkle::test::loadBrakkle;
using brakkle::test::setPlain;

namespace
{
    constexpr double rate = ClickMeasure::rate;
    constexpr int fadeLength = 441;   // 10 ms at 44.1 kHz
    const float trim = std::pow (10.0f, -0.15f);   // the output stage's -3 dB

    // "1/16" in "1/4" at 120 BPM: slices of 5512 samples, cycles of 22050.
    // When the bypass comes a slice repeats, with Grid Lock off (cycles from
    // sample 0) and on (cycles from beat 1, sample 11025, the play starting at
    // beat 0.5); when it goes, a fresh cycle starts (Grid Lock off) or the
    // input passes until the next line (on).
    constexpr std::int64_t firstOn = 51200;    // 100 blocks of 512, 400 of 128
    constexpr std::int64_t firstOff = 61440;   // 120 blocks of 512, 480 of 128
    constexpr std::int64_t total = 44100 * 3;

    struct Switch
    {
        std::int64_t at;   // a block start
        bool bypassed;
    };

    struct Scenario
    {
        const char* name;
        int blockSize;
        std::vector<Switch> switches;
    };

    const Scenario scenarios[] = {
        { "blocks of 512", 512, { { firstOn, true }, { firstOff, false } } },
        { "blocks of 128, each fade across four", 128, { { firstOn, true }, { firstOff, false } } },
        { "switched back inside the fades", 128, {
              { firstOn, true }, { firstOn + 384, false }, { firstOn + 512, true },
              { firstOff, false }, { firstOff + 256, true }, { firstOff + 384, false } } },
    };

    /** The input: the click measure's sine, a quarter turn later on the right. */
    float inputSample (int channel, std::int64_t n)
    {
        return ClickMeasure::sine (channel == 0 ? n : n + 100);
    }

    bool bypassedAt (const Scenario& s, std::int64_t n)
    {
        bool bypassed = false;
        for (const auto& sw : s.switches)
            if (sw.at <= n)
                bypassed = sw.bypassed;
        return bypassed;
    }

    /** How far each sample is into the bypass, from 0 (the plug-in's output)
        to fadeLength (the dry input): one step a sample towards where the
        bypass switch stands, so that a fade from one end is over with its
        441st sample, a fade's length after the switch. */
    std::vector<int> fadePositions (const Scenario& s)
    {
        std::vector<int> positions ((size_t) total);
        int position = 0;
        for (std::int64_t n = 0; n < total; ++n)
        {
            position = juce::jlimit (0, fadeLength, position + (bypassedAt (s, n) ? 1 : -1));
            positions[(size_t) n] = position;
        }
        return positions;
    }

    std::unique_ptr<HostedPlugin> loadForBypass (int blockSize, bool gridLock)
    {
        auto plugin = loadBrakkle (2, rate, blockSize);
        if (plugin == nullptr)
            return nullptr;

        setPlain (*plugin, ParameterIds::gridLock, gridLock ? 1.0f : 0.0f);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);   // "1/16"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);  // "1/4"
        plugin->transport().locate (0.5);
        return plugin;
    }

    void setBypass (HostedPlugin& plugin, bool bypassed)
    {
        auto* bypass = plugin.instance().getBypassParameter();
        ASSERT_NE (bypass, nullptr) << "the host finds no bypass parameter";
        HostedPlugin::setNormalised (*bypass, bypassed ? 1.0f : 0.0f);
    }

    struct Rendered
    {
        juce::AudioBuffer<float> input, output, reference;
    };

    /** The scenario played through one instance, and through a second one in
        step with it that is never bypassed: its transport reports what the
        first one's does, but stopped from firstOn to firstOff (in every
        scenario the plug-in rests in the bypass between the two: switched
        back inside the fades, its engine plays on until the fade into the
        bypass is over, and again from firstOff on). */
    Rendered render (const Scenario& s, bool gridLock)
    {
        Rendered r { juce::AudioBuffer<float> (2, (int) total), juce::AudioBuffer<float> (2, (int) total),
                     juce::AudioBuffer<float> (2, (int) total) };
        r.output.clear();
        r.reference.clear();

        auto plugin = loadForBypass (s.blockSize, gridLock);
        auto reference = loadForBypass (s.blockSize, gridLock);
        if (plugin == nullptr || reference == nullptr)
            return r;

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < (int) total; ++i)
                r.input.setSample (c, i, inputSample (c, i));

        juce::AudioBuffer<float> block (2, s.blockSize), referenceBlock (2, s.blockSize);

        for (std::int64_t start = 0; start < total; start += s.blockSize)
        {
            const int n = (int) juce::jmin ((std::int64_t) s.blockSize, total - start);

            for (const auto& sw : s.switches)
                if (sw.at == start)
                    setBypass (*plugin, sw.bypassed);

            reference->transport() = plugin->transport();
            reference->transport().playing = ! (start >= firstOn && start < firstOff);

            block.setSize (2, n, false, false, true);
            referenceBlock.setSize (2, n, false, false, true);
            for (int c = 0; c < 2; ++c)
            {
                block.copyFrom (c, 0, r.input, c, (int) start, n);
                referenceBlock.copyFrom (c, 0, r.input, c, (int) start, n);
            }

            plugin->process (block);
            reference->process (referenceBlock);

            for (int c = 0; c < 2; ++c)
            {
                r.output.copyFrom (c, (int) start, block, c, 0, n);
                r.reference.copyFrom (c, (int) start, referenceBlock, c, 0, n);
            }
        }

        return r;
    }

    std::string digits (float x)
    {
        return juce::String (x, 9).toStdString();
    }

    std::string caseName (const Scenario& s, bool gridLock)
    {
        return std::string (s.name) + (gridLock ? ", Grid Lock on" : ", Grid Lock off");
    }
}

TEST (Bypass, SwitchingEitherWayStepsNoMoreThanTheJoinsInsideTheEngine)
{
    // The largest step between neighbouring output samples, over the whole
    // render and around each switch, stays within the bound of the engine's
    // own joins (ClickMeasure::allowedStep).
    const float allowed = ClickMeasure::allowedStep();

    for (const bool gridLock : { false, true })
        for (const auto& s : scenarios)
        {
            SCOPED_TRACE (caseName (s, gridLock));
            const auto r = render (s, gridLock);

            // A slice repeats in the block before the bypass comes: there the
            // output is not the input as it passes through the input and
            // output stages (soft clip, -3 dB trim, soft clip).
            float fromPassingInput = 0.0f;
            for (auto i = firstOn - s.blockSize; i < firstOn; ++i)
            {
                const float passing = brakkle::softClip (brakkle::softClip (r.input.getSample (0, (int) i)) * trim);
                fromPassingInput = juce::jmax (fromPassingInput, std::abs (r.output.getSample (0, (int) i) - passing));
            }
            ASSERT_GT (fromPassingInput, 0.05f) << "no repeat plays when the bypass comes";

            for (const auto& sw : s.switches)
            {
                const auto around = ClickMeasure::largestStepIn (r.output, sw.at, sw.at + fadeLength + s.blockSize);
                EXPECT_LT (around.size, allowed) << (sw.bypassed ? "into" : "out of") << " the bypass at " << sw.at
                                                 << ": step at sample " << around.at;
                std::cout << caseName (s, gridLock) << ", " << (sw.bypassed ? "into" : "out of") << " the bypass at "
                          << sw.at << ": largest step " << around.size << " at sample " << around.at
                          << " (bound " << allowed << ")\n";
            }

            const auto worst = ClickMeasure::largestStepIn (r.output, 1, total);
            EXPECT_LT (worst.size, allowed) << "at sample " << worst.at;
        }
}

TEST (Bypass, AFadesLengthAfterASwitchTheOutputIsExactlyWhatItWasWithoutTheFade)
{
    // Where the fade is over: in the bypass, the dry input itself; out of it,
    // sample for sample what an instance never bypassed plays with its
    // transport stopped over the same stretch (a bypass leaves the engine as a
    // stopped transport does, and the output stage is untouched). Before the
    // first switch both instances play the same.
    for (const bool gridLock : { false, true })
        for (const auto& s : scenarios)
        {
            SCOPED_TRACE (caseName (s, gridLock));
            const auto r = render (s, gridLock);
            const auto positions = fadePositions (s);

            std::string firstWrong;
            for (std::int64_t i = 0; i < total && firstWrong.empty(); ++i)
            {
                const auto position = positions[(size_t) i];
                const bool inBypass = bypassedAt (s, i);

                for (int c = 0; c < 2 && firstWrong.empty(); ++c)
                {
                    const float out = r.output.getSample (c, (int) i);
                    const float in = r.input.getSample (c, (int) i), ref = r.reference.getSample (c, (int) i);

                    if (inBypass && position == fadeLength && ! juce::exactlyEqual (out, in))
                        firstWrong = "in the bypass, channel " + std::to_string (c) + " sample " + std::to_string (i)
                                   + ": " + digits (out) + " against the input " + digits (in);
                    else if (! inBypass && position == 0 && ! juce::exactlyEqual (out, ref))
                        firstWrong = "outside the bypass, channel " + std::to_string (c) + " sample " + std::to_string (i)
                                   + ": " + digits (out) + " against " + digits (ref);
                }
            }

            EXPECT_EQ (firstWrong, "");

            // Halfway through each fade that runs its whole length, the output
            // is yet neither where it comes from nor where it goes.
            for (size_t k = 0; k < s.switches.size(); ++k)
            {
                const auto& sw = s.switches[k];
                const bool whole = k + 1 == s.switches.size() || s.switches[k + 1].at >= sw.at + fadeLength;
                const bool fromEnd = positions[(size_t) sw.at - 1] == (sw.bypassed ? 0 : fadeLength);
                if (! whole || ! fromEnd)
                    continue;

                const auto half = (int) sw.at + fadeLength / 2;
                EXPECT_NE (r.output.getSample (0, half), r.input.getSample (0, half)) << "switch at " << sw.at;
                EXPECT_NE (r.output.getSample (0, half), r.reference.getSample (0, half)) << "switch at " << sw.at;
            }

            // Both kinds of sample are there to be compared.
            std::int64_t dry = 0, played = 0;
            for (std::int64_t i = 0; i < total; ++i)
            {
                dry += bypassedAt (s, i) && positions[(size_t) i] == fadeLength ? 1 : 0;
                played += ! bypassedAt (s, i) && positions[(size_t) i] == 0 && i >= firstOff ? 1 : 0;
            }
            EXPECT_GT (dry, 0);
            EXPECT_GT (played, 0);
        }
}

TEST (Bypass, BypassedFromTheFirstBlockPassesTheInputExactly)
{
    // An instance the host runs bypassed from the start has nothing to fade
    // from: every sample is the input.
    auto plugin = loadForBypass (512, false);
    ASSERT_NE (plugin, nullptr);
    setBypass (*plugin, true);

    juce::AudioBuffer<float> input (2, 44100);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < input.getNumSamples(); ++i)
            input.setSample (c, i, inputSample (c, i));

    const auto output = brakkle::test::renderInBlocks (*plugin, input, { 512 });
    EXPECT_EQ (brakkle::test::firstDifference (output, input), "");
}

TEST (Bypass, SwitchingAllocatesNothing)
{
    // The crossfade's room is made before the audio starts: switching the
    // bypass, also inside a fade, allocates nothing on the audio thread, from
    // the very first switch on.
    auto plugin = loadForBypass (512, true);
    ASSERT_NE (plugin, nullptr);

    const auto source = brakkle::test::noise (2, 512, 3);
    juce::AudioBuffer<float> block (2, 512);

    // Warm-up, the switch left off: JUCE's hosting makes room for a
    // parameter's changes the first time it sends one.
    for (int i = 0; i < 50; ++i)
    {
        setBypass (*plugin, false);
        block.makeCopyOf (source, true);
        plugin->process (block);
    }

    long allocations = 0;
    for (int i = 0; i < 2000; ++i)
    {
        setBypass (*plugin, (i / 3) % 2 == 1 || i % 7 == 0);
        block.makeCopyOf (source, true);

        brakkle::test::ScopedAllocationCount counter;
        plugin->process (block);
        allocations += counter.count();
    }

    EXPECT_EQ (allocations, 0);
}
