// Skew detection and rotation.
//
// The stage is split so that a caller can detect the angle on one image and
// turn another, or turn by an adjusted angle with another fill colour:
//   DetectSkewAngle  grey working copy, the five filters, the angle
//   RotatePage       the turn about the centre into a new image
//   RotationStage    both, printing the angle in between
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>

#include "core/bitmap.h"
#include "core/params.h"

// Rounds to the nearer integer, the lower one on a tie (127.5 gives 127),
// then clamps to a byte.
inline uint8_t RoundToByte(double value)
{
    double low = std::floor(value), high = std::ceil(value);
    double nearest = (high - value < value - low) ? high : low;
    if (nearest < 0.0) return 0;
    if (nearest > 255.0) return 255;
    return uint8_t(nearest);
}

// Where the turn starts and how it walks: destination pixel (j, i) samples
// the source point (x0 + j c + i s, y0 - j s + i c), reached by accumulated
// steps, in this order, so that every loop gets the same doubles.
struct RotationWalk {
    double c, s;    // cosine and sine of the angle
    double x0, y0;  // source point of destination pixel (0, 0)
};
RotationWalk StartRotation(int64_t width, int64_t height, double angle);

// Keys cubic convolution weight (a = -0.5) of a distance t >= 0.
double CubicWeight(double t);

// Resamples the three-byte page at (x, y), in pixel units with pixel (i, j)
// centred on (i + 0.5, j + 0.5), from the 4 x 4 pixels around floor(x),
// floor(y); taps outside the page take `colour`.  Writes three bytes to out.
void SampleBicubic(const BITMAP* page, double x, double y, const uint8_t colour[3], uint8_t out[3]);

// Writes every pixel of destination (same size as the page, three bytes a
// pixel) with the page turned about its centre by angle degrees; a positive
// angle makes lines that rise to the right horizontal.  Takes the fast path
// unless NIVELO_PLAIN is 1.
void RotateInto(const BITMAP* page, BITMAP* destination, double angle, const uint8_t colour[3]);

// The fast twin of RotateInto's loop, on `threads` threads: the same bytes.
void RotateIntoFast(const BITMAP* page, BITMAP* destination, double angle, const uint8_t colour[3], int threads);

// What the caller does with the images of the five skew filters: wanted(k)
// tells whether the image of filter k (1 to 5) is to be shown, save(k,
// image) shows it.  Left empty, no image is made.
struct FilterImageSink {
    std::function<bool(int k)> wanted;
    std::function<void(int k, const BITMAP* image)> save;
};

// Finds the skew angle of a three-byte page in degrees (positive: the lines
// rise to the right), handing the filter images to `show`.  *measured (when
// given) is set to 0 when no text line counted and the angle is 0 for want of
// any.  Returns 1, or 0 when the grey working copy cannot be made.
int DetectSkewAngle(const BITMAP* page, double* angle, const ParameterSet& params, const FilterImageSink& show = {},
                    int* measured = nullptr);

// Replaces *slot by the page turned by angle degrees, corners filled with
// colour; 1, or 0 with *slot unchanged.
int RotatePage(BITMAP** slot, double angle, const uint8_t colour[3]);
// RotatePage's new image, leaving the page as it is: null after a message.
BITMAP* TurnedCopy(const BITMAP* page, double angle, const uint8_t colour[3]);

// Detects the skew angle of *slot, prints it ("%f\n") and turns the page by
// it, filling uncovered corners with colour; 1, or 0 with *slot unchanged.
int RotationStage(BITMAP** slot, const uint8_t colour[3], const ParameterSet& params,
                  const FilterImageSink& show = {});
