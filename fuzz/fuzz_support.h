// Shared by the fuzz targets: fuzzed bytes into a scratch file, since the
// readers take file names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Writes the bytes to a per-process scratch file and returns its name.
const char* ScratchFile(const uint8_t* data, size_t size);

// Keeps fuzzed images small enough to test logic, not the machine's memory.
constexpr uint64_t kMemoryLimit = 64ull << 20;
void CapMemory();

}  // namespace fuzz
