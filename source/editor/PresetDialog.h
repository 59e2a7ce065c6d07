#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** A question the preset strip asks inside the window (a name to save under,
    whether to replace or delete a preset): a panel over the controls with an
    optional text field and two buttons. It is a plain child of the window, so
    it works the same in every host and never blocks the message thread;
    answering calls back once with the button's result and the text. */
class PresetDialog : public juce::Component
{
public:
    using Answer = std::function<void (int result, const juce::String& text)>;

    PresetDialog (const juce::String& question, const juce::String& confirmText,
                  bool withTextField, const juce::String& initialText, Answer onAnswer);

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Answers as a click would: 1 confirms, 0 cancels. */
    void answer (int result);

    juce::TextEditor& textField() noexcept { return field; }

private:
    juce::Label label;
    juce::TextEditor field;
    juce::TextButton confirm, cancel { "Cancel" };
    bool hasField;
    Answer callback;
};
