// The stutter engine on its own: timing, the edge envelope, repeats, the tone
// stage against a plain reference, click-free joins and robustness.

#include "engine/StutterEngine.h"
#include "support/ReferenceEngine.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
    using brakkle::test::firstDifference;
    using brakkle::test::noise;
    using brakkle::test::ramp;

    struct Settings
    {
        float stutterTimeFree = 200, stutterTimeBpm = 11, stutterSync = 1;
        float refreshTimeFree = 200, refreshTimeBpm = 13, refreshSync = 1;
        float filterFreq = 8000, filterMix = 0, fadeVol = -12, fadeMix = 0, stereoWidth = 100, stereoMix = 0;

        template <typename Engine>
        void applyTo (Engine& e) const
        {
            e.stutterTimeFree = stutterTimeFree; e.stutterTimeBpm = stutterTimeBpm; e.stutterSync = stutterSync;
            e.refreshTimeFree = refreshTimeFree; e.refreshTimeBpm = refreshTimeBpm; e.refreshSync = refreshSync;
            e.filterFreq = filterFreq; e.filterMix = filterMix; e.fadeVol = fadeVol; e.fadeMix = fadeMix;
            e.stereoWidth = stereoWidth; e.stereoMix = stereoMix;
        }
    };

    /** Runs a signal through an engine in blocks; the first block is stopped. */
    template <typename Engine>
    juce::AudioBuffer<float> run (Engine& engine, juce::AudioBuffer<float> signal, float bpm, int blockSize = 512)
    {
        juce::AudioBuffer<float> stopped (signal.getNumChannels(), 16);
        stopped.clear();
        engine.process (stopped, bpm, false);

        for (int start = 0; start < signal.getNumSamples(); start += blockSize)
        {
            const int n = juce::jmin (blockSize, signal.getNumSamples() - start);
            juce::AudioBuffer<float> block (signal.getArrayOfWritePointers(), signal.getNumChannels(), start, n);
            engine.process (block, bpm, true);
        }
        return signal;
    }

    std::unique_ptr<StutterEngine> preparedEngine (double rate, int channels, const Settings& settings = {})
    {
        auto engine = std::make_unique<StutterEngine>();
        settings.applyTo (*engine);
        engine->prepare ({ rate, 512, (juce::uint32) channels });
        return engine;
    }

    /** The slice-edge fades as a listener hears them: a straight rise from
        silence at the slice start to full level F samples later, and a
        straight fall that would reach silence at the slice end. */
    double edgeLevel (int p, int L, int F)
    {
        if (p < F)
            return p / (double) F;
        return juce::jmin (1.0, (L - p) / (double) F);
    }

    float maxJump (const juce::AudioBuffer<float>& b, int channel)
    {
        float worst = 0.0f;
        for (int i = 1; i < b.getNumSamples(); ++i)
            worst = juce::jmax (worst, std::abs (b.getSample (channel, i) - b.getSample (channel, i - 1)));
        return worst;
    }
}

TEST (StutterEngine, StoppedTransportLeavesTheBufferBitForBit)
{
    Settings settings;
    settings.filterMix = 80;
    settings.fadeMix = -60;
    settings.stereoMix = 100;
    auto engine = preparedEngine (44100.0, 2, settings);

    const auto input = noise (2, 4096, 7);
    auto block = input;
    for (int i = 0; i < 4; ++i)
        engine->process (block, 133.0f, false);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 4096; ++i)
            ASSERT_EQ (block.getSample (c, i), input.getSample (c, i));
}

TEST (StutterEngine, EighthSliceQuarterRefreshAt120)
{
    // "1/8" slice (11025 samples), "1/4" refresh (22050), 44.1 kHz: F = 441.
    Settings settings;
    settings.stutterTimeBpm = 10;
    settings.refreshTimeBpm = 13;

    for (int channels : { 1, 2 })
    {
        auto engine = preparedEngine (44100.0, channels, settings);
        const auto input = ramp (channels, 22050 + 600);
        const auto out = run (*engine, input, 120.0f, 300);

        const int L = 11025, R = 22050, F = 441;
        ASSERT_EQ (engine->getSliceLength(), L);
        ASSERT_EQ (engine->getRefreshPeriod(), R);

        for (int c = 0; c < channels; ++c)
        {
            SCOPED_TRACE (channels);
            EXPECT_EQ (out.getSample (c, 0), 0.0f);
            for (int j = 0; j < L; ++j)   // live pass through the (neutral) tone stage and the envelope
                ASSERT_NEAR (out.getSample (c, j), input.getSample (c, j) * edgeLevel (j, L, F), 1.0e-6) << j;

            for (int j = L; j < R; ++j)   // the slice again, faded at its edges and before the refresh
            {
                const int p = j - L;
                const double beforeRefresh = juce::jmin (1.0, (R - j) / (double) F);
                ASSERT_NEAR (out.getSample (c, j), input.getSample (c, p) * edgeLevel (p, L, F) * beforeRefresh, 1.0e-6) << j;
            }

            // Frame 22050 starts a new slice: silent first sample, then the live input again.
            EXPECT_EQ (out.getSample (c, R), 0.0f);
            EXPECT_EQ (out.getSample (c, R + 500), input.getSample (c, R + 500));
        }
    }
}

