#include "core/memory_budget.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/bitmap.h"
#include "core/support.h"

namespace {

// MemTotal of /proc/meminfo, in bytes; 0 when it cannot be read.
uint64_t MemTotal()
{
    FILE* file = std::fopen("/proc/meminfo", "r");
    if (file == nullptr) return 0;
    char line[128];
    unsigned long long kib = 0;
    while (std::fgets(line, sizeof line, file) != nullptr)
        if (std::sscanf(line, "MemTotal: %llu kB", &kib) == 1) break;
    std::fclose(file);
    return kib > UINT64_MAX / 1024 ? UINT64_MAX : uint64_t(kib) * 1024;
}

}  // namespace

uint64_t PhysicalMemory()
{
    const char* limit = std::getenv("NIVELO_MEMORY_LIMIT");
    if (limit != nullptr && *limit != '\0') {
        char* end = nullptr;
        unsigned long long value = std::strtoull(limit, &end, 10);
        if (end != nullptr && *end == '\0') return value;
    }
    uint64_t total = MemTotal();
    return total == 0 ? UINT64_MAX : total;
}

uint64_t RunMemoryNeed(unsigned width, unsigned height, unsigned type, uint64_t extra)
{
    uint64_t pixels = uint64_t(width) * height;  // at most 2^32
    uint64_t need = BITMAP_ByteSize(width, height, type) + pixels * 7;
    return extra > UINT64_MAX - need ? UINT64_MAX : need + extra;
}

int CheckImageBudget(unsigned width, unsigned height, unsigned type, uint64_t extra)
{
    if (RunMemoryNeed(width, height, type, extra) <= PhysicalMemory()) return 1;
    ReportError("Not enough memory\n");
    return 0;
}
