// Brakkle under hosts that do what hosts should not: block sizes that change
// on every call (and exceed what was prepared), re-preparation while the
// transport plays, no play head at all, tempos that are no tempos, and state
// restored from a background thread while audio runs. All through the built
// bundle, loaded the way a host loads it.

#include "HardeningSupport.h"

#include "support/ReferencePipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

using namespace brakkle::hardening;
using brakkle::test::firstDifference;

namespace
{
    std::vector<int> randomSizes (int count, int low, int high, juce::int64 seed)
    {
        juce::Random random (seed);
        std::vector<int> sizes;
        for (int i = 0; i < count; ++i)
            sizes.push_back (low + random.nextInt (high - low + 1));
        return sizes;
    }

    /** Short slices and every tone effect on, so that blocks cross many slice starts. */
    void busySettings (brakkle::host::HostedPlugin& plugin)
    {
        setPlain (plugin, ParameterIds::stutterTimeBpm, 4.0f);    // "1/32"
        setPlain (plugin, ParameterIds::refreshTimeBpm, 10.0f);   // "1/8"
        setPlain (plugin, ParameterIds::filterMix, 70.0f);
        setPlain (plugin, ParameterIds::fadeMix, -60.0f);
        setPlain (plugin, ParameterIds::stereoMix, 80.0f);
        setPlain (plugin, ParameterIds::input, 12.0f);
    }
}

//==============================================================================
TEST (HostileHost, BlockSizesThatChangeOnEveryCallChangeNothingInTheSound)
{
    // The engine works frame by frame, so cutting the same audio into other
    // blocks must give the same samples. Every size stays within the maximum
    // the host announced: JUCE's VST3 glue copies each block into buffers of
    // that size before the plug-in sees it, so a host that sends more corrupts
    // memory before any of Brakkle's code runs (blocks larger than prepared are
    // tested in-process, in DamagedInputTests).
    struct Case
    {
        const char* name;
        int channels, preparedBlock;
        std::vector<int> sizes;
    };

    const Case cases[] = {
        { "random 1..4096, prepared 4096", 2, 4096, randomSizes (200, 1, 4096, 7) },
        { "random 1..4096, prepared 4096, mono", 1, 4096, randomSizes (200, 1, 4096, 8) },
        { "random 1..512, prepared 512", 2, 512, randomSizes (600, 1, 512, 9) },
        { "powers of two up and down, prepared 4096", 2, 4096, { 1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 2048, 1024, 512, 256, 128, 64, 32, 16, 8, 4, 2 } },
        { "odd sizes, prepared 4096", 2, 4096, { 1, 3, 4095, 7, 1, 999, 4096, 1 } },
        { "single samples, prepared 1", 2, 1, { 1 } },
    };

    const int total = 3 * 44100;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const int length = c.preparedBlock == 1 ? total / 6 : total;
        const auto input = testSignal (c.channels, length, 3);

        auto reference = loadBrakkle (c.channels, 44100.0, 512);
        auto hostile = loadBrakkle (c.channels, 44100.0, c.preparedBlock);
        ASSERT_NE (reference, nullptr);
        ASSERT_NE (hostile, nullptr);
        busySettings (*reference);
        busySettings (*hostile);

        const auto expected = renderInBlocks (*reference, input, { 512 });
        const auto actual = renderInBlocks (*hostile, input, c.sizes);

        expectFiniteAndBounded (actual);
        EXPECT_EQ (firstDifference (actual, expected), "");
    }
}

TEST (HostileHost, ZeroSampleBlocksBetweenRealOnesChangeNothing)
{
    // Some hosts call process with no audio just to pass parameter changes.
    const auto input = testSignal (2, 44100, 4);
    auto reference = loadBrakkle (2, 44100.0, 512);
    auto hostile = loadBrakkle (2, 44100.0, 512);
    ASSERT_NE (reference, nullptr);
    ASSERT_NE (hostile, nullptr);

    const auto expected = renderInBlocks (*reference, input, { 512 });

    const auto output = renderInBlocks (*hostile, input, { 512 }, [&] (int)
    {
        juce::AudioBuffer<float> empty (2, 0);
        hostile->process (empty);
    });

    EXPECT_EQ (firstDifference (output, expected), "");
}

//==============================================================================
TEST (HostileHost, RepreparedAtOtherRatesAndLayoutsWhilePlaying)
{
    struct Step
    {
        double rate;
        int channels, block;
    };

    // Each step prepares again without stopping the transport, then plays on.
    const Step steps[] = {
        { 44100.0, 2, 512 },
        { 96000.0, 1, 128 },
        { 8000.0, 2, 4096 },
        { 384000.0, 1, 64 },
        { 22050.0, 2, 1 },
        { 192000.0, 2, 2048 },
        { 48000.0, 1, 333 },
        { 48000.0, 2, 512 },
    };

    auto plugin = loadBrakkle (2, 44100.0, 512);
    ASSERT_NE (plugin, nullptr);
    busySettings (*plugin);
    plugin->transport().playing = true;

    for (const auto& step : steps)
    {
        SCOPED_TRACE (juce::String (step.rate) + " Hz, " + juce::String (step.channels) + " channel(s), block " + juce::String (step.block));
        ASSERT_TRUE (plugin->prepare (step.rate, step.block, step.channels));

        // Half a second of audio at the new settings, in the announced block size.
        const int total = (int) (step.rate * 0.5);
        const auto input = testSignal (step.channels, total, 5);
        const auto output = renderInBlocks (*plugin, input, { step.block });

        expectFiniteAndBounded (output);
        EXPECT_GT (output.getMagnitude (0, total), 0.01f) << "the plug-in fell silent";
    }
}

