// Commands of the main menu, and the names they keep.
#pragma once

#include <string>
#include <vector>

#include "gui/gui_params.h"
#include "gui/platform.h"

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

// Takes the current image (directory and name above) when the TIFF or the
// TGA reader accepts it: image loaded, then the full refresh.  When the name
// is empty or the readers refuse the file (they have said why), or the user
// cancels its first run, no image is current: the name is emptied, the views
// turn grey and the title says so.
// Used by "Charger Image..." and by `nivelo_gui <image>`.
void AcceptImage();

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

// 1 when the file begins with a TIFF byte-order mark and its 42.
int HasTiffSignature(const char* path);

// The "A propos..." box.
void ShowAbout();
