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
        { "not a number", header + "<PARAMETERS><PARAM id=\"output\" value=\"nan\"/></PARAMETERS>", true, "output", 5.0f },
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
    const auto document = UserPresets::read ("My Roll");
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
