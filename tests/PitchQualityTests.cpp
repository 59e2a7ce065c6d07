// How clean a pitched repeat is: a sine read lower through the engine, inside
// its edge fades, against the best-fitting sine (least squares over amplitude,
// phase, offset and frequency). The tone's frequency is 2^(-n/12) times the
// input's, and everything else lies far below the tone.

#include "engine/StutterEngine.h"
#include "support/SineFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <vector>

namespace
{
    constexpr double rate = 44100.0;
    constexpr int length = 11025;   // "1/8" at 120 BPM
    constexpr int fade = 441;
    constexpr int reach = 16;

    /** The first repeat of a sine at `hz`, read `semitones` lower, inside its fades. */
    std::vector<double> firstRepeat (double hz, float semitones)
    {
        StutterEngine engine;
        engine.prepare ({ rate, 512, 1 });
        engine.stutterTimeBpm = 10.0f;   // "1/8"
        engine.refreshTimeBpm = 18.0f;   // "1 BAR"
        engine.pitch = semitones;

        std::vector<double> out;
        juce::AudioBuffer<float> block (1, 512);
        for (int start = 0; start < 2 * length; start += 512)
        {
            for (int i = 0; i < 512; ++i)
                block.setSample (0, i, (float) (0.5 * std::sin (2.0 * juce::MathConstants<double>::pi * hz * (start + i) / rate)));
            engine.process (block, 120.0f, true);
            for (int i = 0; i < 512; ++i)
                out.push_back (block.getSample (0, i));
        }
        return { out.begin() + length + fade + reach, out.begin() + 2 * length - fade - reach };
    }
}

TEST (PitchQuality, APitchedSineIsItsToneAndLittleElse)
{
    for (const double hz : { 1000.0, 8000.0 })
        for (const float semitones : { -1.0f, -12.0f, -24.0f })
        {
            const double expected = hz * std::pow (2.0, semitones / 12.0);
            const auto fit = brakkle::test::fitSine (firstRepeat (hz, semitones), expected, rate);
            const double error = fit.hz / expected - 1.0;
            std::cout << "  " << hz << " Hz at " << semitones << " st: frequency error " << error * 100.0
                      << " %, everything else " << fit.residualDb << " dB" << std::endl;
            EXPECT_LT (std::abs (error), 1.0e-5) << hz << " Hz at " << semitones << " st";
            EXPECT_LT (fit.residualDb, -80.0) << hz << " Hz at " << semitones << " st";
        }
}
