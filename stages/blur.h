// Colour-limited Gaussian blur.
#pragma once

#include <cstdint>

#include "core/bitmap.h"

// (2R + 1)^2 integer weights for BLUR_RADIUS R, row by row; null on failure.
int32_t* MakeBlurKernel();

// Blurs *slot; 1, or 0 with *slot unchanged.
int BlurStage(BITMAP** slot);
