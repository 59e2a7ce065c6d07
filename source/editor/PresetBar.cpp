#include "PresetBar.h"

#include "processor/UserPresets.h"

namespace
{
    // The skin's colours: dark panel, orange accents, light text.
    const juce::Colour panel { 0xe0181818 }, accent { 0xfff08a24 }, text { 0xffe8e8e8 }, problem { 0xffff5a4a };

    constexpr int buttonWidth = 22, saveWidth = 70, deleteWidth = 54, gap = 3;

    enum MenuIds { factoryBase = 1, userBase = 1000, openFile = 5000 };

    juce::String withChangeMark (const juce::String& name, bool changed)
    {
        if (name.isEmpty())
            return "(no preset)";

        return changed ? name + " *" : name;
    }
}

PresetBar::PresetBar (PresetSession& presetSession)
    : session (presetSession)
{
    lookAndFeel.setColour (juce::TextButton::buttonColourId, panel);
    lookAndFeel.setColour (juce::TextButton::buttonOnColourId, accent);
    lookAndFeel.setColour (juce::TextButton::textColourOffId, text);
    lookAndFeel.setColour (juce::TextButton::textColourOnId, text);
    lookAndFeel.setColour (juce::ComboBox::outlineColourId, accent);
    lookAndFeel.setColour (juce::PopupMenu::backgroundColourId, juce::Colour (0xff202020));
    lookAndFeel.setColour (juce::PopupMenu::highlightedBackgroundColourId, accent);
    lookAndFeel.setColour (juce::PopupMenu::textColourId, text);
    setLookAndFeel (&lookAndFeel);

    previous.setTooltip ("Previous preset");
    next.setTooltip ("Next preset");
    nameButton.setTooltip ("Presets: the factory bank and your own");
    previous.onClick = [this] { step (-1); };
    next.onClick = [this] { step (1); };
    nameButton.onClick = [this] { showMenu(); };
    save.onClick = [this] { askForName(); };
    remove.onClick = [this] { deleteCurrent(); };

    for (auto* button : { &previous, &nameButton, &next, &save, &remove })
        addAndMakeVisible (button);

    refresh();
    startTimerHz (10);
}

PresetBar::~PresetBar()
{
    closeDialog();
    setLookAndFeel (nullptr);
}

void PresetBar::paint (juce::Graphics& g)
{
    g.setColour (panel);
    g.fillRoundedRectangle (getLocalBounds().toFloat(), 3.0f);
}

void PresetBar::resized()
{
    auto area = getLocalBounds().reduced (1);
    remove.setBounds (area.removeFromRight (deleteWidth));
    area.removeFromRight (gap);
    save.setBounds (area.removeFromRight (saveWidth));
    area.removeFromRight (gap);
    previous.setBounds (area.removeFromLeft (buttonWidth));
    next.setBounds (area.removeFromRight (buttonWidth));
    nameButton.setBounds (area.reduced (gap, 0));
}

std::vector<PresetBar::Entry> PresetBar::entries() const
{
    std::vector<Entry> all;

    for (const auto& preset : Presets::factoryBank())
        all.push_back ({ preset.group, preset.name });

    for (const auto& name : UserPresets::names())
        all.push_back ({ {}, name });

    return all;
}

void PresetBar::loadFactory (const juce::String& name)
{
    if (const auto preset = Presets::findFactory (name))
        applyOutcome (name, session.load (name, Presets::bytesOf (preset->document)));
    else
        showProblem ("no factory preset \"" + name + "\"");
}

void PresetBar::loadUser (const juce::String& name)
{
    loadRead (name, name, UserPresets::read (name));
}

void PresetBar::loadFile (const juce::File& file)
{
    loadRead (file.getFileNameWithoutExtension(), file.getFileName(), UserPresets::readFile (file));
}

void PresetBar::loadRead (const juce::String& name, const juce::String& shownName, const UserPresets::FileReading& reading)
{
    if (reading.document.has_value())
        applyOutcome (name, session.load (name, *reading.document));
    else
        showProblem (shownName + ": " + reading.problem);
}

void PresetBar::step (int direction)
{
    const auto all = entries();

    if (all.empty())
        return;

    const auto current = session.currentName();
    int index = -1;

    for (size_t i = 0; i < all.size() && index < 0; ++i)
        if (all[i].name == current)
            index = (int) i;

    const auto count = (int) all.size();
    const auto target = index < 0 ? (direction > 0 ? 0 : count - 1) : (index + direction + count) % count;
    const auto& entry = all[(size_t) target];

    if (entry.group.isNotEmpty())
        loadFactory (entry.name);
    else
        loadUser (entry.name);
}

void PresetBar::saveAs (const juce::String& name)
{
    const auto document = session.currentDocument();

    switch (UserPresets::save (name, document, false))
    {
        case UserPresets::SaveResult::saved:
            showSaved (name);
            return;

        case UserPresets::SaveResult::unsafeName:
            showProblem ("\"" + name + "\" cannot be a preset name (no / or \\, not starting with a dot, up to 64 characters)");
            return;

        case UserPresets::SaveResult::factoryName:
            showProblem ("\"" + name + "\" is a factory preset: save yours under another name");
            return;

        case UserPresets::SaveResult::failed:
            showProblem ("could not write " + UserPresets::folder().getFullPathName());
            return;

        case UserPresets::SaveResult::exists:
            break;
    }

    ask ("You already have a preset called \"" + name + "\". Replace it?", "Replace", false, {},
         [this, name, document] (int result, const juce::String&)
    {
        if (result != 1)
            return;

        if (UserPresets::save (name, document, true) == UserPresets::SaveResult::saved)
            showSaved (name);
        else
            showProblem ("could not write " + UserPresets::folder().getFullPathName());
    });
}

