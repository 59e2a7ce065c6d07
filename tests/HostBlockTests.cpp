// Blocks as hosts send them, through the built bundle: split wherever something
// happens (a loop's end, an automation point, a locate), so of any size from 1
// up to the prepared one. The plug-in plays each block whole, so that what
// comes out is what steady blocks give, and a cut's tail carries its tone
// however short the blocks are.

#include "support/ClickMeasure.h"
#include "support/HostedBrakkle.h"
#include "support/Signals.h"

#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <vector>

using brakkle::test::ClickMeasure;
using brakkle::test::loadBrakkle;
using brakkle::test::setPlain;

namespace
{
    constexpr double rate = 44100.0;
    constexpr int prepared = 512;

    /** Block sizes a host might send over `total` samples: random from 1 to
        `largest` before `until`, steady blocks of `largest` after it, and a
        block boundary at each of `cuts` (where the host changes something). */
    std::vector<int> hostBlocks (int total, int largest, int until, std::vector<int> cuts, juce::int64 seed)
    {
        cuts.push_back (until);
        std::sort (cuts.begin(), cuts.end());
        juce::Random random (seed);
        std::vector<int> sizes;

        for (int start = 0; start < total;)
        {
            int n = start < until ? 1 + random.nextInt (largest) : largest;

            for (const int cut : cuts)
                if (cut > start && cut < start + n)
                    n = cut - start;

            sizes.push_back (n);
            start += n;
        }

        return sizes;
    }

    /** Renders the sine in these blocks, with parameter changes set before
        the blocks that start at their samples. */
    using Changes = std::multimap<int, std::function<void (brakkle::host::HostedPlugin&)>>;

    juce::AudioBuffer<float> render (const std::function<void (brakkle::host::HostedPlugin&)>& setUp,
                                     const Changes& changes, const std::vector<int>& sizes, int total)
    {
        auto plugin = loadBrakkle (1, rate, prepared);
        setUp (*plugin);
        return brakkle::test::renderInBlocks (*plugin, ClickMeasure::sineBuffer (total), sizes, [&] (int start) {
            const auto [first, last] = changes.equal_range (start);
            for (auto change = first; change != last; ++change)
                change->second (*plugin);
        });
    }

    float largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        float largest = 0.0f;
        for (int i = 0; i < a.getNumSamples(); ++i)
            largest = std::max (largest, std::abs (a.getSample (0, i) - b.getSample (0, i)));
        return largest;
    }
}

