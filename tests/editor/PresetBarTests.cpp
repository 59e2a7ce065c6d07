// The window's preset strip: where it sits, what it shows, what a refused file
// leaves, and that a name in use is replaced only after asking (in a question
// inside the window that never blocks the message thread).

#include "EditorTestSupport.h"

#include "processor/Presets.h"
#include "processor/UserPresets.h"

#include <cstdlib>

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

} // namespace