void PresetBar::deleteCurrent()
{
    if (! currentIsUserPreset())
    {
        showProblem ("only your own presets can be deleted");
        return;
    }

    const auto name = session.currentName();
    ask ("Delete your preset \"" + name + "\"?", "Delete", false, {}, [this, name] (int result, const juce::String&)
    {
        if (result == 1 && UserPresets::remove (name))
        {
            session.forget();
            refresh();
        }
    });
}

juce::String PresetBar::shownText() const
{
    return nameButton.getButtonText();
}

void PresetBar::timerCallback()
{
    refresh();
}

void PresetBar::refresh()
{
    const auto shown = showingProblem ? message : withChangeMark (session.currentName(), session.hasChangedSinceLoad());

    if (nameButton.getButtonText() != shown)
        nameButton.setButtonText (shown);

    nameButton.setColour (juce::TextButton::textColourOffId, showingProblem ? problem : text);
    nameButton.setTooltip (showingProblem ? message : "Presets: the factory bank and your own");
    remove.setEnabled (currentIsUserPreset());
}

void PresetBar::showMenu()
{
    juce::PopupMenu menu;
    std::map<juce::String, juce::PopupMenu> groups;
    juce::StringArray groupOrder;
    const auto& bank = Presets::factoryBank();

    for (size_t i = 0; i < bank.size(); ++i)
    {
        if (! groupOrder.contains (bank[i].group))
            groupOrder.add (bank[i].group);

        groups[bank[i].group].addItem (factoryBase + (int) i, bank[i].name, true, bank[i].name == session.currentName());
    }

    for (const auto& group : groupOrder)
        menu.addSubMenu (group, groups[group]);

    const auto users = UserPresets::names();
    menu.addSeparator();
    menu.addSectionHeader ("Your presets");

    for (int i = 0; i < users.size(); ++i)
        menu.addItem (userBase + i, users[i], true, users[i] == session.currentName());

    if (users.isEmpty())
        menu.addItem (-1, "(none yet: Save as... adds one)", false);

    menu.addSeparator();
    menu.addItem (openFile, "Open a preset file...");

    menu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&nameButton),
                        [safe = juce::Component::SafePointer<PresetBar> (this), users] (int chosen)
    {
        if (safe == nullptr || chosen <= 0)
            return;

        const auto& factory = Presets::factoryBank();

        if (chosen >= factoryBase && chosen < factoryBase + (int) factory.size())
            safe->loadFactory (factory[(size_t) (chosen - factoryBase)].name);
        else if (chosen >= userBase && chosen < userBase + users.size())
            safe->loadUser (users[chosen - userBase]);
        else if (chosen == openFile)
        {
            auto chooser = std::make_shared<juce::FileChooser> ("Open a Brakkle preset", UserPresets::folder(), "*.xml");
            chooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                                  [safe, chooser] (const juce::FileChooser& done)
            {
                if (safe != nullptr && done.getResult() != juce::File())
                    safe->loadFile (done.getResult());
            });
        }
    });
}

void PresetBar::askForName()
{
    ask ("Save the settings as your preset, named:", "Save", true, UserPresets::proposedName (session.currentName()),
         [this] (int result, const juce::String& name)
    {
        if (result == 1)
            saveAs (name);
    });
}

void PresetBar::ask (const juce::String& question, const juce::String& confirmText, bool withTextField,
                     const juce::String& initialText, PresetDialog::Answer onAnswer)
{
    closeDialog();
    dialog = std::make_unique<PresetDialog> (question, confirmText, withTextField, initialText,
                                             [this, onAnswer] (int result, const juce::String& text)
    {
        // The dialog goes once its click has been handled.
        juce::MessageManager::callAsync ([safe = juce::Component::SafePointer<PresetBar> (this)]
        {
            if (safe != nullptr)
                safe->closeDialog();
        });
        onAnswer (result, text);
    });

    auto* window = getParentComponent() != nullptr ? getParentComponent() : this;
    window->addAndMakeVisible (*dialog);
    dialog->setCentrePosition (window->getLocalBounds().getCentre());

    if (withTextField)
        dialog->textField().grabKeyboardFocus();
}

void PresetBar::applyOutcome (const juce::String& name, const PresetSession::Outcome& outcome)
{
    if (! outcome.loaded)
    {
        showProblem (name + ": " + outcome.notes.joinIntoString ("; "));
        return;
    }

    showingProblem = false;
    message = {};

    if (! outcome.notes.isEmpty())
    {
        // Loaded, with values set into range: say so until the next action.
        showProblem (name + " loaded; " + outcome.notes.joinIntoString ("; "));
        return;
    }

    refresh();
}

void PresetBar::showProblem (const juce::String& textToShow)
{
    message = textToShow;
    showingProblem = true;
    refresh();
}

void PresetBar::showSaved (const juce::String& name)
{
    session.markSaved (name);
    message = {};
    showingProblem = false;
    refresh();
}

void PresetBar::closeDialog()
{
    if (dialog != nullptr)
    {
        if (auto* parent = dialog->getParentComponent())
            parent->removeChildComponent (dialog.get());
        dialog.reset();
    }
}

bool PresetBar::currentIsUserPreset() const
{
    const auto name = session.currentName();
    return name.isNotEmpty() && ! UserPresets::isFactoryName (name) && UserPresets::exists (name);
}
