#include "SliceMarks.h"

#include "Render.h"
#include "engine/BeatGrid.h"
#include "engine/NoteDivisions.h"
#include "processor/ParameterIds.h"

#include <cmath>

namespace brakkle::render
{

namespace
{
    /** A plain value as the parameter holds it: snapped to its step and range. */
    float snapped (size_t index, float value)
    {
        const auto& spec = parameterTable[index];
        const float v = spec.minimum + spec.step * std::floor ((value - spec.minimum) / spec.step + 0.5f);
        return juce::jlimit (spec.minimum, spec.maximum, v);
    }

    /** The plug-in's length rule, in the same single-precision steps. */
    int duration (const ParameterValues& values, size_t first, float bpm, float sampleRate)
    {
        const float sync = snapped (first + 2, values[first + 2]);
        const int index = (int) snapped (first + 1, values[first + 1]);
        const float freeMs = snapped (first, values[first]);
        const float seconds = sync > 0.5f ? (60.0f / bpm) * brakkle::noteDivisionBeats[(size_t) index] : freeMs / 1000.0f;
        const float samples = seconds * sampleRate;
        return samples >= 1.0f ? (int) std::fmin (samples, 60.0f * sampleRate) : 1;
    }

    constexpr size_t stutterTrio = 0, refreshTrio = 3;   // first index of each trio in the table

    size_t indexOf (const juce::String& id)
    {
        for (size_t i = 0; i < parameterTable.size(); ++i)
            if (parameterTable[i].id == id)
                return i;
        jassertfalse;
        return 0;
    }

    /** What the host's play head tells the plug-in, as the plug-in reads it. */
    brakkle::MusicalPosition musicalPositionOf (const brakkle::host::Transport& transport)
    {
        brakkle::MusicalPosition position;
        const auto info = transport.getPosition();
        position.ppq = info->getPpqPosition().orFallback (0.0);
        position.bpm = transport.bpm;
        if (const auto samples = info->getTimeInSamples())
        {
            position.hasSamplePosition = true;
            position.samplePosition = *samples;
        }
        if (const auto barStart = info->getPpqPositionOfLastBarStart())
        {
            position.hasBarStart = true;
            position.barStartPpq = *barStart;
        }
        if (const auto meter = info->getTimeSignature())
        {
            position.numerator = meter->numerator;
            position.denominator = meter->denominator;
        }
        return position;
    }

    /** The plug-in's cycle timing, block by block, marking what lands in the file. */
    class Tracer
    {
    public:
        Tracer (double rate, SliceMarks& marksToFill) : sampleRate (rate), marks (marksToFill)
        {
            grid.setSampleRate (rate);
        }

        /** Beat marks count from this song position at this sample. */
        void seedBeats (juce::int64 sample, double songPosition, double bpm)
        {
            // A position a rounding away from a beat is on it.
            beatsFrom = sample;
            nextBeat = (int) std::ceil (songPosition - 1.0e-9);
            beatPosition = std::max (0.0, nextBeat - songPosition) * sampleRate * 60.0 / bpm;
        }

        /** One block at file sample `start` (negative in a pre-roll: not marked). */
        void block (juce::int64 start, int length, const HostState& state, const brakkle::host::Transport& transport)
        {
            countBeats (start, length, state.bpm);

            if (! state.playing)
            {
                // The plug-in's stop: a fresh cycle waits for the first playing
                // sample, and Grid Lock locks afresh.
                startCycle (state);
                leaveGrid();
                cyclesRunFree = false;
                armed = true;
                markPassing (start, start + length);
                return;
            }

            const auto position = musicalPositionOf (transport);
            const bool onGrid = snapped (gridLockIndex, state.values[gridLockIndex]) > 0.5f
                                && brakkle::BeatGrid::canFollow (position);

            if (! onGrid)
            {
                if (grid.isLocked())
                    leaveGrid();

                play (start, 0, length, state);
                cyclesRunFree = true;
                return;
            }

            const auto change = grid.beginBlock (position);

            if (change == brakkle::BeatGrid::Change::locked)
            {
                if (cyclesRunFree)
                    steerCycleToGrid (state);
                else
                {
                    startCycle (state);
                    waiting = true;
                }
            }
            else if (change == brakkle::BeatGrid::Change::retimed && ! waiting)
            {
                steerCycleToGrid (state);
            }

            cyclesRunFree = false;
            int firstFrame = 0;

            if (waiting)
            {
                // The input passes until the first line.
                const auto line = grid.firstLineSampleFrom (grid.blockStart(), gridPeriod (state));
                if (line - grid.blockStart() >= length)
                {
                    startCycle (state);
                    markPassing (start, start + length);
                    grid.endBlock (length);
                    return;
                }

                firstFrame = (int) (line - grid.blockStart());
                markPassing (start, start + firstFrame);
                waiting = false;
                counter = refreshPeriod;
            }

            play (start, firstFrame, length, state);
            grid.endBlock (length);
        }

