// The renderer of the two views, for the three zoom modes.
#pragma once

#include "gui/state/app.h"

// The separator columns at the left of each view: black at x - 1, white at
// x - 2, over the whole height.  Drawn once; the renderer never touches them.
void DrawSeparators(DisplayState& d);
// Both views for the current zoom mode, then PresentDisplay.
void RenderViews(DisplayState& d);
