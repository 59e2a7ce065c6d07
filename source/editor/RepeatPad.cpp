#include "RepeatPad.h"

RepeatPad::RepeatPad (juce::RangedAudioParameter& repeatHold)
    : attachment (repeatHold, [this] (float value)
                  {
                      on = value > 0.5f;
                      repaint();
                  })
{
    latchButton.setClickingTogglesState (true);
    latchButton.setColour (juce::TextButton::buttonColourId, juce::Colour (0xff1b1d20));
    latchButton.setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xff2a2218));
    latchButton.setColour (juce::TextButton::textColourOffId, juce::Colours::white.withAlpha (0.55f));
    latchButton.setColour (juce::TextButton::textColourOnId, juce::Colour (accent));
    latchButton.setColour (juce::ComboBox::outlineColourId, juce::Colours::black.withAlpha (0.6f));
    latchButton.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    latchButton.setTooltip ("Latch: a click switches Repeat on, the next one off");
    latchButton.onClick = [this]
    {
        // Unlatching lets go of a latched repeat.
        if (! latchButton.getToggleState() && on && ! heldByMouse)
            switchTo (false);
    };
    addAndMakeVisible (latchButton);

    setMouseCursor (juce::MouseCursor::PointingHandCursor);
    attachment.sendInitialUpdate();
}

void RepeatPad::resized()
{
    latchButton.setBounds (latchArea());
}

void RepeatPad::paint (juce::Graphics& g)
{
    const auto pad = padArea().toFloat().reduced (1.0f);
    const auto orange = juce::Colour (accent);

    // A dark pad in a well, glowing orange while the switch is on.
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.fillRoundedRectangle (pad.translated (0.0f, 2.0f), 6.0f);

    juce::ColourGradient face (on ? orange.brighter (0.15f) : juce::Colour (0xff2b2e33), pad.getX(), pad.getY(),
                               on ? orange.darker (0.35f) : juce::Colour (0xff16181b), pad.getX(), pad.getBottom(), false);
    g.setGradientFill (face);
    g.fillRoundedRectangle (pad, 6.0f);

    g.setColour (on ? orange.brighter (0.5f) : juce::Colours::white.withAlpha (0.12f));
    g.drawRoundedRectangle (pad, 6.0f, 1.2f);

    g.setColour (on ? juce::Colour (0xff1a1207) : juce::Colours::white.withAlpha (0.8f));
    g.setFont (juce::FontOptions (13.0f, juce::Font::bold).withKerningFactor (0.12f));
    g.drawText ("REPEAT", padArea(), juce::Justification::centred);
}

void RepeatPad::mouseDown (const juce::MouseEvent& event)
{
    if (! padArea().contains (event.getPosition()))
        return;

    if (isLatched() || event.mods.isShiftDown())
    {
        switchTo (! on);
        return;
    }

    heldByMouse = true;
    attachment.beginGesture();
    attachment.setValueAsPartOfGesture (1.0f);
}

void RepeatPad::mouseUp (const juce::MouseEvent&)
{
    if (! std::exchange (heldByMouse, false))
        return;

    attachment.setValueAsPartOfGesture (0.0f);
    attachment.endGesture();
}

void RepeatPad::switchTo (bool shouldBeOn)
{
    attachment.setValueAsCompleteGesture (shouldBeOn ? 1.0f : 0.0f);
}
