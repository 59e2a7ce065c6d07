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
    std::vector<std::pair<juce::int64, juce::int64>> stopped;   // the input passes [from, to): transport
                                                                // stopped, or Grid Lock waiting for a line
    std::vector<juce::int64> beats;          // every beat of the host's tempo, from the song position at the
                                             // first sample and after every locate
    std::vector<int> beatNumbers;            // each beat's number in the song (0 at song position 0)
};

/** Follows the plug-in's timing through a render without any audio: the same
    block splitting, pre-roll and song positions as renderThroughPlugin, the
    same note-division lengths and cycle rules, tempo adopted at the start of
    each playing block; with Grid Lock on, the same beat grid the plug-in
    follows. Marks are samples of the rendered file (a pre-roll's are dropped). */
SliceMarks traceSlices (juce::int64 totalSamples,
                        int blockSize,
                        double sampleRate,
                        const HostState& initial,
                        const std::vector<ScheduleEvent>& events,
                        const PlaybackStart& start = {});

} // namespace brakkle::render
