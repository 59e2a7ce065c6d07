#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cstdint>
#include <vector>

namespace brakkle
{

/** Values that depend only on a position within the slice and on a few
    settings: kept per position while the settings stay the same, so that a
    slice repeating with unchanged settings computes each of them once.

    Storage is made by reserve() (not on the audio thread); positions beyond it
    are simply never kept. A change of the settings forgets everything at once. */
template <typename Value>
class PositionCache
{
public:
    using Key = std::array<float, 4>;

    void reserve (int positions)
    {
        values.assign ((size_t) juce::jmax (0, positions), Value {});
        stamps.assign (values.size(), 0);
        generation = 1;
        key.fill (std::numeric_limits<float>::quiet_NaN());   // matches nothing
    }

    /** The settings the values are computed from. */
    void setKey (const Key& newKey) noexcept
    {
        for (size_t i = 0; i < key.size(); ++i)
        {
            if (! juce::exactlyEqual (key[i], newKey[i]))
            {
                key = newKey;
                forgetAll();
                return;
            }
        }
    }

    /** The value kept for this position, or null. */
    const Value* find (int position) const noexcept
    {
        return isPositiveAndBelow (position) && stamps[(size_t) position] == generation ? &values[(size_t) position] : nullptr;
    }

    void store (int position, const Value& value) noexcept
    {
        if (isPositiveAndBelow (position))
        {
            values[(size_t) position] = value;
            stamps[(size_t) position] = generation;
        }
    }

private:
    bool isPositiveAndBelow (int position) const noexcept
    {
        return juce::isPositiveAndBelow (position, (int) values.size());
    }

    void forgetAll() noexcept
    {
        if (++generation == 0)   // after four billion changes: start the stamps afresh
        {
            std::fill (stamps.begin(), stamps.end(), 0u);
            generation = 1;
        }
    }

    std::vector<Value> values;
    std::vector<std::uint32_t> stamps;
    std::uint32_t generation = 1;
    Key key {};
};

} // namespace brakkle
