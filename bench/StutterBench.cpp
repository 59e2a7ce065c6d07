// How fast Brakkle processes audio: frames per second and multiples of real time
// at 48 kHz stereo, "1/16" slices with a "1/4" refresh, blocks of 64 and 512.
//
//   (a) the whole processBlock, all tone mixes at 0
//   (b) the whole processBlock, filter, fade and stereo mixes at +-100
//   (c) the same pipeline with a plain engine that designs four new coefficient
//       objects and both fade gains on every frame
//   (d) the same pipeline with no engine at all (gain stages, wet copy, mix)
//   (e) as (b), with Grid Lock on and the host reporting a musical position
//   (f) as (e), with fills: half of each period repeats, and half the cycles by chance
//   (g) as (a), the repeats pitched: -12 semitones, falling 50 % of a semitone a repeat
//   (h) as (a), the repeats reversed
//
// Run: build/bench/brakkle_bench [seconds of audio per run, default 20] [cases, default abcdefgh]
//      e.g. brakkle_bench 5 a   times case (a) alone (for profiling or A/B runs)

#include "engine/SoftClip.h"
#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"
#include "support/FakePlayHead.h"
#include "support/ProcessorParameters.h"
#include "support/ReferenceEngine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

namespace
{
    using brakkle::test::setPlain;

    constexpr double sampleRate = 48000.0;
    constexpr int channels = 2;

    /** The pipeline around an engine of any kind, as the processor runs it. */
    template <typename Engine>
    struct Pipeline
    {
        Engine* engine = nullptr;
        juce::AudioBuffer<float> wet;

        void process (juce::AudioBuffer<float>& buffer)
        {
            juce::ScopedNoDenormals noDenormals;
            const float inGain = juce::Decibels::decibelsToGain (0.0f);
            for (int c = 0; c < buffer.getNumChannels(); ++c)
            {
                auto* x = buffer.getWritePointer (c);
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    x[i] = brakkle::softClip (inGain * x[i]);
            }
            wet.makeCopyOf (buffer, true);
            if (engine != nullptr)
                engine->process (wet, 120.0f, true);
            const float outGain = juce::Decibels::decibelsToGain (0.0f);
            const float m = 1.0f;
            for (int c = 0; c < buffer.getNumChannels(); ++c)
            {
                auto* d = buffer.getWritePointer (c);
                const auto* w = wet.getReadPointer (c);
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    d[i] = brakkle::softClip (outGain * ((1.0f - m) * d[i] + m * w[i]) * BrakkleAudioProcessor::outputTrim);
            }
        }
    };

    /** Median seconds of five runs processing `totalFrames` in blocks. */
    double medianSeconds (int blockSize, int totalFrames, const std::function<void (juce::AudioBuffer<float>&)>& process)
    {
        juce::AudioBuffer<float> source (channels, blockSize);
        juce::Random random (1);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < blockSize; ++i)
                source.setSample (c, i, random.nextFloat() * 1.6f - 0.8f);

