#include "batch/source_guard.h"

#include <filesystem>
#include <system_error>

#include "batch/params.h"

bool IsSourceImage(const char* path)
{
    std::error_code error;
    bool same = std::filesystem::equivalent(path, g_command.image_name, error);
    return !error && same;
}
