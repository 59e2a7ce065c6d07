// brakkle-render's marks for shaped repeats: every varied cycle with its
// slice's share, every pitched or reversed repeat with its pitch and direction,
// where the plug-in's own timing puts them.

#include "Schedule.h"
#include "SliceMarks.h"

#include <gtest/gtest.h>

using namespace brakkle::render;

namespace
{
    SliceMarks traceWith (const char* schedule, juce::int64 total)
    {
        std::vector<ScheduleEvent> events;
        EXPECT_EQ (parseSchedule (schedule, 44100.0, 120.0, events), juce::String());
        HostState initial;
        initial.values = defaultParameterValues();
        return traceSlices (total, 512, 44100.0, initial, events);
    }
}

TEST (RenderShape, MarksEachRepeatsPitchAndDirection)
{
    // "1/8" slices (11025 samples) in "1 BAR" cycles (88200), free-running:
    // repeat k of each bar at pitch -12 - 0.5 (k - 1), backwards on odd k.
    const auto marks = traceWith ("0 stutterTimeBpm=1/8\n0 refreshTimeBpm=1 BAR\n0 pitch=-12 st\n"
                                  "0 pitchDecay=50 %\n0 reverse=Alternate", 2 * 88200);
    std::vector<ShapedRepeat> expected;
    for (juce::int64 bar = 0; bar < 2; ++bar)
        for (int k = 1; k < 8; ++k)
            expected.push_back ({ bar * 88200 + k * 11025, -12.0f - 0.5f * (float) (k - 1), k % 2 == 1 });

    EXPECT_EQ (marks.shapedRepeats, expected);
    EXPECT_TRUE (marks.variedCycles.empty());
}

TEST (RenderShape, MarksVariedCyclesWithTheirSlicesShare)
{
    // Every cycle varies: its first repeat comes a half or a quarter of 11025 samples after its start.
    const auto marks = traceWith ("0 stutterTimeBpm=1/8\n0 refreshTimeBpm=1/2\n0 variation=100 %", 16 * 44100);
    ASSERT_EQ (marks.variedCycles.size(), marks.cycleStarts.size());
    int halves = 0;

    for (size_t i = 0; i < marks.variedCycles.size(); ++i)
    {
        const auto& varied = marks.variedCycles[i];
        EXPECT_EQ (varied.sample, marks.cycleStarts[i]);
        ASSERT_TRUE (varied.division == 2 || varied.division == 4) << varied.division;
        halves += varied.division == 2 ? 1 : 0;

        const auto next = std::upper_bound (marks.repeatStarts.begin(), marks.repeatStarts.end(), varied.sample);
        ASSERT_NE (next, marks.repeatStarts.end());
        EXPECT_EQ (*next - varied.sample, 11025 / varied.division) << "cycle at " << varied.sample;
    }

    EXPECT_GT (halves, 0);
    EXPECT_LT (halves, (int) marks.variedCycles.size());
    EXPECT_TRUE (marks.shapedRepeats.empty());
}
