// Turning the page about its centre with 4 x 4 cubic convolution.
//
// All arithmetic is in double, in the order written here: results must be
// byte-identical wherever the program runs, so expressions are not
// rearranged and the source point advances by accumulated steps rather than
// being computed afresh for each pixel.
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "stages/parallel.h"
#include "stages/degrees.h"
#include "stages/rotation.h"

double CubicWeight(double t)
{
    if (t < 1.0) return 1.5 * t * t * t - 2.5 * t * t + 1.0;
    if (t < 2.0) return t * t * (2.5 - 0.5 * t) - 4.0 * t + 2.0;
    return 0.0;
}

void SampleBicubic(const BITMAP* page, double x, double y, const uint8_t colour[3], uint8_t out[3])
{
    double fx = std::floor(x), fy = std::floor(y);
    int64_t width = page->width, height = page->height;
    // All sixteen taps outside the page (or a point that is no number): the
    // normalised sum of sixteen background taps is the background colour.
    if (!(fx + 2.0 >= 0.0 && fx - 1.0 < double(width) && fy + 2.0 >= 0.0 && fy - 1.0 < double(height))) {
        std::memcpy(out, colour, 3);
        return;
    }
    int64_t ix = int64_t(fx), iy = int64_t(fy);
    double wx[4], wy[4];
    for (int k = 0; k < 4; k++) {
        wx[k] = CubicWeight(std::fabs(double(ix - 1 + k) + 0.5 - x));
        wy[k] = CubicWeight(std::fabs(double(iy - 1 + k) + 0.5 - y));
    }
    double weight_sum = 0.0, sum[3] = {0.0, 0.0, 0.0};
    for (int row = 0; row < 4; row++) {
        int64_t j = iy - 1 + row;
        for (int column = 0; column < 4; column++) {
            int64_t i = ix - 1 + column;
            double w = wy[row] * wx[column];
            weight_sum = weight_sum + w;
            const uint8_t* tap = colour;
            if (i >= 0 && i < width && j >= 0 && j < height)
                tap = page->pixels + (size_t(j) * size_t(width) + size_t(i)) * 3;
            sum[0] = sum[0] + w * tap[0];
            sum[1] = sum[1] + w * tap[1];
            sum[2] = sum[2] + w * tap[2];
        }
    }
    double scale = 1.0 / weight_sum;
    for (int b = 0; b < 3; b++) out[b] = RoundToByte(sum[b] * scale);
}

RotationWalk StartRotation(int64_t width, int64_t height, double angle)
{
    double theta = kPi * angle * kOneOver180;
    double c = std::cos(theta), s = std::sin(theta);
    double cx = double(width) * 0.5 - 0.5, cy = double(height) * 0.5 - 0.5;
    double r = std::sqrt(cx * cx + cy * cy);
    double phi = std::atan2(-cy, cx) + theta;
    return {c, s, double(width) * 0.5 - r * std::cos(phi), cy + r * std::sin(phi) + 0.5};
}

void RotateInto(const BITMAP* page, BITMAP* destination, double angle, const uint8_t colour[3])
{
    if (UseFastStages()) {
        RotateIntoFast(page, destination, angle, colour, StageThreads());
        return;
    }
    int64_t width = page->width, height = page->height;
    RotationWalk walk = StartRotation(width, height, angle);
    double c = walk.c, s = walk.s, x0 = walk.x0, y0 = walk.y0;
    for (int64_t i = 0; i < height; i++) {
        uint8_t* out = destination->pixels + size_t(i) * size_t(width) * 3;
        double x = x0, y = y0;
        for (int64_t j = 0; j < width; j++, out += 3) {
            SampleBicubic(page, x, y, colour, out);
            x = x + c;
            y = y - s;
        }
        x0 = x0 + s;
        y0 = y0 + c;
    }
}

BITMAP* TurnedCopy(const BITMAP* page, double angle, const uint8_t colour[3])
{
    if (BITMAP_BytesPerPixel(page->type) != 3) {
        ReportError("RotatePage: pixel type %u not supported\n", unsigned(page->type));
        return nullptr;
    }
    BITMAP* turned = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    if (turned == nullptr) return nullptr;
    if (!BITMAP_Create(turned, page->width, page->height, page->type)) {
        FreeMemory(&turned);
        return nullptr;
    }
    RotateInto(page, turned, angle, colour);
    return turned;
}

int RotatePage(BITMAP** slot, double angle, const uint8_t colour[3])
{
    BITMAP* turned = TurnedCopy(*slot, angle, colour);
    if (turned == nullptr) return 0;
    BITMAP_Free(*slot);
    FreeMemory(slot);
    *slot = turned;
    return 1;
}

int RotationStage(BITMAP** slot, const uint8_t colour[3], const ParameterSet& params, const FilterImageSink& show)
{
    if (BITMAP_BytesPerPixel((*slot)->type) != 3) {
        ReportError("RotationStage: pixel type %u not supported\n", unsigned((*slot)->type));
        return 0;
    }
    double angle = 0.0;
    if (!DetectSkewAngle(*slot, &angle, params, show)) return 0;
    std::printf("%f\n", angle);
    return RotatePage(slot, angle, colour);
}
