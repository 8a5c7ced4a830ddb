#include "tests/support/test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/support.h"

extern char** environ;

namespace testing_support {

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "nivelo_test_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) std::abort();
    path = std::string(buffer.data()) + "/";
}

ScratchDir::~ScratchDir()
{
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> ListFiles(const std::string& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& working_directory)
{
    ScratchDir capture;
    std::string log = capture / "output.txt";
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, working_directory.c_str());
    pid_t pid;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return {-1, std::string("spawn failed: ") + std::strerror(rc)};
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    RunResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = ReadFileBytes(log);
    return result;
}

RunResult RunNivelo(const std::vector<std::string>& args, const std::string& working_directory)
{
    return RunProgram(NIVELO_BINARY, args, working_directory);
}

TestImage::TestImage(unsigned width, unsigned height, unsigned type)
{
    if (!BITMAP_Create(&bitmap, width, height, type)) std::abort();
    std::memset(bitmap.pixels, 0, Size());
    if (bitmap.palette != nullptr) std::memset(bitmap.palette, 0, 768);
}

TestImage::~TestImage() { BITMAP_Free(&bitmap); }

uint8_t* TestImage::At(unsigned x, unsigned y)
{
    return bitmap.pixels + (size_t(y) * bitmap.width + x) * BITMAP_BytesPerPixel(bitmap.type);
}

size_t TestImage::Size() const { return size_t(BITMAP_ByteSize(bitmap.width, bitmap.height, bitmap.type)); }

uint32_t Random::Next()
{
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(state >> 33);
}

std::string SourcePath(const std::string& relative) { return std::string(NIVELO_SOURCE_DIR) + "/" + relative; }

}  // namespace testing_support
