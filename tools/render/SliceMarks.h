#pragma once

#include "Schedule.h"

#include <vector>

namespace brakkle::render
{

/** Where a render's slices begin, for pictures of it. */
struct SliceMarks
{
    std::vector<juce::int64> cycleStarts;    // a fresh slice is recorded (refresh points)
    std::vector<juce::int64> repeatStarts;   // the slice plays again from its start
    std::vector<std::pair<juce::int64, juce::int64>> stopped;   // transport stopped [from, to)
    std::vector<juce::int64> beats;          // every beat of the host's tempo
};

/** Follows the plug-in's timing through a render without any audio: the same
    block splitting, the same note-division lengths and cycle rules, tempo
    adopted at the start of each playing block. */
SliceMarks traceSlices (juce::int64 totalSamples,
                        int blockSize,
                        double sampleRate,
                        const HostState& initial,
                        const std::vector<ScheduleEvent>& events);

} // namespace brakkle::render
