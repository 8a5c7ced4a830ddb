// Page-sized blocks, in mappings of their own.
//
// A run holds two or three page-sized buffers at a time and a crowd of small
// ones.  In the common heap, small blocks settle in the hole a freed page
// leaves, so that the next page no longer fits there and the heap grows: the
// peak then depends on the order of allocations (on a 26 MB page, 64 MB in
// one run, 86 or 100 MB in others).  A mapping of its own keeps each page
// apart: the peak is the pages alive plus the small blocks.
//
// Each mapping is aligned on huge pages and advised to take them, so that it
// is not faulted in 4 KB at a time (on a virtual machine each such fault
// costs some 15 us).  A freed mapping is kept for the next block it can hold,
// since fresh memory is zeroed by the system, and given back as soon as a
// block it cannot hold is asked for, so that what is kept never adds to a
// peak.  Under the address sanitizer every block stays in the heap, where
// reads past its end are caught.
#pragma once

#include <cstddef>

// From this size on, blocks are mapped.
constexpr size_t kLargeBlockBytes = size_t(4) << 20;

// A block of at least `bytes` bytes, or null (no message).
void* AllocLargeBlock(size_t bytes);
// Frees the block when it came from AllocLargeBlock: 1, or 0 for any other.
int FreeLargeBlock(void* block);
