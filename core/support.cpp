#include "core/support.h"

#include <cstdlib>

#include "core/large_blocks.h"

void* AllocMemory(size_t count)
{
    void* block = count >= kLargeBlockBytes ? AllocLargeBlock(count) : nullptr;
    // malloc(0) may return null; a zero-byte request must still succeed.
    if (block == nullptr) block = std::malloc(count == 0 ? 1 : count);
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
    if (*block != nullptr && !FreeLargeBlock(*block)) std::free(*block);
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

int ReadWholeFile(const char* path, uint8_t** bytes, size_t* size)
{
    *bytes = nullptr;
    *size = 0;
    FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return 0;
    long end = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (end < 0 || uint64_t(end) > SIZE_MAX || std::fseek(file, 0, SEEK_SET) != 0) {
        CloseFile(&file);
        ReportError("Error reading file %s\n", path);
        return 0;
    }
    *bytes = static_cast<uint8_t*>(AllocMemory(size_t(end)));
    int ok = *bytes != nullptr && ReadBytes(&file, *bytes, size_t(end), path);
    CloseFile(&file);
    if (!ok) FreeMemory(bytes);
    *size = ok ? size_t(end) : 0;
    return ok;
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
