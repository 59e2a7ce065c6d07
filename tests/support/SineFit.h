#pragma once

// The best-fitting sine to a stretch of output (least squares over amplitude,
// phase, offset and frequency), and how far below it everything else lies.

#include <juce_core/juce_core.h>

#include <cmath>
#include <utility>
#include <vector>

namespace brakkle::test
{

struct Fit
{
    double hz = 0.0;
    double residualDb = 0.0;   // everything but the tone, relative to it (RMS)
};

/** Residual energy and tone energy of the best a*cos + b*sin + c at `w` radians per sample. */
inline std::pair<double, double> residualAt (const std::vector<double>& y, double w)
{
    double m[3][3] {}, v[3] {};
    for (size_t n = 0; n < y.size(); ++n)
    {
        const double basis[3] { std::cos (w * (double) n), std::sin (w * (double) n), 1.0 };
        for (int i = 0; i < 3; ++i)
        {
            v[i] += basis[i] * y[n];
            for (int j = 0; j < 3; ++j)
                m[i][j] += basis[i] * basis[j];
        }
    }
    // Cramer's rule for the 3x3 normal equations.
    const auto det = [] (const double a[3][3])
    {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
             + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double d = det (m);
    double coefficients[3];
    for (int k = 0; k < 3; ++k)
    {
        double mk[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                mk[i][j] = j == k ? v[i] : m[i][j];
        coefficients[k] = det (mk) / d;
    }
    double residual = 0.0, tone = 0.0;
    for (size_t n = 0; n < y.size(); ++n)
    {
        const double t = coefficients[0] * std::cos (w * (double) n) + coefficients[1] * std::sin (w * (double) n);
        tone += t * t;
        const double r = y[n] - t - coefficients[2];
        residual += r * r;
    }
    return { residual, tone };
}

inline Fit fitSine (const std::vector<double>& y, double guessHz, double rate)
{
    // A scan within 0.5 % of the guess, in steps finer than the fit's lobes
    // (rate / samples wide), then a golden-section search around the best.
    const auto cost = [&] (double hz) { return residualAt (y, 2.0 * juce::MathConstants<double>::pi * hz / rate).first; };
    const double scanStep = 0.1 * rate / (double) y.size();
    double best = guessHz, bestCost = cost (guessHz);
    for (double hz = guessHz * 0.995; hz <= guessHz * 1.005; hz += scanStep)
        if (const double c = cost (hz); c < bestCost)
        {
            best = hz;
            bestCost = c;
        }
    double lo = best - scanStep, hi = best + scanStep;
    const double g = (std::sqrt (5.0) - 1.0) / 2.0;
    double a = hi - g * (hi - lo), b = lo + g * (hi - lo), fa = cost (a), fb = cost (b);
    for (int i = 0; i < 60; ++i)
    {
        if (fa < fb) { hi = b; b = a; fb = fa; a = hi - g * (hi - lo); fa = cost (a); }
        else         { lo = a; a = b; fa = fb; b = lo + g * (hi - lo); fb = cost (b); }
    }
    Fit fit;
    fit.hz = 0.5 * (lo + hi);
    const auto [residual, tone] = residualAt (y, 2.0 * juce::MathConstants<double>::pi * fit.hz / rate);
    fit.residualDb = 10.0 * std::log10 (residual / tone);
    return fit;
}

} // namespace brakkle::test
