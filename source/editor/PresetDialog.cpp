#include "PresetDialog.h"

PresetDialog::PresetDialog (const juce::String& question, const juce::String& confirmText,
                            bool withTextField, const juce::String& initialText, Answer onAnswer)
    : confirm (confirmText), hasField (withTextField), callback (std::move (onAnswer))
{
    label.setText (question, juce::dontSendNotification);
    label.setColour (juce::Label::textColourId, juce::Colours::white);
    label.setJustificationType (juce::Justification::centred);
    addAndMakeVisible (label);

    if (hasField)
    {
        field.setText (initialText, false);
        field.onReturnKey = [this] { answer (1); };
        field.onEscapeKey = [this] { answer (0); };
        addAndMakeVisible (field);
    }

    confirm.onClick = [this] { answer (1); };
    cancel.onClick = [this] { answer (0); };
    addAndMakeVisible (confirm);
    addAndMakeVisible (cancel);
    setSize (320, hasField ? 120 : 92);
}

void PresetDialog::paint (juce::Graphics& g)
{
    g.setColour (juce::Colour (0xf0202020));
    g.fillRoundedRectangle (getLocalBounds().toFloat(), 6.0f);
    g.setColour (juce::Colour (0xfff08a24));
    g.drawRoundedRectangle (getLocalBounds().toFloat().reduced (1.0f), 6.0f, 2.0f);
}

void PresetDialog::resized()
{
    auto area = getLocalBounds().reduced (12);
    label.setBounds (area.removeFromTop (36));

    if (hasField)
        field.setBounds (area.removeFromTop (24).reduced (8, 0));

    auto buttons = area.removeFromBottom (24);
    cancel.setBounds (buttons.removeFromRight (90));
    buttons.removeFromRight (8);
    confirm.setBounds (buttons.removeFromRight (90));
}

void PresetDialog::answer (int result)
{
    // Called once; the owner may delete this dialog afterwards, asynchronously.
    if (auto done = std::exchange (callback, nullptr))
        done (result, field.getText().trim());
}
