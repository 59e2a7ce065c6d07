// Presets in-process: the bank's files against the compiled-in bank, a preset
// read through the project reader (refused or clamped as a project is), the
// parameters it does not name back at their defaults with Repeat left alone,
// and the user's own presets in a data folder of the test's own.

#include "processor/BrakkleAudioProcessor.h"
#include "processor/FactoryBankData.h"
#include "processor/ParameterIds.h"
#include "processor/Presets.h"
#include "processor/UserPresets.h"
#include "support/ProcessorParameters.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
    using brakkle::test::plainValue;
    using brakkle::test::setPlain;

    const juce::File presetsFolder = juce::File (BRAKKLE_TESTS_DIR).getSiblingFile ("resources").getChildFile ("presets");

    juce::MemoryBlock bytes (const juce::String& text) { return { text.toRawUTF8(), text.getNumBytesAsUTF8() }; }

    std::vector<float> valuesOf (BrakkleAudioProcessor& p) { return brakkle::test::parameterValues (p); }

    /** A data home of the test's own for the user's presets, removed afterwards. */
    class TemporaryDataHome
    {
    public:
        TemporaryDataHome()
        {
            folder.createDirectory();
            const auto* old = std::getenv ("XDG_DATA_HOME");
            previous = old != nullptr ? juce::String (old) : juce::String();
            hadPrevious = old != nullptr;
            ::setenv ("XDG_DATA_HOME", folder.getFullPathName().toRawUTF8(), 1);
        }

        ~TemporaryDataHome()
        {
            if (hadPrevious)
                ::setenv ("XDG_DATA_HOME", previous.toRawUTF8(), 1);
            else
                ::unsetenv ("XDG_DATA_HOME");
            folder.deleteRecursively();
        }

        juce::File folder = juce::File::createTempFile ("brakkle-data-home");

    private:
        juce::String previous;
        bool hadPrevious = false;
    };
}

TEST (Presets, TheBanksFilesAndTheCompiledBankAgree)
{
    juce::StringArray listed;
    for (const auto& line : juce::StringArray::fromLines (presetsFolder.getChildFile ("Bank.txt").loadFileAsString()))
        if (line.isNotEmpty() && ! line.startsWith ("#"))
            listed.add (line);

    const auto& compiled = factoryBankEntries();
    ASSERT_EQ ((size_t) listed.size(), compiled.size());
    ASSERT_GE (compiled.size(), 20u);
    ASSERT_LE (compiled.size(), 30u);

    for (size_t i = 0; i < compiled.size(); ++i)
    {
        EXPECT_EQ (listed[(int) i], juce::String (compiled[i].group) + "/" + compiled[i].name);
        EXPECT_EQ (presetsFolder.getChildFile (listed[(int) i] + ".xml").loadFileAsString(), juce::String::fromUTF8 (compiled[i].document))
            << listed[(int) i];
    }

    // Every file in the folder is in the bank, and no two presets share a name.
    for (const auto& file : presetsFolder.findChildFiles (juce::File::findFiles, true, "*.xml"))
        EXPECT_TRUE (listed.contains (file.getParentDirectory().getFileName() + "/" + file.getFileNameWithoutExtension()))
            << file.getFullPathName();

    juce::StringArray names;
    for (const auto& entry : compiled)
        names.addIfNotAlreadyThere (entry.name);
    EXPECT_EQ ((size_t) names.size(), compiled.size());
}

