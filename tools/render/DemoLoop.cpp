#include "DemoLoop.h"

#include <cmath>

namespace brakkle::render
{

namespace
{
    constexpr double twoPi = juce::MathConstants<double>::twoPi;

    struct Voice
    {
        double start;      // seconds
        int kind;          // 0 kick, 1 snare, 2 hat, 3 bass
        double pitch;      // Hz (bass)
    };

    double kick (double t)
    {
        const double frequency = 45.0 + 110.0 * std::exp (-t * 30.0);
        const double phase = twoPi * (45.0 * t + 110.0 * (1.0 - std::exp (-t * 30.0)) / 30.0);
        juce::ignoreUnused (frequency);
        return 0.9 * std::sin (phase) * std::exp (-t * 7.0);
    }

    double snare (double t, double noise)
    {
        return 0.35 * std::sin (twoPi * 190.0 * t) * std::exp (-t * 25.0) + 0.45 * noise * std::exp (-t * 14.0);
    }

    double hat (double t, double noise)
    {
        return 0.18 * noise * std::exp (-t * 60.0);
    }

    double bass (double t, double pitch)
    {
        const double tone = std::sin (twoPi * pitch * t) + 0.35 * std::sin (twoPi * 2.0 * pitch * t + 0.3)
                          + 0.2 * std::sin (twoPi * 3.0 * pitch * t + 0.7);
        return 0.22 * tone * std::exp (-t * 3.0) * std::min (1.0, t * 200.0);
    }
}

juce::AudioBuffer<float> makeDemoLoop (double sampleRate, double bpm, int bars)
{
    const double beat = 60.0 / bpm;
    const int beats = bars * 4;
    const int numSamples = (int) std::ceil (beats * beat * sampleRate);
    juce::AudioBuffer<float> loop (2, numSamples);
    loop.clear();

    static constexpr double bassLine[] = { 55.0, 55.0, 65.41, 49.0, 55.0, 73.42, 65.41, 49.0 };

    std::vector<Voice> voices;
    for (int b = 0; b < beats; ++b)
    {
        const double t = b * beat;
        if (b % 4 == 0 || b % 4 == 2 || (b % 8 == 7))
            voices.push_back ({ t, 0, 0.0 });
        if (b % 4 == 1 || b % 4 == 3)
            voices.push_back ({ t, 1, 0.0 });
        voices.push_back ({ t, 2, 0.0 });
        voices.push_back ({ t + beat * 0.5, 2, 0.0 });
        voices.push_back ({ t + beat * 0.5, 3, bassLine[b % 8] });
    }

    juce::Random random (20261210);
    std::vector<float> noise ((size_t) numSamples);
    for (auto& n : noise)
        n = random.nextFloat() * 2.0f - 1.0f;

    for (const auto& voice : voices)
    {
        const int first = (int) (voice.start * sampleRate);
        const int length = juce::jmin (numSamples - first, (int) (sampleRate * (voice.kind == 3 ? 0.45 : 0.6)));
        const float pan = voice.kind == 2 ? 0.35f : (voice.kind == 1 ? -0.1f : 0.0f);

        for (int i = 0; i < length; ++i)
        {
            const double t = i / sampleRate;
            const double n = noise[(size_t) (first + i)];
            double s = 0.0;
            switch (voice.kind)
            {
                case 0: s = kick (t); break;
                case 1: s = snare (t, n); break;
                case 2: s = hat (t, n - (i > 0 ? noise[(size_t) (first + i - 1)] : 0.0f)); break;
                default: s = bass (t, voice.pitch); break;
            }
            loop.addSample (0, first + i, (float) s * (1.0f - pan));
            loop.addSample (1, first + i, (float) s * (1.0f + pan));
        }
    }

    loop.applyGain (0.7f);
    return loop;
}

} // namespace brakkle::render
