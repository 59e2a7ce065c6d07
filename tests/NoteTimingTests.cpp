#include "engine/StutterEngine.h"

#include <gtest/gtest.h>

namespace
{
    /** An engine prepared at a rate whose adopted tempo is bpm. */
    std::unique_ptr<StutterEngine> engineAt (double sampleRate, float bpm)
    {
        auto engine = std::make_unique<StutterEngine>();
        engine->prepare ({ sampleRate, 512, 2 });
        juce::AudioBuffer<float> one (2, 1);
        one.clear();
        engine->process (one, bpm, true);   // a playing block adopts the tempo
        return engine;
    }

    struct WorkedValue
    {
        float bpm;
        double sampleRate;
        int index;
        int samples;
    };
}

TEST (NoteTiming, WorkedValuesAreExact)
{
    // Index: 0 "1/64 T", 10 "1/8", 11 "1/8 D", 13 "1/4", 18 "1 BAR", 19 "2 BARS".
    const WorkedValue table[] = {
        { 120.0f, 44100.0, 0, 918 },  { 120.0f, 44100.0, 10, 11025 }, { 120.0f, 44100.0, 11, 16537 },
        { 120.0f, 44100.0, 13, 22050 }, { 120.0f, 44100.0, 18, 88200 }, { 120.0f, 44100.0, 19, 176400 },
        { 120.0f, 48000.0, 0, 1000 },  { 120.0f, 48000.0, 10, 12000 }, { 120.0f, 48000.0, 11, 18000 },
        { 120.0f, 48000.0, 13, 24000 }, { 120.0f, 48000.0, 18, 96000 }, { 120.0f, 48000.0, 19, 192000 },
        { 90.0f, 44100.0, 0, 1225 },   { 90.0f, 44100.0, 10, 14700 },  { 90.0f, 44100.0, 11, 22050 },
        { 90.0f, 44100.0, 13, 29400 },  { 90.0f, 44100.0, 18, 117600 }, { 90.0f, 44100.0, 19, 235200 },
        { 128.0f, 44100.0, 0, 861 },   { 128.0f, 44100.0, 10, 10335 }, { 128.0f, 44100.0, 11, 15503 },
        { 128.0f, 44100.0, 13, 20671 }, { 128.0f, 44100.0, 18, 82687 }, { 128.0f, 44100.0, 19, 165375 },
    };

    for (const auto& row : table)
    {
        const auto engine = engineAt (row.sampleRate, row.bpm);
        EXPECT_EQ (engine->durationInSamples (1.0f, (float) row.index, 200.0f), row.samples)
            << row.bpm << " BPM, " << row.sampleRate << " Hz, index " << row.index;
    }
}

TEST (NoteTiming, FreeTimesAndSyncThreshold)
{
    const auto at44 = engineAt (44100.0, 120.0f);
    const auto at48 = engineAt (48000.0, 120.0f);

    EXPECT_EQ (at44->durationInSamples (0.0f, 13.0f, 200.0f), 8820);
    EXPECT_EQ (at44->durationInSamples (0.0f, 13.0f, 10.0f), 441);
    EXPECT_EQ (at48->durationInSamples (0.0f, 13.0f, 1000.0f), 48000);

    // Exactly 0.5 is still free time; only values above 0.5 follow the tempo.
    EXPECT_EQ (at44->durationInSamples (0.5f, 13.0f, 200.0f), 8820);
    EXPECT_EQ (at44->durationInSamples (0.51f, 13.0f, 200.0f), 22050);

    // A fractional index is truncated: 12.7 is "1/4 T", two thirds of a beat.
    EXPECT_EQ (at44->durationInSamples (1.0f, 12.7f, 200.0f), at44->durationInSamples (1.0f, 12.0f, 200.0f));
    EXPECT_EQ (at44->durationInSamples (1.0f, 12.0f, 200.0f), (int) ((0.5f * (2.0f / 3.0f)) * 44100.0f));
}

TEST (NoteTiming, NoteTableNamesAndLengths)
{
    StutterEngine engine;
    const char* names[] = { "1/64 T", "1/64", "1/64 D", "1/32 T", "1/32", "1/32 D", "1/16 T", "1/16", "1/16 D",
                            "1/8 T", "1/8", "1/8 D", "1/4 T", "1/4", "1/4 D", "1/2 T", "1/2", "1/2 D",
                            "1 BAR", "2 BARS" };
    for (size_t i = 0; i < 20; ++i)
        EXPECT_EQ (engine.noteNames[i], juce::String (names[i])) << i;

    // Triplets, plain and dotted notes at 3k, 3k+1, 3k+2; a bar is four beats.
    for (size_t k = 0; k < 6; ++k)
    {
        const float plain = engine.noteBeats[3 * k + 1];
        EXPECT_EQ (engine.noteBeats[3 * k], plain * 2.0f / 3.0f) << k;
        EXPECT_EQ (engine.noteBeats[3 * k + 2], plain * 1.5f) << k;
    }
    EXPECT_EQ (engine.noteBeats[13], 1.0f);
    EXPECT_EQ (engine.noteBeats[18], 4.0f);
    EXPECT_EQ (engine.noteBeats[19], 8.0f);
}

TEST (NoteTiming, TempoIsAdoptedByTruncatedHundredths)
{
    struct Case
    {
        float hostBpm;
        float adopted;
    };
    const Case cases[] = {
        { 120.004f, 120.0f },    // 12000 hundredths either way: kept
        { 119.999f, 119.999f },  // 11999: adopted
        { 90.0f, 90.0f },
        // Not a tempo: the last adopted one stays.
        { 0.0f, 120.0f },
        { -60.0f, 120.0f },
        { std::numeric_limits<float>::quiet_NaN(), 120.0f },
        { std::numeric_limits<float>::infinity(), 120.0f },
    };

    for (const auto& c : cases)
    {
        const auto engine = engineAt (44100.0, c.hostBpm);
        EXPECT_EQ (engine->getAdoptedBpm(), c.adopted) << c.hostBpm;
    }
}

TEST (NoteTiming, StoppedBlocksNeverAdoptTheTempo)
{
    StutterEngine engine;
    engine.prepare ({ 44100.0, 64, 2 });
    juce::AudioBuffer<float> block (2, 64);
    block.clear();
    engine.process (block, 90.0f, false);
    EXPECT_EQ (engine.getAdoptedBpm(), 120.0f);
    EXPECT_EQ (engine.getRefreshPeriod(), 22050);   // "1/4" at the adopted 120 BPM
}
