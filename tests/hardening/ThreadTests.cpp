// One instance, three threads, as a busy host drives it: host automation moves
// every parameter at random, the audio thread processes blocks, and the
// host saves and restores the project meanwhile. Built with ThreadSanitizer
// (tools/sanitize thread), the same test shows that the plug-in's own data is
// shared without races.

#include "processor/BrakkleAudioProcessor.h"
#include "processor/ParameterIds.h"
#include "../support/FakePlayHead.h"
#include "../support/ProcessorParameters.h"
#include "../support/Signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using brakkle::test::engineValues;
using brakkle::test::parameterValues;

namespace
{
    using brakkle::test::isFiniteAndBounded;

    bool allInRange (const std::vector<float>& values)
    {
        for (size_t i = 0; i < parameterTable.size(); ++i)
            if (! (values[i] >= parameterTable[i].minimum && values[i] <= parameterTable[i].maximum))
                return false;

        return true;
    }
}

TEST (Threads, AutomationAudioAndStateOnThreeThreadsAtOnce)
{
    struct Case
    {
        const char* name;
        int channels, blockSize, blocks;
        bool playing;
    };

    const Case cases[] = {
        { "stereo, playing", 2, 256, 1500, true },
        { "mono, playing", 1, 64, 3000, true },
        { "stereo, stopped", 2, 512, 500, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        BrakkleAudioProcessor processor;
        ASSERT_TRUE (brakkle::test::useChannels (processor, c.channels));

        brakkle::test::FakePlayHead head;
        head.playing = c.playing;
        processor.setPlayHead (&head);
        processor.prepareToPlay (48000.0, c.blockSize);

        // A project saved before the session starts, to restore now and then.
        juce::MemoryBlock savedProject;
        processor.getStateInformation (savedProject);

        std::atomic<bool> running { true };
        std::atomic<bool> bounded { true }, inRange { true };
        std::atomic<int> automationRounds { 0 }, stateRounds { 0 };

        std::thread automation ([&]
        {
            juce::Random random (1);
            auto& parameters = processor.getParameters();
            while (running.load())
            {
                for (auto* parameter : parameters)
                    parameter->setValueNotifyingHost (random.nextFloat());
                ++automationRounds;
            }
        });

        std::thread state ([&]
        {
            while (running.load())
            {
                juce::MemoryBlock blob;
                processor.getStateInformation (blob);

                const auto& toRestore = (stateRounds.load() % 3 == 0) ? savedProject : blob;
                processor.setStateInformation (toRestore.getData(), (int) toRestore.getSize());

                if (! allInRange (parameterValues (processor)))
                    inRange = false;
                ++stateRounds;
            }
        });

        std::thread audio ([&]
        {
            const auto input = brakkle::test::noise (c.channels, c.blockSize, 3);
            juce::MidiBuffer midi;
            // At least this many blocks, and on until the other two threads
            // have had many turns each, however the scheduler shares the cores.
            for (int b = 0; b < c.blocks || automationRounds.load() < 300 || stateRounds.load() < 100; ++b)
            {
                auto block = input;
                processor.processBlock (block, midi);
                if (! isFiniteAndBounded (block))
                    bounded = false;
            }
            running = false;
        });

        audio.join();
        automation.join();
        state.join();

        EXPECT_TRUE (bounded.load()) << "an output sample left [-1, 1] or was no number";
        EXPECT_TRUE (inRange.load()) << "a parameter left its range";

        // Once the threads are quiet, the next change brings the engine's copy
        // level with the parameters again.
        brakkle::test::setPlain (processor, ParameterIds::mix, 50.0f);
        const auto values = parameterValues (processor);
        EXPECT_TRUE (allInRange (values));
        EXPECT_EQ (engineValues (processor.stutterEngine), values);
    }
}