TEST (Presets, EachFactoryPresetLoadsToItsValuesTheRestToDefaultsAndRepeatStays)
{
    for (const auto& preset : Presets::factoryBank())
    {
        SCOPED_TRACE (preset.name.toStdString());
        BrakkleAudioProcessor processor;

        // Away from every default first, Repeat held.
        for (const auto& spec : parameterTable)
            setPlain (processor, spec.id, spec.isSwitch() ? 1.0f - spec.defaultValue : spec.minimum + spec.step);
        setPlain (processor, ParameterIds::repeatHold, 1.0f);

        const auto outcome = processor.presets.load (preset.name, bytes (preset.document));
        ASSERT_TRUE (outcome.loaded);
        EXPECT_TRUE (outcome.notes.isEmpty()) << outcome.notes.joinIntoString ("; ");
        EXPECT_EQ (processor.presets.currentName(), preset.name);
        EXPECT_FALSE (processor.presets.hasChangedSinceLoad());

        // Read straight from the file's text.
        const auto xml = juce::XmlDocument::parse (preset.document);
        ASSERT_NE (xml, nullptr);
        EXPECT_EQ (xml->getChildByAttribute ("id", ParameterIds::repeatHold), nullptr) << "a preset never holds Repeat";

        for (const auto& spec : parameterTable)
        {
            const auto* named = xml->getChildByAttribute ("id", spec.id);
            const auto expected = spec.id == ParameterIds::repeatHold ? 1.0f
                                : named != nullptr                    ? (float) named->getDoubleAttribute ("value")
                                                                      : spec.defaultValue;
            EXPECT_NEAR (plainValue (processor, spec.id), expected, spec.step * 0.01f) << spec.id;
            EXPECT_GE (expected, spec.minimum) << spec.id;
            EXPECT_LE (expected, spec.maximum) << spec.id;
        }

        // A control moved: the preset is marked as changed; Repeat does not count.
        setPlain (processor, ParameterIds::repeatHold, 0.0f);
        EXPECT_FALSE (processor.presets.hasChangedSinceLoad());
        setPlain (processor, ParameterIds::mix, 12.0f);
        EXPECT_TRUE (processor.presets.hasChangedSinceLoad());
    }
}

