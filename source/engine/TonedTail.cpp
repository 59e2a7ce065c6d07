#include "TonedTail.h"

#include "SoftClip.h"

namespace brakkle
{

void TonedTail::prepare (float sampleRate, int maxFrames, int numChannels)
{
    tone.prepare (sampleRate, 0);
    frames.assign ((size_t) juce::jmax (1, maxFrames), Frame {});
    channels = juce::jmax (1, numChannels);
    cancel();
}

void TonedTail::begin (const ToneStage& from, int length) noexcept
{
    tone.copyStateFrom (from);
    settings = tone.read();
    sliceLength = length;
    cancel();
}

void TonedTail::addFrame (Crossfade& handOver, bool recorded, int position, float edge, float beforeRefresh, float inputShare) noexcept
{
    if (count >= (int) frames.size())
        return;

    frames[(size_t) count] = { recorded, position, edge, beforeRefresh, inputShare };
    handOver.setInputShare (count, inputShare);
    ++count;
}

void TonedTail::toneWithInput (Crossfade& handOver, const float* const* input, int inputChannels, int length) noexcept
{
    for (; next < count; ++next)
    {
        const int at = next - blockStart;

        if (frames[(size_t) next].recorded && at >= length)
            break;   // its input comes with a later block

        toneFrame (handOver, next, input, inputChannels, at);
    }

    blockStart += length;
}

void TonedTail::settle (Crossfade& handOver) noexcept
{
    for (; next < count; ++next)
    {
        const auto& f = frames[(size_t) next];

        if (f.recorded)
            handOver.setInputShare (next, f.edge * f.beforeRefresh + f.inputShare);
        else
            toneFrame (handOver, next, nullptr, 0, 0);
    }
}

void TonedTail::toneFrame (Crossfade& handOver, int index, const float* const* input, int inputChannels, int at) noexcept
{
    const auto& f = frames[(size_t) index];
    tone.update (f.position, sliceLength, settings);

    for (int c = 0; c < channels; ++c)
    {
        const float x = f.recorded ? (c < inputChannels ? input[c][at] : 0.0f) : handOver.tailSample (c, index);
        handOver.setTail (c, index, limitUnit (tone.process (x, c, settings) * f.edge) * f.beforeRefresh);
    }
}

} // namespace brakkle
