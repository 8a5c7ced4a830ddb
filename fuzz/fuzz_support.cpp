#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

const char* ScratchFile(const uint8_t* data, size_t size)
{
    static std::string name;
    if (name.empty()) {
        // Memory-backed when the system has it: the readers take file names,
        // and a disk file a run would halve the speed.
        const char* dir = std::getenv("TMPDIR");
        if (dir == nullptr) dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        name = std::string(dir) + "/nivelo_fuzz_" + std::to_string(getpid());
        // One file a process; every replay in the test run would otherwise
        // leave one behind in memory-backed /dev/shm.
        std::atexit([] { std::remove(name.c_str()); });
    }
    FILE* file = std::fopen(name.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return name.c_str();
}

void CapMemory()
{
    // The readers refuse any image whose run needs more than this.
    static bool done = false;
    if (!done) setenv("NIVELO_MEMORY_LIMIT", std::to_string(kMemoryLimit).c_str(), 1);
    done = true;
}

}  // namespace fuzz