TEST (StutterEngine, SeveralRepeatsPerCycleTheLastCutShort)
{
    // At 50 kHz: 100 ms slice = 5000 samples, 441 ms refresh = 22050, F = 500.
    Settings settings;
    settings.stutterSync = 0;
    settings.stutterTimeFree = 100;
    settings.refreshSync = 0;
    settings.refreshTimeFree = 441;
    auto engine = preparedEngine (50000.0, 2, settings);
    const auto input = ramp (2, 22050 + 5000);
    const auto out = run (*engine, input, 120.0f);

    const int L = 5000, R = 22050, F = 500;
    ASSERT_EQ (engine->getSliceLength(), L);
    ASSERT_EQ (engine->getRefreshPeriod(), R);

    for (int start : { 5000, 10000, 15000, 20000 })
    {
        EXPECT_EQ (out.getSample (0, start), 0.0f) << start;
        const int end = start == 20000 ? R - F : start + L - F;
        for (int j = start + F; j <= end; ++j)
            ASSERT_EQ (out.getSample (1, j), input.getSample (1, j - start)) << j;
    }

    // The repeat from 20000 is cut at 22050, where a new slice records.
    EXPECT_EQ (out.getSample (0, R), 0.0f);
    EXPECT_EQ (out.getSample (0, R + F + 10), input.getSample (0, R + F + 10));
}

TEST (StutterEngine, SliceNotShorterThanRefreshPassesTheInput)
{
    Settings settings;
    settings.stutterTimeBpm = 13;   // "1/4"
    settings.refreshTimeBpm = 10;   // "1/8"
    settings.filterMix = 100;
    settings.fadeMix = 100;
    settings.stereoMix = -100;
    auto engine = preparedEngine (44100.0, 2, settings);
    const auto input = noise (2, 60000, 3);
    const auto out = run (*engine, input, 120.0f);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < input.getNumSamples(); ++i)
            ASSERT_EQ (out.getSample (c, i), input.getSample (c, i));
}

TEST (StutterEngine, ShortSlicesFadeOverTheirHalvesWithoutAStep)
{
    // Slices shorter than two 441-sample fades fade in over their first half and
    // out over their second, so every repeat's envelope is continuous; the fade
    // before the refresh is no longer than those. A 600-sample slice on a
    // constant 0.5: the gain climbs k/300 and falls back, never stepping.
    Settings settings;
    settings.stutterSync = 0;
    settings.stutterTimeFree = 600.0f / 44.1f;
    auto engine = preparedEngine (44100.0, 1, settings);
    const int L = engine->durationInSamples (0.0f, 0.0f, settings.stutterTimeFree);
    ASSERT_EQ (L, 600);

    juce::AudioBuffer<float> dc (1, 2000);
    juce::FloatVectorOperations::fill (dc.getWritePointer (0), 0.5f, 2000);
    const auto out = run (*engine, dc, 120.0f);

    for (int start : { 0, 600, 1200 })   // the recording and two repeats
    {
        EXPECT_EQ (out.getSample (0, start), 0.0f);
        EXPECT_EQ (out.getSample (0, start + 299), 0.5f * (299.0f / 300.0f));
        EXPECT_EQ (out.getSample (0, start + 300), 0.5f);
        EXPECT_EQ (out.getSample (0, start + 301), 0.5f * (1.0f - 1.0f / 300.0f));
        EXPECT_EQ (out.getSample (0, start + 599), 0.5f * (1.0f - 299.0f / 300.0f));
    }

    float largestStep = 0.0f;
    for (int i = 1; i < 1800; ++i)
        largestStep = std::max (largestStep, std::abs (out.getSample (0, i) - out.getSample (0, i - 1)));
    EXPECT_LE (largestStep, 0.5f / 300.0f + 1.0e-6f);
}

