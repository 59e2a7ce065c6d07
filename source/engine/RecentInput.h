#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>

namespace brakkle
{

/** The last stretch of input before the current block, whatever the block
    sizes: a repeat held by hand whose line lies up to this far back records
    its slice from here. Sized in prepare(); nothing is allocated while playing. */
class RecentInput
{
public:
    void prepare (int numChannels, int capacity)
    {
        ring.setSize (juce::jmax (1, numChannels), juce::jmax (1, capacity));
        ring.clear();
        writeIndex = 0;   // within the new size, whatever the old one was
        forget();
    }

    /** Nothing played is kept (a stop, a gap in the blocks). */
    void forget() noexcept { available = 0; }

    int capacity() const noexcept { return ring.getNumSamples(); }

    /** Samples kept before the current block. */
    int kept() const noexcept { return available; }

    /** Adds a played block's input (the block before the next one). */
    void push (const float* const* input, int numChannels, int numSamples) noexcept
    {
        const int size = capacity();
        const int skip = juce::jmax (0, numSamples - size);
        const int count = numSamples - skip;

        // At most two runs: up to the ring's end, then from its start.
        const int firstRun = juce::jmin (count, size - writeIndex);

        for (int c = 0; c < ring.getNumChannels(); ++c)
        {
            float* dest = ring.getWritePointer (c);

            if (c < numChannels)
            {
                const float* from = input[c] + skip;
                std::copy (from, from + firstRun, dest + writeIndex);
                std::copy (from + firstRun, from + count, dest);
            }
            else
            {
                std::fill (dest + writeIndex, dest + writeIndex + firstRun, 0.0f);
                std::fill (dest, dest + (count - firstRun), 0.0f);
            }
        }

        writeIndex = (writeIndex + count) % size;
        available = juce::jmin (size, available + numSamples);
    }

    /** The sample `samplesAgo` (1 to kept()) before the current block's first. */
    float ago (int channel, int samplesAgo) const noexcept
    {
        const int size = capacity();
        const int index = ((writeIndex - samplesAgo) % size + size) % size;
        return channel < ring.getNumChannels() ? ring.getSample (channel, index) : 0.0f;
    }

private:
    juce::AudioBuffer<float> ring;
    int writeIndex = 0;
    int available = 0;
};

} // namespace brakkle