TEST (Presets, BadFilesAreRefusedOrClampedAsAProjectIs)
{
    const juce::String header = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

    struct Case
    {
        const char* what;
        juce::String document;
        bool loads;
        const char* id;       // a parameter to check after a load
        float expected;
        const char* note = nullptr;   // what the load says, in part
    };

    const std::vector<Case> cases {
        { "truncated", header + "<PARAMETERS>\n  <PARAM id=\"mix\" value=\"40\"/>\n  <PARAM id=\"fadeV", false, nullptr, 0 },
        { "not XML", "this is not a preset at all", false, nullptr, 0 },
        { "empty", "", false, nullptr, 0 },
        { "another plug-in's state", header + "<OtherSynth><PARAM id=\"mix\" value=\"40\"/></OtherSynth>", false, nullptr, 0 },
        { "a lower-case tree type", header + "<parameters><PARAM id=\"mix\" value=\"40\"/></parameters>", false, nullptr, 0 },
        { "damaged UTF-8", header + "<PARAMETERS><PARAM id=\"mix\" value=\"4\xff\"/></PARAMETERS>", false, nullptr, 0 },
        { "unknown parameters", header + "<PARAMETERS><PARAM id=\"warp\" value=\"3\"/><PARAM id=\"mix\" value=\"40\"/></PARAMETERS>", true, "mix", 40.0f },
        { "above the range", header + "<PARAMETERS><PARAM id=\"filterFreq\" value=\"99999\"/></PARAMETERS>", true, "filterFreq", 12000.0f },
        { "below the range", header + "<PARAMETERS><PARAM id=\"fadeVol\" value=\"-1000\"/></PARAMETERS>", true, "fadeVol", -36.0f },
        { "between steps", header + "<PARAMETERS><PARAM id=\"stutterTimeBpm\" value=\"6.8\"/></PARAMETERS>", true, "stutterTimeBpm", 7.0f },
        // A value that is no number: as if the preset did not name it, the default.
        { "not a number", header + "<PARAMETERS><PARAM id=\"output\" value=\"nan\"/></PARAMETERS>", true, "output", 0.0f, "Output \"nan\" is no number, set to its default 0" },
        { "a word", header + "<PARAMETERS><PARAM id=\"mix\" value=\"abc\"/></PARAMETERS>", true, "mix", 100.0f, "Mix \"abc\" is no number, set to its default 100" },
        { "nothing", header + "<PARAMETERS><PARAM id=\"fadeVol\" value=\"\"/></PARAMETERS>", true, "fadeVol", -12.0f, "is no number" },
        { "a number with a unit", header + "<PARAMETERS><PARAM id=\"output\" value=\"-6 dB\"/></PARAMETERS>", true, "output", -6.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        BrakkleAudioProcessor processor;
        setPlain (processor, ParameterIds::output, 5.0f);
        setPlain (processor, ParameterIds::mix, 70.0f);
        processor.presets.load ("Before", bytes (Presets::factoryBank().front().document));
        setPlain (processor, ParameterIds::output, 5.0f);
        const auto before = valuesOf (processor);

        const auto outcome = processor.presets.load ("Bad", bytes (c.document));
        EXPECT_EQ (outcome.loaded, c.loads);

        if (! c.loads)
        {
            EXPECT_EQ (valuesOf (processor), before) << "a refused file changes nothing";
            EXPECT_EQ (processor.presets.currentName(), "Before");
            EXPECT_FALSE (outcome.notes.isEmpty());
            continue;
        }

        EXPECT_NEAR (plainValue (processor, c.id), c.expected, 0.001f);
        EXPECT_EQ (plainValue (processor, ParameterIds::stutterTimeFree), 200.0f) << "unnamed: the default";

        if (c.note != nullptr)
            EXPECT_TRUE (outcome.notes.joinIntoString ("; ").contains (c.note)) << outcome.notes.joinIntoString ("; ");
        else
            EXPECT_FALSE (outcome.notes.joinIntoString ("; ").contains ("no number")) << outcome.notes.joinIntoString ("; ");
    }
}

TEST (Presets, AUserPresetIsSavedListedLoadedAndDeletedInTheDataFolder)
{
    TemporaryDataHome home;
    EXPECT_EQ (UserPresets::folder(), home.folder.getChildFile ("Brakkle/Presets"));
    EXPECT_TRUE (UserPresets::names().isEmpty());

    BrakkleAudioProcessor processor;
    setPlain (processor, ParameterIds::mix, 33.0f);
    setPlain (processor, ParameterIds::repeatHold, 1.0f);
    ASSERT_EQ (UserPresets::save ("My Roll", processor.presets.currentDocument(), false), UserPresets::SaveResult::saved);
    EXPECT_EQ (UserPresets::names(), juce::StringArray ("My Roll"));
    EXPECT_TRUE (home.folder.getChildFile ("Brakkle/Presets/My Roll.xml").existsAsFile());
    EXPECT_FALSE (home.folder.getChildFile ("Brakkle/Presets/My Roll.xml").loadFileAsString().contains ("repeatHold"));

    // A name in use is not overwritten without asking.
    const auto saved = home.folder.getChildFile ("Brakkle/Presets/My Roll.xml").loadFileAsString();
    setPlain (processor, ParameterIds::mix, 90.0f);
    EXPECT_EQ (UserPresets::save ("My Roll", processor.presets.currentDocument(), false), UserPresets::SaveResult::exists);
    EXPECT_EQ (home.folder.getChildFile ("Brakkle/Presets/My Roll.xml").loadFileAsString(), saved);

    BrakkleAudioProcessor other;
    const auto document = UserPresets::read ("My Roll").document;
    ASSERT_TRUE (document.has_value());
    ASSERT_TRUE (other.presets.load ("My Roll", *document).loaded);
    EXPECT_EQ (plainValue (other, ParameterIds::mix), 33.0f);
    EXPECT_EQ (plainValue (other, ParameterIds::repeatHold), 0.0f);

    EXPECT_EQ (UserPresets::save ("My Roll", processor.presets.currentDocument(), true), UserPresets::SaveResult::saved);
    EXPECT_NE (home.folder.getChildFile ("Brakkle/Presets/My Roll.xml").loadFileAsString(), saved);

    EXPECT_TRUE (UserPresets::remove ("My Roll"));
    EXPECT_TRUE (UserPresets::names().isEmpty());
    EXPECT_FALSE (UserPresets::remove ("My Roll"));

    for (const auto* unsafe : { "", "a/b", "../escape", "back\\slash", ".hidden", " padded", "tab\there" })
    {
        EXPECT_FALSE (UserPresets::isSafeName (unsafe)) << unsafe;
        EXPECT_EQ (UserPresets::save (unsafe, processor.presets.currentDocument(), true), UserPresets::SaveResult::unsafeName) << unsafe;
    }
    EXPECT_FALSE (home.folder.getParentDirectory().getChildFile ("escape.xml").exists());
    EXPECT_TRUE (UserPresets::isSafeName ("Roll, half-time (v2)"));
}

TEST (Presets, EveryNameReadsWritesAndDeletesOnlyItsOwnFileInTheFolder)
{
    TemporaryDataHome home;

    // A working folder of the test's own: where a name taken as a path of its own would land.
    const auto work = home.folder.getChildFile ("work");
    ASSERT_TRUE (work.createDirectory());
    const auto previousWork = juce::File::getCurrentWorkingDirectory();
    work.setAsCurrentWorkingDirectory();

    const auto document = BrakkleAudioProcessor().presets.currentDocument();
    const auto drum = juce::String::fromUTF8 ("\xf0\x9f\xa5\x81");   // four bytes in UTF-8

    struct Case
    {
        const char* what;
        juce::String name;
        bool stored;
    };

    const std::vector<Case> cases {
        { "a tilde first", "~mine", true },
        { "a tilde alone", "~", true },
        { "a tilde and a user's name", "~root", true },
        { "a tilde and a path", "~/mine", false },
        { "two dots", "..", false },
        { "one dot", ".", false },
        { "a leading dot", ".hidden", false },
        { "a slash", "a/b", false },
        { "a backslash", "a\\b", false },
        { "a path upwards", "../escape", false },
        { "a line break", "a\nb", false },
        { "an escape character", "a\x1b" "b", false },
        { "a delete character", "a\x7f", false },
        { "a C1 control character", "a" + juce::String::charToString ((juce::juce_wchar) 0x85), false },
        { "64 characters", juce::String::repeatedString ("x", 64), true },
        { "65 characters", juce::String::repeatedString ("x", 65), false },
        { "four-byte characters", "Roll " + drum + drum, true },
        { "16 four-byte characters", juce::String::repeatedString (drum, 16), true },
        { "64 four-byte characters, more than a file name holds", juce::String::repeatedString (drum, 64), false },
        { "surrounding spaces", " x ", false },
        { "empty", "", false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        // Put together by hand: the folder's own child of that name.
        const juce::File own (UserPresets::folder().getFullPathName() + "/" + c.name + ".xml");
        const auto result = UserPresets::save (c.name, document, false);

        if (c.stored)
        {
            ASSERT_EQ (result, UserPresets::SaveResult::saved);
            EXPECT_TRUE (own.existsAsFile());
            EXPECT_TRUE (UserPresets::names().contains (c.name));
            EXPECT_TRUE (UserPresets::read (c.name).document.has_value());
            EXPECT_EQ (UserPresets::save (c.name, document, false), UserPresets::SaveResult::exists);
            EXPECT_TRUE (UserPresets::remove (c.name));
            EXPECT_FALSE (own.exists());
        }
        else
        {
            EXPECT_EQ (result, UserPresets::SaveResult::unsafeName);
            EXPECT_FALSE (UserPresets::read (c.name).document.has_value());
            EXPECT_FALSE (UserPresets::remove (c.name));
        }

        EXPECT_TRUE (UserPresets::names().isEmpty());
        EXPECT_EQ (work.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0) << "written outside the folder";
        EXPECT_EQ (home.folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 2) << "written outside the folder";
    }

    // A file of that name in the working folder is neither listed, read nor deleted.
    const juce::File outside (work.getFullPathName() + "/~mine.xml");   // getChildFile would take it as a path of its own
    ASSERT_TRUE (outside.appendText ("<PARAMETERS/>"));   // replaceWithText's temporary file would be taken so too
    EXPECT_FALSE (UserPresets::exists ("~mine"));
    EXPECT_FALSE (UserPresets::read ("~mine").document.has_value());
    EXPECT_FALSE (UserPresets::remove ("~mine"));
    EXPECT_TRUE (outside.existsAsFile());

    previousWork.setAsCurrentWorkingDirectory();
}

TEST (Presets, NoPresetOfYoursTakesAFactoryPresetsName)
{
    TemporaryDataHome home;
    const auto document = BrakkleAudioProcessor().presets.currentDocument();

    EXPECT_EQ (UserPresets::save ("Machine Gun", document, true), UserPresets::SaveResult::factoryName);
    EXPECT_FALSE (UserPresets::folder().getChildFile ("Machine Gun.xml").exists());

    // Save as... offers a name that is free.
    EXPECT_EQ (UserPresets::proposedName ("Machine Gun"), "Machine Gun 2");
    ASSERT_EQ (UserPresets::save ("Machine Gun 2", document, false), UserPresets::SaveResult::saved);
    EXPECT_EQ (UserPresets::proposedName ("Machine Gun"), "Machine Gun 3");
    EXPECT_EQ (UserPresets::proposedName ("Machine Gun 2"), "Machine Gun 2") << "your own: its name, replaced after asking";
    EXPECT_EQ (UserPresets::proposedName (""), "");

    // One written before the rule is not listed: the name means the factory preset.
    ASSERT_TRUE (UserPresets::folder().getChildFile ("Buzz.xml").replaceWithText (document));
    EXPECT_EQ (UserPresets::names(), juce::StringArray ("Machine Gun 2"));
}
