#pragma once

#include "HandOver.h"
#include "ToneStage.h"

#include <vector>

namespace brakkle
{

/** The tail of a cut cycle whose tone stage is at work: it plays on into the
    crossfade through a copy of that stage, so the filter, fade and widener
    carry on as the cycle would have.

    The player lays the tail out frame by frame at the cut: each frame's slice
    position, its fades, the input's share, and for a repeated frame its slice
    samples (already in the crossfade's tail). A frame that records takes the
    input at that frame, which for a crossfade longer than the rest of the
    block comes with the blocks that follow: those frames are toned as their
    input arrives, before the crossfade reaches them. Frames are toned in
    order, so the stage's filters run on as in one long block. */
class TonedTail
{
public:
    explicit TonedTail (const ToneControls& toneControls) noexcept : tone (toneControls) {}

    /** Sized for the rate, up to `maxFrames` frames and `numChannels` channels. */
    void prepare (float sampleRate, int maxFrames, int numChannels);

    /** A new tail from where `from` stands, over a slice of `sliceLength`. */
    void begin (const ToneStage& from, int sliceLength) noexcept;

    /** The next frame: recorded (it hears the input) or repeated (its slice
        samples are in the crossfade's tail); its fades; the input's share. */
    void addFrame (Crossfade& handOver, bool recorded, int position, float edge, float beforeRefresh, float inputShare) noexcept;

    /** Tones the frames the input of this block reaches (`length` samples,
        the first of them the crossfade's frame where this block begins).
        Called once for each block while the tail waits, in block order. */
    void toneWithInput (Crossfade& handOver, const float* const* input, int inputChannels, int length) noexcept;

    /** Frames still wait for input that will not come to them (another
        crossfade begins over this one): the input passes there with the
        frame's fades, as a plain tail's would. */
    void settle (Crossfade& handOver) noexcept;

    bool isWaiting() const noexcept { return next < count; }
    void cancel() noexcept { next = count = blockStart = 0; }

private:
    struct Frame
    {
        bool recorded;
        int position;
        float edge, beforeRefresh, inputShare;
    };

    void toneFrame (Crossfade& handOver, int index, const float* const* input, int inputChannels, int at) noexcept;

    ToneStage tone;
    ToneStage::Settings settings {};
    std::vector<Frame> frames;
    int channels = 1;
    int sliceLength = 0;
    int count = 0;        // frames laid out
    int next = 0;         // the first frame not yet toned
    int blockStart = 0;   // the crossfade's frame at the current block's first sample
};

} // namespace brakkle