    private:
        void countBeats (juce::int64 start, int length, double bpm)
        {
            for (int j = 0; j < length; ++j)
            {
                if (start + j < beatsFrom)
                    continue;
                if (beatPosition <= 0.0)
                {
                    marks.beats.push_back (start + j);
                    marks.beatNumbers.push_back (nextBeat++);
                    beatPosition += sampleRate * 60.0 / bpm;
                }
                beatPosition -= 1.0;
            }
        }

        void startCycle (const HostState& state)
        {
            sliceLength = duration (state.values, stutterTrio, adoptedBpm, (float) sampleRate);
            refreshPeriod = duration (state.values, refreshTrio, adoptedBpm, (float) sampleRate);
            counter = writePosition = playPosition = 0;
        }

        void leaveGrid()
        {
            grid.unlock();
            waiting = false;
        }

        brakkle::BeatGrid::Period gridPeriod (const HostState& state) const
        {
            return grid.refreshPeriod (snapped (refreshTrio + 2, state.values[refreshTrio + 2]) > 0.5f,
                                       (int) snapped (refreshTrio + 1, state.values[refreshTrio + 1]),
                                       snapped (refreshTrio, state.values[refreshTrio]));
        }

        void steerCycleToGrid (const HostState& state)
        {
            // The running cycle now ends on the first line from this block on.
            refreshPeriod = grid.samplesToLine (grid.blockStart() - counter, grid.blockStart(), gridPeriod (state));
        }

        void play (juce::int64 start, int firstFrame, int length, const HostState& state)
        {
            for (int j = firstFrame; j < length; ++j)
            {
                if (counter >= refreshPeriod)
                {
                    startCycle (state);
                    if (grid.isLocked())
                    {
                        const auto now = grid.blockStart() + j;
                        refreshPeriod = grid.samplesToLine (now, now + 1, gridPeriod (state));
                    }
                    mark (marks.cycleStarts, start + j);
                }
                else if (armed)
                {
                    mark (marks.cycleStarts, start + j);
                }
                armed = false;

                if (playPosition >= sliceLength)
                    playPosition = 0;

                if (j == firstFrame && (int) (adoptedBpm * 100.0f) != (int) ((float) state.bpm * 100.0f))
                    adoptedBpm = (float) state.bpm;

                if (writePosition < sliceLength)
                {
                    ++writePosition;
                }
                else
                {
                    if (playPosition == 0)
                        mark (marks.repeatStarts, start + j);
                    ++playPosition;
                }
                ++counter;
            }
        }

        static void mark (std::vector<juce::int64>& list, juce::int64 sample)
        {
            if (sample >= 0)
                list.push_back (sample);
        }

        void markPassing (juce::int64 from, juce::int64 to)
        {
            from = std::max<juce::int64> (from, 0);
            if (from >= to)
                return;
            if (! marks.stopped.empty() && marks.stopped.back().second == from)
                marks.stopped.back().second = to;
            else
                marks.stopped.push_back ({ from, to });
        }

        const size_t gridLockIndex = indexOf (ParameterIds::gridLock);
        const double sampleRate;
        SliceMarks& marks;

        float adoptedBpm = 120.0f;
        int sliceLength = 0, refreshPeriod = 0, counter = 0, writePosition = 0, playPosition = 0;
        bool armed = false;   // a stopped block left a fresh cycle for the first playing frame

        brakkle::BeatGrid grid;
        bool waiting = false, cyclesRunFree = false;

        juce::int64 beatsFrom = 0;
        int nextBeat = 0;
        double beatPosition = 0.0;
    };
}

SliceMarks traceSlices (juce::int64 totalSamples,
                        int blockSize,
                        double sampleRate,
                        const HostState& initial,
                        const std::vector<ScheduleEvent>& events,
                        const PlaybackStart& start)
{
    SliceMarks marks;
    Tracer tracer (sampleRate, marks);
    brakkle::host::Transport transport;
    transport.sampleRate = sampleRate;

    forEachPlayedBlock (totalSamples, blockSize, sampleRate, initial, events, start,
                        [&] (juce::int64 blockStart, int length, const HostState& state, const BlockChanges& changes)
    {
        setTransport (transport, state, changes);

        // Beats count from the song position of the file's first sample and of every locate.
        if (blockStart == 0 || (blockStart > 0 && changes.located))
            tracer.seedBeats (blockStart, transport.ppqPosition, state.bpm);

        tracer.block (blockStart, length, state, transport);

        if (state.playing)
            transport.advance (length);
    });

    return marks;
}

} // namespace brakkle::render
