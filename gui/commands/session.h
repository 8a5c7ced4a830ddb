// One use of nivelo_gui from start to quit: the settings remembered from the
// last use, and whether the settings changed since.
#pragma once

#include "gui/state/app.h"

// At start, once the defaults are set: the remembered folders, the
// configuration last used and the output folders.  The window's size is
// read earlier (RememberedWindowSize), before the window exists.
void ApplyRememberedSettings(App& app);
// Remembered client size, 0 x 0 when none.
void RememberedWindowSize(int* width, int* height);
// At the end: what the next start should find.
void RememberSettings(const App& app);

// The settings as they were last loaded, saved or started with.
void MarkSettingsSaved(App& app);
int SettingsChanged(const App& app);