TEST (StutterEngine, TempoChangesTakeEffectAtTheNextSliceStart)
{
    Settings settings;
    settings.stutterTimeBpm = 10;   // "1/8"
    settings.refreshTimeBpm = 13;   // "1/4"
    auto engine = preparedEngine (44100.0, 2, settings);

    juce::AudioBuffer<float> block (2, 1000);
    block.clear();
    engine->process (block, 120.0f, false);
    engine->process (block, 120.0f, true);
    EXPECT_EQ (engine->getSliceLength(), 11025);

    // Adopted at once, but the running cycle keeps its lengths.
    engine->process (block, 90.0f, true);
    EXPECT_EQ (engine->getAdoptedBpm(), 90.0f);
    EXPECT_EQ (engine->getSliceLength(), 11025);
    EXPECT_EQ (engine->getRefreshPeriod(), 22050);

    for (int i = 0; i < 21; ++i)   // past frame 22050
        engine->process (block, 90.0f, true);
    EXPECT_EQ (engine->getSliceLength(), 14700);
    EXPECT_EQ (engine->getRefreshPeriod(), 29400);
}

TEST (StutterEngine, TempoChangeWhileStoppedHoldsFromTheFirstCycle)
{
    // Stopped blocks adopt no tempo, but the first playing block does before
    // its first cycle starts: that cycle has the host's tempo, not the one
    // adopted before the stop ("1/8 D" and "1/4" at 90 BPM: 22050 and 29400).
    auto engine = preparedEngine (44100.0, 2);   // "1/8 D" slice, "1/4" refresh
    juce::AudioBuffer<float> block (2, 512);
    block.clear();

    engine->process (block, 90.0f, false);
    EXPECT_EQ (engine->getRefreshPeriod(), 22050);    // still 120 BPM
    engine->process (block, 90.0f, true);
    EXPECT_EQ (engine->getAdoptedBpm(), 90.0f);
    EXPECT_EQ (engine->getSliceLength(), 22050);
    EXPECT_EQ (engine->getRefreshPeriod(), 29400);
}

TEST (StutterEngine, ZeroSampleBlocks)
{
    auto engine = preparedEngine (44100.0, 2);
    juce::AudioBuffer<float> empty (2, 0);

    engine->process (empty, 90.0f, true);             // playing: nothing happens, not even tempo adoption
    EXPECT_EQ (engine->getAdoptedBpm(), 120.0f);
    EXPECT_EQ (engine->getRefreshPeriod(), 0);

    engine->refreshTimeBpm = 10.0f;
    engine->process (empty, 90.0f, false);            // stopped: a new slice and refresh period anyway
    EXPECT_EQ (engine->getRefreshPeriod(), 11025);
    EXPECT_EQ (engine->getSliceLength(), 16537);
}

TEST (StutterEngine, MoreChannelsAfterPrepareRepeatSilenceUntilTheNextSlice)
{
    auto engine = preparedEngine (44100.0, 1);
    juce::AudioBuffer<float> mono (1, 512);
    mono.clear();
    engine->process (mono, 120.0f, false);
    engine->process (mono, 120.0f, true);

    // The host re-prepares for stereo while the transport keeps playing.
    engine->prepare ({ 44100.0, 512, 2 });
    auto stereo = ramp (2, 40000);
    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::add (stereo.getWritePointer (c), 0.25f, 40000);
    auto out = stereo;
    juce::AudioBuffer<float> block (out.getArrayOfWritePointers(), 2, 0, 40000);
    engine->process (block, 120.0f, true);

    // Frame 512 of the first cycle onwards: the right channel was never recorded.
    const int L = 16537, R = 22050;
    for (int j = L + 441 - 512; j < R - 441 - 512; ++j)
        ASSERT_EQ (out.getSample (1, j), 0.0f) << j;
    // The next slice has both channels.
    EXPECT_NE (out.getSample (1, R - 512 + 1000), 0.0f);
}

