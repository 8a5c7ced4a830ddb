// The parameter panels of nivelo_gui's left strip: the stage chooser, the
// panel of the chosen stage and the update bar, all run by PanelProc.  Each
// edit is taken into the GUI parameter set at once, keystroke by keystroke.
#pragma once

#include <cstdint>

#include "gui/platform/platform.h"

// Panel of the stage shown (0 to 10, the chooser's entry index) and its
// dialog; null before CreatePanels and after DestroyPanels.
extern int g_current_panel;
extern PlatformDialog* g_current_panel_window;

// Stage images 0 to g_valid_limit (0 to 12) are current; an edit in panel p
// marks those above p as stale.  The previews read and raise it.
extern int g_valid_limit;

// Panel state at start: panel 0, valid limit 0.
void SetPanelDefaults();

// Creates the stage chooser, the panel of the current stage and the update
// bar.  Returns 1, or 0 when a dialog could not be built.
int CreatePanels();
// Destroys the three dialogs (before the main window goes).
void DestroyPanels();

// Dialog procedure of the chooser, every panel and the update bar.
int PanelProc(PlatformDialog* dialog, int message, int id, int code);

// Puts the parameter set into the dialog's controls.  creating: the dialog
// is new (its lists are empty); otherwise it is the panel shown, refreshed
// after the set changed.  The edits' change notifications read each value
// back, so reals come back as single precision with six decimals.
void FillPanel(PlatformDialog* dialog, int creating);

// The update bar (null outside CreatePanels .. DestroyPanels).
extern PlatformDialog* g_update_bar;

// Value fields (panel_values.cpp).  TakeFieldValue checks the field's text
// with nivelo's grammar and range: a valid value goes into the set, a
// refused one leaves the set as it was and marks the field, its reason
// shown under "Mettre à jour".  Returns 0 for a control that is not a
// value field.
int TakeFieldValue(PlatformDialog* dialog, int id);
// The panel shown is rebuilt from the set: no field holds a refused value.
void ForgetRefusals();
// 1 when no field holds a refused value; otherwise says why in a box.
int ValuesAccepted();

// Tooltips with each value's useful range (panel_tips.cpp).
void SetPanelTooltips(PlatformDialog* dialog);

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

// Provided by the preview runner: the "Mettre à jour" button, and what a
// confirmed choice in the stage chooser shows once the new panel is built.
void RunUpdateCommand();
void RefreshPreviews();

// The update bar says whether the views still match the panels: an edit,
// or a run cancelled or failed, leaves them out of date until a run.
void ShowViewsState();
