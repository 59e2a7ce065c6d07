#pragma once

#include "Schedule.h"

#include <vector>

namespace brakkle::render
{

/** A cycle whose slice Variation shortened: half or a quarter of the set length. */
struct VariedCycle
{
    juce::int64 sample = 0;
    int division = 1;   // 2 or 4

    bool operator== (const VariedCycle& other) const { return sample == other.sample && division == other.division; }
};

/** A repeat that reads its slice other than as recorded: lower, backwards, or both. */
struct ShapedRepeat
{
    juce::int64 sample = 0;
    float semitones = 0.0f;   // 0 to -48
    bool backwards = false;

    bool operator== (const ShapedRepeat& other) const
    {
        return sample == other.sample && juce::exactlyEqual (semitones, other.semitones) && backwards == other.backwards;
    }
};

/** Where a render's slices begin, for pictures of it. */
struct SliceMarks
{
    std::vector<juce::int64> cycleStarts;    // a fresh slice is recorded (refresh points); a cycle that Grid
                                             // Lock takes up from the kept input is marked where it began
    std::vector<juce::int64> repeatStarts;   // the slice plays again from its start
    std::vector<juce::int64> gateEnds;       // a cycle's gate ends: the input passes until the next cycle
    std::vector<juce::int64> skippedCycles;  // a cycle that chance skips begins: the input passes through it
    std::vector<juce::int64> holdStarts;     // a repeat held by hand (Repeat) starts on its line ...
    std::vector<juce::int64> holdEnds;       // ... and the input returns where it is let go
    std::vector<VariedCycle> variedCycles;   // a cycle with a shorter slice (Variation) begins
    std::vector<ShapedRepeat> shapedRepeats; // a repeat reads its slice lower or backwards (Pitch, Pitch Decay, Reverse)
    std::vector<std::pair<juce::int64, juce::int64>> stopped;   // the input passes [from, to): transport
                                                                // stopped, Grid Lock waiting for a line,
                                                                // the host's position standing still, or a
                                                                // fill passing it (lead-in, after a gate,
                                                                // a skipped cycle)
    std::vector<juce::int64> beats;          // where the song position reaches a beat of the meter (a quarter
                                             // in 4/4, an eighth in 7/8) while the transport plays
    std::vector<juce::int64> bars;           // where it reaches a bar line of the meter ...
    std::vector<int> barNumbers;             // ... and that bar's number in the song (1 at song position 0)
};

/** Follows the plug-in's timing through a render without its audio: the
    plug-in's own engine plays silence with the same parameter values, tempo
    and song positions as renderThroughPlugin gives the plug-in, in the same
    blocks, and marks where its cycles and repeats start. Marks are samples of
    the rendered file (a pre-roll's are dropped). */
SliceMarks traceSlices (juce::int64 totalSamples,
                        int blockSize,
                        double sampleRate,
                        const HostState& initial,
                        const std::vector<ScheduleEvent>& events,
                        const PlaybackStart& start = {});

} // namespace brakkle::render