TEST (StutterEngine, ARepeatHeldForHoursKeepsRepeatingPastTwoToThe31Samples)
{
    // Latched for 13.5 hours at 44.1 kHz (3.1 at 192 kHz): a count of the held
    // cycle's samples in an int would run out there. A constant level held
    // repeats with the slice's length: each repeat starts from silence on its
    // edge fade, so every later frame equals the frame a whole number of
    // slices earlier, before and after that point alike.
    constexpr int block = 8192;
    auto engine = preparedEngine (44100.0, 1);
    engine->prepare ({ 44100.0, block, 1 });
    engine->repeatHold = 1.0f;

    juce::AudioBuffer<float> buffer (1, block);
    buffer.clear();
    engine->process (buffer, 120.0f, false);

    const int L = engine->durationInSamples (1.0f, 11.0f, 0.0f);
    ASSERT_GT (L, 0);
    constexpr long long early = 4LL * block;   // past the recording and its hand-over
    std::vector<float> pattern ((size_t) L);
    const long long total = (1LL << 31) + 8LL * block;
    int phase = 0;                             // (sample - early) modulo L

    for (long long start = 0; start < total; start += block)
    {
        juce::FloatVectorOperations::fill (buffer.getWritePointer (0), 0.5f, block);
        engine->process (buffer, 120.0f, true);
        const float* out = buffer.getReadPointer (0);

        for (int i = 0; i < block; ++i)
        {
            const long long at = start + i;
            if (at < early)
                continue;
            if (at < early + L)
                pattern[(size_t) phase] = out[i];
            else if (! juce::exactlyEqual (out[i], pattern[(size_t) phase]))
                FAIL() << "the held repeat changed at sample " << at << ": " << out[i];
            phase = phase + 1 == L ? 0 : phase + 1;
        }
    }
}

TEST (StutterEngine, MoreChannelsAfterPrepareKeepASliceLongerThanTheNewReserve)
{
    // At 8 kHz: recorded at 50 BPM, a "1 BAR" slice is 38400 samples. The tempo
    // then rises to 130 BPM and the host re-prepares for stereo, which reserves
    // room for a "2 BARS" slice at 120 BPM only (32000 samples a channel). The
    // slice in use is longer than that and must still repeat whole.
    Settings settings;
    settings.stutterTimeBpm = 18;   // "1 BAR"
    settings.refreshTimeBpm = 19;   // "2 BARS"
    auto engine = preparedEngine (8000.0, 1, settings);

    const int firstCycle = 0;       // the first cycle has the host's 50 BPM from its first sample
    const int L = 38400, R = 76800, F = 80;
    const int tempoRise = firstCycle + L + 512, reprepare = tempoRise + 256;   // block boundaries
    const int total = firstCycle + R;

    auto out = ramp (2, total);
    const auto input = out;

    juce::AudioBuffer<float> stopped (1, 16);
    stopped.clear();
    engine->process (stopped, 50.0f, false);

    for (int start = 0; start < total; start += 256)
    {
        if (start == reprepare)
            engine->prepare ({ 8000.0, 256, 2 });

        const int n = juce::jmin (256, total - start);
        juce::AudioBuffer<float> block (out.getArrayOfWritePointers(), start < reprepare ? 1 : 2, start, n);
        engine->process (block, start < tempoRise ? 50.0f : 130.0f, true);

        if (start == firstCycle)
        {
            ASSERT_EQ (engine->getSliceLength(), L);
        }
    }

    // The repeat plays back what was recorded, to the end of the slice.
    for (int p = F; p <= L - F; ++p)
        ASSERT_EQ (out.getSample (0, firstCycle + L + p), out.getSample (0, firstCycle + p)) << "slice position " << p;
    EXPECT_EQ (out.getSample (0, firstCycle + F + 1000), input.getSample (0, firstCycle + F + 1000));
}

