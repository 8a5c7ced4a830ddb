// The five filters that find the skew angle of a page on its grey working
// copy (pixel type 2, one byte a pixel).  Each works in place, rows top to
// bottom and pixels left to right.  Values of the copy between the filters:
//   after VerticalStepFilter, RunFilter, LowerBorderFilter: 0 or 255 (marked)
//   after GapBridgeFilter: 0, 255, and 1 for a bridge pixel
//   during and after LineAngleFilter: 0, 1 traced, 2 traced and counted,
//   255 marked but not traced
#pragma once

#include "core/bitmap.h"
#include "core/params.h"

// Marks pixels whose grey differs from the pixel below by VISION_LIMIT1 or
// more; the last row is left unmarked.
void VerticalStepFilter(BITMAP* grey, const ParameterSet& params);

// Keeps a pixel marked when VISION_LIMIT2 non-zero pixels in a row lie within
// the VISION_WIDTH1 - 1 pixels that start at it; the last VISION_WIDTH1
// columns end unmarked.
void RunFilter(BITMAP* grey, const ParameterSet& params);

// Bridges horizontal gaps shorter than VISION_WIDTH2 that follow a mark and
// end at a mark in the row or next to it above or below; bridge pixels get 1.
void GapBridgeFilter(BITMAP* grey, const ParameterSet& params);

// Reduces each band of non-zero pixels to its lower border, one pixel thick.
void LowerBorderFilter(BITMAP* grey);

// Follows the marked borders from left to right and returns the mean angle in
// degrees, weighted by length, of those at least VISION_WIDTH3 steps long and
// flatter than VISION_ANGLE; 0 when none is.  Positive when the lines rise to
// the right.  With mark_counted, the counted traces are set to 2 for the
// debug image; the angle does not depend on it.  *counted (when given) is
// set to 0 when no trace counted, the angle 0 then meaning "not measured".
double LineAngleFilter(BITMAP* grey, int mark_counted, const ParameterSet& params, int* counted = nullptr);

// Fast twins of the filters whose plain loops are slow, used by the filters
// above unless NIVELO_PLAIN is 1; the same bytes and the same angle.
void RunFilterFast(BITMAP* grey, int threads, const ParameterSet& params);
void GapBridgeFilterFast(BITMAP* grey, int threads, const ParameterSet& params);
void LowerBorderFilterFast(BITMAP* grey);
// 1 with the angle, or 0 with the copy untouched when its working list
// cannot be allocated (the plain filter then does the work).
int LineAngleFilterFast(BITMAP* grey, int mark_counted, double* angle, const ParameterSet& params, int* counted);
