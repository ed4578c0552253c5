// A seam in the test program's allocator: the allocation numbered k from
// now (counting from 0) fails with std::bad_alloc, once; the ones after it
// succeed, as when one large block cannot be had.
#pragma once

// fail_allocation -- arm the seam for allocation k; -1 disarms it
void fail_allocation(long k);

// allocation_failed -- whether the armed allocation has come and failed
bool allocation_failed();

// allocation_seam_works -- false where a sanitizer's allocator stands in
// for the test program's own
bool allocation_seam_works();

// While an AllocationPause lives, the allocations of its thread are not
// counted and never fail: for a test's own machinery (an in-memory file
// system) that the code under test calls, so that the seam reaches only
// that code's allocations. Pauses nest.
class AllocationPause {
public:
    AllocationPause() { ++depth; }
    ~AllocationPause() { --depth; }
    AllocationPause(const AllocationPause&) = delete;
    AllocationPause& operator=(const AllocationPause&) = delete;
    // Per thread: a thread the code under test starts counts on while another is paused.
    static thread_local int depth;
};
