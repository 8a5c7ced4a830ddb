// The precise skew search (key AFFINAGE): a projection-profile search on a
// reduced, thresholded copy of the page.  An alternative to the five-filter
// detector, which reads a fraction of the true angle and nothing beyond
// VISION_ANGLE.
#pragma once

#include <cstdint>

#include "core/bitmap.h"

// Angles are whole hundredths of a degree throughout the search, so the grid
// of angles tried, and hence the result, is the same on every machine.
struct SkewSearchResult {
    int32_t hundredths;  // the angle found (positive: the lines rise to the right)
    int measured;        // 0: no text lines to measure; the angle is then 0
    int at_edge;         // the best angle lies at the edge of the range
};

// Finds the skew of a three-byte page within +-range degrees (range is cut to
// 0.01 ... 45).  Returns 1 with *result, or 0 after "Not enough memory\n".
int FindSkewPrecise(const BITMAP* page, double range, SkewSearchResult* result);

// Tangent of an angle in hundredths of a degree (|angle| <= 45 degrees),
// from a fixed series in plain double arithmetic, so that it rounds the same
// on every machine, unlike the C library's.
double TangentOfHundredths(int32_t hundredths);
