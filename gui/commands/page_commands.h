// Filling the page list and moving through it: "Ouvrir un dossier", several
// images at once, files dropped on the window or named on the command line,
// a click in the strip, Ctrl+Page Up/Down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gui/state/app.h"

// Replaces the list with the pages of paths (files or folders) and opens the
// first readable one as "Charger Image..." does.  folder is the folder the
// user opened (remembered for the next start); empty for files.  A single
// file replaces the list only once it is shown, so that a refused image
// leaves the window as it was; a file of several pages lists each.
void OpenPaths(App& app, const std::vector<std::string>& paths, const std::string& folder);
// "Ouvrir un dossier...".
void OpenFolderCommand(App& app);
// MSG_DROP: the dropped files and folders.
void OpenDroppedFiles(App& app);
// Shows page index of the list: the settings stay, the previews are made
// for it.  A refused page shows why it cannot be opened.
void MoveToPage(App& app, size_t index);
// Ctrl+Page Up (-1) and Ctrl+Page Down (1): the previous or next readable page.
void StepPageCommand(App& app, int delta);
// MSG_STRIP_CLICK: opens the page, or with Ctrl toggles its selection.
void StripClicked(App& app, uint32_t wparam);
