#include "StutterEngine.h"

namespace
{
    std::array<juce::String, brakkle::numNoteDivisions> makeNoteNames()
    {
        std::array<juce::String, brakkle::numNoteDivisions> names;
        for (size_t i = 0; i < names.size(); ++i)
            names[i] = brakkle::noteDivisionNames[i];
        return names;
    }
}

StutterEngine::StutterEngine()
    : noteNames (makeNoteNames()),
      noteBeats (brakkle::noteDivisionBeats),
      player (brakkle::ToneControls { filterFreq, filterMix, fadeVol, fadeMix, stereoWidth, stereoMix })
{
}

void StutterEngine::prepare (const juce::dsp::ProcessSpec& spec)
{
    timing.prepare (spec.sampleRate);
    button.prepare (spec.sampleRate);
    player.prepare (spec, timing.longestSliceToReserve());
}

int StutterEngine::durationInSamples (float sync, float noteIndex, float freeTimeMs) const noexcept
{
    return timing.durationInSamples (sync, noteIndex, freeTimeMs);
}

brakkle::TimingSettings StutterEngine::timingSettings() const noexcept
{
    brakkle::TimingSettings s;
    s.stutterSync = stutterSync;
    s.stutterTimeBpm = stutterTimeBpm;
    s.stutterTimeFree = stutterTimeFree;
    s.refreshSync = refreshSync;
    s.refreshTimeBpm = refreshTimeBpm;
    s.refreshTimeFree = refreshTimeFree;
    s.gridLock = gridLock > 0.5f;
    s.fills = brakkle::FillSettings::fromValues (fillOffset, fillGate, fillChance, fillSeed);
    s.variation = brakkle::CycleVariation::fromValue (variation);
    return s;
}

//==============================================================================
void StutterEngine::process (juce::AudioBuffer<float>& buffer, float hostBpm, bool isPlaying) noexcept
{
    process (buffer, hostBpm, isPlaying, nullptr);
}

void StutterEngine::process (juce::AudioBuffer<float>& buffer, float hostBpm, bool isPlaying,
                             const brakkle::MusicalPosition* position) noexcept
{
    player.clearMarks();

    if (! isPlaying)
    {
        // The audio passes untouched, once what was playing has faded into it.
        player.fadeOutAtStop (buffer);
        player.prime (timing.stop (timingSettings()));
        button.stop();
        return;
    }

    const auto settings = timingSettings();
    brakkle::BlockReport report { buffer.getNumSamples(), hostBpm, position, {} };

    // The input is kept, for cycles a jump takes up and for crossfades.
    player.beginBlock (buffer);
    report.kept = player.keptInput();

    // The timing plans the block, part by part; the player plays each part.
    // A repeat held by hand plays its own plan instead, while the cycles'
    // clock goes on underneath, unheard.
    timing.beginBlock (report, settings, plan);
    player.setShape (brakkle::RepeatShape::fromValues (pitch, pitchDecay, reverse));
    button.beginBlock (repeatHold > 0.5f, timing, player.recentInputKept(), buffer.getNumSamples(), heldPlan);
    const bool held = button.ownsBlock();

    if (heldPlan.count > 0 || held)
        player.play (buffer, heldPlan);

    for (;;)
    {
        const bool reachedEnd = timing.planMore (plan);
        if (! held)
            player.play (buffer, plan);

        if (reachedEnd)
            break;

        plan.restartAt (plan.end);
    }

    player.endBlock (buffer);
    timing.endBlock();
}

void StutterEngine::stop() noexcept
{
    button.stop();
    player.stop (timing.stop (timingSettings()));
}
