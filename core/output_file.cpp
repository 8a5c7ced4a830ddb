#include <cstdio>
#include <cstring>
#include <random>

#include "core/support.h"

namespace {

// Length of the directory part of path, separator included.
size_t DirectoryLength(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    const char* backslash = std::strrchr(path, '\\');
    if (backslash != nullptr && (slash == nullptr || backslash > slash)) slash = backslash;
    return slash == nullptr ? 0 : size_t(slash - path + 1);
}

}  // namespace

int OpenOutputFile(OutputFile* file, const char* path)
{
    file->stream = nullptr;
    file->temp[0] = '\0';
    size_t length = std::strlen(path);
    if (length >= sizeof file->path) {
        ReportError("Could not open file %s\n", path);
        return 0;
    }
    std::memcpy(file->path, path, length + 1);
    // The temporary name is short and independent of the result's, so that
    // any name that fits can be saved; "x" makes the open fail rather than
    // share a file another run is writing, and random names get past files
    // left by runs that were killed.
    size_t directory = DirectoryLength(path);
    static std::random_device seed;
    static std::minstd_rand random(seed());
    for (int attempt = 0; attempt < 100 && file->stream == nullptr; attempt++) {
        std::snprintf(file->temp, sizeof file->temp, "%.*s.nivelo-%08x.part", int(directory), path,
                      unsigned(random()));
        file->stream = std::fopen(file->temp, "wbx");
    }
    if (file->stream == nullptr) {
        file->temp[0] = '\0';
        ReportError("Could not open file %s\n", path);
        return 0;
    }
    return 1;
}

int CommitOutputFile(OutputFile* file)
{
    bool ok = file->stream != nullptr;
    if (ok && std::fflush(file->stream) != 0) ok = false;
    if (file->stream != nullptr && std::fclose(file->stream) != 0) ok = false;
    file->stream = nullptr;
    if (ok && std::rename(file->temp, file->path) != 0) ok = false;
    if (!ok) {
        ReportError("Error writing file %s\n", file->path);
        AbortOutputFile(file);
        return 0;
    }
    file->temp[0] = '\0';
    return 1;
}

void AbortOutputFile(OutputFile* file)
{
    CloseFile(&file->stream);
    if (file->temp[0] != '\0') std::remove(file->temp);
    file->temp[0] = '\0';
}
