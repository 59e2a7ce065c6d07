// Counts heap allocations made on a thread while it has counting switched on.
// malloc and its relatives are interposed here and forwarded to glibc's own
// implementation, so operator new, JUCE's HeapBlock and everything else that
// reaches the heap is seen.
//
// Under AddressSanitizer or ThreadSanitizer the sanitizer owns malloc; there
// the count comes from the allocator hook that the sanitizer runtime offers.

#include "AllocationCounter.h"

#include <cstddef>

#if defined (__SANITIZE_ADDRESS__) || defined (__SANITIZE_THREAD__)
 #define BRAKKLE_SANITIZER_OWNS_MALLOC 1
#elif defined (__has_feature)
 #if __has_feature (address_sanitizer) || __has_feature (thread_sanitizer)
  #define BRAKKLE_SANITIZER_OWNS_MALLOC 1
 #endif
#endif

#ifdef BRAKKLE_SANITIZER_OWNS_MALLOC
// Declared here: GCC ships the sanitizer runtimes with this hook but not its header.
extern "C" int __sanitizer_install_malloc_and_free_hooks (void (*) (const volatile void*, size_t),
                                                          void (*) (const volatile void*));
#else

extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);
}
#endif

namespace brakkle::test
{
    namespace
    {
        thread_local bool counting = false;
        thread_local long allocations = 0;

        inline void note() noexcept
        {
            if (counting)
                ++allocations;
        }
    }

   #ifdef BRAKKLE_SANITIZER_OWNS_MALLOC
    namespace
    {
        void onMalloc (const volatile void*, size_t) { note(); }
        void onFree (const volatile void*) {}

        [[maybe_unused]] const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks (onMalloc, onFree);
    }
   #endif

    ScopedAllocationCount::ScopedAllocationCount() noexcept   { allocations = 0; counting = true; }
    ScopedAllocationCount::~ScopedAllocationCount()           { counting = false; }
    long ScopedAllocationCount::count() const noexcept        { return allocations; }
}

#ifndef BRAKKLE_SANITIZER_OWNS_MALLOC
extern "C"
{
    void* malloc (size_t size)
    {
        brakkle::test::note();
        return __libc_malloc (size);
    }

    void* calloc (size_t count, size_t size)
    {
        brakkle::test::note();
        return __libc_calloc (count, size);
    }

    void* realloc (void* pointer, size_t size)
    {
        brakkle::test::note();
        return __libc_realloc (pointer, size);
    }

    void* aligned_alloc (size_t alignment, size_t size)
    {
        brakkle::test::note();
        return __libc_memalign (alignment, size);
    }

    void* memalign (size_t alignment, size_t size)
    {
        brakkle::test::note();
        return __libc_memalign (alignment, size);
    }

    int posix_memalign (void** result, size_t alignment, size_t size)
    {
        brakkle::test::note();
        *result = __libc_memalign (alignment, size);
        return *result != nullptr ? 0 : 12;
    }
}
#endif
