// Shared by the fuzz targets: fuzzed bytes into scratch files, since the
// readers take file names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// A directory of this process, removed when it ends.
const std::filesystem::path& ScratchDirectory();
// Writes the bytes to the named file; aborts when it cannot.
void WriteBytes(const std::string& name, const void* data, size_t size);
// Writes the bytes to a per-process scratch file and returns its name.
const char* ScratchFile(const uint8_t* data, size_t size);

// Keeps fuzzed images small enough to test logic, not the machine's memory:
// the readers refuse any image whose run needs more than this.
constexpr uint64_t kMemoryLimit = 64ull << 20;
inline void CapMemory() { setenv("NIVELO_MEMORY_LIMIT", std::to_string(kMemoryLimit).c_str(), 1); }

}  // namespace fuzz
