#pragma once

#include <cstdint>
#include <numeric>

namespace brakkle::test
{

/** An exact rational number. */
struct Exact
{
    std::int64_t num = 0, den = 1;

    Exact (std::int64_t n = 0, std::int64_t d = 1) : num (n), den (d)
    {
        if (den < 0) { num = -num; den = -den; }
        const auto g = std::gcd (num < 0 ? -num : num, den);
        if (g > 1) { num /= g; den /= g; }
    }

    friend Exact operator+ (Exact a, Exact b) { return { a.num * b.den + b.num * a.den, a.den * b.den }; }
    friend Exact operator- (Exact a, Exact b) { return { a.num * b.den - b.num * a.den, a.den * b.den }; }
    friend Exact operator* (Exact a, Exact b) { return { a.num * b.num, a.den * b.den }; }
    friend Exact operator/ (Exact a, Exact b) { return { a.num * b.den, a.den * b.num }; }
    friend bool operator< (Exact a, Exact b) { return a.num * b.den < b.num * a.den; }
    friend bool operator<= (Exact a, Exact b) { return ! (b < a); }

    std::int64_t ceil() const { return num >= 0 ? (num + den - 1) / den : -((-num) / den); }
    double toDouble() const { return (double) num / (double) den; }
};

} // namespace brakkle::test
