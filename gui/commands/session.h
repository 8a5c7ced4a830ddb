// One use of nivelo_gui from start to quit: the settings remembered from the
// last use, and the questions asked before quitting.
#pragma once

// At start, once the defaults are set: the remembered folders, the
// configuration last used and the output folders.  The window's size is
// read earlier (RememberedWindowSize), before the window exists.
void ApplyRememberedSettings();
// Remembered client size, 0 x 0 when none.
void RememberedWindowSize(int* width, int* height);
// At the end: what the next start should find.
void RememberSettings();

// The settings as they were last loaded, saved or started with.
void MarkSettingsSaved();
int SettingsChanged();

// Asks before quitting during a run (which the quit ends) and with settings
// changed since they were saved (offering to save them).  1 when the
// program may end.
int ConfirmQuit();
