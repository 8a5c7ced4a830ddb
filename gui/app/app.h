// The application: one window's start, its message loop and its end.
#pragma once

#include "gui/state/app.h"

// Start-up sequence up to the message loop: directories (the start
// directory is the current one unless app.folders.start names one), window, surface,
// layout, defaults, the hooks by which the panels reach the previews; with an
// image argument, that image in both views.  Returns 1, or 0 after a message
// when the program cannot start.
int StartGui(App& app, int argc, char** argv);
// The message loop, then the window is closed.  Returns the exit status.
int RunGui(App& app);
// Removes this window's work folder (at the end, and by the tests).
void EndWorkFolder(App& app);