//==============================================================================
TEST (StutterEngine, MatchesThePlainReferenceSampleForSample)
{
    // The engine skips work no selected effect needs and keeps its slice storage;
    // none of that may change a single sample.
    struct Case
    {
        const char* name;
        Settings settings;
        int channels;
        double rate;
        float bpm;
        int sliceLength = 0, refreshPeriod = 0;   // when given, the lengths the case must reach
    };

    auto with = [] (auto change) { Settings s; change (s); return s; };
    const Case cases[] = {
        { "all effects rising", with ([] (Settings& s) { s.stutterTimeBpm = 7; s.filterMix = 100; s.fadeMix = 100; s.stereoMix = 100; }), 2, 44100.0, 120.0f },
        { "all effects falling", with ([] (Settings& s) { s.stutterTimeBpm = 7; s.filterMix = -100; s.fadeMix = -100; s.stereoMix = -100; }), 2, 48000.0, 128.0f },
        { "half mixes, mono", with ([] (Settings& s) { s.stutterTimeBpm = 9; s.filterMix = 50; s.fadeMix = -35; s.stereoMix = 60; s.fadeVol = -30; }), 1, 44100.0, 97.5f },
        { "free times", with ([] (Settings& s) { s.stutterSync = 0; s.stutterTimeFree = 60; s.refreshSync = 0; s.refreshTimeFree = 480; s.filterMix = -70; s.stereoMix = 100; s.filterFreq = 12000; }), 2, 44100.0, 120.0f },
        { "tiny slices", with ([] (Settings& s) { s.stutterTimeBpm = 0; s.refreshTimeBpm = 4; s.filterMix = 100; s.fadeMix = 100; }), 2, 96000.0, 174.0f },
        { "slice longer than refresh", with ([] (Settings& s) { s.stutterTimeBpm = 16; s.refreshTimeBpm = 13; s.filterMix = 100; }), 2, 44100.0, 120.0f },
        // Where shaping stops: a slice one sample shorter than the refresh period
        // is shaped and repeats once; equal or longer passes the input unshaped.
        { "slice one sample shorter than refresh", with ([] (Settings& s) { s.stutterSync = 0; s.stutterTimeFree = 99.99f; s.refreshSync = 0; s.refreshTimeFree = 100; s.filterMix = 100; s.fadeMix = 100; s.stereoMix = 100; }), 2, 48000.0, 120.0f, 4799, 4800 },
        { "slice as long as refresh", with ([] (Settings& s) { s.stutterSync = 0; s.stutterTimeFree = 100; s.refreshSync = 0; s.refreshTimeFree = 100; s.filterMix = 100; s.fadeMix = 100; s.stereoMix = 100; }), 2, 48000.0, 120.0f, 4800, 4800 },
        { "slice one sample longer than refresh", with ([] (Settings& s) { s.stutterSync = 0; s.stutterTimeFree = 100.03f; s.refreshSync = 0; s.refreshTimeFree = 100; s.filterMix = 100; s.fadeMix = 100; s.stereoMix = 100; }), 2, 48000.0, 120.0f, 4801, 4800 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto engine = preparedEngine (c.rate, c.channels, c.settings);
        ReferenceEngine reference;
        c.settings.applyTo (reference);
        reference.prepare ({ c.rate, 512, (juce::uint32) c.channels });

        const auto input = noise (c.channels, (int) (c.rate * 2.5), 11);
        const auto expected = run (reference, input, c.bpm, 333);
        const auto actual = run (*engine, input, c.bpm, 333);

        EXPECT_EQ (firstDifference (actual, expected), "");
        if (c.sliceLength > 0)
        {
            EXPECT_EQ (engine->getSliceLength(), c.sliceLength);
            EXPECT_EQ (engine->getRefreshPeriod(), c.refreshPeriod);
        }
    }
}

TEST (StutterEngine, MatchesTheReferenceUnderRandomAutomation)
{
    auto engine = preparedEngine (44100.0, 2);
    ReferenceEngine reference;
    reference.prepare ({ 44100.0, 512, 2 });

    juce::Random random (99);
    auto input = noise (2, 256, 5);

    // The host tempo moves too, now and then exactly at a slice start: the
    // host's tempo holds from the block's first sample, so that slice has it.
    juce::Random tempoRandom (17);
    const float tempos[] = { 120.0f, 90.0f, 128.0f, 174.5f, 61.25f, 119.99f };
    float bpm = 120.0f;
    int changesOnASliceStart = 0;
    const auto anotherTempo = [&]
    {
        float t = bpm;
        while (juce::exactlyEqual (t, bpm))
            t = tempos[tempoRandom.nextInt ((int) std::size (tempos))];
        return t;
    };

    bool wasPlaying = false;
    int stopFadeLeft = 0;

    for (int blockIndex = 0; blockIndex < 2000; ++blockIndex)
    {
        Settings s;
        s.stutterSync = random.nextBool() ? 1.0f : 0.0f;
        s.stutterTimeBpm = (float) random.nextInt (14);
        s.stutterTimeFree = 10.0f + (float) random.nextInt (300);
        s.refreshSync = random.nextBool() ? 1.0f : 0.0f;
        s.refreshTimeBpm = (float) (5 + random.nextInt (15));
        s.refreshTimeFree = 10.0f + (float) random.nextInt (991);
        s.filterFreq = 500.0f + (float) random.nextInt (11501);
        s.filterMix = (float) (random.nextInt (3) - 1) * random.nextFloat() * 100.0f;
        s.fadeVol = -36.0f * random.nextFloat();
        s.fadeMix = (float) (random.nextInt (3) - 1) * random.nextFloat() * 100.0f;
        s.stereoWidth = 100.0f * random.nextFloat();
        s.stereoMix = (float) (random.nextInt (3) - 1) * random.nextFloat() * 100.0f;
        s.applyTo (*engine);
        s.applyTo (reference);

        // Two stopped blocks now and then: the first 441 samples after the
        // transport stops are the fade of what was playing into the input, which
        // the plain reference does not make; from there on both agree again.
        const bool playing = (blockIndex % 97) > 1;
        auto a = input;
        auto b = input;

        // Split the block where the tempo changes: at the next slice start when
        // that falls inside this block, else at its first frame.
        int split = 0;
        float nextBpm = bpm;
        if (const int untilStart = reference.framesUntilSliceStart(); playing && untilStart < input.getNumSamples())
        {
            nextBpm = anotherTempo();
            split = untilStart;
            ++changesOnASliceStart;
        }
        else if (playing && tempoRandom.nextInt (8) == 0)
        {
            nextBpm = anotherTempo();
        }

        for (auto [start, length, tempo] : { std::tuple { 0, split, bpm }, std::tuple { split, input.getNumSamples() - split, nextBpm } })
        {
            if (length == 0)
                continue;
            juce::AudioBuffer<float> partA (a.getArrayOfWritePointers(), 2, start, length);
            juce::AudioBuffer<float> partB (b.getArrayOfWritePointers(), 2, start, length);
            engine->process (partA, tempo, playing);
            reference.process (partB, tempo, playing);
        }
        bpm = nextBpm;

        if (! playing && wasPlaying)
            stopFadeLeft = 441;

        const int faded = std::min (stopFadeLeft, a.getNumSamples());
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < faded; ++i)
            {
                ASSERT_TRUE (std::abs (a.getSample (c, i)) <= 2.0f) << "block " << blockIndex;
                a.setSample (c, i, b.getSample (c, i));
            }
        stopFadeLeft -= faded;
        wasPlaying = playing;

        ASSERT_EQ (firstDifference (a, b), "") << "block " << blockIndex;
    }

    EXPECT_GE (changesOnASliceStart, 10) << "too few tempo changes on a slice start: " << changesOnASliceStart;
}

