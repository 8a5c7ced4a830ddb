#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "core/durable_file.h"
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

// Follows path's symbolic links (a relative link leads from its own folder)
// to the file a write through the name would reach.  0 for a loop or a name
// too long to keep.
int ResolveLinks(const char* path, char* target, size_t size)
{
    namespace fs = std::filesystem;
    fs::path current = path;
    std::error_code error;
    for (int hops = 0; fs::is_symlink(current, error); hops++) {
        fs::path next = fs::read_symlink(current, error);
        if (error || hops == 40) return 0;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    std::string text = current.string();
    if (text.size() >= size) return 0;
    std::memcpy(target, text.c_str(), text.size() + 1);
    return 1;
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
    if (!ResolveLinks(path, file->target, sizeof file->target)) {
        ReportError("Could not open file %s\n", path);
        return 0;
    }
    // The temporary name is short and independent of the result's, so that
    // any name that fits can be saved; "x" makes the open fail rather than
    // share a file another run is writing, and random names get past files
    // left by runs that were killed.
    size_t directory = DirectoryLength(file->target);
    static std::random_device seed;
    static std::minstd_rand random(seed());
    for (int attempt = 0; attempt < 100 && file->stream == nullptr; attempt++) {
        std::snprintf(file->temp, sizeof file->temp, "%.*s.nivelo-%08x.part", int(directory),
                      file->target, unsigned(random()));
        file->stream = std::fopen(file->temp, "wbx");
    }
    if (file->stream == nullptr) {
        file->temp[0] = '\0';
        ReportError("Could not open file %s\n", path);
        return 0;
    }
    RemoveOnInterrupt(file->temp);
    return 1;
}

int WriteOutputBytes(OutputFile* file, const void* buffer, size_t count)
{
    constexpr size_t kPiece = size_t(4) << 20;
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        size_t piece = count < kPiece ? count : kPiece;
        if (!WriteBytes(&file->stream, bytes, piece, file->path)) return 0;
        if (std::fflush(file->stream) != 0) {
            ReportError("Error writing file %s\n", file->path);
            CloseFile(&file->stream);
            return 0;
        }
        long end = std::ftell(file->stream);
        if (end >= long(piece)) StartWriteback(file->stream, uint64_t(end) - piece, piece);
        bytes += piece;
        count -= piece;
    }
    return 1;
}

int CommitOutputFile(OutputFile* file)
{
    bool ok = file->stream != nullptr;
    if (ok && std::fflush(file->stream) != 0) ok = false;
    if (ok && !SyncStreamToDisk(file->stream)) ok = false;
    if (file->stream != nullptr && std::fclose(file->stream) != 0) ok = false;
    file->stream = nullptr;
    if (ok && std::rename(file->temp, file->target) != 0) ok = false;
    if (!ok) {
        ReportError("Error writing file %s\n", file->path);
        AbortOutputFile(file);
        return 0;
    }
    RemoveOnInterrupt(nullptr);
    file->temp[0] = '\0';
    // The result is complete under its name; syncing the folder makes the
    // rename itself last.  Some file systems cannot sync a folder, and the
    // earlier file is gone by now, so this cannot fail the save.
    SyncFolderOf(file->target);
    return 1;
}

void AbortOutputFile(OutputFile* file)
{
    CloseFile(&file->stream);
    if (file->temp[0] != '\0') std::remove(file->temp);
    RemoveOnInterrupt(nullptr);
    file->temp[0] = '\0';
}
