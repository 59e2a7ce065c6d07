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
    if (changes.tempoSet)
    {
        // A step, which also ends a ramp that is still running.
        transport.bpm = state.bpm;
        transport.rampTo (state.bpm, 0);
    }

    transport.playing = state.playing;
    transport.numerator = state.meterNumerator;
    transport.denominator = state.meterDenominator;
    transport.hasTempo = state.reportsTempo;

    if (state.loops)
        transport.setLoop (state.loopStart, state.loopEnd, state.reportsLoop);
    else
        transport.clearLoop();

    if (changes.located)
        transport.locate (changes.locateBeats);

    if (changes.holdSamples > 0)
        transport.holdFor (changes.holdSamples);

    if (changes.ramps)
        transport.rampTo (changes.rampTarget, changes.rampSamples);
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

        // The pre-roll (negative samples) plays silence and its output is
        // dropped; a held pre-roll may end inside a block.
        const auto firstInFile = juce::jmax ((juce::int64) 0, blockStart);
        const int skipped = (int) juce::jmin ((juce::int64) length, firstInFile - blockStart);
        const int inFile = length - skipped;

        block.setSize (channels, length, false, false, true);
        if (skipped > 0)
            block.clear();
        for (int c = 0; c < channels && inFile > 0; ++c)
            block.copyFrom (c, skipped, audio, c, (int) firstInFile, inFile);

        plugin.process (block);

        if (inFile <= 0)
            return;

        for (int c = 0; c < channels; ++c)
            audio.copyFrom (c, (int) firstInFile, block, c, skipped, inFile);

        if (progress)
            progress ((double) (blockStart + length) / (double) total);
    });

    return error;
}

} // namespace brakkle::render
