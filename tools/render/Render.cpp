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

void setTransport (brakkle::host::Transport& transport, const HostState& state, const BlockChanges& changes)
{
    transport.bpm = state.bpm;
    transport.playing = state.playing;
    transport.numerator = state.meterNumerator;
    transport.denominator = state.meterDenominator;

    if (changes.located)
        transport.locate (changes.locateBeats);
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
                                  const PlaybackStart& start,
                                  const std::function<void (double)>& progress)
{
    const int channels = audio.getNumChannels();
    const auto total = (juce::int64) audio.getNumSamples();
    auto& transport = plugin.transport();
    juce::AudioBuffer<float> block (channels, blockSize);
    juce::String error;

    const auto apply = [&] (const HostState& state, const BlockChanges& changes)
    {
        for (const auto& setting : changes.settings)
        {
            auto* parameter = plugin.parameterNamed (nameOf (setting.id));
            if (parameter == nullptr)
            {
                error = "the loaded plug-in has no parameter " + setting.id;
                return false;
            }
            brakkle::host::HostedPlugin::setNormalised (*parameter, setting.normalised);
        }

        setTransport (transport, state, changes);
        return true;
    };

    forEachPlayedBlock (total, blockSize, plugin.getSampleRate(), initial, events, start,
                        [&] (juce::int64 blockStart, int length, const HostState& state, const BlockChanges& changes)
    {
        if (error.isNotEmpty() || ! apply (state, changes))
            return;

        // The pre-roll (negative starts) plays silence and its output is dropped.
        const bool inFile = blockStart >= 0;
        block.setSize (channels, length, false, false, true);
        if (! inFile)
            block.clear();
        for (int c = 0; c < channels && inFile; ++c)
            block.copyFrom (c, 0, audio, c, (int) blockStart, length);

        plugin.process (block);

        if (! inFile)
            return;

        for (int c = 0; c < channels; ++c)
            audio.copyFrom (c, (int) blockStart, block, c, 0, length);

        if (progress)
            progress ((double) (blockStart + length) / (double) total);
    });

    return error;
}

} // namespace brakkle::render
