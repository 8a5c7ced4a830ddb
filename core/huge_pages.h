// Huge pages for full-size image buffers.
//
// A new 26 MB page buffer is otherwise faulted in 4 KB at a time when it is
// first written, thousands of faults that cost a large part of a run.  The
// advice is given before the first write; it changes no byte, and nothing
// happens where it is not supported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/support.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

inline void AdviseHugePages(void* buffer, uint64_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    if (buffer == nullptr || bytes < 2 * kHuge) return;
    // Whole huge pages inside the buffer only: its first and last pages may
    // hold other blocks.
    uintptr_t first = (uintptr_t(buffer) + kHuge - 1) & ~(kHuge - 1);
    uintptr_t end = (uintptr_t(buffer) + uintptr_t(bytes)) & ~(kHuge - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)buffer;
    (void)bytes;
#endif
}

// A block for a page-sized buffer: from 1 MB on, aligned on and rounded up
// to whole huge pages and advised, so that none of it is faulted in 4 KB at
// a time.  The rounding is address space until written, and at most one
// huge page of memory after.  Freed
// with FreeMemory as any block; null after "Not enough memory\n".
inline void* AllocPageBuffer(size_t bytes)
{
    constexpr size_t kHuge = size_t(2) << 20;
    if (bytes < kHuge / 2 || bytes > SIZE_MAX - kHuge) return AllocMemory(bytes);
    size_t rounded = (bytes + kHuge - 1) & ~(kHuge - 1);
    void* block = std::aligned_alloc(kHuge, rounded);
    if (block == nullptr) {
        ReportError("Not enough memory\n");
        return nullptr;
    }
    AdviseHugePages(block, rounded);
    return block;
}
