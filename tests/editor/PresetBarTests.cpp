// The window's preset strip: where it sits, what it shows, what a refused file
// leaves, and that a name in use is replaced only after asking (in a question
// inside the window that never blocks the message thread).

#include "EditorTestSupport.h"

#include "processor/Presets.h"
#include "processor/UserPresets.h"

#include <cstdlib>
#include <sys/stat.h>

namespace
{
using namespace brakkle::editortest;

class PresetBarFixture : public EditorFixture
{
protected:
    void SetUp() override
    {
        dataHome.createDirectory();
        ::setenv ("XDG_DATA_HOME", dataHome.getFullPathName().toRawUTF8(), 1);
        EditorFixture::SetUp();
    }

    void TearDown() override
    {
        EditorFixture::TearDown();
        ::unsetenv ("XDG_DATA_HOME");
        dataHome.deleteRecursively();
    }

    PresetBar& bar() const
    {
        auto* found = dynamic_cast<PresetBar*> (&child (presetBar));
        EXPECT_NE (found, nullptr);
        return *found;
    }

    std::vector<float> values() const
    {
        std::vector<float> all;
        for (const auto& spec : parameterTable)
            all.push_back (processor->parameters.getRawParameterValue (spec.id)->load());
        return all;
    }

    juce::File dataHome = juce::File::createTempFile ("brakkle-editor-data");
};

TEST_F (PresetBarFixture, SitsInItsStripAboveTheControlsAndShowsTheLoadedPreset)
{
    EXPECT_EQ (child (presetBar).getBounds(), juce::Rectangle<int> (8, 100, 344, 20));
    EXPECT_EQ (editor->getIndexOfChildComponent (&child (presetBar)), (int) numChildren - 1);
    EXPECT_EQ (bar().shownText(), "(no preset)");

    bar().step (1);
    EXPECT_EQ (bar().shownText(), Presets::factoryBank().front().name);
    bar().step (1);
    EXPECT_EQ (bar().shownText(), Presets::factoryBank()[1].name);
    bar().step (-1);
    bar().step (-1);
    EXPECT_EQ (bar().shownText(), Presets::factoryBank().back().name) << "previous wraps round";

    parameter (ParameterIds::mix).setValueNotifyingHost (0.25f);
    deliverPendingMessages();
    bar().loadFactory (Presets::factoryBank().back().name);
    EXPECT_FALSE (bar().shownText().endsWith ("*"));
    parameter (ParameterIds::mix).setValueNotifyingHost (0.25f);
    deliverPendingMessages();
    bar().refresh();
    EXPECT_EQ (bar().shownText(), Presets::factoryBank().back().name + " *") << "marked once a control moved";
}

TEST_F (PresetBarFixture, ARefusedFileSaysWhyAndChangesNothing)
{
    bar().loadFactory ("Buzz");
    const auto before = values();

    const std::vector<std::pair<const char*, juce::String>> files {
        { "truncated.xml", "<?xml version=\"1.0\"?>\n<PARAMETERS>\n  <PARAM id=\"mix\" val" },
        { "notxml.xml", "just words" },
        { "other.xml", "<?xml version=\"1.0\"?>\n<SomeoneElse><PARAM id=\"mix\" value=\"3\"/></SomeoneElse>" },
    };

    for (const auto& [name, text] : files)
    {
        SCOPED_TRACE (name);
        const auto file = dataHome.getChildFile (name);
        file.replaceWithText (text);
        bar().loadFile (file);
        EXPECT_TRUE (bar().isShowingProblem());
        EXPECT_TRUE (bar().shownText().contains ("not a Brakkle preset")) << bar().shownText();
        EXPECT_EQ (values(), before);
    }

    const auto clamped = dataHome.getChildFile ("loud.xml");
    clamped.replaceWithText ("<?xml version=\"1.0\"?>\n<PARAMETERS><PARAM id=\"output\" value=\"99\"/></PARAMETERS>");
    bar().loadFile (clamped);
    EXPECT_TRUE (bar().shownText().contains ("out of range")) << bar().shownText();
    EXPECT_EQ (processor->parameters.getRawParameterValue (ParameterIds::output)->load(), 24.0f);
}

TEST_F (PresetBarFixture, SaveAsAsksBeforeReplacingAndDeleteRemovesYourPreset)
{
    parameter (ParameterIds::mix).setValueNotifyingHost (0.3f);
    bar().saveAs ("Mine");
    EXPECT_EQ (UserPresets::names(), juce::StringArray ("Mine"));
    EXPECT_EQ (bar().shownText(), "Mine");
    const auto file = UserPresets::folder().getChildFile ("Mine.xml");
    const auto first = file.loadFileAsString();

    bar().saveAs ("a/b");
    EXPECT_TRUE (bar().isShowingProblem());

    parameter (ParameterIds::mix).setValueNotifyingHost (0.9f);
    bar().saveAs ("Mine");
    ASSERT_NE (bar().openDialog(), nullptr) << "asks first";
    EXPECT_EQ (file.loadFileAsString(), first);
    bar().openDialog()->answer (0);   // Cancel
    deliverPendingMessages();
    EXPECT_EQ (file.loadFileAsString(), first);

    bar().saveAs ("Mine");
    ASSERT_NE (bar().openDialog(), nullptr);
    bar().openDialog()->answer (1);   // Replace
    deliverPendingMessages();
    EXPECT_NE (file.loadFileAsString(), first);

    bar().deleteCurrent();
    ASSERT_NE (bar().openDialog(), nullptr);
    bar().openDialog()->answer (1);
    deliverPendingMessages();
    EXPECT_FALSE (file.exists());
    EXPECT_TRUE (UserPresets::names().isEmpty());
}

TEST_F (PresetBarFixture, DevicesPipesAndLinksToThemAreNeitherListedNorWaitedOn)
{
    // Reading a pipe waited for a writer for ever, and /dev/zero grew memory
    // until the host died: only a regular file is read, never waited on.
    bar().loadFactory ("Buzz");
    const auto before = values();
    const auto folder = UserPresets::folder();
    ASSERT_TRUE (folder.createDirectory());
    ASSERT_EQ (::mkfifo (folder.getChildFile ("Pipe.xml").getFullPathName().toRawUTF8(), 0600), 0);
    ASSERT_TRUE (juce::File ("/dev/zero").createSymbolicLink (folder.getChildFile ("Zero.xml"), true));
    ASSERT_TRUE (folder.getChildFile ("Folder.xml").createDirectory());
    ASSERT_TRUE (folder.getChildFile ("Real.xml").replaceWithText (Presets::factoryBank().front().document));

    std::vector<juce::String> listed;
    for (const auto& entry : bar().entries())
        if (entry.group.isEmpty())
            listed.push_back (entry.name);
    EXPECT_EQ (listed, std::vector<juce::String> { "Real" });

    for (const auto& name : { "Pipe", "Zero", "Folder" })
    {
        SCOPED_TRACE (name);
        bar().loadUser (name);
        EXPECT_TRUE (bar().isShowingProblem());
        EXPECT_TRUE (bar().shownText().contains ("not a regular file")) << bar().shownText();
        EXPECT_EQ (values(), before);
    }

    for (const auto& file : { folder.getChildFile ("Pipe.xml"), juce::File ("/dev/zero"), folder.getChildFile ("Zero.xml") })
    {
        SCOPED_TRACE (file.getFullPathName());
        bar().loadFile (file);
        EXPECT_TRUE (bar().shownText().contains ("not a regular file")) << bar().shownText();
        EXPECT_EQ (values(), before);
    }

    // Larger than any preset: refused after reading no more than that.
    const auto large = dataHome.getChildFile ("large.xml");
    ASSERT_TRUE (large.replaceWithText (Presets::factoryBank().front().document + juce::String::repeatedString (" ", 300 * 1024)));
    bar().loadFile (large);
    EXPECT_TRUE (bar().shownText().contains ("larger than any preset")) << bar().shownText();
    EXPECT_EQ (values(), before);
}

TEST_F (PresetBarFixture, YourPresetNamedWithATildeIsReadAndDeletedInTheFolder)
{
    // "~mine.xml" was taken as a path of its own, in the host's working folder.
    const auto work = dataHome.getChildFile ("work");
    ASSERT_TRUE (work.createDirectory());
    const auto previousWork = juce::File::getCurrentWorkingDirectory();
    work.setAsCurrentWorkingDirectory();

    const auto withMix = [] (int mix) { return "<PARAMETERS><PARAM id=\"mix\" value=\"" + juce::String (mix) + "\"/></PARAMETERS>"; };
    ASSERT_TRUE (UserPresets::folder().createDirectory());
    // Put together by hand: getChildFile would take "~mine.xml" as a path of its own.
    const juce::File own (UserPresets::folder().getFullPathName() + "/~mine.xml");
    const juce::File outside (work.getFullPathName() + "/~mine.xml");
    // Written straight (replaceWithText's temporary file would be taken as a path of its own too).
    ASSERT_TRUE (own.appendText (withMix (30)));
    ASSERT_TRUE (outside.appendText (withMix (70)));

    bar().loadUser ("~mine");
    EXPECT_EQ (bar().shownText(), "~mine");
    EXPECT_EQ (processor->parameters.getRawParameterValue (ParameterIds::mix)->load(), 30.0f);

    bar().deleteCurrent();
    ASSERT_NE (bar().openDialog(), nullptr);
    bar().openDialog()->answer (1);
    deliverPendingMessages();
    EXPECT_FALSE (own.exists());
    EXPECT_TRUE (outside.existsAsFile()) << "a file outside the folder was deleted";

    previousWork.setAsCurrentWorkingDirectory();
}

TEST_F (PresetBarFixture, SaveAsNeverTakesAFactoryNameAndSteppingFollowsTheBank)
{
    const auto& bank = Presets::factoryBank();
    const auto at = [&] (const juce::String& name)
    {
        for (size_t i = 0; i < bank.size(); ++i)
            if (bank[i].name == name)
                return i;
        return bank.size();
    };
    ASSERT_LT (at ("Machine Gun") + 1, bank.size());

    bar().loadFactory ("Machine Gun");
    parameter (ParameterIds::mix).setValueNotifyingHost (0.3f);
    deliverPendingMessages();

    bar().saveButton().triggerClick();
    deliverPendingMessages();
    ASSERT_NE (bar().openDialog(), nullptr);
    EXPECT_EQ (bar().openDialog()->textField().getText(), "Machine Gun 2");
    bar().openDialog()->answer (0);
    deliverPendingMessages();

    bar().saveAs ("Machine Gun");
    EXPECT_TRUE (bar().isShowingProblem());
    EXPECT_TRUE (bar().shownText().contains ("factory")) << bar().shownText();
    EXPECT_FALSE (UserPresets::folder().getChildFile ("Machine Gun.xml").exists());

    // One saved under that name before: not listed, and > from the factory
    // preset goes on to the next in the bank.
    ASSERT_TRUE (UserPresets::folder().createDirectory());
    ASSERT_TRUE (UserPresets::folder().getChildFile ("Machine Gun.xml").replaceWithText (Presets::factoryBank().front().document));
    for (const auto& entry : bar().entries())
        EXPECT_FALSE (entry.group.isEmpty() && entry.name == "Machine Gun");

    bar().loadFactory ("Machine Gun");
    EXPECT_FALSE (bar().deleteButton().isEnabled());
    bar().step (1);
    EXPECT_EQ (bar().shownText(), bank[at ("Machine Gun") + 1].name);
    bar().step (-1);
    EXPECT_EQ (bar().shownText(), "Machine Gun");
}

TEST_F (PresetBarFixture, AValueThatIsNoNumberGivesTheDefaultAndSaysSo)
{
    parameter (ParameterIds::mix).setValueNotifyingHost (0.3f);
    deliverPendingMessages();
    const auto file = dataHome.getChildFile ("words.xml");
    ASSERT_TRUE (file.replaceWithText ("<?xml version=\"1.0\"?>\n<PARAMETERS><PARAM id=\"mix\" value=\"abc\"/></PARAMETERS>"));

    bar().loadFile (file);
    EXPECT_EQ (processor->parameters.getRawParameterValue (ParameterIds::mix)->load(), 100.0f) << "Mix's default";
    EXPECT_TRUE (bar().shownText().contains ("Mix \"abc\" is no number")) << bar().shownText();
}

} // namespace
