// Background colour of the scan and crop to content.
#pragma once

#include <cstdint>

#include "core/bitmap.h"
#include "core/params.h"

// Averages the side chosen by COTE_FOND into colour (pixel byte order).
void GetBackgroundColour(const BITMAP* image, uint8_t colour[3], const ParameterSet& params);

// First row (from the top) or column (from the left) that holds a content
// run, or last from the bottom or right, in a three-byte image.  No such line:
// height or width for top and left, -1 for bottom and right.  Lines shorter
// than a run: the first line examined, so that side is not cropped.
int32_t FindTopEdge(const BITMAP* image, const uint8_t colour[3], const ParameterSet& params);
int32_t FindBottomEdge(const BITMAP* image, const uint8_t colour[3], const ParameterSet& params);
int32_t FindLeftEdge(const BITMAP* image, const uint8_t colour[3], const ParameterSet& params);
int32_t FindRightEdge(const BITMAP* image, const uint8_t colour[3], const ParameterSet& params);

// Replaces *slot by the inclusive rectangle (right = left - 1 or bottom =
// top - 1 gives an empty image); 1, or 0 with *slot unchanged, also for a
// rectangle that reaches outside the image.
int BITMAP_Cut(BITMAP** slot, int32_t left, int32_t top, int32_t right, int32_t bottom);

// Crops the sides of COTE_RECADRAGE to content; a side without content stays
// where it is.  1, or 0 with *slot unchanged.
int CropStage(BITMAP** slot, const uint8_t colour[3], const ParameterSet& params);
