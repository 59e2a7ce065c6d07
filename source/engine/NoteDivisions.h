#pragma once

#include <array>

namespace brakkle
{

/** The twenty tempo-synced lengths, from "1/64 T" to "2 BARS". Within each note
    value: triplet (2/3), plain, dotted (3/2). A bar is always four beats. */
inline constexpr int numNoteDivisions = 20;

inline constexpr std::array<const char*, numNoteDivisions> noteDivisionNames {
    "1/64 T", "1/64", "1/64 D",
    "1/32 T", "1/32", "1/32 D",
    "1/16 T", "1/16", "1/16 D",
    "1/8 T",  "1/8",  "1/8 D",
    "1/4 T",  "1/4",  "1/4 D",
    "1/2 T",  "1/2",  "1/2 D",
    "1 BAR",  "2 BARS"
};

/** Lengths in quarter-note beats, each the nearest float to its fraction. */
inline constexpr std::array<float, numNoteDivisions> noteDivisionBeats {
    1.0f / 24.0f, 1.0f / 16.0f, 3.0f / 32.0f,
    1.0f / 12.0f, 1.0f / 8.0f,  3.0f / 16.0f,
    1.0f / 6.0f,  1.0f / 4.0f,  3.0f / 8.0f,
    1.0f / 3.0f,  1.0f / 2.0f,  3.0f / 4.0f,
    2.0f / 3.0f,  1.0f,         3.0f / 2.0f,
    4.0f / 3.0f,  2.0f,         3.0f,
    4.0f,         8.0f
};

/** The same lengths as exact fractions of a quarter note, { numerator,
    denominator }, for arithmetic that must not round a triplet. */
inline constexpr std::array<std::array<int, 2>, numNoteDivisions> noteDivisionFractions {{
    { 1, 24 }, { 1, 16 }, { 3, 32 },
    { 1, 12 }, { 1, 8 },  { 3, 16 },
    { 1, 6 },  { 1, 4 },  { 3, 8 },
    { 1, 3 },  { 1, 2 },  { 3, 4 },
    { 2, 3 },  { 1, 1 },  { 3, 2 },
    { 4, 3 },  { 2, 1 },  { 3, 1 },
    { 4, 1 },  { 8, 1 }
}};

/** Index of "1 BAR"; "2 BARS" follows it. */
inline constexpr int oneBarNoteDivision = 18;

/** Index of the longest division ("2 BARS"). */
inline constexpr int longestNoteDivision = numNoteDivisions - 1;

/** A note-division parameter's value truncated to a valid index (0 for a
    value that is no number or below 0). */
inline int noteIndexOf (float value) noexcept
{
    if (! (value >= 0.0f))
        return 0;
    if (value >= (float) (numNoteDivisions - 1))
        return numNoteDivisions - 1;
    return (int) value;
}

} // namespace brakkle
