// The processor as a careless or hostile host drives it: blocks of any size
// (0 to 8192, also beyond what was prepared), any sample rate from 8 kHz to
// 384 kHz, mono and stereo, re-preparation at any moment, tempos that are no
// tempos (0, negative, huge, NaN, none at all), transport flips, automation
// with any normalised value (NaN and infinities included) and input samples
// that are NaN, infinite, denormal or far beyond full scale.
//
// After every block: each output sample is a number within [-1, 1], and each
// parameter holds a number inside its range.

#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

using namespace brakkle::fuzz;

namespace
{
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    constexpr float denormal = std::numeric_limits<float>::denorm_min();

    // Enough audio per input to cross several slice starts at short settings,
    // few enough to keep thousands of inputs a minute.
    constexpr int framesPerInput = 1 << 14;

    struct FuzzPlayHead final : juce::AudioPlayHead
    {
        std::optional<double> bpm = 120.0;
        bool playing = true;
        bool hasPosition = true;
        std::optional<double> ppq, barStart;    // the musical position Grid Lock follows
        std::optional<TimeSignature> meter;
        std::optional<LoopPoints> loop;         // a loop, announced while looping
        bool looping = false;
        bool holding = false;                   // the position stands still while playing

        juce::Optional<PositionInfo> getPosition() const override
        {
            if (! hasPosition)
                return {};

            PositionInfo info;
            if (bpm)
                info.setBpm (*bpm);
            info.setIsPlaying (playing);
            if (ppq)
                info.setPpqPosition (*ppq);
            if (barStart)
                info.setPpqPositionOfLastBarStart (*barStart);
            if (meter)
                info.setTimeSignature (*meter);
            info.setIsLooping (looping);
            if (loop)
                info.setLoopPoints (*loop);
            return info;
        }

        /** The position a played block of n samples moves on, as a host's would. */
        void advance (int n)
        {
            if (playing && ppq && ! holding)
                *ppq += n * bpm.value_or (120.0) / 60.0 / 48000.0;

            // A loop wraps somewhere inside the block, as hosts that do not cut their blocks do.
            if (looping && loop && ppq && *ppq >= loop->ppqEnd && loop->ppqEnd > loop->ppqStart)
                *ppq = loop->ppqStart + std::fmod (*ppq - loop->ppqEnd, loop->ppqEnd - loop->ppqStart);
        }
    };

    double pickSampleRate (FuzzedDataProvider& in)
    {
        static constexpr double common[] = { 8000, 11025, 16000, 22050, 32000, 44100, 48000,
                                             88200, 96000, 176400, 192000, 352800, 384000 };
        if (in.ConsumeBool())
            return in.PickValueInArray (common);
        return in.ConsumeFloatingPointInRange (8000.0, 384000.0);
    }

    std::optional<double> pickTempo (FuzzedDataProvider& in)
    {
        switch (in.ConsumeIntegralInRange (0, 12))
        {
            case 0:  return std::nullopt;
            case 1:  return 0.0;
            case 2:  return -in.ConsumeFloatingPointInRange (0.0, 1000.0);
            case 3:  return (double) nan;
            case 4:  return (double) inf;
            case 5:  return (double) -inf;
            case 6:  return 1.0e300;       // beyond what a float holds
            case 7:  return 1.0e-30;       // a crawl: slices hit their longest
            case 8:  return 100000.0;
            case 9:  return 100000.5;
            case 10: return in.ConsumeFloatingPointInRange (0.001, 20.0);
            default: return in.ConsumeFloatingPointInRange (20.0, 999.0);
        }
    }

    std::optional<double> pickQuarters (FuzzedDataProvider& in)
    {
        switch (in.ConsumeIntegralInRange (0, 9))
        {
            case 0:  return std::nullopt;
            case 1:  return 0.0;
            case 2:  return (double) nan;
            case 3:  return (double) inf;
            case 4:  return -1.0e300;
            case 5:  return 1.0e9 - 0.5;   // just inside what Grid Lock follows
            case 6:  return in.ConsumeFloatingPoint<double>();
            case 7:  return -in.ConsumeFloatingPointInRange (0.0, 16.0);   // a pre-roll
            default: return in.ConsumeFloatingPointInRange (0.0, 10000.0);
        }
    }

    /** A jump, a new bar start, a loop, a held position or a new meter, sane or not. */
    void pickMusicalPosition (FuzzPlayHead& head, FuzzedDataProvider& in)
    {
        switch (in.ConsumeIntegralInRange (0, 4))
        {
            case 0:  head.ppq = pickQuarters (in); break;
            case 1:  head.barStart = pickQuarters (in); break;
            case 2:
            {
                const auto from = pickQuarters (in), to = pickQuarters (in);
                head.loop = juce::AudioPlayHead::LoopPoints { from.value_or (0.0), to.value_or (4.0) };
                head.looping = in.ConsumeBool();
                break;
            }
            case 3:  head.holding = in.ConsumeBool(); break;
            default:
                if (in.ConsumeBool())
                    head.meter = juce::AudioPlayHead::TimeSignature { in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>() };
                else
                    head.meter = juce::AudioPlayHead::TimeSignature { in.ConsumeIntegralInRange (1, 15), 1 << in.ConsumeIntegralInRange (0, 5) };
                break;
        }
    }

