#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

// The framework's buffers and heap blocks call malloc directly, so with glibc the C
// allocation functions are replaced too and forwarded to glibc's own entry points. The
// sanitizers bring their own allocator, and there only operator new and delete are counted.
#if defined (__SANITIZE_ADDRESS__) || defined (__SANITIZE_THREAD__)
 #define KORVEL_COUNT_C_ALLOCATIONS 0
#elif defined (__has_feature)
 #if __has_feature (address_sanitizer) || __has_feature (thread_sanitizer) || __has_feature (memory_sanitizer)
  #define KORVEL_COUNT_C_ALLOCATIONS 0
 #endif
#endif

#if ! defined (KORVEL_COUNT_C_ALLOCATIONS) && defined (__GLIBC__)
 #define KORVEL_COUNT_C_ALLOCATIONS 1
#endif

#ifndef KORVEL_COUNT_C_ALLOCATIONS
 #define KORVEL_COUNT_C_ALLOCATIONS 0
#endif

#if KORVEL_COUNT_C_ALLOCATIONS
 #include <cerrno>
 #include <malloc.h>

extern "C"
{
    void* __libc_malloc (std::size_t size);
    void* __libc_calloc (std::size_t count, std::size_t size);
    void* __libc_realloc (void* pointer, std::size_t size);
    void* __libc_memalign (std::size_t alignment, std::size_t size);
    void __libc_free (void* pointer);
}
#endif

namespace
{
// Constant-initialised, so reading it never allocates, even before main.
thread_local bool counting = false;
thread_local int allocations = 0;
thread_local int releases = 0;

void noteAllocation() noexcept
{
    if (counting)
        ++allocations;
}

void noteRelease (void* pointer) noexcept
{
    if (counting && pointer != nullptr)
        ++releases;
}

void* rawAllocate (std::size_t size) noexcept
{
   #if KORVEL_COUNT_C_ALLOCATIONS
    return __libc_malloc (size);
   #else
    return std::malloc (size);
   #endif
}

void* rawAllocateAligned (std::size_t size, std::size_t alignment) noexcept
{
   #if KORVEL_COUNT_C_ALLOCATIONS
    return __libc_memalign (alignment, size);
   #else
    const auto roundedSize = (size + alignment - 1) / alignment * alignment;
    return std::aligned_alloc (alignment, roundedSize);
   #endif
}

void rawRelease (void* pointer) noexcept
{
   #if KORVEL_COUNT_C_ALLOCATIONS
    __libc_free (pointer);
   #else
    std::free (pointer);
   #endif
}

void* allocateOrThrow (std::size_t size)
{
    noteAllocation();

    if (auto* pointer = rawAllocate (size == 0 ? 1 : size))
        return pointer;

    throw std::bad_alloc();
}

void* allocateAlignedOrThrow (std::size_t size, std::align_val_t alignment)
{
    noteAllocation();

    if (auto* pointer = rawAllocateAligned (size == 0 ? 1 : size, static_cast<std::size_t> (alignment)))
        return pointer;

    throw std::bad_alloc();
}

void release (void* pointer) noexcept
{
    noteRelease (pointer);
    rawRelease (pointer);
}
} // namespace

namespace korvel::test
{
ScopedAllocationCounter::ScopedAllocationCounter() noexcept
{
    allocations = 0;
    releases = 0;
    counting = true;
}

ScopedAllocationCounter::~ScopedAllocationCounter()
{
    counting = false;
}

int ScopedAllocationCounter::getAllocations() const noexcept { return allocations; }
int ScopedAllocationCounter::getReleases() const noexcept    { return releases; }
bool ScopedAllocationCounter::countsMalloc() noexcept         { return KORVEL_COUNT_C_ALLOCATIONS != 0; }
} // namespace korvel::test

void* operator new (std::size_t size)                                   { return allocateOrThrow (size); }
void* operator new[] (std::size_t size)                                 { return allocateOrThrow (size); }
void* operator new (std::size_t size, std::align_val_t alignment)       { return allocateAlignedOrThrow (size, alignment); }
void* operator new[] (std::size_t size, std::align_val_t alignment)     { return allocateAlignedOrThrow (size, alignment); }

void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    noteAllocation();
    return rawAllocate (size == 0 ? 1 : size);
}

void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    noteAllocation();
    return rawAllocate (size == 0 ? 1 : size);
}

void* operator new (std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    noteAllocation();
    return rawAllocateAligned (size == 0 ? 1 : size, static_cast<std::size_t> (alignment));
}

void* operator new[] (std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    noteAllocation();
    return rawAllocateAligned (size == 0 ? 1 : size, static_cast<std::size_t> (alignment));
}

void operator delete (void* pointer) noexcept                                                  { release (pointer); }
void operator delete[] (void* pointer) noexcept                                                { release (pointer); }
void operator delete (void* pointer, std::align_val_t) noexcept                                { release (pointer); }
void operator delete[] (void* pointer, std::align_val_t) noexcept                              { release (pointer); }
void operator delete (void* pointer, const std::nothrow_t&) noexcept                           { release (pointer); }
void operator delete[] (void* pointer, const std::nothrow_t&) noexcept                         { release (pointer); }
void operator delete (void* pointer, std::align_val_t, const std::nothrow_t&) noexcept         { release (pointer); }
void operator delete[] (void* pointer, std::align_val_t, const std::nothrow_t&) noexcept       { release (pointer); }

// Only compilers that pass sizes to delete (GCC does by default) declare these forms.
#if __cpp_sized_deallocation
void operator delete (void* pointer, std::size_t) noexcept                                     { release (pointer); }
void operator delete[] (void* pointer, std::size_t) noexcept                                   { release (pointer); }
void operator delete (void* pointer, std::size_t, std::align_val_t) noexcept                   { release (pointer); }
void operator delete[] (void* pointer, std::size_t, std::align_val_t) noexcept                 { release (pointer); }
#endif

#if KORVEL_COUNT_C_ALLOCATIONS
extern "C"
{
void* malloc (std::size_t size) noexcept
{
    noteAllocation();
    return __libc_malloc (size);
}

void* calloc (std::size_t count, std::size_t size) noexcept
{
    noteAllocation();
    return __libc_calloc (count, size);
}

void* realloc (void* pointer, std::size_t size) noexcept
{
    noteAllocation();
    return __libc_realloc (pointer, size);
}

void* aligned_alloc (std::size_t alignment, std::size_t size) noexcept
{
    noteAllocation();
    return __libc_memalign (alignment, size);
}

void* memalign (std::size_t alignment, std::size_t size) noexcept
{
    noteAllocation();
    return __libc_memalign (alignment, size);
}

int posix_memalign (void** result, std::size_t alignment, std::size_t size) noexcept
{
    const auto isPowerOfTwo = alignment != 0 && (alignment & (alignment - 1)) == 0;

    if (! isPowerOfTwo || alignment % sizeof (void*) != 0)
        return EINVAL;

    noteAllocation();
    auto* pointer = __libc_memalign (alignment, size);

    if (pointer == nullptr)
        return ENOMEM;

    *result = pointer;
    return 0;
}

void free (void* pointer) noexcept
{
    release (pointer);
}
}
#endif
