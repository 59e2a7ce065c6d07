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

    /** The schedule's own clock: beats at the tempo in force, through tempo
        steps and linear ramps, from the anchor of the latest change. */
    class TempoClock
    {
    public:
        explicit TempoClock (double startBpm) : bpm (startBpm) {}

        double tempoAt (double seconds) const
        {
            const double t = seconds - anchorSeconds;
            if (rampSeconds <= 0.0)
                return bpm;
            return t >= rampSeconds ? target : bpm + (target - bpm) * t / rampSeconds;
        }

        double beatsAt (double seconds) const
        {
            const double t = seconds - anchorSeconds;
            if (rampSeconds <= 0.0)
                return anchorBeats + bpm * t / 60.0;
            if (t <= rampSeconds)
                return anchorBeats + (bpm * t + (target - bpm) * t * t / (2.0 * rampSeconds)) / 60.0;
            return anchorBeats + ((bpm + target) * 0.5 * rampSeconds + target * (t - rampSeconds)) / 60.0;
        }

        double secondsAt (double beats) const
        {
            // Beats times 60 covered since the anchor: during a ramp the time
            // solves bpm t + (target - bpm) t^2 / 2R = that (in a form that
            // stays accurate as the ramp flattens).
            const double covered = (beats - anchorBeats) * 60.0;
            if (rampSeconds <= 0.0)
                return anchorSeconds + covered / bpm;

            const double ramped = (bpm + target) * 0.5 * rampSeconds;
            if (covered >= ramped)
                return anchorSeconds + rampSeconds + (covered - ramped) / target;

            const double a = (target - bpm) / (2.0 * rampSeconds);
            return anchorSeconds + 2.0 * covered / (bpm + std::sqrt (juce::jmax (0.0, bpm * bpm + 4.0 * a * covered)));
        }

        /** A tempo step at `seconds`. */
        void step (double seconds, double newBpm)
        {
            moveAnchor (seconds);
            bpm = newBpm;
            rampSeconds = 0.0;
        }

        /** A ramp from the tempo at `seconds` to newTarget over `length` seconds. */
        void ramp (double seconds, double newTarget, double length)
        {
            const double from = tempoAt (seconds);
            moveAnchor (seconds);
            bpm = from;
            target = newTarget;
            rampSeconds = length;
        }

    private:
        void moveAnchor (double seconds)
        {
            anchorBeats = beatsAt (seconds);
            anchorSeconds = seconds;
        }

        double anchorSeconds = 0.0, anchorBeats = 0.0;
        double bpm;                  // the tempo at the anchor
        double target = 0.0;         // a ramp from the anchor to this tempo ...
        double rampSeconds = 0.0;    // ... this long (0: none)
    };

    bool isTempo (const juce::String& text, double& bpm)
    {
        bpm = text.getDoubleValue();
        return text.isNotEmpty() && text.containsOnly ("0123456789.") && bpm >= 1.0 && bpm <= 999.0;
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
    TempoClock clock (startBpm);
    double lastSeconds = 0.0;

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
            return where + "a time needs a change after it (stop, play, bpm=120, ramp=140,8b, locate=8 or id=value)";

        const double seconds = inBeats ? clock.secondsAt (time) : time;
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
            double newBpm = 0.0;
            if (! isTempo (value, newBpm))
                return where + "bpm takes a tempo from 1 to 999, got \"" + value + "\"";

            // Beats after this point count at the new tempo.
            clock.step (seconds, newBpm);
            event.kind = ScheduleEvent::Kind::tempo;
            event.bpm = newBpm;
        }
        else if (change.startsWith ("ramp="))
        {
            const auto value = change.fromFirstOccurrenceOf ("=", false, false).trim();
            const auto lengthText = value.fromFirstOccurrenceOf (",", false, false).trim();
            double target = 0.0, length = 0.0;
            bool lengthInBeats = false;

            if (! value.containsChar (',') || ! isTempo (value.upToFirstOccurrenceOf (",", false, false).trim(), target)
                || ! parseTime (lengthText, length, lengthInBeats) || ! (length > 0.0) || length > maximumBeats)
                return where + "ramp takes a tempo from 1 to 999 and a length in seconds or beats after a comma"
                             " (ramp=140,8b or ramp=90,2s), got \"" + value + "\"";

            // A length in beats is the time the ramp needs to cover them: the
            // tempo moves linearly, so they pass at the mean of both tempos.
            const double from = clock.tempoAt (seconds);
            const double rampSeconds = lengthInBeats ? length * 60.0 / ((from + target) * 0.5) : length;
            event.rampSamples = juce::jmax ((juce::int64) 1, (juce::int64) std::llround (rampSeconds * sampleRate));

            // Beats after this point count along the ramp.
            clock.ramp (seconds, target, (double) event.rampSamples / sampleRate);
            event.kind = ScheduleEvent::Kind::ramp;
            event.bpm = target;
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
        case ScheduleEvent::Kind::tempo:
            state.bpm = event.bpm;
            changes.tempoSet = true;
            changes.ramps = false;
            break;
        case ScheduleEvent::Kind::ramp:
            changes.ramps = true;
            changes.rampTarget = event.bpm;
            changes.rampSamples = event.rampSamples;
            break;
        case ScheduleEvent::Kind::stop:  state.playing = false; break;
        case ScheduleEvent::Kind::play:  state.playing = true; break;
        case ScheduleEvent::Kind::locate:
            changes.located = true;
            changes.locateBeats = event.beats;
            break;
    }
}