TEST (ReferenceEngine, AgreesWithValuesWorkedOutByHand)
{
    // The reference keeps its own numbers; these pin them to sums done on paper.
    ReferenceEngine reference;
    reference.prepare ({ 44100.0, 512, 2 });

    // Note lengths at 120 BPM, 44.1 kHz: a beat is 22050 samples.
    const std::pair<int, int> lengths[] = { { 0, 918 }, { 10, 11025 }, { 11, 16537 }, { 13, 22050 }, { 18, 88200 }, { 19, 176400 } };
    for (auto [index, samples] : lengths)
        EXPECT_EQ (reference.durationInSamples (1.0f, (float) index, 0.0f), samples) << "note " << index;
    EXPECT_EQ (reference.durationInSamples (0.0f, 0.0f, 200.0f), 8820);

    // A -12 dB fade at its quiet end scales by 10^(-12/20) = 0.2511886; the
    // other direction starts at full level.
    reference.fadeVol = -12.0f;
    reference.fadeMix = 100.0f;
    reference.frameUpdate (0.0f);
    EXPECT_NEAR (reference.chain (0.5f, 0), 0.5f * 0.2511886f, 1.0e-7f);
    reference.fadeMix = -100.0f;
    EXPECT_NEAR (reference.chain (0.5f, 0), 0.5f, 1.0e-7f);
    reference.fadeMix = 0.0f;

    // Halfway through a slice with the sweep's top at 8 kHz, the falling filter
    // sits at 200 + 0.5 * 7800 = 4100 Hz and the rising one likewise; at the
    // start they sit at 8000 and 200 Hz.
    reference.filterFreq = 8000.0f;
    reference.frameUpdate (0.5f);
    EXPECT_EQ (reference.fallCutoff, 4100.0f);
    EXPECT_EQ (reference.riseCutoff, 4100.0f);
    reference.frameUpdate (0.0f);
    EXPECT_EQ (reference.fallCutoff, 8000.0f);
    EXPECT_EQ (reference.riseCutoff, 200.0f);

    // The soft clip and the -3 dB trim.
    EXPECT_EQ (reference::softClip (0.5f), 0.6875f);
    EXPECT_EQ (reference::softClip (2.0f), 1.0f);
    EXPECT_EQ (reference::softClip (-2.0f), -1.0f);
    EXPECT_NEAR (reference::outputTrim, 0.7079458f, 1.0e-7f);

    // A "1/8" slice in a "1/4" refresh at 120 BPM, 44.1 kHz, on a steady 0.5:
    // 441-sample fades at both slice edges and before the next slice.
    ReferenceEngine join;
    join.stutterTimeBpm = 10;
    join.refreshTimeBpm = 13;
    join.prepare ({ 44100.0, 512, 1 });
    juce::AudioBuffer<float> steady (1, 22050 + 1000);
    juce::FloatVectorOperations::fill (steady.getWritePointer (0), 0.5f, steady.getNumSamples());
    const auto out = run (join, steady, 120.0f);

    const std::pair<int, float> heard[] = {
        { 0, 0.0f },                                   // the slice starts in silence
        { 220, 0.5f * 220.0f / 441.0f },               // halfway up the fade-in
        { 441, 0.5f },                                 // full level
        { 11024, 0.5f / 441.0f },                      // last recorded sample, one step above silence
        { 11025, 0.0f },                               // the repeat starts in silence
        { 11025 + 441, 0.5f },
        { 22049, 0.5f / 441.0f / 441.0f },             // slice end and pre-refresh fade together
        { 22050, 0.0f },                               // the next slice
        { 22050 + 441, 0.5f },
    };
    for (auto [frame, level] : heard)
        EXPECT_NEAR (out.getSample (0, frame), level, 1.0e-7f) << "frame " << frame;
}

