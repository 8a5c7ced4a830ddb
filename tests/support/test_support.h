// Helpers shared by the tests: scratch directories, files, images and runs of
// the real nivelo executable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/bitmap.h"

namespace testing_support {

// A fresh empty directory under the system's temporary directory, ending
// with "/".  Removed by the destructor.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string path;  // ends with "/"
    std::string operator/(const std::string& name) const { return path + name; }
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Names of the regular files in a directory, sorted.
std::vector<std::string> ListFiles(const std::string& directory);

struct RunResult {
    int status;          // exit status, or -1 when the program did not exit normally
    std::string output;  // standard output and standard error
};

// Runs a program with its arguments as separate words (no shell) in
// working_directory and collects its output.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& working_directory);
// Runs the nivelo executable of this build.
RunResult RunNivelo(const std::vector<std::string>& args, const std::string& working_directory);

// Owning image for tests; the pixels start zeroed.
struct TestImage {
    TestImage(unsigned width, unsigned height, unsigned type);
    ~TestImage();
    TestImage(const TestImage&) = delete;
    TestImage& operator=(const TestImage&) = delete;
    BITMAP bitmap;
    uint8_t* At(unsigned x, unsigned y);
    size_t Size() const;
};

// Deterministic pseudo-random generator for test data.
struct Random {
    explicit Random(uint64_t seed) : state(seed * 6364136223846793005ull + 1442695040888963407ull) {}
    uint64_t state;
    uint32_t Next();
    uint32_t Below(uint32_t limit) { return Next() % limit; }
};

std::string SourcePath(const std::string& relative);

}  // namespace testing_support
