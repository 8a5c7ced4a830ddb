// Start values of the application state.
#pragma once

#include "gui/state/app.h"

// Sets every start value once at start-up.
void SetGuiDefaults(App& app);
