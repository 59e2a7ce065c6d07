// The REPEAT pad: momentary with the mouse, latched with LATCH or Shift, lit
// by the switch whoever moves it; it covers no other control.

#include "EditorTestSupport.h"

using namespace brakkle::editortest;

namespace
{
    /** Counts the gestures a host hears for one parameter. */
    struct GestureLog final : juce::AudioProcessorParameter::Listener
    {
        int begun = 0, ended = 0;
        void parameterValueChanged (int, float) override {}
        void parameterGestureChanged (int, bool starting) override { ++(starting ? begun : ended); }
    };

    juce::MouseEvent mouseAt (RepeatPad& pad, juce::Point<float> at, juce::ModifierKeys mods)
    {
        auto source = juce::Desktop::getInstance().getMainMouseSource();
        const auto t0 = juce::Time::getCurrentTime();
        return juce::MouseEvent (source, at, mods, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, &pad, &pad, t0, at, t0, 1, false);
    }

    class PadFixture : public EditorFixture
    {
    protected:
        RepeatPad& pad() const
        {
            auto* p = dynamic_cast<RepeatPad*> (&child (repeatPad));
            EXPECT_NE (p, nullptr);
            return *p;
        }

        void press (juce::ModifierKeys extra = {})
        {
            const auto mods = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier | extra.getRawFlags());
            pad().mouseDown (mouseAt (pad(), pad().padArea().getCentre().toFloat(), mods));
        }

        void letGo()
        {
            pad().mouseUp (mouseAt (pad(), pad().padArea().getCentre().toFloat(), {}));
        }

        bool repeatOn() const { return processor->parameters.getRawParameterValue (ParameterIds::repeatHold)->load() > 0.5f; }
    };
}

TEST_F (PadFixture, SitsBetweenTheTimeKnobsOverNoOtherControl)
{
    EXPECT_EQ (child (repeatPad).getBounds(), juce::Rectangle<int> (355, 160, 90, 92));

    for (int c = 0; c < (int) repeatPad; ++c)
        EXPECT_FALSE (child ((Child) c).getBounds().intersects (child (repeatPad).getBounds())
                      && ! (c == stutterTimeFree || c == stutterTimeBpm || c == refreshTimeFree || c == refreshTimeBpm))
            << "child " << c;

    // The time knobs' rectangles reach into the column, their faces do not: the pad takes the mouse there.
    editor->setVisible (true);
    auto* hit = editor->getComponentAt (juce::Point<int> (355 + 45, 160 + 30));
    while (hit != nullptr && hit->getParentComponent() != editor.get())
        hit = hit->getParentComponent();
    EXPECT_EQ (hit, &child (repeatPad));
}

TEST_F (PadFixture, HeldWithTheMouseItIsOnUntilLetGoInOneGesture)
{
    GestureLog log;
    parameter (ParameterIds::repeatHold).addListener (&log);

    press();
    EXPECT_TRUE (repeatOn());
    EXPECT_TRUE (pad().isLit());
    letGo();
    EXPECT_FALSE (repeatOn());
    EXPECT_FALSE (pad().isLit());
    EXPECT_EQ (log.begun, 1);
    EXPECT_EQ (log.ended, 1);

    parameter (ParameterIds::repeatHold).removeListener (&log);
}

TEST_F (PadFixture, LatchOrShiftMakesClicksSwitchItOnAndOff)
{
    for (const bool withShift : { true, false })
    {
        SCOPED_TRACE (withShift ? "Shift-click" : "LATCH lit");
        const auto mods = withShift ? juce::ModifierKeys (juce::ModifierKeys::shiftModifier) : juce::ModifierKeys();
        if (! withShift)
            dynamic_cast<juce::Button&> (*pad().getChildComponent (0)).triggerClick();   // LATCH
        deliverPendingMessages();
        EXPECT_EQ (pad().isLatched(), ! withShift);

        press (mods);
        letGo();
        EXPECT_TRUE (repeatOn());
        press (mods);
        letGo();
        EXPECT_FALSE (repeatOn());
    }
}

TEST_F (PadFixture, LightsWhenAHostSwitchesRepeat)
{
    setParameter (ParameterIds::repeatHold, 1.0f);
    deliverPendingMessages();
    EXPECT_TRUE (pad().isLit());
    setParameter (ParameterIds::repeatHold, 0.0f);
    deliverPendingMessages();
    EXPECT_FALSE (pad().isLit());
}
