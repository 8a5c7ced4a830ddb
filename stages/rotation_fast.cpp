// Fast twin of RotateInto: the same double operations in the same order for
// every pixel, so the same bytes.
//
// - Rows go in chunks to the threads.  A chunk that starts at row i first
//   repeats the i row-start additions X0 += S, Y0 += C of the plain loop, so
//   its row starts are the very doubles the plain loop reaches.
//   Within a row the source points are accumulated X += C, Y -= S as before.
// - A pixel whose 4 x 4 taps lie inside the page (and off its last row, so a
//   4-byte load of the last tap stays inside the buffer) is resampled
//   without the per-tap bounds test.  With AVX2, four neighbouring pixels
//   of a row go together, one a lane: each lane does the plain sequence of
//   weights, products and sums for its own pixel, its taps gathered from
//   its own place in the page.  A kernel weight is computed for each piece
//   of the cubic its distance can fall in and the right one selected.
//   With AVX-512 eight pixels go together the same way.  The kernels live in
//   files of their own (rotation_avx2.cpp, rotation_avx512.cpp).
// - Other pixels go through SampleBicubic itself.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "stages/cpu_features.h"
#include "stages/parallel.h"
#include "stages/rotation.h"
#include "stages/rotation_kernels.h"

namespace {

struct RotateJob {
    const BITMAP* page;
    BITMAP* destination;
    const uint8_t* colour;
    double c, s, x0, y0;
    VectorKernels kernels;
};

// True when the taps of the point with floors fx, fy are inside the page and
// above its last row.
inline bool TapsInside(double fx, double fy, double width, double height)
{
    return fx >= 1.0 && fx + 2.0 < width && fy >= 1.0 && fy + 2.0 < height - 1.0;
}

// SampleBicubic for a point whose taps are all inside the page.
void SampleInside(const BITMAP* page, double x, double y, uint8_t out[3])
{
    double fx = std::floor(x), fy = std::floor(y);
    int64_t ix = int64_t(fx), iy = int64_t(fy);
    size_t width = page->width;
    double wx[4], wy[4];
    for (int k = 0; k < 4; k++) {
        wx[k] = CubicWeight(std::fabs(double(ix - 1 + k) + 0.5 - x));
        wy[k] = CubicWeight(std::fabs(double(iy - 1 + k) + 0.5 - y));
    }
    double weight_sum = 0.0, sum0 = 0.0, sum1 = 0.0, sum2 = 0.0;
    const uint8_t* tap_row = page->pixels + (size_t(iy - 1) * width + size_t(ix - 1)) * 3;
    for (int row = 0; row < 4; row++, tap_row += width * 3) {
        const uint8_t* tap = tap_row;
        for (int column = 0; column < 4; column++, tap += 3) {
            double w = wy[row] * wx[column];
            weight_sum = weight_sum + w;
            sum0 = sum0 + w * tap[0];
            sum1 = sum1 + w * tap[1];
            sum2 = sum2 + w * tap[2];
        }
    }
    double scale = 1.0 / weight_sum;
    out[0] = RoundToByte(sum0 * scale);
    out[1] = RoundToByte(sum1 * scale);
    out[2] = RoundToByte(sum2 * scale);
}

// One pixel, as the plain loop does it, without its per-tap bounds test
// where the taps are known to be inside.
inline void SampleOne(const BITMAP* page, double x, double y, const uint8_t* colour, uint8_t* out)
{
    if (TapsInside(std::floor(x), std::floor(y), double(page->width), double(page->height)))
        SampleInside(page, x, y, out);
    else
        SampleBicubic(page, x, y, colour, out);
}

void RotateChunk(const RotateJob& job, int64_t first, int64_t end)
{
    int64_t width = job.page->width;
    double x0 = job.x0, y0 = job.y0;
    for (int64_t i = 0; i < first; i++) {  // the row starts the plain loop reaches
        x0 = x0 + job.s;
        y0 = y0 + job.c;
    }
    std::vector<double> xs(static_cast<size_t>(width)), ys(static_cast<size_t>(width));
    for (int64_t i = first; i < end; i++) {
        uint8_t* out = job.destination->pixels + size_t(i) * size_t(width) * 3;
        // The source points of the row, accumulated as in the plain loop.
        double x = x0, y = y0;
        for (int64_t j = 0; j < width; j++) {
            xs[size_t(j)] = x;
            ys[size_t(j)] = y;
            x = x + job.c;
            y = y - job.s;
        }
        int64_t j = 0;
#if NIVELO_X86_KERNELS
        if (job.kernels == kAvx512Kernels) {
            for (; j + 8 <= width; j += 8) {
                if (SampleEightAvx512(job.page, &xs[size_t(j)], &ys[size_t(j)], out + 3 * j)) continue;
                for (int64_t k = j; k < j + 8; k++)
                    SampleOne(job.page, xs[size_t(k)], ys[size_t(k)], job.colour, out + 3 * k);
            }
        }
        if (job.kernels != kPortableKernels) {
            for (; j + 4 <= width; j += 4) {
                if (SampleFourAvx2(job.page, &xs[size_t(j)], &ys[size_t(j)], out + 3 * j)) continue;
                for (int64_t k = j; k < j + 4; k++)
                    SampleOne(job.page, xs[size_t(k)], ys[size_t(k)], job.colour, out + 3 * k);
            }
        }
#endif
        for (; j < width; j++) SampleOne(job.page, xs[size_t(j)], ys[size_t(j)], job.colour, out + 3 * j);
        x0 = x0 + job.s;
        y0 = y0 + job.c;
    }
}

}  // namespace

void RotateIntoFast(const BITMAP* page, BITMAP* destination, double angle, const uint8_t colour[3], int threads)
{
    int64_t width = page->width, height = page->height;
    RotationWalk walk = StartRotation(width, height, angle);
    RotateJob job;
    job.page = page;
    job.destination = destination;
    job.colour = colour;
    job.c = walk.c;
    job.s = walk.s;
    job.x0 = walk.x0;
    job.y0 = walk.y0;
    // The vector kernel addresses taps with 32-bit offsets.
    job.kernels = ChooseVectorKernels();
    if (BITMAP_ByteSize(page->width, page->height, PIXEL_BGR) >= (uint64_t(1) << 31)) job.kernels = kPortableKernels;
    if (width == 0) return;
    RunInBands(height, threads, [&job](int, int64_t first, int64_t end) { RotateChunk(job, first, end); });
}
