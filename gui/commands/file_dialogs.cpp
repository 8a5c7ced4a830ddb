#include "gui/commands/file_dialogs.h"

#include <sys/stat.h>

#include "core/support.h"
#include "gui/settings/file_names.h"

namespace {

// The extensions of the formats nivelo reads: the "Images" filter is made
// from this list alone.
const char* const kImageExtensions[] = {"tga", "tif", "tiff", "png", "jpg", "jpeg"};

std::string ImagePattern()
{
    std::string pattern;
    for (const char* extension : kImageExtensions) pattern += std::string(pattern.empty() ? "" : ";") + "*." + extension;
    return pattern;
}

const std::string kImagePattern = ImagePattern();

}  // namespace

const FileFilter kImageFilter[2] = {{"Images", kImagePattern.c_str()}, {"Tous les fichiers", "*"}};
const FileFilter kConfigFilter[2] = {{"Tous les fichiers", "*"}, {"Fichiers texte", "*.txt"}};

namespace {

// Opens where the user worked last: the given folder, else the last one
// used, else the current image's; the name is proposed only when it is a file of that folder, so that
// no name left from another folder shows.  The filter last chosen stays.
int RunFileDialog(App& app, int mode, const char* title, const FileFilter* filters, const char* directory,
                  const char* name, std::vector<std::string>* paths)
{
    const char* last = app.folders.last;
    const char* folder = directory[0] != '\0' ? directory : last[0] != '\0' ? last : app.image.directory;
    char proposed[kGuiPathSize];
    struct stat info;
    bool keep = name[0] != '\0' && JoinPath(proposed, sizeof proposed, folder, name) &&
                stat(proposed, &info) == 0 && S_ISREG(info.st_mode);
    int* filter_index = filters == kConfigFilter ? &app.folders.config_filter_index : &app.folders.image_filter_index;
    int chosen = PlatformFileDialog(mode, title, filters, 2, filter_index, folder, keep ? name : "", paths);
    if (!chosen || paths->empty()) {
        paths->clear();
        return 0;
    }
    char chosen_path[kGuiPathSize];
    if (CopyText(chosen_path, sizeof chosen_path, paths->front().c_str())) SplitPath(chosen_path, app.folders.last);
    return 1;
}

}  // namespace

void FileDialog(App& app, char* buffer, int mode, const char* title, const FileFilter* filters, const char* directory,
                const char* name)
{
    std::vector<std::string> paths;
    int chosen = RunFileDialog(app, mode, title, filters, directory, name, &paths);
    buffer[0] = '\0';
    if (!chosen) return;
    if (!CopyText(buffer, kGuiPathSize, paths[0].c_str())) ReportLongPath(paths[0].c_str());
}

std::vector<std::string> FileDialogMany(App& app, const char* title, const FileFilter* filters, const char* directory,
                                        const char* name)
{
    std::vector<std::string> paths;
    RunFileDialog(app, FILE_OPEN_MANY, title, filters, directory, name, &paths);
    return paths;
}


void ReportLongPath(const char* path)
{
    ReportError("Chemin trop long (plus de %d caractères): %s\n", kGuiPathSize - 1, path);
}
