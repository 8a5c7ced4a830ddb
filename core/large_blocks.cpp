#include "core/large_blocks.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define NIVELO_HEAP_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NIVELO_HEAP_ONLY 1
#endif
#endif

#if !defined(NIVELO_HEAP_ONLY)
namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// Blocks mapped at once, alive or kept: a run holds a handful.
constexpr int kMappings = 32;

struct Mapping {
    void* block = nullptr;
    size_t bytes = 0;
    bool alive = false;
};

// The intermediate save allocates on its own thread.
std::mutex g_lock;
Mapping g_mappings[kMappings];

// A fresh mapping of `bytes` (a multiple of the huge page), aligned on one.
void* MapAligned(size_t bytes)
{
    void* raw = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    uintptr_t start = uintptr_t(raw), aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    // The slack before and after the aligned part goes back at once.
    if (aligned > start) munmap(raw, aligned - start);
    uintptr_t end = aligned + bytes, raw_end = start + bytes + kHugePage;
    if (raw_end > end) munmap(reinterpret_cast<void*>(end), raw_end - end);
#if defined(MADV_HUGEPAGE)
    madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

void* AllocLargeBlock(size_t bytes)
{
    if (bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
    size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    std::lock_guard<std::mutex> hold(g_lock);
    // The smallest kept mapping that holds the block.
    Mapping* best = nullptr;
    for (Mapping& m : g_mappings)
        if (m.block != nullptr && !m.alive && m.bytes >= rounded && (best == nullptr || m.bytes < best->bytes)) best = &m;
    if (best != nullptr) {
        best->alive = true;
        return best->block;
    }
    // None does: the kept ones go back before fresh memory is taken.
    Mapping* slot = nullptr;
    for (Mapping& m : g_mappings) {
        if (m.block != nullptr && !m.alive) {
            munmap(m.block, m.bytes);
            m = Mapping();
        }
        if (m.block == nullptr && slot == nullptr) slot = &m;
    }
    if (slot == nullptr) return nullptr;  // the caller takes the heap
    void* block = MapAligned(rounded);
    if (block == nullptr) return nullptr;
    *slot = {block, rounded, true};
    return block;
}

int FreeLargeBlock(void* block)
{
    if (block == nullptr) return 0;
    std::lock_guard<std::mutex> hold(g_lock);
    for (Mapping& m : g_mappings)
        if (m.block == block && m.alive) {
            m.alive = false;
            return 1;
        }
    return 0;
}
#else
void* AllocLargeBlock(size_t) { return nullptr; }
int FreeLargeBlock(void*) { return 0; }
#endif
