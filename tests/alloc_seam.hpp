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