    float pickNormalised (FuzzedDataProvider& in)
    {
        switch (in.ConsumeIntegralInRange (0, 9))
        {
            case 0:  return nan;
            case 1:  return inf;
            case 2:  return -inf;
            case 3:  return -1.0f;
            case 4:  return 2.0f;
            case 5:  return 0.0f;
            case 6:  return 1.0f;
            case 7:  return in.ConsumeFloatingPoint<float>();
            default: return in.ConsumeFloatingPointInRange (0.0f, 1.0f);
        }
    }

    float pickSpecialSample (FuzzedDataProvider& in)
    {
        static constexpr float specials[] = { nan, -nan, inf, -inf, denormal, -denormal,
                                              1.0e30f, -1.0e30f, 1.0f, -1.0f, 0.0f, -0.0f,
                                              std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest(),
                                              std::numeric_limits<float>::min() };
        return in.PickValueInArray (specials);
    }

    /** A block's input: a plain signal, sprinkled with hostile samples. */
    void fillInput (juce::AudioBuffer<float>& block, FuzzedDataProvider& in)
    {
        const auto kind = in.ConsumeIntegralInRange (0, 4);
        const float level = in.ConsumeFloatingPointInRange (0.0f, 4.0f);
        const float constant = pickSpecialSample (in);
        juce::Random random ((juce::int64) in.ConsumeIntegral<std::uint32_t>());

        for (int c = 0; c < block.getNumChannels(); ++c)
        {
            auto* samples = block.getWritePointer (c);

            for (int i = 0; i < block.getNumSamples(); ++i)
            {
                switch (kind)
                {
                    case 0:  samples[i] = 0.0f; break;
                    case 1:  samples[i] = level * std::sin (0.01f * (float) i + (float) c); break;
                    case 2:  samples[i] = level * (random.nextFloat() * 2.0f - 1.0f); break;
                    case 3:  samples[i] = constant; break;
                    default: samples[i] = (random.nextInt (4) == 0) ? constant : 1.0e-39f * (float) random.nextInt (100); break;
                }
            }
        }

        // Single hostile samples anywhere.
        const auto spikes = block.getNumSamples() > 0 ? in.ConsumeIntegralInRange (0, 8) : 0;
        for (int s = 0; s < spikes; ++s)
        {
            const auto c = in.ConsumeIntegralInRange (0, block.getNumChannels() - 1);
            const auto i = in.ConsumeIntegralInRange (0, block.getNumSamples() - 1);
            block.setSample (c, i, pickSpecialSample (in));
        }
    }

    void prepare (BrakkleAudioProcessor& processor, double rate, int maxBlock, int channels)
    {
        processor.releaseResources();

        if (! processor.setBusesLayout (layoutFor (channels)))
            fail ("layout refused", juce::String (channels) + " channel(s)");

        processor.setRateAndBufferSizeDetails (rate, maxBlock);
        processor.prepareToPlay (rate, maxBlock);
    }
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    initialiseJuce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in (data, size);

    BrakkleAudioProcessor processor;
    FuzzPlayHead head;
    processor.setPlayHead (&head);

    int channels = in.ConsumeBool() ? 2 : 1;
    prepare (processor, 48000.0, 512, channels);

    juce::AudioBuffer<float> block;
    juce::MidiBuffer midi;
    int framesLeft = framesPerInput;

    while (in.remaining_bytes() > 0 && framesLeft > 0)
    {
        switch (in.ConsumeIntegralInRange (0, 9))
        {
            case 0:   // the host changes rate, block size or layout
                channels = in.ConsumeBool() ? 2 : 1;
                prepare (processor, pickSampleRate (in), in.ConsumeIntegralInRange (0, 8192), channels);
                break;

            case 1:   // a new tempo, or the musical position moves elsewhere
                if (in.ConsumeBool())
                    head.bpm = pickTempo (in);
                else
                    pickMusicalPosition (head, in);
                break;

            case 2:
                head.playing = ! head.playing;
                break;

            case 3:   // no play head, or one without a position
                if (in.ConsumeBool())
                    processor.setPlayHead (in.ConsumeBool() ? &head : nullptr);
                else
                    head.hasPosition = ! head.hasPosition;
                break;

            case 4:   // automation, as the host's automation reaches the parameter
            case 5:
            {
                const auto& spec = parameterTable[in.ConsumeIntegralInRange<size_t> (0, parameterTable.size() - 1)];
                processor.parameters.getParameter (spec.id)->setValueNotifyingHost (pickNormalised (in));
                checkParameters (processor);
                break;
            }

            case 6:   // the project is saved and a saved state comes back
            {
                juce::MemoryBlock saved;
                processor.getStateInformation (saved);
                processor.setStateInformation (saved.getData(), (int) saved.getSize());
                checkParameters (processor);
                break;
            }

            default:  // a block of any size, also beyond the prepared one
            {
                const int n = juce::jmin (framesLeft, in.ConsumeIntegralInRange (0, 8192));
                block.setSize (channels, n, false, false, true);
                fillInput (block, in);
                processor.processBlock (block, midi);
                head.advance (n);
                checkOutput (block, channels);
                checkParameters (processor);
                framesLeft -= juce::jmax (1, n);
                break;
            }
        }
    }

    checkStateRoundTrip (processor);
    return 0;
}
