#include "support/HostedBrakkle.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace
{
    /** A host's own X error handler, as every host application has one. Without
        it Xlib ends the process on the first harmless error, and a virtual
        display without a window manager gives some (JUCE's LV2 hosting puts a
        window on the display as soon as the plug-in's window is asked for). */
    void ignoreXErrors()
    {
        using Handler = int (*) (void*, void*);

        if (auto* x11 = dlopen ("libX11.so.6", RTLD_NOW | RTLD_GLOBAL))
            if (auto* setHandler = reinterpret_cast<Handler (*) (Handler)> (dlsym (x11, "XSetErrorHandler")))
                setHandler ([] (void*, void*) { return 0; });
    }
}

// Hosted tests load Brakkle as VST3, or as LV2 with --format lv2.
int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    if (! brakkle::test::readFormatUnderTest (argc, argv))
        return 2;

    ignoreXErrors();
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    return RUN_ALL_TESTS();
}
