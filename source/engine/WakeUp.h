#pragma once

#include <atomic>
#include <cstdint>

namespace brakkle
{

/** Lets a helper thread sleep until another thread, the audio thread among
    them, has work for it. Asking takes no lock and allocates nothing: one
    atomic exchange, and a call into the system to wake the sleeper only when
    it was not asked already. A sleeping helper costs no wake-ups at all.

    One thread waits; any number may ask. Asks that come while the helper is
    awake are not lost: its next wait returns at once (several asks before a
    wait count as one). */
class WakeUp
{
public:
    WakeUp();
    ~WakeUp();

    /** Any thread, audio thread included: the waiting thread wakes (or, if it
        is awake, its next wait returns at once). */
    void ask() noexcept;

    /** The helper: returns once asked since the last return. */
    void waitUntilAsked() noexcept;

    WakeUp (const WakeUp&) = delete;
    WakeUp& operator= (const WakeUp&) = delete;

private:
    std::atomic<std::uint32_t> asked { 0 };   // 1: asked since the helper last woke

   #if defined (__APPLE__)
    void* semaphore = nullptr;   // a dispatch semaphore: signalled once per ask that found none pending
   #endif
};

} // namespace brakkle
