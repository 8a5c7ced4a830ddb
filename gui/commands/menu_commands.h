// Commands of the main menu.
#pragma once

#include "gui/state/app.h"

// No image and no configuration named, no folder last used, the first
// filter of each kind of file dialog.
void SetFileCommandDefaults(App& app);

// Performs the menu command id; ids without a command do nothing.
void OnMenuCommand(App& app, int id);

// Opens the image (a full path) when nivelo reads it: it becomes the current
// image and the views show its stage images.  When nivelo refuses it (its
// message says why) or the user cancels the run, the page that was open
// stays open with its views and angle, as if nothing had been chosen.
// Used by "Charger Image..." and by `nivelo_gui <image>`.
void AcceptImage(App& app, const char* path);

// Asks before quitting during a run (which the quit ends) and with settings
// changed since they were saved (offering to save them).  1 when the
// program may end.
int ConfirmQuit(App& app);

// Zoom menu commands 40008, 40009, 40010: the mode checked in the menu, the
// views drawn in it.
void SetZoomMode(App& app, int mode);

// Window title: "Nivelo gui v1.0", followed by " - " and the current image's
// file name when there is one.
void ShowImageTitle(const App& app);
// The "A propos..." box.
void ShowAbout();
