// The file dialogs of the menu's commands: each opens where the user worked
// last and keeps the filter last chosen in its kind of dialog.
#pragma once

#include <string>
#include <vector>

#include "gui/platform/platform.h"
#include "gui/state/app.h"

// The formats nivelo reads, then every file; and every file first, then text
// files, since a configuration saved without ".txt" must show.
extern const FileFilter kImageFilter[2];
extern const FileFilter kConfigFilter[2];

// Modes FILE_OPEN_ONE and FILE_SAVE: buffer (kGuiPathSize bytes) receives the
// chosen full path, or is emptied on cancel or error.  filters is one of the
// two pairs above; the one last chosen is selected.  The dialog opens in
// directory, or the folder last used when it is empty, or the current
// image's; name is proposed only when that folder holds such a file.
void FileDialog(App& app, char* buffer, int mode, const char* title, const FileFilter* filters,
                const char* directory, const char* name);
// FILE_OPEN_MANY: the chosen full paths in the dialog's order; none on cancel.
std::vector<std::string> FileDialogMany(App& app, const char* title, const FileFilter* filters,
                                        const char* directory, const char* name);
// "Chemin trop long" for a path that does not fit kGuiPathSize.
void ReportLongPath(const char* path);