TEST (HostBlocks, BlocksOfAnySizePlayAsSteadyBlocks)
{
    // The host sends blocks of random sizes from 1 to the prepared 512 (and
    // splits one where it changes something), then steady blocks of 512. What
    // comes out is what steady blocks of 512 give: bit for bit running free,
    // where the engine does not depend on where blocks begin; on the grid,
    // within the last bit of a sample. A locate on the grid just past a line
    // takes up the cycle that began on it only if that line is less than a
    // block back: after short blocks, the blocks must still be whole.
    constexpr int total = (int) rate * 3;
    constexpr int randomUntil = prepared * 100;
    constexpr int press = prepared * 131, release = prepared * 140, locate = prepared * 180;   // both while a slice records

    struct Case
    {
        const char* name;
        std::function<void (brakkle::host::HostedPlugin&)> setUp;
        Changes changes;
        float tolerance;
    };

    const auto repeatOn = [] (bool on) { return [on] (auto& p) { setPlain (p, ParameterIds::repeatHold, on ? 1.0f : 0.0f); }; };

    const Case cases[] = {
        { "running free, a press and a release with Fade 60 and Filter 80",
          [] (auto& p) {
              setPlain (p, ParameterIds::stutterTimeBpm, 7.0f);    // "1/16"
              setPlain (p, ParameterIds::refreshTimeBpm, 13.0f);   // "1/4"
              setPlain (p, ParameterIds::fadeMix, 60.0f);
              setPlain (p, ParameterIds::filterMix, 80.0f);
          },
          { { press, repeatOn (true) }, { release, repeatOn (false) } }, 0.0f },
        { "on the grid, a locate 60 samples past a line",
          [] (auto& p) {
              setPlain (p, ParameterIds::gridLock, 1.0f);
              setPlain (p, ParameterIds::stutterTimeBpm, 7.0f);    // "1/16"
              setPlain (p, ParameterIds::refreshTimeBpm, 13.0f);   // "1/4"
          },
          { { locate, [] (auto& p) { p.transport().locate (8.0 + 60.0 * 2.0 / rate); } } }, 1.0e-6f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        std::vector<int> cuts;
        for (const auto& change : c.changes)
            cuts.push_back (change.first);

        const auto steady = render (c.setUp, c.changes, { prepared }, total);

        for (const juce::int64 seed : { 1, 2, 3 })
        {
            SCOPED_TRACE (seed);
            const auto sizes = hostBlocks (total, prepared, randomUntil, cuts, seed);
            const auto out = render (c.setUp, c.changes, sizes, total);

            if (juce::exactlyEqual (c.tolerance, 0.0f))
                EXPECT_EQ (brakkle::test::firstDifference (out, steady), "");
            else
                EXPECT_LE (largestDifference (out, steady), c.tolerance);
        }
    }
}

TEST (HostBlocks, CutsDuringARecordingCarryTheirToneInShortBlocks)
{
    // At 97 BPM, "1/32" slices in "1/4" cycles that repeat from a quarter of
    // the period on: Repeat pressed while a slice records, and released while
    // the held slice records. The cut cycle's tail crossfades over 10 ms, past
    // the end of a short block; with a tone effect at full it must carry that
    // effect all the way, so the join is as smooth as with the tone mixes at 0.
    constexpr int total = 300000;
    constexpr int press = 280832;     // 1229 samples into a slice's recording
    constexpr int held = 1500;        // the release, this far into the held slice's recording
    constexpr int judged = 600;       // samples judged from the press or release on

    struct Tone
    {
        const char* name;
        const juce::String* id;
        float mix;
    };

    const Tone tones[] = {
        { "filter +100", &ParameterIds::filterMix, 100.0f }, { "filter -100", &ParameterIds::filterMix, -100.0f },
        { "fade +100", &ParameterIds::fadeMix, 100.0f },     { "fade -100", &ParameterIds::fadeMix, -100.0f },
        { "stereo +100", &ParameterIds::stereoMix, 100.0f }, { "stereo -100", &ParameterIds::stereoMix, -100.0f },
    };

    /** The largest step in the `judged` samples from each switch of Repeat. */
    const auto stepsAtSwitches = [&] (int blockSize, const Tone* tone) {
        const int pressAt = press / blockSize * blockSize;
        const int releaseAt = (pressAt + held) / blockSize * blockSize;

        auto plugin = loadBrakkle (1, rate, blockSize);
        plugin->transport().bpm = 97.0;
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 4.0f);    // "1/32"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 13.0f);   // "1/4"
        setPlain (*plugin, ParameterIds::fillOffset, 4.0f);
        if (tone != nullptr)
            setPlain (*plugin, *tone->id, tone->mix);

        const auto out = brakkle::test::renderInBlocks (*plugin, ClickMeasure::sineBuffer (total), { blockSize }, [&] (int start) {
            if (start == pressAt || start == releaseAt)
                setPlain (*plugin, ParameterIds::repeatHold, start == pressAt ? 1.0f : 0.0f);
        });

        const auto largestFrom = [&out] (int from) { return ClickMeasure::largestStepIn (out, from, from + judged).size; };

        return std::pair { largestFrom (pressAt), largestFrom (releaseAt) };
    };

    for (const int blockSize : { 16, 32, 64, 128, 441 })
    {
        const auto [plainPress, plainRelease] = stepsAtSwitches (blockSize, nullptr);

        for (const auto& tone : tones)
        {
            SCOPED_TRACE (std::string (tone.name) + ", blocks of " + std::to_string (blockSize));
            const auto [atPress, atRelease] = stepsAtSwitches (blockSize, &tone);
            EXPECT_LE (atPress, 1.5f * plainPress);
            EXPECT_LE (atRelease, 1.5f * plainRelease);
            std::cout << "blocks of " << blockSize << ", " << tone.name << ": press " << atPress << " (plain " << plainPress
                      << "), release " << atRelease << " (plain " << plainRelease << ")\n";
        }
    }
}
