#include "SliceMarks.h"

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
}

SliceMarks traceSlices (juce::int64 totalSamples,
                        int blockSize,
                        double sampleRate,
                        const HostState& initial,
                        const std::vector<ScheduleEvent>& events)
{
    SliceMarks marks;
    const auto rate = (float) sampleRate;
    float adoptedBpm = 120.0f;
    int sliceLength = 0, refreshPeriod = 0, counter = 0, writePosition = 0, playPosition = 0;
    double beatPosition = 0.0;
    bool armed = false;   // a stopped block left a fresh cycle for the first playing frame

    auto startCycle = [&] (const HostState& state)
    {
        sliceLength = duration (state.values, stutterTrio, adoptedBpm, rate);
        refreshPeriod = duration (state.values, refreshTrio, adoptedBpm, rate);
        counter = writePosition = playPosition = 0;
    };

    forEachBlock (totalSamples, blockSize, initial, events,
                  [&] (juce::int64 start, int length, const HostState& state, const BlockChanges&)
    {
        for (int j = 0; j < length; ++j)
        {
            if (beatPosition <= 0.0)
            {
                marks.beats.push_back (start + j);
                beatPosition += sampleRate * 60.0 / state.bpm;
            }
            beatPosition -= 1.0;
        }

        if (! state.playing)
        {
            startCycle (state);
            armed = true;
            if (! marks.stopped.empty() && marks.stopped.back().second == start)
                marks.stopped.back().second = start + length;
            else
                marks.stopped.push_back ({ start, start + length });
            return;
        }

        for (int j = 0; j < length; ++j)
        {
            if (counter >= refreshPeriod)
            {
                startCycle (state);
                marks.cycleStarts.push_back (start + j);
            }
            else if (armed)
            {
                marks.cycleStarts.push_back (start + j);
            }
            armed = false;

            if (playPosition >= sliceLength)
                playPosition = 0;

            if (j == 0 && (int) (adoptedBpm * 100.0f) != (int) ((float) state.bpm * 100.0f))
                adoptedBpm = (float) state.bpm;

            if (writePosition < sliceLength)
            {
                ++writePosition;
            }
            else
            {
                if (playPosition == 0)
                    marks.repeatStarts.push_back (start + j);
                ++playPosition;
            }
            ++counter;
        }
    });

    return marks;
}

} // namespace brakkle::render
