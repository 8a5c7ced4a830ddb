#include "gui/settings/file_names.h"

#include <cstring>

#include "gui/settings/gui_params.h"

// On Windows a drive letter's colon and either slash end a directory; here
// only "/" does: a colon or a backslash is part of a file's name.
static bool IsDirectoryEnd(char c)
{
#ifdef _WIN32
    return c == '\\' || c == ':' || c == '/';
#else
    return c == '/';
#endif
}

void SplitPath(char* path, char* directory)
{
    // Both buffers hold kGuiPathSize bytes, so the copy always fits.
    size_t length = strnlen(path, kGuiPathSize - 1);
    path[length] = '\0';
    std::memcpy(directory, path, length + 1);
    size_t split = length;
    for (size_t i = 0; i < length; i++)
        if (IsDirectoryEnd(path[i])) split = i;
    if (split == length) {
        directory[0] = '\0';
        return;
    }
    directory[split + 1] = '\0';
    std::memmove(path, path + split + 1, length - split);
}

int JoinPath(char* buffer, size_t size, const char* directory, const char* name)
{
    size_t a = std::strlen(directory), b = std::strlen(name);
    if (size == 0) return 0;
    if (a >= size || b >= size - a) {
        buffer[0] = '\0';
        return 0;
    }
    std::memmove(buffer, directory, a);
    std::memmove(buffer + a, name, b + 1);
    return 1;
}

int CopyText(char* buffer, size_t size, const char* text)
{
    return JoinPath(buffer, size, "", text);
}
