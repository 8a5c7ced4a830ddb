// The parameter panels of nivelo_gui's left strip: the stage chooser, the
// panel of the chosen stage and the update bar, all run by PanelProc.  Each
// edit is taken into the GUI parameter set at once, keystroke by keystroke.
#pragma once

#include <cstdint>
#include <string>

#include "gui/platform/platform.h"
#include "gui/state/app.h"

// Panel state at start: panel 0, valid limit 0.
void SetPanelDefaults(App& app);

// Creates the stage chooser, the panel of the current stage and the update
// bar.  Returns 1, or 0 when a dialog could not be built.
int CreatePanels(App& app);
// Destroys the three dialogs (before the main window goes).
void DestroyPanels(App& app);

// Dialog procedure of the chooser, every panel and the update bar; context
// is the App.  A confirmed stage choice, "Mettre à jour" and an edit of a
// stage's value reach the previews through the App's hooks.
int PanelProc(void* context, PlatformDialog* dialog, int message, int id, int code);

// Puts the parameter set into the dialog's controls.  creating: the dialog
// is new (its lists are empty); otherwise it is the panel shown, refreshed
// after the set changed.  The edits' change notifications read each value
// back, so reals come back as single precision with six decimals.
void FillPanel(App& app, PlatformDialog* dialog, int creating);

// Edit access; every routine skips a control the dialog lacks.
void SetEditText(PlatformDialog* dialog, int id, const char* text);
// The edit's first line into a folder value of the set (kTextSize bytes).
void ReadEditText(const PlatformDialog* dialog, int id, char* directory);

// Colour chooser starting from colour (red in bits 0-7); returns the
// choice, or colour when the user cancels.
uint32_t ChooseFillColour(uint32_t colour);
// Folder browser: stores the chosen folder with its separator into the
// folder value of the set (kTextSize bytes); a cancel leaves it unchanged.
void ChooseFolder(char* directory);

// "Angle détecté : 1.38°", or "Angle détecté : -" before any is known; with
// an orientation, both in the panel's narrow width: "Détecté : 1.38°, 180°",
// "Détecté : 1.38°, incertain" for a page left as it was.
std::string DetectedAngleText(const DetectedAngle& angle);
