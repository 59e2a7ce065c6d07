#include "PresetSession.h"

PresetSession::PresetSession (juce::AudioProcessorValueTreeState& parameterTree)
    : parameters (parameterTree)
{
}

PresetSession::Outcome PresetSession::load (const juce::String& presetName, const juce::MemoryBlock& document)
{
    auto reading = Presets::read (document, SavedState::currentValuesOf (parameters));

    if (! reading.tree.has_value())
        return { false, reading.notes };

    parameters.replaceState (*reading.tree);
    markSaved (presetName);
    return { true, reading.notes };
}

juce::String PresetSession::currentDocument() const
{
    return Presets::documentOf (parameters.copyState());
}

juce::String PresetSession::currentName() const
{
    const juce::ScopedLock held (lock);
    return name;
}

void PresetSession::markSaved (const juce::String& presetName)
{
    const auto values = currentValues();
    const juce::ScopedLock held (lock);
    name = presetName;
    valuesAtLoad = values;
}

void PresetSession::forget()
{
    const juce::ScopedLock held (lock);
    name = {};
}

bool PresetSession::hasChangedSinceLoad() const
{
    const auto now = currentValues();
    const juce::ScopedLock held (lock);

    for (size_t i = 0; i < parameterTable.size(); ++i)
        if (parameterTable[i].id != ParameterIds::repeatHold && ! juce::exactlyEqual (now[i], valuesAtLoad[i]))
            return true;

    return false;
}

std::array<float, parameterTable.size()> PresetSession::currentValues() const
{
    std::array<float, parameterTable.size()> values {};

    for (size_t i = 0; i < parameterTable.size(); ++i)
        if (auto* value = parameters.getRawParameterValue (parameterTable[i].id))
            values[i] = value->load();

    return values;
}
