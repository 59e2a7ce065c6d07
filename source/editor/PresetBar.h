#pragma once

#include "PresetDialog.h"
#include "processor/PresetSession.h"
#include "processor/UserPresets.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The preset strip under the title band: the current preset's name (with a
    "*" once a control has moved since it was loaded), previous / next, the
    menu (the factory bank by group, the user's presets, a file), Save as...
    and Delete for the user's presets. A file that is refused leaves the
    settings as they were and says why in the strip. Every question it asks
    (a name, whether to replace a preset) is an asynchronous dialog. */
class PresetBar : public juce::Component,
                  private juce::Timer
{
public:
    explicit PresetBar (PresetSession& session);
    ~PresetBar() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Every preset the menu lists, factory bank first, as previous / next step through them. */
    struct Entry
    {
        juce::String group;   // empty for the user's presets
        juce::String name;
    };
    std::vector<Entry> entries() const;

    void loadFactory (const juce::String& name);
    void loadUser (const juce::String& name);
    void loadFile (const juce::File& file);

    /** Loads the preset before (-1) or after (+1) the current one in the menu's order. */
    void step (int direction);

    /** Saves the current settings as a user preset; a name in use asks first
        (asynchronously) and replaces the preset only on "Replace"; a factory
        preset's name is refused. */
    void saveAs (const juce::String& name);

    /** Deletes the current user preset, after asking. */
    void deleteCurrent();

    /** What the strip shows: the name (and "*"), or the last message. */
    juce::String shownText() const;
    bool isShowingProblem() const noexcept { return showingProblem; }

    /** The question the strip has open, if any. */
    PresetDialog* openDialog() const noexcept { return dialog.get(); }

    juce::TextButton& previousButton() noexcept { return previous; }
    juce::TextButton& nextButton() noexcept { return next; }
    juce::TextButton& menuButton() noexcept { return nameButton; }
    juce::TextButton& saveButton() noexcept { return save; }
    juce::TextButton& deleteButton() noexcept { return remove; }

    /** Shows the current name and mark now (a timer does it ten times a second). */
    void refresh();

private:
    void timerCallback() override;
    void showMenu();
    void askForName();
    void loadRead (const juce::String& name, const juce::String& shownName, const UserPresets::FileReading& reading);
    void applyOutcome (const juce::String& name, const PresetSession::Outcome& outcome);
    void showProblem (const juce::String& text);
    void showSaved (const juce::String& name);
    void closeDialog();
    void ask (const juce::String& question, const juce::String& confirmText, bool withTextField,
              const juce::String& initialText, PresetDialog::Answer onAnswer);
    bool currentIsUserPreset() const;

    PresetSession& session;
    juce::TextButton previous { "<" }, next { ">" }, nameButton, save { "Save as..." }, remove { "Delete" };
    juce::String message;
    bool showingProblem = false;
    std::unique_ptr<PresetDialog> dialog;
    juce::LookAndFeel_V4 lookAndFeel;
};
