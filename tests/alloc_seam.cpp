#include "alloc_seam.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BNDTOOLS_SANITIZED_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define BNDTOOLS_SANITIZED_ALLOCATOR 1
#endif

namespace {

std::atomic<long> g_left{-1};  // allocations to go before the one that fails; -1 for none
std::atomic<bool> g_failed{false};

}  // namespace

thread_local int AllocationPause::depth = 0;

void fail_allocation(long k)
{
    g_failed = false;
    g_left = k;
}

bool allocation_failed()
{
    return g_failed;
}

bool allocation_seam_works()
{
#ifdef BNDTOOLS_SANITIZED_ALLOCATOR
    return false;
#else
    return true;
#endif
}

#ifndef BNDTOOLS_SANITIZED_ALLOCATOR
// The replaceable allocation functions: every other form of new and
// delete (arrays, nothrow) calls these.
void* operator new(std::size_t n)
{
    if (long left = g_left.load(); left >= 0 && AllocationPause::depth == 0) {
        g_left = left - 1;
        if (left == 0) {
            g_failed = true;
            throw std::bad_alloc();
        }
    }
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
#endif
