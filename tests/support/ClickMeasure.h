#pragma once

// The click measure for hand-overs between the passing input and repeats: a
// 0.5 sine at 110.3 Hz (not a whole number of half cycles per beat at common
// tempos, so lines do not fall on its zero crossings) played through the
// plug-in, and the largest step between neighbouring output samples.

#include "HostedBrakkle.h"

#include <juce_core/juce_core.h>

#include <cmath>
#include <functional>

namespace brakkle::test
{

struct ClickMeasure
{
    static constexpr double rate = 44100.0;
    static constexpr float hz = 110.3f;
    static constexpr float level = 0.5f;

    /** The bound of the joins inside the engine: the sine's own steepest step
        twice, plus one step of a 441-sample (10 ms) fade of the full level,
        through the output stage's trim. */
    static float allowedStep()
    {
        const float sineSlope = level * juce::MathConstants<float>::twoPi * hz / (float) rate;
        return 2.0f * sineSlope + 2.0f * level / 441.0f;
    }

    static float sine (std::int64_t n)
    {
        return level * std::sin (juce::MathConstants<float>::twoPi * hz * (float) n / (float) rate);
    }

    /** `total` samples of the sine, on one channel. */
    static juce::AudioBuffer<float> sineBuffer (int total)
    {
        juce::AudioBuffer<float> buffer (1, total);
        for (int i = 0; i < total; ++i)
            buffer.setSample (0, i, sine (i));
        return buffer;
    }

    struct Step
    {
        float size = 0.0f;
        std::int64_t at = 0;
    };

    /** The largest step between neighbouring samples of a rendered buffer, on
        any channel, at samples [from, to). */
    static Step largestStepIn (const juce::AudioBuffer<float>& b, std::int64_t from, std::int64_t to)
    {
        Step worst;
        for (int c = 0; c < b.getNumChannels(); ++c)
            for (auto i = juce::jmax ((std::int64_t) 1, from); i < juce::jmin (to, (std::int64_t) b.getNumSamples()); ++i)
            {
                const float step = std::abs (b.getSample (c, (int) i) - b.getSample (c, (int) i - 1));
                if (step > worst.size)
                    worst = { step, i };
            }
        return worst;
    }

    using BeforeBlock = std::function<void (host::HostedPlugin&, std::int64_t blockStart)>;

    /** Plays `total` samples of the sine in blocks and returns the largest step
        at or after `judgedFrom`. */
    static Step largestStep (host::HostedPlugin& plugin, std::int64_t total, int blockSize,
                             const BeforeBlock& beforeBlock, std::int64_t judgedFrom = 1)
    {
        Step worst;
        float previous = 0.0f;
        juce::AudioBuffer<float> block (1, blockSize);

        for (std::int64_t start = 0; start < total; start += blockSize)
        {
            beforeBlock (plugin, start);
            for (int i = 0; i < blockSize; ++i)
                block.setSample (0, i, sine (start + i));
            plugin.process (block);

            for (int i = 0; i < blockSize; ++i)
            {
                const float step = std::abs (block.getSample (0, i) - previous);
                if (start + i >= judgedFrom && step > worst.size)
                    worst = { step, start + i };
                previous = block.getSample (0, i);
            }
        }

        return worst;
    }
};

} // namespace brakkle::test
