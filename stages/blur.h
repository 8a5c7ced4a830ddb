// Colour-limited Gaussian blur.
#pragma once

#include <cstdint>

#include "core/bitmap.h"

// Integer weights of the BLUR_RADIUS R window, row by row, for offsets up to
// min(R, reach): (2 min(R, reach) + 1)^2 of them; null on failure.
int32_t* MakeBlurKernel(int64_t reach = INT64_MAX);

// Blurs *slot; 1, or 0 with *slot unchanged.
int BlurStage(BITMAP** slot);
