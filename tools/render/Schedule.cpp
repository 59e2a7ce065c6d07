#include "Schedule.h"

#include "processor/ParameterIds.h"

#include <algorithm>
#include <cmath>

namespace brakkle::render
{

namespace
{
    size_t indexOf (const juce::String& id)
    {
        for (size_t i = 0; i < parameterTable.size(); ++i)
            if (parameterTable[i].id == id)
                return i;
        return 0;
    }

    /** "1.5", "1.5s" (seconds) or "8b" (beats); false if it is neither. */
    bool parseTime (const juce::String& text, double& value, bool& inBeats)
    {
        auto number = text;
        inBeats = number.endsWithIgnoreCase ("b");
        if (inBeats || number.endsWithIgnoreCase ("s"))
            number = number.dropLastCharacters (1);

        if (number.isEmpty() || ! number.containsOnly ("0123456789.") || number.indexOfChar ('.') != number.lastIndexOfChar ('.'))
            return false;

        value = number.getDoubleValue();
        return std::isfinite (value);
    }
}

ParameterValues defaultParameterValues()
{
    ParameterValues values {};
    for (size_t i = 0; i < parameterTable.size(); ++i)
        values[i] = parameterTable[i].defaultValue;
    return values;
}

juce::String parseSchedule (const juce::String& text, double sampleRate, double startBpm, std::vector<ScheduleEvent>& events)
{
    events.clear();
    double bpm = startBpm;
    double anchorSeconds = 0.0, anchorBeats = 0.0, lastSeconds = 0.0;

    const auto lines = juce::StringArray::fromLines (text);
    for (int n = 0; n < lines.size(); ++n)
    {
        const auto lineNumber = n + 1;
        const auto where = "line " + juce::String (lineNumber) + ": ";
        const auto line = lines[n].upToFirstOccurrenceOf ("#", false, false).trim();
        if (line.isEmpty())
            continue;

        const auto timeText = line.upToFirstOccurrenceOf (" ", false, false).upToFirstOccurrenceOf ("\t", false, false);
        const auto change = line.substring (timeText.length()).trim();

        double time = 0.0;
        bool inBeats = false;
        if (! parseTime (timeText, time, inBeats))
            return where + "\"" + timeText + "\" is not a time (seconds like 1.5 or 1.5s, beats like 8b)";
        if (change.isEmpty())
            return where + "a time needs a change after it (stop, play, bpm=120, locate=8 or id=value)";

        const double seconds = inBeats ? anchorSeconds + (time - anchorBeats) * 60.0 / bpm : time;
        if (seconds < lastSeconds)
            return where + "the time goes backwards (" + timeText + ")";
        lastSeconds = seconds;

        ScheduleEvent event;
        event.line = lineNumber;
        event.sample = (juce::int64) std::llround (seconds * sampleRate);

        if (change.startsWith ("locate="))
        {
            const auto value = change.fromFirstOccurrenceOf ("=", false, false).trim();
            if (! parseBeats (value, event.beats))
                return where + "locate takes a song position in beats (quarter notes) from 0 to "
                       + juce::String (maximumBeats) + ", got \"" + value + "\"";
            event.kind = ScheduleEvent::Kind::locate;
        }
        else if (change == "stop" || change == "play")
        {
            event.kind = change == "stop" ? ScheduleEvent::Kind::stop : ScheduleEvent::Kind::play;
        }
        else if (change.startsWith ("bpm="))
        {
            const auto value = change.fromFirstOccurrenceOf ("=", false, false).trim();
            const double newBpm = value.getDoubleValue();
            if (! value.containsOnly ("0123456789.") || value.isEmpty() || newBpm < 1.0 || newBpm > 999.0)
                return where + "bpm takes a tempo from 1 to 999, got \"" + value + "\"";

            // Beats after this point count at the new tempo.
            anchorBeats += (seconds - anchorSeconds) * bpm / 60.0;
            anchorSeconds = seconds;
            bpm = newBpm;
            event.kind = ScheduleEvent::Kind::tempo;
            event.bpm = newBpm;
        }
        else
        {
            if (auto error = parseParameterSetting (change, event.setting); error.isNotEmpty())
                return where + error;
            event.kind = ScheduleEvent::Kind::parameter;
        }

        events.push_back (event);
    }

    std::stable_sort (events.begin(), events.end(), [] (const auto& a, const auto& b) { return a.sample < b.sample; });
    return {};
}

void applyEvent (const ScheduleEvent& event, HostState& state, BlockChanges& changes)
{
    switch (event.kind)
    {
        case ScheduleEvent::Kind::parameter:
            state.values[indexOf (event.setting.id)] = event.setting.value;
            changes.settings.push_back (event.setting);
            break;
        case ScheduleEvent::Kind::tempo: state.bpm = event.bpm; break;
        case ScheduleEvent::Kind::stop:  state.playing = false; break;
        case ScheduleEvent::Kind::play:  state.playing = true; break;
        case ScheduleEvent::Kind::locate:
            changes.located = true;
            changes.locateBeats = event.beats;
            break;
    }
}

void forEachBlock (juce::int64 totalSamples,
                   int blockSize,
                   HostState state,
                   const std::vector<ScheduleEvent>& events,
                   const BlockCallback& callback)
{
    size_t next = 0;
    BlockChanges changed;

    for (juce::int64 position = 0; position < totalSamples;)
    {
        changed = {};
        for (; next < events.size() && events[next].sample <= position; ++next)
            applyEvent (events[next], state, changed);

        auto end = juce::jmin (totalSamples, position + blockSize);
        if (next < events.size())
            end = juce::jmin (end, events[next].sample);

        callback (position, (int) (end - position), state, changed);
        position = end;
    }
}

void forEachPlayedBlock (juce::int64 totalSamples,
                         int blockSize,
                         double sampleRate,
                         const HostState& initial,
                         const std::vector<ScheduleEvent>& events,
                         const PlaybackStart& start,
                         const BlockCallback& callback)
{
    // What is in force at the first sample (the command line's settings and
    // the schedule's changes at time 0) already holds during the pre-roll.
    HostState first = initial;
    BlockChanges atStart;
    auto later = events.begin();
    for (; later != events.end() && later->sample <= 0; ++later)
        applyEvent (*later, first, atStart);

    atStart.locateBeats = atStart.located ? atStart.locateBeats : start.beats;
    atStart.located = true;

    if (start.preroll > 0)
    {
        // A host's pre-roll: the transport plays and its position runs up to the start.
        auto rolling = first;
        rolling.playing = true;
        atStart.locateBeats -= (double) start.preroll * first.bpm / 60.0 / sampleRate;

        for (juce::int64 done = 0; done < start.preroll;)
        {
            const auto length = (int) juce::jmin ((juce::int64) blockSize, start.preroll - done);
            callback (done - start.preroll, length, rolling, atStart);
            atStart = {};
            done += length;
        }
    }

    // The schedule's later events never fall on the first block's start.
    forEachBlock (totalSamples, blockSize, first, std::vector<ScheduleEvent> (later, events.end()),
                  [&] (juce::int64 blockStart, int length, const HostState& state, const BlockChanges& changes)
    {
        callback (blockStart, length, state, blockStart == 0 ? atStart : changes);
    });
}

} // namespace brakkle::render
