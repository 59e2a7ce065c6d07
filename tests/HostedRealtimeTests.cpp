// The audio thread's rules through the bundle: a host's process call allocates
// nothing in steady state, whatever the automation and transport do. Counted
// on the calling thread, host and plug-in together, in both formats.

#include "support/AllocationCounter.h"
#include "support/HostedBrakkle.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

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
