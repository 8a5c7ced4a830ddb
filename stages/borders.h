// What is left of the scanner's ground around the paper (NETTOYAGE_BORDS).
//
// The ground is traced on the page before the turn, where it touches the
// scan's edges, and painted over after the turn, wherever the turn read it:
//   TraceScannerGround  the mask of the ground, one byte a pixel
//   PaintScannerGround  the fill colour over every pixel made from the ground
#pragma once

#include <cstdint>

#include "core/bitmap.h"
#include "core/params.h"

// Makes *mask (a grey image the size of the three-byte page) 1 on the
// scanner's ground, 0 on the paper.  The ground is what is like `ground`
// (the crop's test: a byte difference sum below 3 x DETECT_DIFF) along a
// straight run from one of the scan's edges, widened into the shade of the
// paper's edge where that is nearer `ground` than `fill`.  Ground that
// reaches the middle third of the page is no border (a page of one colour,
// the ground sampled on the paper): the mask is left all 0 and
// *reaches_middle set to 1.  Returns 1, or 0 after a message, with *mask
// empty.
int TraceScannerGround(const BITMAP* page, const uint8_t ground[3], const uint8_t fill[3], const ParameterSet& params,
                       BITMAP* mask, int* reaches_middle);

// Paints `fill` over every pixel of the three-byte page whose value came
// from the ground of `mask`: with `turned`, the page is the traced one
// turned by angle degrees (RotateInto), and a pixel is painted when one of
// the 4 x 4 source pixels that the turn read is ground; otherwise the page
// is the traced one itself.  Sizes must match; nothing is painted if not.
// Returns 1, or 0 after a message when its working copy cannot be made,
// with the page unpainted.
int PaintScannerGround(BITMAP* page, const BITMAP* mask, int turned, double angle, const uint8_t fill[3]);
