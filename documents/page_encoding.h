// Compressing decoded pages for a document: black and white as CCITT Group 4,
// grey and colour as a zlib stream of PNG-filtered rows (the Up filter on
// every row), which a PDF reads with /DecodeParms << /Predictor 15 >>.
// Both release the page's pixel buffer (not its palette) as soon as they are
// done with it, so that a page is held at most twice.  Each returns 1 and a buffer to be
// released with FreeMemory, or 0 after one message naming `name`.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bitmap.h"

// A grey page cut as nivelo cuts it (above 127 is white) and encoded
// min-is-white, most significant bit first, in one strip.
int EncodeG4(const char* name, BITMAP* grey, uint8_t** out, size_t* size);

// Rows as a PDF image lays them out: grey and indexed one byte a pixel, RGB
// and BGR as R, G, B.
int EncodeFlate(const char* name, BITMAP* pixels, uint8_t** out, size_t* size);
