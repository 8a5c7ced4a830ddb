// Colour-limited Gaussian blur.
#pragma once

#include <cstdint>

#include "core/bitmap.h"
#include "core/params.h"

// Integer weights of the BLUR_RADIUS R window, row by row, for offsets up to
// min(R, reach): (2 min(R, reach) + 1)^2 of them; null on failure.
int32_t* MakeBlurKernel(const ParameterSet& params, int64_t reach = INT64_MAX);

// Blurs *slot; 1, or 0 with *slot unchanged.  Takes the fast path unless
// NIVELO_PLAIN is 1.
int BlurStage(BITMAP** slot, const ParameterSet& params);

// The fast twin of BlurStage's pixel loop, on `threads` threads: writes into
// out (same size, three bytes a pixel) exactly the bytes of the plain loop,
// for the weight table of radius >= 1 and the squared limit.  1, or 0 after
// "Not enough memory\n" (out is then incomplete).
int BlurIntoFast(const BITMAP* image, BITMAP* out, const int32_t* table, int64_t radius, int64_t limit2,
                 int threads);

// 1 when blurring `image` with the squared limit would give back its very
// bytes: no limit, or every byte one of two values at least the limit apart
// (a 1-bit scan).  The answer does not depend on `threads`.
int BlurChangesNothing(const BITMAP* image, int64_t limit2, int threads);
