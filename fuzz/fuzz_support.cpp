#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace fuzz {

const std::filesystem::path& ScratchDirectory()
{
    static std::filesystem::path dir;
    if (dir.empty()) {
        // Memory-backed when the system has it: a disk file would halve the speed.
        const char* base = std::getenv("TMPDIR");
        if (base == nullptr) base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        dir = std::filesystem::path(base) / ("nivelo_fuzz_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        // Every replay in the test run would otherwise leave one behind in
        // memory-backed /dev/shm.
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(dir, error);
        });
    }
    return dir;
}

void WriteBytes(const std::string& name, const void* data, size_t size)
{
    if (!std::ofstream(name, std::ios::binary).write(static_cast<const char*>(data), std::streamsize(size))) std::abort();
}

const char* ScratchFile(const uint8_t* data, size_t size)
{
    static const std::string name = (ScratchDirectory() / "input").string();
    WriteBytes(name, data, size);
    return name.c_str();
}

}  // namespace fuzz