namespace
{
    /** Blocks of at most blockSize from `from` up to totalSamples, broken at
        every event (and at sample 0 when breakAtStart): the events due at a
        block's start apply to the state first; blocks that start before 0
        play in `before`. The first block also brings firstChanges. */
    void walkBlocks (juce::int64 from,
                     juce::int64 totalSamples,
                     int blockSize,
                     const HostState& before,
                     HostState state,
                     const std::vector<ScheduleEvent>& events,
                     BlockChanges firstChanges,
                     bool breakAtStart,
                     const BlockCallback& callback)
    {
        size_t next = 0;

        for (auto position = from; position < totalSamples;)
        {
            BlockChanges changed;
            if (position == from)
                changed = std::move (firstChanges);

            for (; next < events.size() && events[next].sample <= position; ++next)
                applyEvent (events[next], state, changed);

            auto end = juce::jmin (totalSamples, position + blockSize);
            if (next < events.size())
                end = juce::jmin (end, events[next].sample);
            if (breakAtStart && position < 0)
                end = juce::jmin (end, (juce::int64) 0);

            callback (position, (int) (end - position), position < 0 ? before : state, changed);
            position = end;
        }
    }
}

void forEachBlock (juce::int64 totalSamples,
                   int blockSize,
                   HostState state,
                   const std::vector<ScheduleEvent>& events,
                   const BlockCallback& callback)
{
    walkBlocks (0, totalSamples, blockSize, state, state, events, {}, false, callback);
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
    atStart.tempoSet = true;

    // The schedule's later events never fall on the first block's start.
    const std::vector<ScheduleEvent> rest (later, events.end());

    if (start.preroll <= 0)
    {
        walkBlocks (0, totalSamples, blockSize, first, first, rest, std::move (atStart), false, callback);
        return;
    }

    // A host's pre-roll: the transport plays from the first block on.
    auto rolling = first;
    rolling.playing = true;

    if (start.holdPreroll)
    {
        // The position stands still at the start until the pre-roll is over;
        // a ramp due at the start waits for it, as the transport's ramps wait
        // for the position to move.
        atStart.holdSamples = start.preroll;
        walkBlocks (-start.preroll, totalSamples, blockSize, rolling, first, rest, std::move (atStart), ! first.playing, callback);
        return;
    }

    // The position runs up to the start at the starting tempo; a ramp due at
    // the start begins there.
    BlockChanges atFileStart;
    std::swap (atFileStart.ramps, atStart.ramps);
    atFileStart.rampTarget = atStart.rampTarget;
    atFileStart.rampSamples = atStart.rampSamples;
    atStart.locateBeats -= (double) start.preroll * first.bpm / 60.0 / sampleRate;

    walkBlocks (-start.preroll, 0, blockSize, rolling, rolling, {}, std::move (atStart), false, callback);
    walkBlocks (0, totalSamples, blockSize, first, first, rest, std::move (atFileStart), false, callback);
}

} // namespace brakkle::render
