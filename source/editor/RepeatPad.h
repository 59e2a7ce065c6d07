#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** The REPEAT pad: held with the mouse, the "repeatHold" switch is on for as
    long as the button stays down and off when it is let go; lit while on,
    whoever switched it (a host's automation, a mapped key or pad). With LATCH
    lit, or with Shift held, a click switches it on and the next click off. */
class RepeatPad : public juce::Component
{
public:
    explicit RepeatPad (juce::RangedAudioParameter& repeatHold);

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;

    /** Where the pad and the latch lie in the component. */
    juce::Rectangle<int> padArea() const noexcept { return { 9, 0, 72, 60 }; }
    juce::Rectangle<int> latchArea() const noexcept { return { 15, 72, 60, 18 }; }

    bool isLit() const noexcept { return on; }
    bool isLatched() const noexcept { return latchButton.getToggleState(); }

    /** The accent orange of the skin. */
    static constexpr juce::uint32 accent = 0xfff2a33a;

private:
    void switchTo (bool shouldBeOn);

    juce::ParameterAttachment attachment;
    juce::TextButton latchButton { "LATCH" };
    bool on = false;
    bool heldByMouse = false;   // this press turns the switch off again when let go
};
