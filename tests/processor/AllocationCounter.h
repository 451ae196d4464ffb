#pragma once

namespace korvel::test
{
// Counts heap allocations and releases made on the calling thread while an instance is
// alive. The whole test program's global allocation functions report to it; outside such a
// scope, and on every other thread, nothing is counted.
class ScopedAllocationCounter
{
public:
    ScopedAllocationCounter() noexcept;
    ~ScopedAllocationCounter();

    ScopedAllocationCounter (const ScopedAllocationCounter&) = delete;
    ScopedAllocationCounter& operator= (const ScopedAllocationCounter&) = delete;

    int getAllocations() const noexcept;
    int getReleases() const noexcept;

    // False in sanitizer builds, whose allocator keeps malloc and free to itself.
    static bool countsMalloc() noexcept;
};
} // namespace korvel::test
