#pragma once

#include "engine/StutterEngine.h"

#include <juce_core/juce_core.h>

#include <cmath>

/** The crossfade a host's bypass switch makes between what the plug-in plays
    and the dry input, as long as the engine's own crossfades (10 ms) either way.

    The fade has a position from 0 (the plug-in's output) to its length (the
    dry input) that moves one step a sample towards the side the switch stands
    on, so a switch back inside a fade turns it round where it is. At either
    end the output is that side's samples themselves, untouched.

    The first block after prepare() starts settled on its own side: before it
    the host played nothing to fade from. Audio thread only, after prepare(). */
class BypassFade
{
public:
    void prepare (double sampleRate) noexcept
    {
        const auto rate = (float) sampleRate;
        length = std::isfinite (rate) && rate > 0.0f ? juce::jmax (1, StutterEngine::fadeLengthAt (rate)) : 1;
        position = notStarted;
    }

    /** True when a block on this side of the switch needs no fade: the fade
        already rests at that side (a first block after prepare() puts it there). */
    bool restsAt (bool bypassed, int numSamples) noexcept
    {
        if (position == notStarted)
        {
            if (numSamples <= 0)
                return true;

            position = endFor (bypassed);
        }

        return position == endFor (bypassed);
    }

    /** Fades one block on this side of the switch into `out` (which may be
        either source) and moves the fade on by the block's length. */
    void apply (bool bypassed, float* const* out, const float* const* processed, const float* const* dry,
                int numChannels, int numSamples) noexcept
    {
        if (position == notStarted || numSamples <= 0)
            return;

        const int step = bypassed ? 1 : -1;
        const int end = endFor (bypassed);

        for (int c = 0; c < numChannels; ++c)
        {
            int at = position;

            for (int i = 0; i < numSamples; ++i)
            {
                if (at != end)
                    at += step;

                const float p = processed[c][i], d = dry[c][i];

                if (at == 0)
                    out[c][i] = p;
                else if (at == length)
                    out[c][i] = d;
                else
                {
                    const float g = (float) at / (float) length;
                    out[c][i] = (1.0f - g) * p + g * d;
                }
            }
        }

        position = bypassed ? juce::jmin (length, position + numSamples) : juce::jmax (0, position - numSamples);
    }

private:
    static constexpr int notStarted = -1;

    int endFor (bool bypassed) const noexcept { return bypassed ? length : 0; }

    int length = 441;
    int position = notStarted;
};
