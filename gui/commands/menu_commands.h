// Commands of the main menu, and the names they keep.
#pragma once

#include <string>
#include <vector>

#include "gui/settings/gui_params.h"
#include "gui/platform/platform.h"

// The image chosen with "Charger Image..." (or the single file of a one-file
// conversion), and the configuration file last loaded or saved: file name
// and directory (ending with its separator), joined by concatenation.
extern char g_image_name[kGuiPathSize];
extern char g_image_directory[kGuiPathSize];
extern char g_config_name[kGuiPathSize];
extern char g_config_directory[kGuiPathSize];

// All four empty.
void SetFileCommandDefaults();

// Performs the menu command id; ids without a command do nothing.
void OnMenuCommand(int id);

// Opens the image (a full path) when nivelo reads it: it becomes the current
// image and the views show its stage images.  When nivelo refuses it (its
// message says why) or the user cancels the run, the page that was open
// stays open with its views and angle, as if nothing had been chosen.
// Used by "Charger Image..." and by `nivelo_gui <image>`.
void AcceptImage(const char* path);

// File dialogs.  Modes FILE_OPEN_ONE and FILE_SAVE: buffer (kGuiPathSize
// bytes) receives the chosen full path, or is emptied on cancel or error.
// filters holds two pairs; the one last chosen is selected.  The dialog
// opens in directory, or the folder last used when it is empty, or the
// current image's; name is
// proposed only when that folder holds such a file.
void FileDialog(char* buffer, int mode, const char* title, const FileFilter* filters, const char* directory,
                const char* name);
// FILE_OPEN_MANY: the chosen full paths in the dialog's order; none on cancel.
std::vector<std::string> FileDialogMany(const char* title, const FileFilter* filters, const char* directory,
                                        const char* name);

// Window title: "Nivelo gui v1.0", followed by " - " and the current image's
// file name when there is one.
void ShowImageTitle();

// The "A propos..." box.
void ShowAbout();
