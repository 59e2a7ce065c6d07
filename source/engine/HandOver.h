#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>
#include <vector>

namespace brakkle
{

/** The input of the block being played and of the one before it, as it came
    in. A cycle found at a block's start to have begun on a line shortly before
    it records that stretch from here, and crossfades blend with the input.
    Storage is sized in prepare(); a block longer than that is not kept. */
class InputHistory
{
public:
    void prepare (int numChannels, int maxBlockSize)
    {
        for (auto& b : blocks)
        {
            b.setSize (juce::jmax (1, numChannels), juce::jmax (1, maxBlockSize));
            b.clear();
        }
        forget();
    }

    /** Nothing played before the next block. */
    void forget() noexcept { lengths[0] = lengths[1] = 0; hasCurrent = false; }

    /** Keeps the input of the block about to be played. */
    void capture (const juce::AudioBuffer<float>& block) noexcept
    {
        auto& current = blocks[currentIndex];
        const int n = block.getNumSamples();
        hasCurrent = n <= current.getNumSamples() && block.getNumChannels() <= current.getNumChannels();
        lengths[currentIndex] = hasCurrent ? n : 0;

        for (int c = 0; c < block.getNumChannels() && hasCurrent; ++c)
            std::copy (block.getReadPointer (c), block.getReadPointer (c) + n, current.getWritePointer (c));
    }

    /** The current block becomes the one before. */
    void endBlock() noexcept
    {
        currentIndex ^= 1;
        lengths[currentIndex] = 0;
        hasCurrent = false;
    }

    bool capturedCurrent() const noexcept { return hasCurrent; }
    int currentLength() const noexcept { return lengths[currentIndex]; }
    const float* const* current() const noexcept { return blocks[currentIndex].getArrayOfReadPointers(); }
    int numChannels() const noexcept { return blocks[0].getNumChannels(); }

    /** Samples of the block before the current one that are kept (0: none). */
    int previousLength() const noexcept { return lengths[currentIndex ^ 1]; }

    /** A sample of the block before, by channel and index. */
    float previous (int channel, int index) const noexcept
    {
        const auto& b = blocks[currentIndex ^ 1];
        return channel < b.getNumChannels() ? b.getSample (channel, index) : 0.0f;
    }

private:
    juce::AudioBuffer<float> blocks[2];
    int lengths[2] {};
    int currentIndex = 0;
    bool hasCurrent = false;
};

/** A crossfade from where the output was heading into where it goes now, for
    a change that is noticed only at a block's start (a jump, a held position):
    over its length the old path (the "tail") fades out while the new one takes
    over. The tail is a stored part plus a share of the live input, so a path
    that was passing the input simply keeps passing it as it fades.

    A crossfade that begins while another is under way starts from what is
    heard: the earlier one's remaining blend becomes part of the new tail, so
    changes that follow each other closely (a press and a release, a cut
    inside a crossfade, a line moved twice) never step. */
class Crossfade
{
public:
    void prepare (int numChannels, int maxLength)
    {
        for (auto* part : { &tail, &earlier })
            part->setSize (juce::jmax (1, numChannels), juce::jmax (1, maxLength));
        for (auto* shares : { &inputShare, &earlierShare, &earlierWeight })
            shares->assign ((size_t) juce::jmax (1, maxLength), 0.0f);
        cancel();
    }

    int capacity() const noexcept { return tail.getNumSamples(); }

    /** Starts a crossfade of `newLength` samples whose tail the caller writes
        next: tailSample (channel, i) and setInputShare (i). */
    void begin (int newLength) noexcept
    {
        keepWhatIsHeard();
        length = juce::jlimit (0, capacity(), newLength);
        done = 0;
        tail.clear();
        std::fill (inputShare.begin(), inputShare.end(), 0.0f);
    }

    /** Starts a crossfade from the input passing unchanged. */
    void beginFromInput (int newLength) noexcept
    {
        begin (newLength);
        std::fill (inputShare.begin(), inputShare.begin() + length, 1.0f);
    }

    void setTail (int channel, int index, float value) noexcept
    {
        if (channel < tail.getNumChannels())
            tail.setSample (channel, index, value);
    }

    float tailSample (int channel, int index) const noexcept
    {
        return channel < tail.getNumChannels() ? tail.getSample (channel, index) : 0.0f;
    }

    void setInputShare (int index, float share) noexcept { inputShare[(size_t) index] = share; }

    void cancel() noexcept { length = done = earlierLength = 0; }
    bool isActive() const noexcept { return done < length; }

    /** Blends the block's first samples: out = new + (tail - new) * w, with w
        falling from 1 towards 0 over the crossfade, so that where the two paths
        agree the output is exactly the new one. */
    void apply (float* const* io, const float* const* input, int numChannels, int numSamples) noexcept
    {
        const int n = juce::jmin (numSamples, length - done);

        for (int i = 0; i < n; ++i)
        {
            const int k = done + i;
            const float w = weightAt (k);
            const float share = inputShare[(size_t) k];

            for (int c = 0; c < numChannels; ++c)
            {
                const float stored = c < tail.getNumChannels() ? tail.getSample (c, k) : 0.0f;
                float old = stored + share * input[c][i];

                if (k < earlierLength)
                {
                    const float before = (c < earlier.getNumChannels() ? earlier.getSample (c, k) : 0.0f)
                                       + earlierShare[(size_t) k] * input[c][i];
                    old = old + (before - old) * earlierWeight[(size_t) k];
                }

                io[c][i] = io[c][i] + (old - io[c][i]) * w;
            }
        }

        done += juce::jmax (0, n);
    }

private:
    float weightAt (int k) const noexcept { return 1.0f - (float) k / (float) length; }

    /** Before a new crossfade: the rest of the one under way (its tail, already
        blended with any it began over) is kept with its weights, to be blended
        into the new tail as it is played. */
    void keepWhatIsHeard() noexcept
    {
        const int rest = isActive() ? length - done : 0;

        for (int k = 0; k < rest; ++k)
        {
            const int from = done + k;
            const bool overEarlier = from < earlierLength;
            const float earlierW = overEarlier ? earlierWeight[(size_t) from] : 0.0f;

            for (int c = 0; c < tail.getNumChannels(); ++c)
            {
                const float stored = tail.getSample (c, from);
                const float before = overEarlier ? earlier.getSample (c, from) : stored;
                earlier.setSample (c, k, stored + (before - stored) * earlierW);
            }

            const float share = inputShare[(size_t) from];
            const float shareBefore = overEarlier ? earlierShare[(size_t) from] : share;
            earlierShare[(size_t) k] = share + (shareBefore - share) * earlierW;
            earlierWeight[(size_t) k] = weightAt (from);
        }

        earlierLength = rest;
    }

    juce::AudioBuffer<float> tail, earlier;
    std::vector<float> inputShare, earlierShare, earlierWeight;
    int length = 0, done = 0, earlierLength = 0;
};

} // namespace brakkle
