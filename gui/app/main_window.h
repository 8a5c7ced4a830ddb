// The main window of nivelo_gui: its procedure and message loop.
#pragma once

#include <cstdint>

#include "gui/platform/platform.h"
#include "gui/state/app.h"

// Creates the main window over rect with the menu, its procedure hearing
// about app, and starts the 20 ms timer (id 0).
int CreateMainWindow(App& app, const PlatformRect* rect, const MenuResource* menu);
// context is the App.
long MainWindowProc(void* context, int message, uint32_t wparam);
// One polling pass: returns 0 when the loop must end (quit posted), 1 when the
// timer ended the pass.
int PumpMessages(App& app);
