// Huge pages for large blocks (AllocMemory gives them to every block from
// 512 KB on).
//
// A new 26 MB page buffer is otherwise faulted in 4 KB at a time when it is
// first written, thousands of faults that cost a large part of a run.  The
// advice is given before the first write; it changes no byte, and nothing
// happens where it is not supported.
#pragma once

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

inline void AdviseHugePages(void* buffer, uint64_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    if (buffer == nullptr || bytes < kHuge) return;
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

