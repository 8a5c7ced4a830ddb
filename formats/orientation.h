// Turning a decoded image the way its file says it is meant to be seen.
//
// TIFF's Orientation tag and EXIF's (which copied it) give, 1 to 8, where
// the stored first row and column belong on the page: 1 as stored, 2 mirrored
// left-right, 3 turned half round, 4 mirrored top-bottom, 5 transposed, 6 to
// be turned a quarter clockwise, 7 transposed across the other diagonal, 8 to
// be turned a quarter anticlockwise.  Values outside 1..8 mean 1, as viewers
// take them.
#pragma once

#include "core/bitmap.h"

// Extra bytes ApplyOrientation needs for an image of that size (0 for 1).
uint64_t OrientationMemory(unsigned orientation, unsigned width, unsigned height, unsigned type);

// Replaces *image by its upright copy; the dots per inch across and down are
// swapped when the sides are.  1, or 0 after "Not enough memory" with the
// image unchanged.
int ApplyOrientation(BITMAP* image, unsigned orientation, double* x_dpi, double* y_dpi);
