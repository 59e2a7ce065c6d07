// The plug-in's window opened and closed again and again, the way a user
// clicks a host's plug-in button, while the audio thread keeps processing.

#include "HardeningSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <dlfcn.h>

using namespace brakkle::hardening;

namespace
{
    /** A host's own X error handler, like the one JUCE installs for its own
        applications. Without one, Xlib ends the process on the first harmless
        error, and a virtual display without a window manager gives some. */
    void ignoreXErrors()
    {
        using Handler = int (*) (void*, void*);

        if (auto* x11 = dlopen ("libX11.so.6", RTLD_NOW | RTLD_GLOBAL))
            if (auto* setHandler = reinterpret_cast<Handler (*) (Handler)> (dlsym (x11, "XSetErrorHandler")))
                setHandler ([] (void*, void*) { return 0; });
    }
}

TEST (HostileHost, EditorOpenedAndClosedTwoHundredTimesWhileAudioRuns)
{
    ignoreXErrors();

    if (juce::Desktop::getInstance().getDisplays().displays.isEmpty())
    {
        // CI runs with a display: there, a missing one is a failure, not a skip.
        if (juce::SystemStats::getEnvironmentVariable ("BRAKKLE_REQUIRE_DISPLAY", {}).isNotEmpty())
            FAIL() << "no display, and BRAKKLE_REQUIRE_DISPLAY is set";
        GTEST_SKIP() << "no display (run under xvfb-run)";
    }

    auto plugin = loadBrakkle (2, 48000.0, 256);
    ASSERT_NE (plugin, nullptr);
    auto& instance = plugin->instance();
    setPlain (*plugin, ParameterIds::stutterTimeBpm, 7.0f);
    setPlain (*plugin, ParameterIds::filterMix, 40.0f);

    std::vector<float> before;
    for (const auto& spec : parameterTable)
        before.push_back (plainValue (*plugin, spec.id));

    std::atomic<bool> editing { true };
    std::atomic<int> blocks { 0 };
    std::atomic<bool> bounded { true };

    std::thread audio ([&]
    {
        const auto input = testSignal (2, 256, 12);
        while (editing.load())
        {
            auto block = input;
            plugin->process (block);
            if (! isFiniteAndBounded (block))
                bounded = false;
            ++blocks;
        }
    });

    for (int i = 0; i < 200; ++i)
    {
        auto* editor = instance.createEditorIfNeeded();
        ASSERT_NE (editor, nullptr) << "opening " << i;

        {
            juce::DocumentWindow window ("Brakkle", juce::Colours::black, 0, true);
            window.setUsingNativeTitleBar (true);
            window.setContentOwned (editor, true);
            window.setVisible (true);
            juce::MessageManager::getInstance()->runDispatchLoopUntil (i % 10 == 0 ? 30 : 2);

            // The host's window takes the size of Brakkle's own.
            if (i == 0)
            {
                EXPECT_EQ (editor->getWidth(), 800);
                EXPECT_EQ (editor->getHeight(), 600);
            }
        }   // closing the window deletes the editor

        EXPECT_EQ (instance.getActiveEditor(), nullptr) << "closing " << i;
    }

    editing = false;
    audio.join();

    EXPECT_TRUE (bounded.load()) << "an output sample left [-1, 1] or was no number";
    EXPECT_GT (blocks.load(), 0);

    // Opening and closing the window changes no parameter.
    for (size_t i = 0; i < parameterTable.size(); ++i)
        EXPECT_EQ (plainValue (*plugin, parameterTable[i].id), before[i]) << parameterTable[i].id;
}
