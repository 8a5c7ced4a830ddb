#include <cstdio>
#include <cstring>

#include "core/support.h"

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
    // "x" makes the open fail rather than share a name another run is
    // writing; a few numbered names are tried before giving up.
    for (int attempt = 0; attempt < 100 && file->stream == nullptr; attempt++) {
        std::snprintf(file->temp, sizeof file->temp, "%s.%d.part", path, attempt);
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
