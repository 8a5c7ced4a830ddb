// Fast twin of RotateInto: the same double operations in the same order for
// every pixel, so the same bytes.
//
// - Rows are split into bands, one thread a band.  A band that starts at row
//   i first repeats the i row-start additions X0 += S, Y0 += C of the plain
//   loop, so its row starts are the very doubles the plain loop reaches.
//   Within a row the source points are accumulated X += C, Y -= S as before.
// - A pixel whose 4 x 4 taps lie inside the page (and off its last row, so a
//   4-byte load of the last tap stays inside the buffer) is resampled
//   without the per-tap bounds test.  With AVX2, one pixel takes one vector
//   of four doubles: the three colour sums and the weight sum side by side,
//   the weight sum's tap being 1.0 (w x 1.0 is w exactly), so each lane does
//   the plain loop's sequence of products and sums.  The kernel weights are
//   computed for both pieces of the cubic and the right one selected.
// - Other pixels go through SampleBicubic itself.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "stages/cpu_features.h"
#include "stages/parallel.h"
#include "stages/rotation.h"

#if NIVELO_X86_KERNELS
#include <immintrin.h>
#endif

namespace {

constexpr double kPi = 3.14159265359;
constexpr double kOneOver180 = 0.005555555555555556;

// As in the plain loop: the nearer integer, the lower one on a tie, clamped.
inline uint8_t RoundToByte(double value)
{
    double low = std::floor(value), high = std::ceil(value);
    double nearest = (high - value < value - low) ? high : low;
    if (nearest < 0.0) return 0;
    if (nearest > 255.0) return 255;
    return uint8_t(nearest);
}

struct RotateJob {
    const BITMAP* page;
    BITMAP* destination;
    const uint8_t* colour;
    double c, s, x0, y0;
    bool avx2;
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

#if NIVELO_X86_KERNELS
// CubicWeight of four distances at once: both pieces computed as written
// there, the one for each lane's distance selected.
__attribute__((target("avx2"))) inline __m256d CubicWeights(__m256d t)
{
    const __m256d one = _mm256_set1_pd(1.0), two = _mm256_set1_pd(2.0);
    __m256d near = _mm256_add_pd(
        _mm256_sub_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(1.5), t), t), t),
                      _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(2.5), t), t)),
        one);
    __m256d far = _mm256_add_pd(
        _mm256_sub_pd(_mm256_mul_pd(_mm256_mul_pd(t, t), _mm256_sub_pd(_mm256_set1_pd(2.5), _mm256_mul_pd(_mm256_set1_pd(0.5), t))),
                      _mm256_mul_pd(_mm256_set1_pd(4.0), t)),
        two);
    __m256d outside = _mm256_and_pd(far, _mm256_cmp_pd(t, two, _CMP_LT_OQ));
    return _mm256_blendv_pd(outside, near, _mm256_cmp_pd(t, one, _CMP_LT_OQ));
}

// |(f + k - 1) + 0.5 - v| for k = 0 ... 3, each as double(i) + 0.5 - v.
__attribute__((target("avx2"))) inline __m256d TapDistances(double f, double v)
{
    const __m256d steps = _mm256_set_pd(2.0, 1.0, 0.0, -1.0);
    __m256d d = _mm256_sub_pd(_mm256_add_pd(_mm256_add_pd(_mm256_set1_pd(f), steps), _mm256_set1_pd(0.5)),
                              _mm256_set1_pd(v));
    return _mm256_andnot_pd(_mm256_set1_pd(-0.0), d);  // fabs
}

__attribute__((target("avx2"))) void SampleInsideAvx2(const BITMAP* page, double x, double y, uint8_t out[3])
{
    double fx = std::floor(x), fy = std::floor(y);
    size_t width = page->width;
    alignas(32) double wy[4];
    __m256d wx = CubicWeights(TapDistances(fx, x));
    _mm256_store_pd(wy, CubicWeights(TapDistances(fy, y)));
    // Lanes: sum of byte 0, byte 1, byte 2, weight sum.
    __m256d sums = _mm256_setzero_pd();
    const __m256d unit = _mm256_set_pd(1.0, 0.0, 0.0, 0.0);
    const uint8_t* tap_row = page->pixels + (size_t(int64_t(fy) - 1) * width + size_t(int64_t(fx) - 1)) * 3;
    for (int row = 0; row < 4; row++, tap_row += width * 3) {
        __m256d w_row = _mm256_mul_pd(_mm256_set1_pd(wy[row]), wx);  // wy[row] x wx[column]
        __m256d w_pairs[2] = {_mm256_permute2f128_pd(w_row, w_row, 0x00), _mm256_permute2f128_pd(w_row, w_row, 0x11)};
        for (int column = 0; column < 4; column++) {
            int32_t bytes;
            std::memcpy(&bytes, tap_row + 3 * column, 4);  // the fourth byte is dropped below
            __m256d tap = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes)));
            tap = _mm256_blend_pd(tap, unit, 0x8);
            __m256d w = _mm256_permute_pd(w_pairs[column >> 1], (column & 1) ? 0xF : 0x0);
            sums = _mm256_add_pd(sums, _mm256_mul_pd(w, tap));
        }
    }
    alignas(32) double total[4];
    _mm256_store_pd(total, sums);
    double scale = 1.0 / total[3];
    out[0] = RoundToByte(total[0] * scale);
    out[1] = RoundToByte(total[1] * scale);
    out[2] = RoundToByte(total[2] * scale);
}
#endif

void RotateBand(const RotateJob& job, int64_t first, int64_t end)
{
    int64_t width = job.page->width;
    double page_width = double(job.page->width), page_height = double(job.page->height);
    double x0 = job.x0, y0 = job.y0;
    for (int64_t i = 0; i < first; i++) {  // the row starts the plain loop reaches
        x0 = x0 + job.s;
        y0 = y0 + job.c;
    }
    for (int64_t i = first; i < end; i++) {
        uint8_t* out = job.destination->pixels + size_t(i) * size_t(width) * 3;
        double x = x0, y = y0;
        for (int64_t j = 0; j < width; j++, out += 3) {
            double fx = std::floor(x), fy = std::floor(y);
            if (!TapsInside(fx, fy, page_width, page_height))
                SampleBicubic(job.page, x, y, job.colour, out);
#if NIVELO_X86_KERNELS
            else if (job.avx2)
                SampleInsideAvx2(job.page, x, y, out);
#endif
            else
                SampleInside(job.page, x, y, out);
            x = x + job.c;
            y = y - job.s;
        }
        x0 = x0 + job.s;
        y0 = y0 + job.c;
    }
}

}  // namespace

void RotateIntoFast(const BITMAP* page, BITMAP* destination, double angle, const uint8_t colour[3], int threads)
{
    // The set-up of the plain loop, unchanged.
    int64_t width = page->width, height = page->height;
    double theta = kPi * angle * kOneOver180;
    double c = std::cos(theta), s = std::sin(theta);
    double cx = double(width) * 0.5 - 0.5, cy = double(height) * 0.5 - 0.5;
    double r = std::sqrt(cx * cx + cy * cy);
    double phi = std::atan2(-cy, cx) + theta;
    RotateJob job;
    job.page = page;
    job.destination = destination;
    job.colour = colour;
    job.c = c;
    job.s = s;
    job.x0 = double(width) * 0.5 - r * std::cos(phi);
    job.y0 = cy + r * std::sin(phi) + 0.5;
    job.avx2 = UseAvx2Kernels();
    if (width == 0) return;
    RunInBands(height, threads, [&job](int, int64_t first, int64_t end) { RotateBand(job, first, end); });
}
