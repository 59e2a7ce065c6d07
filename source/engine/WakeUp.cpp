#include "WakeUp.h"

#if defined (__linux__)
 #include <linux/futex.h>
 #include <sys/syscall.h>
 #include <unistd.h>
#elif defined (__APPLE__)
 #include <dispatch/dispatch.h>
#elif defined (_WIN32)
 #include <windows.h>
 #if defined (_MSC_VER)
  #pragma comment (lib, "Synchronization.lib")
 #endif
#else
 #include <chrono>
 #include <thread>
#endif

namespace brakkle
{

static_assert (sizeof (std::atomic<std::uint32_t>) == sizeof (std::uint32_t)
                   && std::atomic<std::uint32_t>::is_always_lock_free,
               "the flag is waited on as a plain 32-bit word");

namespace
{
   #if defined (__linux__)
    // The kernel sleeps on the flag's own word: a wake finds the sleeper
    // there, and a wait returns at once if the word is no longer 0.
    void* wordOf (std::atomic<std::uint32_t>& flag) noexcept { return &flag; }

    void wake (std::atomic<std::uint32_t>& flag) noexcept
    {
        syscall (SYS_futex, wordOf (flag), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
    }

    void sleepWhileZero (std::atomic<std::uint32_t>& flag) noexcept
    {
        syscall (SYS_futex, wordOf (flag), FUTEX_WAIT_PRIVATE, 0u, nullptr, nullptr, 0);
    }
   #endif
}

#if defined (__APPLE__)
WakeUp::WakeUp() : semaphore (dispatch_semaphore_create (0)) {}
WakeUp::~WakeUp() { dispatch_release ((dispatch_semaphore_t) semaphore); }
#else
WakeUp::WakeUp() = default;
WakeUp::~WakeUp() = default;
#endif

void WakeUp::ask() noexcept
{
    // Release: what the asking thread wrote before asking is seen by the helper it wakes.
    if (asked.exchange (1, std::memory_order_acq_rel) != 0)
        return;   // asked already, and not yet woken for it

   #if defined (__linux__)
    wake (asked);
   #elif defined (__APPLE__)
    dispatch_semaphore_signal ((dispatch_semaphore_t) semaphore);
   #elif defined (_WIN32)
    WakeByAddressSingle (&asked);
   #endif
}

void WakeUp::waitUntilAsked() noexcept
{
    // Each pass takes the flag down; it was up if an ask came since the last return.
    while (asked.exchange (0, std::memory_order_acq_rel) == 0)
    {
       #if defined (__linux__)
        sleepWhileZero (asked);
       #elif defined (__APPLE__)
        dispatch_semaphore_wait ((dispatch_semaphore_t) semaphore, DISPATCH_TIME_FOREVER);
       #elif defined (_WIN32)
        std::uint32_t zero = 0;
        WaitOnAddress (&asked, &zero, sizeof (zero), INFINITE);
       #else
        // No way to sleep on a word here: look now and then.
        std::this_thread::sleep_for (std::chrono::milliseconds (15));
       #endif
    }
}

} // namespace brakkle
