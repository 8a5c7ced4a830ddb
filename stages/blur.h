// Colour-limited Gaussian blur.
#pragma once

#include <cstdint>

#include "core/bitmap.h"

// (2R + 1)^2 integer weights for BLUR_RADIUS R, row by row; null on failure.
int32_t* MakeBlurKernel();

// Blurs *slot; 1, or 0 with *slot unchanged.  Takes the fast path unless
// NIVELO_THREADS is 1.
int BlurStage(BITMAP** slot);

// The fast twin of BlurStage's pixel loop, on `threads` threads: writes into
// out (same size, three bytes a pixel) exactly the bytes of the plain loop,
// for the weight table of radius >= 1 and the squared limit.  1, or 0 after
// "Not enough memory\n" (out is then incomplete).
int BlurIntoFast(const BITMAP* image, BITMAP* out, const int32_t* table, int64_t radius, int64_t limit2,
                 int threads);