//==============================================================================
TEST (ToneStage, SweepsMoveTheRightWay)
{
    // Level of the second and fourth quarters of a long repeat, for noise input.
    auto quarterLevels = [] (Settings settings)
    {
        settings.stutterTimeBpm = 13;     // "1/4": 22050 samples
        settings.refreshTimeBpm = 18;     // "1 BAR"
        auto engine = preparedEngine (44100.0, 2, settings);
        const auto out = run (*engine, noise (2, 88200, 21), 120.0f);
        const int repeatStart = 22050;
        return std::pair { out.getRMSLevel (0, repeatStart + 5512, 5512), out.getRMSLevel (0, repeatStart + 16537, 5000) };
    };

    Settings rising;
    rising.filterMix = 100;
    rising.filterFreq = 12000;
    const auto [riseEarly, riseLate] = quarterLevels (rising);
    EXPECT_LT (riseEarly * 1.2f, riseLate) << "a rising cutoff lets more noise through later";

    Settings falling = rising;
    falling.filterMix = -100;
    const auto [fallEarly, fallLate] = quarterLevels (falling);
    EXPECT_GT (fallEarly, fallLate * 1.2f);

    Settings fadeIn;
    fadeIn.fadeMix = 100;
    fadeIn.fadeVol = -24;
    const auto [inEarly, inLate] = quarterLevels (fadeIn);
    EXPECT_LT (inEarly * 2.0f, inLate);

    Settings fadeOut = fadeIn;
    fadeOut.fadeMix = -100;
    const auto [outEarly, outLate] = quarterLevels (fadeOut);
    EXPECT_GT (outEarly, outLate * 2.0f);

    Settings flat = fadeIn;
    flat.fadeVol = 0;   // 0 dB at both ends: no fade at all
    const auto [flatEarly, flatLate] = quarterLevels (flat);
    EXPECT_NEAR (flatEarly / flatLate, 1.0f, 0.1f);
}

