// The factory bank through the built bundle, as a host restores a preset: the
// state each preset stands for (as the host's preset menus carry it) loads to
// exactly the values its file holds, and sounds: finite,
// not silent, and different from every other preset.

#include "support/FactoryPresetState.h"
#include "support/HostedBrakkle.h"
#include "support/PluginState.h"
#include "support/Signals.h"

#include "DemoLoop.h"
#include "processor/Presets.h"

#include <map>

namespace
{
using namespace brakkle::test;

/** The values a preset file names, read straight from its text: every parameter
    it does not name at its table default, Repeat aside. */
std::map<juce::String, float> expectedValues (const juce::String& document)
{
    std::map<juce::String, float> values;

    for (const auto& spec : parameterTable)
        if (spec.id != ParameterIds::repeatHold)
            values[spec.id] = spec.defaultValue;

    const auto xml = juce::XmlDocument::parse (document);
    EXPECT_NE (xml, nullptr);

    if (xml != nullptr)
        for (auto* parameter : xml->getChildIterator())
            values[parameter->getStringAttribute ("id")] = (float) parameter->getDoubleAttribute ("value");

    return values;
}

TEST (FactoryPresets, EachLoadsToItsValuesAndSoundsItsOwnWay)
{
    const auto& bank = Presets::factoryBank();
    ASSERT_GE (bank.size(), 20u);

    const auto loop = brakkle::render::makeDemoLoop (44100.0, 120.0, 2);
    std::vector<std::pair<juce::String, juce::AudioBuffer<float>>> renders;

    for (const auto& preset : bank)
    {
        SCOPED_TRACE (preset.name.toStdString());
        auto plugin = loadBrakkle();
        ASSERT_NE (plugin, nullptr);

        auto block = ramp (2, 512);
        ASSERT_TRUE (restorePluginState (*plugin, stateFor (preset)));
        block = ramp (2, 512);
        plugin->process (block);

        for (const auto& [id, value] : expectedValues (preset.document))
            EXPECT_NEAR (plainValue (*plugin, id), value, specFor (id).step * 0.01f) << id;

        plugin->transport().locate (0.0);
        auto output = renderInBlocks (*plugin, loop, { 512 });

        float peak = 0.0f;
        bool finite = true;
        for (int c = 0; c < output.getNumChannels(); ++c)
            for (int i = 0; i < output.getNumSamples(); ++i)
            {
                finite = finite && std::isfinite (output.getSample (c, i));
                peak = std::max (peak, std::abs (output.getSample (c, i)));
            }

        EXPECT_TRUE (finite);
        EXPECT_GT (peak, 0.01f);
        renders.emplace_back (preset.name, std::move (output));
    }

    for (size_t a = 0; a < renders.size(); ++a)
        for (size_t b = a + 1; b < renders.size(); ++b)
        {
            float largest = 0.0f;
            for (int c = 0; c < renders[a].second.getNumChannels(); ++c)
                for (int i = 0; i < renders[a].second.getNumSamples(); ++i)
                    largest = std::max (largest, std::abs (renders[a].second.getSample (c, i) - renders[b].second.getSample (c, i)));

            EXPECT_GT (largest, 0.01f) << renders[a].first << " and " << renders[b].first << " sound the same";
        }
}

} // namespace
