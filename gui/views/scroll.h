// The scroll bars shared by both views, and the user's scroll requests.
#pragma once

#include <cstdint>

#include "gui/state/app.h"

// Range, page and position of both scroll bars; clamps the scroll position.
void UpdateScrollBars(DisplayState& d);
// A scroll request: message MSG_HSCROLL or MSG_VSCROLL, request = code in
// the low 16 bits, thumb position in the high 16 bits.
void OnScroll(DisplayState& d, int message, uint32_t request);
