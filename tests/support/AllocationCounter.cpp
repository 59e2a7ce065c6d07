// Counts heap allocations made on a thread while it has counting switched on.
// malloc and its relatives are interposed here and forwarded to glibc's own
// implementation, so operator new, JUCE's HeapBlock and everything else that
// reaches the heap is seen.

#include "AllocationCounter.h"

#include <cstddef>

extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);
}

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

    ScopedAllocationCount::ScopedAllocationCount() noexcept   { allocations = 0; counting = true; }
    ScopedAllocationCount::~ScopedAllocationCount()           { counting = false; }
    long ScopedAllocationCount::count() const noexcept        { return allocations; }
}

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
