// The main window of nivelo_gui: its procedure, message loop, display
// surface and start-up sequence.
#pragma once

#include <cstdint>

#include "gui/settings/gui_params.h"  // kGuiPathSize
#include "gui/platform/platform.h"

typedef void (*CommandHandler)(int id);
typedef void (*ScrollHandler)(int message, uint32_t request);

// Program-wide directories, each ending with its separator.
extern char g_start_directory[kGuiPathSize];
extern char g_work_directory[kGuiPathSize];

// Creates the main window over rect with the menu, keeps the two handlers for
// the window procedure and starts the 20 ms timer (id 0).
int CreateMainWindow(const PlatformRect* rect, const MenuResource* menu, CommandHandler command,
                     ScrollHandler scroll);
long MainWindowProc(int message, uint32_t wparam);
int CreateDisplaySurface(int width, int height);
void PresentDisplay();
// Releases the surface and ends the message loop; harmless when repeated.
void ReleaseDisplay();
// One polling pass: returns 0 when the loop must end (quit posted), 1 when the
// timer ended the pass.
int PumpMessages();

// The main window's client area became width x height: the views and the
// surface follow it (startup.cpp).
void ResizeViews(int width, int height);
// The main window's client size, as last known.
void MainWindowSize(int* width, int* height);

// Start-up sequence up to the message loop: directories, window, surface,
// layout, defaults; with an image argument, that image in both views.
// Returns 1, or 0 after a message when the program cannot start.
int StartGui(int argc, char** argv);
// Removes this window's work folder (at the end, and by the tests).
void EndWorkFolder();
// The message loop, then the window is closed.  Returns the exit status.
int RunGui();
