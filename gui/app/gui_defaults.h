// Start values of the GUI's program-wide state.
#pragma once

// Sets every start value once at start-up.
void SetGuiDefaults();
