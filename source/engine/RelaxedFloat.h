#pragma once

#include <atomic>

namespace brakkle
{

/** A float that one thread writes and another reads without a lock.

    Each read and each write is indivisible; no ordering between different
    values is implied (relaxed). It reads and assigns like a plain float. */
class RelaxedFloat
{
public:
    constexpr RelaxedFloat (float initial = 0.0f) noexcept : value (initial) {}

    RelaxedFloat (const RelaxedFloat&) = delete;
    RelaxedFloat& operator= (const RelaxedFloat&) = delete;

    RelaxedFloat& operator= (float newValue) noexcept
    {
        value.store (newValue, std::memory_order_relaxed);
        return *this;
    }

    operator float() const noexcept { return value.load (std::memory_order_relaxed); }

private:
    std::atomic<float> value;

    static_assert (std::atomic<float>::is_always_lock_free);
};

} // namespace brakkle
