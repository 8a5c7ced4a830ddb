#include "core/support.h"

#include <cstdlib>

#include "core/huge_pages.h"

namespace {

constexpr size_t kHugePage = size_t(2) << 20;

// Blocks from 512 KB on are aligned on and rounded up to whole
// huge pages, and advised, so that none of them is faulted in 4 KB at a
// time: on a virtual machine each such fault costs some 15 us, a huge one
// some 40 times less a byte.  The rounding is address space until written,
// and at most one huge page of memory after; a block freed and asked for
// again at its size is the same block.
void* LargeBlock(size_t count)
{
    size_t rounded = (count + kHugePage - 1) & ~(kHugePage - 1);
    void* block = std::aligned_alloc(kHugePage, rounded);
    if (block != nullptr) AdviseHugePages(block, rounded);
    return block;
}

}  // namespace

void* AllocMemory(size_t count)
{
    // malloc(0) may return null; a zero-byte request must still succeed.
    void* block = count >= kHugePage / 4 && count <= SIZE_MAX - kHugePage ? LargeBlock(count)
                                                                            : std::malloc(count == 0 ? 1 : count);
    if (block == nullptr) ReportError("Not enough memory\n");
    return block;
}

void* AllocZeroed(size_t count)
{
    void* block = std::calloc(count == 0 ? 1 : count, 1);
    if (block == nullptr) ReportError("Not enough memory\n");
    return block;
}

void FreeMemoryBlock(void** block)
{
    if (*block != nullptr) std::free(*block);
    *block = nullptr;
}

FILE* OpenFile(const char* path, const char* mode)
{
    FILE* stream = std::fopen(path, mode);
    if (stream == nullptr) ReportError("Could not open file %s\n", path);
    return stream;
}

int ReadFileHead(const char* path, uint8_t* head, size_t size, size_t* got)
{
    *got = 0;
    FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return 0;
    *got = std::fread(head, 1, size, file);
    CloseFile(&file);
    return 1;
}

void CloseFile(FILE** stream)
{
    if (*stream != nullptr) std::fclose(*stream);
    *stream = nullptr;
}

int ReadBytes(FILE** stream, void* buffer, size_t count, const char* name)
{
    if (*stream != nullptr && std::fread(buffer, 1, count, *stream) == count) return 1;
    if (name != nullptr)
        ReportError("Error reading file %s\n", name);
    else
        ReportError("Read error\n");
    CloseFile(stream);
    return 0;
}

int WriteBytes(FILE** stream, const void* buffer, size_t count, const char* name)
{
    if (*stream != nullptr && std::fwrite(buffer, 1, count, *stream) == count) return 1;
    if (name != nullptr)
        ReportError("Error writing file %s\n", name);
    else
        ReportError("Write error\n");
    CloseFile(stream);
    return 0;
}
