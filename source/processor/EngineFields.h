#pragma once

#include "ParameterIds.h"
#include "engine/StutterEngine.h"

#include <array>

/** The engine field that mirrors each parameter, in the parameter table's order:
    where the processor (and anything that drives an engine as it does) writes
    each parameter's plain value. */
inline std::array<brakkle::RelaxedFloat*, parameterTable.size()> engineFields (StutterEngine& e)
{
    return { &e.stutterTimeFree, &e.stutterTimeBpm, &e.stutterSync,
             &e.refreshTimeFree, &e.refreshTimeBpm, &e.refreshSync,
             &e.input, &e.mix, &e.output,
             &e.filterFreq, &e.filterMix, &e.fadeVol, &e.fadeMix,
             &e.stereoWidth, &e.stereoMix,
             &e.gridLock,
             &e.fillOffset, &e.fillGate, &e.fillChance, &e.fillSeed,
             &e.repeatHold,
             &e.variation, &e.pitch, &e.pitchDecay, &e.reverse };
}
