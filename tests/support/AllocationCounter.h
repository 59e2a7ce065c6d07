#pragma once

namespace brakkle::test
{

/** While one of these lives, heap allocations on the current thread are counted. */
class ScopedAllocationCount
{
public:
    ScopedAllocationCount() noexcept;
    ~ScopedAllocationCount();

    long count() const noexcept;
};

} // namespace brakkle::test
