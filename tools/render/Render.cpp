#include "Render.h"

#include "processor/ParameterIds.h"

namespace brakkle::render
{

namespace
{
    const juce::String& nameOf (const juce::String& id)
    {
        for (const auto& spec : parameterTable)
            if (spec.id == id)
                return spec.name;
        return id;
    }
}

std::vector<ScheduleEvent> withInitialSettings (const std::vector<ParameterSetting>& settings, std::vector<ScheduleEvent> events)
{
    std::vector<ScheduleEvent> all;
    for (const auto& setting : settings)
    {
        ScheduleEvent event;
        event.kind = ScheduleEvent::Kind::parameter;
        event.setting = setting;
        all.push_back (event);
    }
    all.insert (all.end(), events.begin(), events.end());
    return all;
}

juce::String renderThroughPlugin (brakkle::host::HostedPlugin& plugin,
                                  juce::AudioBuffer<float>& audio,
                                  int blockSize,
                                  const HostState& initial,
                                  const std::vector<ScheduleEvent>& events,
                                  const std::function<void (double)>& progress)
{
    const int channels = audio.getNumChannels();
    const auto total = (juce::int64) audio.getNumSamples();
    juce::AudioBuffer<float> block (channels, blockSize);
    juce::String error;

    forEachBlock (total, blockSize, initial, events,
                  [&] (juce::int64 start, int length, const HostState& state, const std::vector<ParameterSetting>& changed)
    {
        if (error.isNotEmpty())
            return;

        for (const auto& setting : changed)
        {
            auto* parameter = plugin.parameterNamed (nameOf (setting.id));
            if (parameter == nullptr)
            {
                error = "the loaded plug-in has no parameter " + setting.id;
                return;
            }
            brakkle::host::HostedPlugin::setNormalised (*parameter, setting.normalised);
        }

        plugin.transport().bpm = state.bpm;
        plugin.transport().playing = state.playing;

        block.setSize (channels, length, false, false, true);
        for (int c = 0; c < channels; ++c)
            block.copyFrom (c, 0, audio, c, (int) start, length);

        plugin.process (block);

        for (int c = 0; c < channels; ++c)
            audio.copyFrom (c, (int) start, block, c, 0, length);

        if (progress)
            progress ((double) (start + length) / (double) total);
    });

    return error;
}

} // namespace brakkle::render
