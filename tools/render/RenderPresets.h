#pragma once

#include "RenderOptions.h"

#include <vector>

namespace brakkle::render
{

/** The factory presets by group, then the user's own, one a line. */
juce::String listPresets();

/** The parameter settings a preset makes (every parameter but Repeat), read
    as the plug-in reads a project: a factory name, a user preset's name, or a
    file. Returns an empty string, or why the preset is refused; notes gets
    what was clamped or ignored on the way. */
juce::String presetSettings (const juce::String& preset,
                             std::vector<ParameterSetting>& settings,
                             juce::StringArray& notes);

} // namespace brakkle::render
