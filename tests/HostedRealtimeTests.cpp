// The audio thread's rules through the bundle: a host's process call allocates
// nothing in steady state, whatever the automation and transport do. Counted
// on the calling thread, host and plug-in together, in both formats.

#include "support/AllocationCounter.h"
#include "support/HostedBrakkle.h"
#include "support/Signals.h"
#include "support/ThreadSwitches.h"

#include "processor/ParameterIds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

TEST (HostedRealtime, ProcessingAllocatesNothingUnderAutomationAndTransport)
{
    for (int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        auto plugin = brakkle::test::loadBrakkle (channels, 48000.0, 256);
        ASSERT_NE (plugin, nullptr);

        auto& transport = plugin->transport();
        transport.numerator = 7;
        transport.denominator = 8;
        transport.locate (-0.75);   // a pre-roll

        const auto source = brakkle::test::noise (channels, 256, 8);
        auto block = source;
        juce::Random random (42);
        const auto automateEverything = [&]
        {
            for (const auto& spec : parameterTable)
                brakkle::host::HostedPlugin::setNormalised (*plugin->parameterNamed (spec.name), random.nextFloat());
        };

        // Warm-up: JUCE's hosting makes room for a parameter's changes the
        // first time it sends one.
        for (int i = 0; i < 50; ++i)
        {
            automateEverything();
            plugin->process (block);
        }

        long allocations = 0;
        for (int i = 0; i < 3000; ++i)   // 16 s of audio, automation before every block
        {
            automateEverything();

            transport.playing = (i % 700) != 0;
            transport.bpm = (i / 1000) % 2 == 0 ? 120.0 : 137.5;
            if (i % 450 == 449)
                transport.locate ((double) (i % 7) * 1.25);
            block.makeCopyOf (source, true);

            brakkle::test::ScopedAllocationCount counter;
            plugin->process (block);
            allocations += counter.count();
        }

        EXPECT_EQ (allocations, 0);
    }
}

TEST (HostedRealtime, SlowTemposGrowTheSliceWithoutAllocating)
{
    // "2 BARS" at 40 and 20 BPM is 12 and 24 s, longer than the storage an
    // instance sets aside (8 s, "2 BARS" at 60 BPM): the first such slice is cut
    // to what is held while a larger store is made off the audio thread, so no
    // process call allocates. Two whole cycles at each tempo.
    using brakkle::test::setPlain;

    for (double bpm : { 40.0, 20.0 })
    {
        SCOPED_TRACE (bpm);
        auto plugin = brakkle::test::loadBrakkle (2, 44100.0, 512);
        ASSERT_NE (plugin, nullptr);
        setPlain (*plugin, ParameterIds::stutterTimeBpm, 19.0f);   // "2 BARS"
        setPlain (*plugin, ParameterIds::refreshTimeBpm, 19.0f);
        plugin->transport().bpm = bpm;

        const auto source = brakkle::test::noise (2, 512, 9);
        auto block = source;
        plugin->transport().playing = false;
        for (int i = 0; i < 20; ++i)
            plugin->process (block);
        plugin->transport().playing = true;

        const int blocks = (int) (2 * 8 * 60.0 / bpm * 44100.0 / 512.0) + 10;
        long allocations = 0;
        bool finite = true;

        for (int i = 0; i < blocks; ++i)
        {
            block.makeCopyOf (source, true);
            brakkle::test::ScopedAllocationCount counter;
            plugin->process (block);
            allocations += counter.count();
            finite = finite && std::isfinite (block.getMagnitude (0, block.getNumSamples()));
        }

        EXPECT_EQ (allocations, 0);
        EXPECT_TRUE (finite);
    }
}

TEST (HostedRealtime, IdleInstancesWakeNoThread)
{
    // A session holds dozens of instances, most of them idle. Twenty of them,
    // each having played a moment and then stopped, sit for a second: their
    // slice storage's helper threads sleep until asked, so none of them wakes.
   #if ! defined (__linux__)
    GTEST_SKIP() << "counts the threads' wake-ups as Linux reports them";
   #endif
    constexpr int instances = 20;
    std::vector<std::unique_ptr<brakkle::host::HostedPlugin>> plugins;
    const auto source = brakkle::test::noise (2, 512, 3);

    for (int i = 0; i < instances; ++i)
    {
        plugins.push_back (brakkle::test::loadBrakkle (2, 44100.0, 512));
        ASSERT_NE (plugins.back(), nullptr);

        auto block = source;
        for (int b = 0; b < 200; ++b)
        {
            plugins.back()->transport().playing = b < 150;
            block.makeCopyOf (source, true);
            plugins.back()->process (block);
        }
    }

    std::this_thread::sleep_for (std::chrono::milliseconds (200));
    const auto before = brakkle::test::threadSwitches ("Brakkle slices");
    std::this_thread::sleep_for (std::chrono::seconds (1));
    const auto after = brakkle::test::threadSwitches ("Brakkle slices");

    EXPECT_GE (before.threads, instances);
    EXPECT_EQ (after.threads, before.threads);
    EXPECT_EQ (after.switches - before.switches, 0) << "wake-ups of " << after.threads << " helper threads in one second";
}
