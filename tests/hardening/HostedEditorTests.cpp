// The plug-in's window opened and closed again and again, the way a user
// clicks a host's plug-in button, while the audio thread keeps processing.

#include "HardeningSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <dlfcn.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace brakkle::hardening;

/** Where no window can open the test is skipped, or fails where a display is required. */
#define SKIP_OR_FAIL_WITHOUT_DISPLAY()                                          \
    if (! hasDisplay())                                                         \
    {                                                                           \
        if (displayIsRequired())                                                \
            FAIL() << "no display, and BRAKKLE_REQUIRE_DISPLAY is set";        \
        GTEST_SKIP() << "no display (run under xvfb-run)";                      \
    }

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

    /** True when windows can open; Xlib then reports errors without ending the process. */
    bool hasDisplay()
    {
        ignoreXErrors();
        return ! juce::Desktop::getInstance().getDisplays().displays.isEmpty();
    }

    /** CI runs with a display: there, a missing one is a failure, not a skip. */
    bool displayIsRequired()
    {
        return juce::SystemStats::getEnvironmentVariable ("BRAKKLE_REQUIRE_DISPLAY", {}).isNotEmpty();
    }

    /** A user at the X display, with the mouse and keyboard: clicks and key
        presses sent to the plug-in's own window, which the plug-in reads from
        the display like any other input. */
    class UserAtTheDisplay
    {
    public:
        UserAtTheDisplay() : display (XOpenDisplay (nullptr)) {}
        ~UserAtTheDisplay() { if (display != nullptr) XCloseDisplay (display); }

        /** The deepest window of the given size below the host's window: the
            one the plug-in put its editor into. */
        bool findPluginWindow (juce::Component& hostWindow, int width, int height)
        {
            auto* peer = hostWindow.getPeer();
            if (display == nullptr || peer == nullptr)
                return false;

            target = 0;
            search ((Window) (juce::pointer_sized_uint) peer->getNativeHandle(), width, height);
            return target != 0;
        }

        /** A left click at a point of the plug-in's window, after giving it the keyboard. */
        void click (int x, int y)
        {
            XSetInputFocus (display, target, RevertToParent, CurrentTime);

            for (const int type : { ButtonPress, ButtonRelease })
            {
                XEvent event {};
                auto& b = event.xbutton;
                b.type = type;
                b.display = display;
                b.window = target;
                b.root = DefaultRootWindow (display);
                b.time = CurrentTime;
                b.x = x;
                b.y = y;
                b.button = Button1;
                b.state = type == ButtonRelease ? Button1Mask : 0;
                b.same_screen = True;
                XSendEvent (display, target, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &event);
            }

            XSync (display, False);   // delivered before the caller goes on
        }

        /** Types the text (letters, digits, '.', '-'), then Return. */
        void type (const juce::String& text)
        {
            // Another window on the display may have taken the keyboard meanwhile.
            XSetInputFocus (display, target, RevertToParent, CurrentTime);

            for (auto c : text)
                press (c == '.' ? XK_period : c == '-' ? XK_minus : (KeySym) c);

            press (XK_Return);
        }

    private:
        void press (KeySym symbol)
        {
            for (const int type : { KeyPress, KeyRelease })
            {
                XEvent event {};
                auto& k = event.xkey;
                k.type = type;
                k.display = display;
                k.window = target;
                k.root = DefaultRootWindow (display);
                k.time = CurrentTime;
                k.keycode = XKeysymToKeycode (display, symbol);
                k.same_screen = True;
                XSendEvent (display, target, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
            }

            XSync (display, False);   // delivered before the caller goes on
        }

        void search (Window window, int width, int height)
        {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned int count = 0;
            if (XQueryTree (display, window, &root, &parent, &children, &count) == 0)
                return;

            for (unsigned int i = 0; i < count; ++i)
            {
                XWindowAttributes attributes {};
                if (XGetWindowAttributes (display, children[i], &attributes) != 0
                    && attributes.width == width && attributes.height == height)
                    target = children[i];

                search (children[i], width, height);
            }

            if (children != nullptr)
                XFree (children);
        }

        Display* display = nullptr;
        Window target = 0;
    };
}

TEST (HostileHost, EditorOpenedAndClosedTwoHundredTimesWhileAudioRuns)
{
    SKIP_OR_FAIL_WITHOUT_DISPLAY();

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

TEST (HostileHost, TextTypedIntoTheWindowNeverSendsTheHostANaN)
{
    // A user types "nan" into the Mix box. It reads as no number, so the value
    // stays; before, the box handed the parameter a NaN, the parameter put its
    // last good value back, but the host's automation (VST3 performEdit) and
    // the box itself still heard the NaN.
    SKIP_OR_FAIL_WITHOUT_DISPLAY();

    auto plugin = loadBrakkle (2, 48000.0, 256);
    ASSERT_NE (plugin, nullptr);
    auto& instance = plugin->instance();
    brakkle::test::HeardValues heard (instance);
    auto* mix = plugin->parameterNamed (specFor (ParameterIds::mix).name);
    ASSERT_NE (mix, nullptr);

    juce::DocumentWindow window ("Brakkle", juce::Colours::black, 0, true);
    window.setUsingNativeTitleBar (true);
    window.setContentOwned (instance.createEditorIfNeeded(), true);
    window.setVisible (true);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (300);

    UserAtTheDisplay user;
    ASSERT_TRUE (user.findPluginWindow (window, 800, 600)) << "the plug-in's window is not on the display";

    // The Mix knob's value box, as the window lays it out.
    const juce::Point<int> mixBox { 330 + 29 + 40, 262 + 20 + 10 };

    // Types into the box and gives the plug-in time to read it; true once the
    // host holds the expected value (up to five seconds on a busy machine).
    // Audio runs meanwhile, as in a host: an LV2 plug-in reports a change made
    // in its window with its next run.
    auto block = testSignal (2, 256, 13);
    const auto playABlock = [&] { plugin->process (block); };
    const auto typeIntoMix = [&] (const juce::String& text, float expected)
    {
        user.click (mixBox.x, mixBox.y);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (200);
        user.type (text);

        // The box reads the text only once the window has taken every key: a
        // value that is already the expected one says nothing before then.
        juce::MessageManager::getInstance()->runDispatchLoopUntil (400);

        for (int waited = 0; waited < 5000; waited += 50)
        {
            playABlock();
            juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
            if (std::abs (mix->getValue() - expected) < 1.0e-6f)
                return true;
        }

        return false;
    };

    // Numbers reach the host before and after "nan", so "nan" was read too.
    ASSERT_TRUE (typeIntoMix ("42", 0.42f)) << "the typed text did not reach the plug-in";
    EXPECT_TRUE (typeIntoMix ("nan", 0.42f));
    EXPECT_EQ (heard.firstNotANumber(), "");
    ASSERT_TRUE (typeIntoMix ("43", 0.43f));

    EXPECT_GT (heard.count(), 0u);
    EXPECT_EQ (heard.firstNotANumber(), "");
}