        juce::AudioBuffer<float> block (channels, blockSize);
        std::vector<double> runs;
        for (int run = 0; run < 6; ++run)
        {
            const auto start = std::chrono::steady_clock::now();
            for (int done = 0; done < totalFrames; done += blockSize)
            {
                block.makeCopyOf (source, true);
                process (block);
            }
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            if (run > 0)   // the first run warms up
                runs.push_back (elapsed.count());
        }
        std::sort (runs.begin(), runs.end());
        return runs[runs.size() / 2];
    }

    void configure (BrakkleAudioProcessor& p, float toneMix)
    {
        setPlain (p, ParameterIds::stutterTimeBpm, 7.0f);    // "1/16"
        setPlain (p, ParameterIds::refreshTimeBpm, 13.0f);   // "1/4"
        setPlain (p, ParameterIds::filterMix, toneMix);
        setPlain (p, ParameterIds::fadeMix, -toneMix);
        setPlain (p, ParameterIds::stereoMix, toneMix);
    }
}

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    const double seconds = argc > 1 ? juce::jmax (1.0, std::atof (argv[1])) : 20.0;
    const int totalFrames = (int) (seconds * sampleRate);
    const juce::String cases = argc > 2 ? juce::String (argv[2]) : juce::String ("abcdefgh");
    auto wanted = [&cases] (int index) { return cases.containsChar ((juce::juce_wchar) ('a' + index)); };

    std::printf ("Brakkle benchmark: 48 kHz stereo, 1/16 slice, 1/4 refresh, %.0f s of audio per run, median of 5\n\n", seconds);
    std::printf ("%-44s %6s %14s %12s\n", "case", "block", "frames/s", "x real time");

    for (int blockSize : { 64, 512 })
    {
        brakkle::test::FakePlayHead head;
        double timings[8] {};

        for (int scenario = 0; scenario < 2; ++scenario)
        {
            if (! wanted (scenario))
                continue;

            BrakkleAudioProcessor processor;
            configure (processor, scenario == 0 ? 0.0f : 100.0f);
            processor.setPlayHead (&head);
            processor.prepareToPlay (sampleRate, blockSize);
            juce::MidiBuffer midi;
            timings[scenario] = medianSeconds (blockSize, totalFrames, [&] (auto& b) { processor.processBlock (b, midi); });
        }

        if (wanted (2))
        {
            ReferenceEngine reference;
            reference.stutterTimeBpm = 7.0f;
            reference.refreshTimeBpm = 13.0f;
            reference.filterMix = 100.0f;
            reference.fadeMix = -100.0f;
            reference.stereoMix = 100.0f;
            reference.prepare ({ sampleRate, (juce::uint32) blockSize, channels });
            Pipeline<ReferenceEngine> pipeline { &reference, {} };
            timings[2] = medianSeconds (blockSize, totalFrames, [&] (auto& b) { pipeline.process (b); });
        }

        if (wanted (3))
        {
            Pipeline<ReferenceEngine> passThrough;
            timings[3] = medianSeconds (blockSize, totalFrames, [&] (auto& b) { passThrough.process (b); });
        }

        // Grid Lock following a host that reports its position block by block.
        const auto timeOnTheGrid = [&] (bool withFills)
        {
            BrakkleAudioProcessor processor;
            configure (processor, 100.0f);
            setPlain (processor, ParameterIds::gridLock, 1.0f);
            if (withFills)
            {
                setPlain (processor, ParameterIds::fillOffset, 8.0f);
                setPlain (processor, ParameterIds::fillGate, 8.0f);
                setPlain (processor, ParameterIds::fillChance, 50.0f);
            }
            brakkle::test::FakePlayHead musicalHead;
            musicalHead.timeSignature = juce::AudioPlayHead::TimeSignature { 4, 4 };
            double ppq = 0.0;
            processor.setPlayHead (&musicalHead);
            processor.prepareToPlay (sampleRate, blockSize);
            juce::MidiBuffer midi;
            return medianSeconds (blockSize, totalFrames, [&] (auto& b)
            {
                musicalHead.ppqPosition = ppq;
                musicalHead.ppqPositionOfLastBarStart = std::floor (ppq / 4.0) * 4.0;
                processor.processBlock (b, midi);
                ppq += b.getNumSamples() * 120.0 / 60.0 / sampleRate;
            });
        };

        // The repeats shaped, the tone mixes at 0 as in (a).
        const auto timeShaped = [&] (float pitch, float decay, float reverse)
        {
            BrakkleAudioProcessor processor;
            configure (processor, 0.0f);
            setPlain (processor, ParameterIds::pitch, pitch);
            setPlain (processor, ParameterIds::pitchDecay, decay);
            setPlain (processor, ParameterIds::reverse, reverse);
            processor.setPlayHead (&head);
            processor.prepareToPlay (sampleRate, blockSize);
            juce::MidiBuffer midi;
            return medianSeconds (blockSize, totalFrames, [&] (auto& b) { processor.processBlock (b, midi); });
        };

        if (wanted (6))
            timings[6] = timeShaped (-12.0f, 50.0f, 0.0f);
        if (wanted (7))
            timings[7] = timeShaped (0.0f, 0.0f, 1.0f);

        if (wanted (4))
            timings[4] = timeOnTheGrid (false);
        if (wanted (5))
            timings[5] = timeOnTheGrid (true);

        const char* names[] = { "(a) processBlock, tone mixes 0", "(b) processBlock, tone mixes +-100",
                                "(c) plain engine, new coefficients per frame", "(d) pass-through pipeline",
                                "(e) as (b), Grid Lock on", "(f) as (e), fills 8/16, 8/16, 50 %",
                                "(g) as (a), pitch -12 st, decay 50 %", "(h) as (a), reverse on" };
        for (int i = 0; i < 8; ++i)
        {
            if (! wanted (i))
                continue;
            const double framesPerSecond = totalFrames / timings[i];
            std::printf ("%-44s %6d %14.0f %12.1f\n", names[i], blockSize, framesPerSecond, framesPerSecond / sampleRate);
        }
        if (wanted (1) && wanted (2))
            std::printf ("  (b) is %.2fx faster than (c)\n", timings[2] / timings[1]);
        if (wanted (0) && wanted (3))
            std::printf ("  (a) takes %.2fx the time of (d)\n", timings[0] / timings[3]);
        if (wanted (1) && wanted (4))
            std::printf ("  (e) takes %.2fx the time of (b)\n", timings[4] / timings[1]);
        if (wanted (4) && wanted (5))
            std::printf ("  (f) takes %.2fx the time of (e)\n", timings[5] / timings[4]);
        if (wanted (0) && wanted (6))
            std::printf ("  (g) takes %.2fx the time of (a)\n", timings[6] / timings[0]);
        if (wanted (0) && wanted (7))
            std::printf ("  (h) takes %.2fx the time of (a)\n", timings[7] / timings[0]);
        std::printf ("\n");
    }
    return 0;
}
