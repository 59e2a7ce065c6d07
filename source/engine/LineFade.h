#pragma once

#include <limits>

namespace brakkle
{

/** The fade of a held repeat that a line of the grid cuts short (the line
    comes before the slice has played to its end): it falls to silence on the
    line, as a repeat falls to silence at its slice's end, so that the next
    repeat starts there from nothing. Counts are the player's samples since
    its cycle started.

    A line known well ahead fades over the whole fade length before it; one
    that comes nearer than that (a tempo that rose, a jump), or that moves
    while the fade is under way, fades from where the gain stands now, so the
    gain never steps. Plain values, no allocation. */
class LineFade
{
public:
    /** No line cuts the repeat: unity gain. */
    void clear() noexcept { active = false; }

    bool isActive() const noexcept { return active; }

    /** The line falls at count `line`; the fade lasts `length` samples, or
        what is left of them at count `now`. */
    void aimAt (int line, int now, int length) noexcept
    {
        const int start = line - length;

        if (now > start)
        {
            fromGain = gainAt (now);
            fromCount = now;
        }
        else
        {
            fromGain = 1.0f;
            fromCount = start;
        }

        lineCount = line;
        active = true;
    }

    /** The gain at a count: 1 before the fade, 0 from the line on. */
    float gainAt (int count) const noexcept
    {
        if (! active || count < fromCount)
            return 1.0f;

        if (count >= lineCount)
            return 0.0f;

        return fromGain * (float) (lineCount - count) / (float) (lineCount - fromCount);
    }

    /** The first count whose gain may be below 1. */
    int fadeStart() const noexcept { return active ? fromCount : std::numeric_limits<int>::max(); }

    /** The counts moved back by `samples` (the player's count stepped back). */
    void shift (int samples) noexcept
    {
        fromCount -= samples;
        lineCount -= samples;
    }

private:
    int fromCount = 0;
    int lineCount = 0;
    float fromGain = 1.0f;
    bool active = false;
};

} // namespace brakkle
