// The panels' value fields, checked as they are typed with nivelo's own
// grammar and ranges.
#pragma once

#include "gui/platform/platform.h"
#include "gui/state/app.h"

// TakeFieldValue checks the field's text with nivelo's grammar and range: a
// valid value goes into the set, a refused one leaves the set as it was and
// marks the field, its reason shown under "Mettre à jour".  Returns 0 for a
// control that is not a value field.
int TakeFieldValue(App& app, PlatformDialog* dialog, int id);
// The panel shown is rebuilt from the set: no field holds a refused value.
void ForgetRefusals(App& app);
// 1 when no field holds a refused value; otherwise says why in a box.
int ValuesAccepted(const App& app);
