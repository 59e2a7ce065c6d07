#include "RenderPresets.h"

#include "processor/ParameterIds.h"
#include "processor/Presets.h"
#include "processor/UserPresets.h"

namespace brakkle::render
{

namespace
{
    /** A factory preset first, then one of yours, then a file; nothing, with
        no problem, when there is no such preset. */
    UserPresets::FileReading findDocument (const juce::String& preset)
    {
        if (const auto factory = Presets::findFactory (preset))
            return { Presets::bytesOf (factory->document), {} };

        if (UserPresets::exists (preset))
            return UserPresets::read (preset);

        const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (preset);

        if (! file.exists())
            return {};

        return UserPresets::readFile (file);
    }

    /** The value a parameter has before the preset: its default. */
    std::optional<float> defaultValue (const juce::String& id)
    {
        if (const auto* spec = findParameterSpec (id))
            return spec->defaultValue;

        return std::nullopt;
    }
}

juce::String listPresets()
{
    juce::String text;
    juce::String group;

    for (const auto& preset : Presets::factoryBank())
    {
        if (preset.group != group)
        {
            group = preset.group;
            text << group << ":\n";
        }

        text << "  " << preset.name << "\n";
    }

    const auto users = UserPresets::names();
    text << "Your presets (" << UserPresets::folder().getFullPathName() << "):\n";

    for (const auto& name : users)
        text << "  " << name << "\n";

    if (users.isEmpty())
        text << "  (none)\n";

    return text;
}

juce::String presetSettings (const juce::String& preset,
                             std::vector<ParameterSetting>& settings,
                             juce::StringArray& notes)
{
    const auto found = findDocument (preset);

    if (found.problem.isNotEmpty())
        return preset + ": " + found.problem;

    if (! found.document.has_value())
        return "no preset \"" + preset + "\": neither a factory preset, one of yours, nor a readable file (see --list-presets)";

    auto reading = Presets::read (*found.document, defaultValue);

    if (! reading.tree.has_value())
        return preset + ": " + reading.notes.joinIntoString ("; ");

    notes = reading.notes;
    static const juce::Identifier id ("id"), value ("value");

    for (const auto& spec : parameterTable)
    {
        const auto parameter = reading.tree->getChildWithProperty (id, spec.id);

        if (! parameter.isValid())
            continue;   // Repeat: the preset leaves it alone

        const auto legal = Presets::legalValue (spec.id, (float) parameter.getProperty (value));
        ParameterSetting setting;

        if (const auto error = parseParameterSetting (spec.id + "=" + juce::String (legal), setting); error.isNotEmpty())
            return preset + ": " + error;

        settings.push_back (setting);
    }

    return {};
}

} // namespace brakkle::render