TEST (ToneStage, WidenerAddsTheDelayedSignalLeftAndSubtractsItRight)
{
    Settings settings;
    settings.stutterTimeBpm = 13;
    settings.refreshTimeBpm = 18;
    settings.stereoMix = 100;
    settings.stereoWidth = 100;

    // Identical channels: the sum stays the dry signal, the difference is the added part.
    auto engine = preparedEngine (48000.0, 2, settings);
    auto input = noise (1, 96000, 4);
    input.applyGain (0.5f);   // keep left + delayed inside [-1, 1]
    juce::AudioBuffer<float> stereo (2, 96000);
    stereo.copyFrom (0, 0, input, 0, 0, 96000);
    stereo.copyFrom (1, 0, input, 0, 0, 96000);
    const auto out = run (*engine, stereo, 120.0f);

    // Late in a repeat the delayed signal (360 frames back at 48 kHz) is almost fully added.
    const int p = 20000, j = 24000 + p;
    const float side = 0.5f * (out.getSample (0, j) - out.getSample (1, j));
    const float delayed = input.getSample (0, p - 360);   // the repeat's own signal, 360 frames back
    EXPECT_NEAR (side, delayed * (20000.0f / 24000.0f), 1.0e-4f);
}

//==============================================================================
TEST (StutterEngine, JoinsAreClickFree)
{
    struct Case
    {
        const char* name;
        Settings settings;
    };
    auto with = [] (auto change) { Settings s; change (s); return s; };
    const Case cases[] = {
        { "1/8 in 1/4", with ([] (Settings& s) { s.stutterTimeBpm = 10; s.refreshTimeBpm = 13; }) },
        { "1/16 in 1/4, fade-out and falling filter", with ([] (Settings& s) { s.stutterTimeBpm = 7; s.fadeMix = -100; s.filterMix = -100; }) },
        { "1/32 T in 1/8, rising filter", with ([] (Settings& s) { s.stutterTimeBpm = 3; s.refreshTimeBpm = 10; s.filterMix = 60; }) },
        { "free 60 ms in 480 ms", with ([] (Settings& s) { s.stutterSync = 0; s.stutterTimeFree = 60; s.refreshSync = 0; s.refreshTimeFree = 480; s.fadeMix = 100; }) },
        { "1/4 in 1/8 (no repeats)", with ([] (Settings& s) { s.stutterTimeBpm = 13; s.refreshTimeBpm = 10; }) },
    };

    const int n = 44100 * 3;
    juce::AudioBuffer<float> dc (2, n), sine (2, n);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < n; ++i)
        {
            dc.setSample (c, i, 0.5f);
            sine.setSample (c, i, 0.5f * std::sin (juce::MathConstants<float>::twoPi * 110.0f * (float) i / 44100.0f));
        }

    // The steepest the inputs move on their own (with room for the filter's
    // resonance), plus one step of a 441-sample fade. A raw join would jump by
    // up to the signal's full level.
    const float sineSlope = 0.5f * juce::MathConstants<float>::twoPi * 110.0f / 44100.0f;
    const float allowed = 2.0f * sineSlope + 2.0f * 0.5f / 441.0f;

    for (const auto& c : cases)
    {
        for (const auto* input : { &dc, &sine })
        {
            auto engine = preparedEngine (44100.0, 2, c.settings);
            const auto out = run (*engine, *input, 120.0f);
            for (int ch = 0; ch < 2; ++ch)
                EXPECT_LT (maxJump (out, ch), allowed) << c.name << (input == &dc ? ", DC" : ", sine") << ", channel " << ch;
        }
    }
}

//==============================================================================
TEST (LinearDelay, GivesJucesDelayLineSamplesExactly)
{
    // The widener's delay must sound exactly like JUCE's linear delay line,
    // including across the buffer's wrap and for fractional delays.
    struct Case
    {
        int maximum;
        float delay;
    };
    const Case cases[] = { { 44100, 661.5f }, { 48000, 720.0f }, { 8000, 120.0f }, { 10, 8.0f }, { 10, 7.25f }, { 0, 0.0f }, { 96000, 1440.0f } };

    for (const auto& c : cases)
    {
        juce::dsp::DelayLine<float, juce::dsp::DelayLineInterpolationTypes::Linear> juces;
        juces.prepare ({ 44100.0, 512, 1 });
        juces.reset();
        juces.setMaximumDelayInSamples (c.maximum);
        juces.setDelay (c.delay);

        brakkle::LinearDelay ours;
        ours.setMaximumDelayInSamples (c.maximum);
        ours.setDelay (c.delay);

        juce::Random random (c.maximum);
        for (int i = 0; i < 3 * (c.maximum + 10); ++i)
        {
            const float x = random.nextFloat() * 2.0f - 1.0f;
            juces.pushSample (0, x);
            ours.pushSample (x);
            ASSERT_EQ (ours.popSample(), juces.popSample (0)) << "maximum " << c.maximum << ", delay " << c.delay << ", sample " << i;
        }
    }
}
