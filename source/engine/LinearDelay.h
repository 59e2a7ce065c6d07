#pragma once

#include <juce_core/juce_core.h>

#include <cmath>
#include <vector>

namespace brakkle
{

/** A single-channel delay line with linear interpolation that gives exactly the
    samples of juce::dsp::DelayLine<float, Linear> used one push and one pop at
    a time: the same buffer length (maximum delay + 2), the same read and write
    positions, the same interpolation arithmetic. It moves its positions with a
    compare instead of an integer division, which keeps two dependent divisions
    per sample off the audio thread's critical path. */
class LinearDelay
{
public:
    /** Sizes the buffer for delays up to maxDelayInSamples and clears it. */
    void setMaximumDelayInSamples (int maxDelayInSamples)
    {
        totalSize = juce::jmax (4, maxDelayInSamples + 2);
        buffer.assign ((size_t) totalSize, 0.0f);
        reset();
    }

    /** A delay in samples, split into whole samples and a fraction. */
    void setDelay (float newDelayInSamples)
    {
        const auto upperLimit = (float) (totalSize - 2);
        delay = juce::jlimit (0.0f, upperLimit, newDelayInSamples);
        delayInt = (int) std::floor (delay);
        delayFrac = delay - (float) delayInt;
    }

    float getDelay() const noexcept { return delay; }

    /** Silence, positions back to the start. */
    void reset() noexcept
    {
        std::fill (buffer.begin(), buffer.end(), 0.0f);
        writePos = 0;
        readPos = 0;
    }

    /** The same contents, positions and delay as `other`, which must have the
        same maximum delay (nothing is allocated). */
    void copyStateFrom (const LinearDelay& other) noexcept
    {
        jassert (other.totalSize == totalSize);
        if (other.totalSize != totalSize)
            return;

        std::copy (other.buffer.begin(), other.buffer.end(), buffer.begin());
        writePos = other.writePos;
        readPos = other.readPos;
        delay = other.delay;
        delayFrac = other.delayFrac;
        delayInt = other.delayInt;
    }

    void pushSample (float sample) noexcept
    {
        buffer[(size_t) writePos] = sample;
        writePos = writePos == 0 ? totalSize - 1 : writePos - 1;
    }

    float popSample() noexcept
    {
        auto index1 = readPos + delayInt;
        auto index2 = index1 + 1;

        if (index2 >= totalSize)
        {
            index1 = index1 >= totalSize ? index1 - totalSize : index1;
            index2 -= totalSize;
        }

        const auto value1 = buffer[(size_t) index1];
        const auto value2 = buffer[(size_t) index2];
        readPos = readPos == 0 ? totalSize - 1 : readPos - 1;

        return value1 + delayFrac * (value2 - value1);
    }

    /** Pushes `count` frames of several channels, interleaved frame by frame in
        channel order, each push followed by a pop whose sample is not needed:
        the same as pushSample and popSample in turn, without the reading. */
    void pushFramesUnread (const float* const* channels, int numChannels, int start, int count) noexcept
    {
        // The write position walks down the buffer and wraps at its bottom:
        // whole frames that fit above the bottom are written without a check.
        for (int j = start; j < start + count;)
        {
            const int framesAbove = numChannels > 0 ? (writePos + 1) / numChannels : count;
            const int run = juce::jmin (start + count - j, framesAbove);
            float* to = buffer.data() + writePos;

            for (int k = 0; k < run; ++k, ++j)
                for (int c = 0; c < numChannels; ++c)
                    *to-- = channels[c][j];

            writePos -= run * numChannels;

            if (j < start + count && (run == 0 || writePos < 0))
            {
                // The frame that crosses the bottom, sample by sample.
                if (writePos < 0)
                    writePos += totalSize;

                for (int c = 0; c < numChannels; ++c)
                {
                    buffer[(size_t) writePos] = channels[c][j];
                    writePos = writePos == 0 ? totalSize - 1 : writePos - 1;
                }
                ++j;
            }
            else if (writePos < 0)
            {
                writePos += totalSize;
            }
        }

        readPos -= (int) (((juce::int64) count * numChannels) % totalSize);
        if (readPos < 0)
            readPos += totalSize;
    }

private:
    std::vector<float> buffer = std::vector<float> (4, 0.0f);
    int totalSize = 4;
    int writePos = 0, readPos = 0;
    float delay = 0.0f, delayFrac = 0.0f;
    int delayInt = 0;
};

} // namespace brakkle
