#include "Presets.h"

#include "FactoryBankData.h"
#include "ParameterIds.h"
#include "ParameterText.h"

#include <cmath>

namespace
{
    const juce::Identifier idProperty ("id"), valueProperty ("value"), parameterType ("PARAM");

    juce::NormalisableRange<float> rangeOf (const ParameterSpec& spec)
    {
        return { spec.minimum, spec.maximum, spec.step };
    }

    /** A value that does not begin with a number ("abc", "nan", nothing) is
        dropped, with a note: the parameter takes its default, as if the
        preset did not name it. */
    void dropValuesThatAreNoNumber (juce::ValueTree& tree, juce::StringArray& notes)
    {
        for (int i = 0; i < tree.getNumChildren();)
        {
            const auto child = tree.getChild (i);
            const auto* spec = findParameterSpec (child.getProperty (idProperty).toString());
            const auto text = child.getProperty (valueProperty).toString();

            if (spec == nullptr || spec->id == ParameterIds::repeatHold || ! child.hasProperty (valueProperty)
                || ParameterTextFunctions::leadingNumberValue (text).has_value())
            {
                ++i;
                continue;
            }

            notes.add (spec->name + " \"" + text + "\" is no number, set to its default " + juce::String (spec->defaultValue));
            tree.removeChild (i, nullptr);
        }
    }

    /** Notes what the parameter tree will make of each named value. */
    void describeAdjustments (const juce::ValueTree& tree, juce::StringArray& notes)
    {
        for (const auto& child : tree)
        {
            const auto id = child.getProperty (idProperty).toString();
            const auto* spec = findParameterSpec (id);

            if (spec == nullptr)
            {
                notes.add ("unknown parameter \"" + id + "\" ignored");
                continue;
            }

            if (spec->id == ParameterIds::repeatHold || ! child.hasProperty (valueProperty))
                continue;

            const auto given = (float) child.getProperty (valueProperty);
            const auto taken = rangeOf (*spec).snapToLegalValue (given);

            if (given < spec->minimum || given > spec->maximum)
                notes.add (spec->name + " " + juce::String (given) + " is out of range, set to " + juce::String (taken));
        }
    }

    /** Repeat is played, not part of a preset. */
    void removeRepeat (juce::ValueTree& tree)
    {
        for (int i = tree.getNumChildren(); --i >= 0;)
            if (tree.getChild (i).getProperty (idProperty).toString() == ParameterIds::repeatHold)
                tree.removeChild (i, nullptr);
    }

    /** Parameters the document does not name take their defaults; Repeat is not
        the preset's to set: it keeps its current value (a parameter tree given
        a state without it would put it back to its default). */
    void completeWithDefaults (juce::ValueTree& tree, const SavedState::CurrentValue& currentValue)
    {
        removeRepeat (tree);

        for (const auto& spec : parameterTable)
        {
            if (tree.getChildWithProperty (idProperty, spec.id).isValid())
                continue;

            const auto current = spec.id == ParameterIds::repeatHold ? currentValue (spec.id) : std::nullopt;

            if (spec.id == ParameterIds::repeatHold && ! current.has_value())
                continue;

            juce::ValueTree parameter (parameterType);
            parameter.setProperty (idProperty, spec.id, nullptr);
            parameter.setProperty (valueProperty, current.value_or (spec.defaultValue), nullptr);
            tree.appendChild (parameter, nullptr);
        }
    }
}

namespace Presets
{

const std::vector<Preset>& factoryBank()
{
    static const std::vector<Preset> bank = []
    {
        std::vector<Preset> presets;

        for (const auto& entry : factoryBankEntries())
            presets.push_back ({ juce::String::fromUTF8 (entry.group),
                                 juce::String::fromUTF8 (entry.name),
                                 juce::String::fromUTF8 (entry.document) });

        return presets;
    }();

    return bank;
}

std::optional<Preset> findFactory (const juce::String& name)
{
    for (const auto& preset : factoryBank())
        if (preset.name == name)
            return preset;

    return std::nullopt;
}

juce::MemoryBlock bytesOf (const juce::String& document)
{
    return { document.toRawUTF8(), document.getNumBytesAsUTF8() };
}

juce::MemoryBlock asStateBytes (const juce::MemoryBlock& document)
{
    // AudioProcessor::copyXmlToBinary's wrapping: a magic number, the text's
    // size with its terminating zero, the text.
    juce::MemoryOutputStream out;
    out.writeInt ((int) 0x21324356);
    out.writeInt ((int) document.getSize() + 1);
    out.write (document.getData(), document.getSize());
    out.writeByte (0);
    return out.getMemoryBlock();
}

Reading read (const juce::MemoryBlock& document, const SavedState::CurrentValue& currentValue)
{
    Reading reading;
    const auto bytes = asStateBytes (document);
    // A value that is no number is left as written here and dropped below.
    const SavedState::CurrentValue keepAsWritten = [] (const juce::String&) -> std::optional<float> { return std::nullopt; };
    auto tree = SavedState::read (bytes.getData(), (int) bytes.getSize(), treeType, keepAsWritten);

    if (! tree.has_value())
    {
        reading.notes.add ("not a Brakkle preset (unreadable, damaged, not XML or another plug-in's state): nothing changed");
        return reading;
    }

    dropValuesThatAreNoNumber (*tree, reading.notes);
    describeAdjustments (*tree, reading.notes);
    completeWithDefaults (*tree, currentValue);
    reading.tree = std::move (tree);
    return reading;
}

juce::String documentOf (const juce::ValueTree& state)
{
    auto tree = state.createCopy();
    removeRepeat (tree);

    if (const auto xml = tree.createXml())
        return xml->toString();

    return {};
}

float legalValue (const juce::String& parameterId, float value)
{
    if (const auto* spec = findParameterSpec (parameterId))
        return rangeOf (*spec).snapToLegalValue (value);

    return value;
}

} // namespace Presets
