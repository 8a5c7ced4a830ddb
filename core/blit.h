// Copying pixels between images, clearing, and changing pixel types.
#pragma once

#include <cstdint>

#include "core/bitmap.h"

// Copies the whole source into the destination so that source pixel (0, 0)
// lands on destination pixel (x, y), clipped to the destination and converted
// to the destination's type (grey = truncated plain mean of three bytes).
// An indexed destination is refused with "BITMAP_Blt: format not supported\n"
// unless the images do not overlap at all.
void BITMAP_Blt(const BITMAP* source, BITMAP* destination, int32_t x, int32_t y);

// Fills every pixel with (a, b, c) read as (R, G, B); 0 without pixel buffer.
int BITMAP_Clr(BITMAP* bitmap, uint8_t a, uint8_t b, uint8_t c);

// Replaces *slot by a new record of the same size and the new type, filled by
// BITMAP_Blt.  Returns 1, or 0 with *slot unchanged.  Conversion to type 1 is
// refused: the blit cannot fill an indexed image.
int BITMAP_Convert(BITMAP** slot, unsigned type);