//==============================================================================
TEST (HostileHost, WithoutAPlayHeadTheAudioPassesThrough)
{
    // No transport to follow: the gain stages only, as with the transport stopped.
    for (int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        auto plugin = loadBrakkle (channels, 48000.0, 256);
        ASSERT_NE (plugin, nullptr);
        plugin->instance().setPlayHead (nullptr);

        const auto input = testSignal (channels, 48000, 6);
        const auto output = renderInBlocks (*plugin, input, { 256 });

        expectFiniteAndBounded (output);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 48000; ++i)
                ASSERT_EQ (output.getSample (c, i), reference::gainStages (input.getSample (c, i)))
                    << "channel " << c << " sample " << i;
    }
}

TEST (HostileHost, ATempoThatIsNoTempoKeepsTheLastAdoptedOne)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();

    struct Case
    {
        const char* name;
        double badTempo;
        bool fromTheStart;   // no tempo adopted yet: the engine's own 120 BPM holds
    };

    const Case cases[] = {
        { "zero", 0.0, false },
        { "not a number", nan, false },
        { "negative", -120.0, false },
        { "infinite", inf, false },
        { "minus infinity", -inf, false },
        { "beyond a float", 1.0e300, false },
        { "zero from the start", 0.0, true },
        { "not a number from the start", nan, true },
    };

    const int total = 4 * 44100;   // several slices and refreshes
    const auto input = testSignal (2, total, 9);

    // What 120 BPM throughout sounds like.
    auto reference = loadBrakkle (2, 44100.0, 512);
    ASSERT_NE (reference, nullptr);
    busySettings (*reference);
    const auto expected = renderInBlocks (*reference, input, { 512 });

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto plugin = loadBrakkle (2, 44100.0, 512);
        ASSERT_NE (plugin, nullptr);
        busySettings (*plugin);

        const auto output = renderInBlocks (*plugin, input, { 512 }, [&] (int start)
        {
            // 120 BPM for the first second (unless bad from the start), then the bad tempo.
            plugin->transport().bpm = (c.fromTheStart || start >= 44100) ? c.badTempo : 120.0;
        });

        expectFiniteAndBounded (output);
        EXPECT_EQ (firstDifference (output, expected), "");
    }
}

//==============================================================================
TEST (HostileHost, StateRestoredFromABackgroundThreadWhileAudioRuns)
{
    auto plugin = loadBrakkle (2, 48000.0, 256);
    ASSERT_NE (plugin, nullptr);
    auto& instance = plugin->instance();

    // Two saved projects with every parameter different.
    using Values = std::array<float, parameterTable.size()>;
    const Values first { 120, 3, 0, 700, 17, 1, 6, 40, -3, 2500, 50, -30, 80, 20, -70, 0, 4, 9, 35, 12 };
    const Values second { 35, 15, 1, 90, 2, 0, -9, 85, 4, 11000, -40, -6, -25, 90, 60, 1, 12, 4, 70, 99 };

    // The host plays on between setting the values and saving: an LV2 plug-in
    // hears a host's changes with its next run.
    const auto save = [&] (const Values& values)
    {
        for (size_t i = 0; i < parameterTable.size(); ++i)
            setPlain (*plugin, parameterTable[i].id, values[i]);
        auto block = testSignal (2, 256, 10);
        plugin->process (block);
        juce::MemoryBlock blob;
        instance.getStateInformation (blob);
        return blob;
    };

    const auto firstBlob = save (first);
    const auto secondBlob = save (second);
    save (first);

    std::atomic<bool> restoring { true };
    std::atomic<int> blocks { 0 };
    std::atomic<int> restored { 0 };
    std::atomic<int> blocksAmongRestores { 0 };   // finished after one restore and before the last
    std::atomic<bool> bounded { true };

    std::thread audio ([&]
    {
        const auto input = testSignal (2, 256, 11);
        while (restoring.load())
        {
            auto block = input;
            plugin->process (block);
            if (! isFiniteAndBounded (block))
                bounded = false;
            if (restored.load() > 0 && restoring.load())
                ++blocksAmongRestores;
            ++blocks;
        }
    });

    std::thread loader ([&]
    {
        for (int i = 0; i < 200; ++i)
        {
            // Each restore lands while audio runs: wait for the audio thread to
            // finish a block first (it never waits for the restores).
            const int seen = blocks.load();
            while (blocks.load() == seen)
                std::this_thread::yield();

            const auto& blob = (i % 2 == 0) ? firstBlob : secondBlob;
            instance.setStateInformation (blob.getData(), (int) blob.getSize());
            ++restored;
        }
        restoring = false;   // the last one restored was the second project
    });

    // The message thread stays responsive meanwhile, as a host's would.
    while (restoring.load())
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);

    loader.join();
    audio.join();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);

    // An LV2 host hears the values the last restore set from the plug-in's next run.
    auto block = testSignal (2, 256, 10);
    plugin->process (block);

    EXPECT_TRUE (bounded.load()) << "an output sample left [-1, 1] or was no number";
    EXPECT_GE (blocksAmongRestores.load(), 199) << "audio blocks did not run while the restores happened";

    // Nothing lost: the plug-in holds the second project exactly.
    for (size_t i = 0; i < parameterTable.size(); ++i)
    {
        const auto& spec = parameterTable[i];
        EXPECT_NEAR (plainValue (*plugin, spec.id), second[i], spec.step * 0.5f) << spec.id;
    }
}
