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

        transport.bpm = state.bpm;
        transport.playing = state.playing;
        transport.numerator = state.meterNumerator;
        transport.denominator = state.meterDenominator;

        if (changes.located)
            transport.locate (changes.locateBeats);

        return true;
    };

    // What is in force at the first sample (the command line's settings and
    // the schedule's changes at time 0) already holds during the pre-roll.
    HostState first = initial;
    BlockChanges atStart;
    auto later = events.begin();
    for (; later != events.end() && later->sample <= 0; ++later)
        applyEvent (*later, first, atStart);

    const double startBeats = atStart.located ? atStart.locateBeats : start.beats;
    atStart.located = true;
    atStart.locateBeats = startBeats;

    if (start.preroll > 0)
    {
        // A host's pre-roll: the transport plays and its position runs up to
        // the start; the plug-in hears silence and what it returns is dropped.
        auto rolling = first;
        rolling.playing = true;
        atStart.locateBeats = startBeats - (double) start.preroll * first.bpm / 60.0 / plugin.getSampleRate();
        if (! apply (rolling, atStart))
            return error;

        for (juce::int64 done = 0; done < start.preroll;)
        {
            const auto length = (int) juce::jmin ((juce::int64) blockSize, start.preroll - done);
            block.setSize (channels, length, false, false, true);
            block.clear();
            plugin.process (block);
            done += length;
        }

        atStart = {};
    }

    if (! apply (first, atStart))
        return error;

    forEachBlock (total, blockSize, first, std::vector<ScheduleEvent> (later, events.end()),
                  [&] (juce::int64 blockStart, int length, const HostState& state, const BlockChanges& changes)
    {
        if (error.isNotEmpty() || ! apply (state, changes))
            return;

        block.setSize (channels, length, false, false, true);
        for (int c = 0; c < channels; ++c)
            block.copyFrom (c, 0, audio, c, (int) blockStart, length);

        plugin.process (block);

        for (int c = 0; c < channels; ++c)
            audio.copyFrom (c, (int) blockStart, block, c, 0, length);

        if (progress)
            progress ((double) (blockStart + length) / (double) total);
    });

    return error;
}

} // namespace brakkle::render
