// The vector kernels of the fast rotation, each in a file of its own compiled
// for its instruction set, called only when ChooseVectorKernels allows it.
// Each resamples consecutive pixels of a row, source points xs[], ys[], one
// pixel a lane, and returns 0, writing nothing, unless all sixteen taps of
// every point are inside the page and above its last row.  The page's size
// must fit 31 bits: taps are addressed with 32-bit offsets.
#pragma once

#include <cstdint>

#include "core/bitmap.h"

int SampleFourAvx2(const BITMAP* page, const double* xs, const double* ys, uint8_t* out);
int SampleEightAvx512(const BITMAP* page, const double* xs, const double* ys, uint8_t* out);
