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
//   With AVX-512 eight pixels go together the same way; their taps usually
//   lie in two neighbouring windows of 64 bytes of each tap row pair, from
//   which one byte permute a tap and colour hands each lane its byte.
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
// GCC 12's AVX-512 headers fill unused vector halves from deliberately
// uninitialised variables, which -Wuninitialized reports at every use.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif

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

#if NIVELO_X86_KERNELS
// The two pieces of CubicWeight, written as there, for four distances.
__attribute__((target("avx2"))) inline __m256d CubicNear(__m256d t)  // t < 1
{
    __m256d cube = _mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(1.5), t), t), t);
    __m256d square = _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(2.5), t), t);
    return _mm256_add_pd(_mm256_sub_pd(cube, square), _mm256_set1_pd(1.0));
}

__attribute__((target("avx2"))) inline __m256d CubicFar(__m256d t)  // 1 <= t < 2
{
    __m256d product = _mm256_mul_pd(_mm256_mul_pd(t, t), _mm256_sub_pd(_mm256_set1_pd(2.5), _mm256_mul_pd(_mm256_set1_pd(0.5), t)));
    return _mm256_add_pd(_mm256_sub_pd(product, _mm256_mul_pd(_mm256_set1_pd(4.0), t)), _mm256_set1_pd(2.0));
}

// |double(i) + 0.5 - v| for the tap column (or row) i = f + step, f = floor(v).
__attribute__((target("avx2"))) inline __m256d TapDistance(__m256d f, double step, __m256d v)
{
    __m256d d = _mm256_sub_pd(_mm256_add_pd(_mm256_add_pd(f, _mm256_set1_pd(step)), _mm256_set1_pd(0.5)), v);
    return _mm256_andnot_pd(_mm256_set1_pd(-0.0), d);
}

// The four kernel weights of the taps f - 1 ... f + 2 around v.  The distance
// of tap f is at most 0.5 and that of tap f + 2 at least 1.5, so only the
// pieces they can take are computed for them; the other two take either.
__attribute__((target("avx2"))) inline void TapWeights(__m256d v, __m256d f, __m256d w[4])
{
    const __m256d one = _mm256_set1_pd(1.0), two = _mm256_set1_pd(2.0);
    for (int k = 0; k < 4; k += 2) {
        __m256d t = TapDistance(f, double(k - 1), v);
        __m256d far = _mm256_and_pd(CubicFar(t), _mm256_cmp_pd(t, two, _CMP_LT_OQ));
        w[k] = _mm256_blendv_pd(far, CubicNear(t), _mm256_cmp_pd(t, one, _CMP_LT_OQ));
    }
    w[1] = CubicNear(TapDistance(f, 0.0, v));
    __m256d t3 = TapDistance(f, 2.0, v);
    w[3] = _mm256_and_pd(CubicFar(t3), _mm256_cmp_pd(t3, two, _CMP_LT_OQ));
}

// RoundToByte of four values.
__attribute__((target("avx2"))) inline __m128i RoundToBytes(__m256d value)
{
    __m256d low = _mm256_floor_pd(value), high = _mm256_ceil_pd(value);
    __m256d nearer_high = _mm256_cmp_pd(_mm256_sub_pd(high, value), _mm256_sub_pd(value, low), _CMP_LT_OQ);
    __m256d nearest = _mm256_blendv_pd(low, high, nearer_high);
    nearest = _mm256_min_pd(_mm256_max_pd(nearest, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
    return _mm256_cvttpd_epi32(nearest);
}

// Four consecutive pixels of a row, source points xs[0..3], ys[0..3], one
// pixel a lane.  Returns 0, writing nothing, unless all sixteen taps of all
// four points are inside the page and above its last row.
__attribute__((target("avx2"))) int SampleFourAvx2(const BITMAP* page, const double* xs, const double* ys,
                                                   uint8_t* out)
{
    __m256d x = _mm256_loadu_pd(xs), y = _mm256_loadu_pd(ys);
    __m256d fx = _mm256_floor_pd(x), fy = _mm256_floor_pd(y);
    double width = double(page->width), height = double(page->height);
    __m256d inside = _mm256_and_pd(
        _mm256_and_pd(_mm256_cmp_pd(fx, _mm256_set1_pd(1.0), _CMP_GE_OQ),
                      _mm256_cmp_pd(_mm256_add_pd(fx, _mm256_set1_pd(2.0)), _mm256_set1_pd(width), _CMP_LT_OQ)),
        _mm256_and_pd(_mm256_cmp_pd(fy, _mm256_set1_pd(1.0), _CMP_GE_OQ),
                      _mm256_cmp_pd(_mm256_add_pd(fy, _mm256_set1_pd(2.0)), _mm256_set1_pd(height - 1.0), _CMP_LT_OQ)));
    if (_mm256_movemask_pd(inside) != 0xF) return 0;
    __m256d wx[4], wy[4];
    TapWeights(x, fx, wx);
    TapWeights(y, fy, wy);
    // Byte offset of each lane's first tap, (iy - 1) x row + (ix - 1) x 3;
    // the caller has checked that the page's size fits 31 bits.
    int32_t row_bytes = int32_t(page->width) * 3;
    __m128i ix = _mm256_cvttpd_epi32(fx), iy = _mm256_cvttpd_epi32(fy);
    __m128i base = _mm_add_epi32(_mm_mullo_epi32(_mm_sub_epi32(iy, _mm_set1_epi32(1)), _mm_set1_epi32(row_bytes)),
                                 _mm_mullo_epi32(_mm_sub_epi32(ix, _mm_set1_epi32(1)), _mm_set1_epi32(3)));
    __m256d weight_sum = _mm256_setzero_pd(), sum0 = weight_sum, sum1 = weight_sum, sum2 = weight_sum;
    // Usually the four points share their tap rows and their first tap
    // columns are at most three apart: then one 16-byte load a tap covers
    // all four lanes, and a byte shuffle hands each lane its bytes.  The load
    // may run past the row's end into the next row, which exists (the taps
    // stay above the last row) and is at least 24 bytes long.
    __m128i first_ix = _mm_shuffle_epi32(ix, 0), first_iy = _mm_shuffle_epi32(iy, 0);
    __m128i offsets = _mm_sub_epi32(ix, first_ix);  // columns from lane 0's
    bool shared = _mm_movemask_epi8(_mm_cmpeq_epi32(iy, first_iy)) == 0xFFFF &&
                  _mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi32(offsets, _mm_set1_epi32(3)),
                                                 _mm_cmpgt_epi32(_mm_setzero_si128(), offsets))) == 0 &&
                  page->width >= 8;
    if (shared) {
        // Shuffle controls: byte 3 x offset + b of the load into the low byte
        // of each 32-bit lane, zeros (0x80) into the others.
        __m128i start = _mm_add_epi32(_mm_add_epi32(offsets, offsets), offsets);
        __m128i select[3];
        for (int b = 0; b < 3; b++)
            select[b] = _mm_or_si128(_mm_add_epi32(start, _mm_set1_epi32(b)), _mm_set1_epi32(int32_t(0x80808000u)));
        const uint8_t* tap_row = page->pixels + (size_t(_mm_cvtsi128_si32(first_iy)) - 1) * size_t(row_bytes) +
                                 (size_t(_mm_cvtsi128_si32(first_ix)) - 1) * 3;
        for (int row = 0; row < 4; row++, tap_row += row_bytes) {
            for (int column = 0; column < 4; column++) {
                __m256d w = _mm256_mul_pd(wy[row], wx[column]);
                weight_sum = _mm256_add_pd(weight_sum, w);
                __m128i taps = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tap_row + 3 * column));
                __m256d p0 = _mm256_cvtepi32_pd(_mm_shuffle_epi8(taps, select[0]));
                __m256d p1 = _mm256_cvtepi32_pd(_mm_shuffle_epi8(taps, select[1]));
                __m256d p2 = _mm256_cvtepi32_pd(_mm_shuffle_epi8(taps, select[2]));
                sum0 = _mm256_add_pd(sum0, _mm256_mul_pd(w, p0));
                sum1 = _mm256_add_pd(sum1, _mm256_mul_pd(w, p1));
                sum2 = _mm256_add_pd(sum2, _mm256_mul_pd(w, p2));
            }
        }
    } else {
        const __m128i byte = _mm_set1_epi32(0xFF);
        for (int row = 0; row < 4; row++) {
            const uint8_t* tap_row = page->pixels + size_t(row) * size_t(row_bytes);
            for (int column = 0; column < 4; column++) {
                __m256d w = _mm256_mul_pd(wy[row], wx[column]);
                weight_sum = _mm256_add_pd(weight_sum, w);
                // Four bytes from each lane's tap; the fourth is the next pixel's.
                __m128i taps = _mm_i32gather_epi32(reinterpret_cast<const int*>(tap_row + 3 * column), base, 1);
                __m256d p0 = _mm256_cvtepi32_pd(_mm_and_si128(taps, byte));
                __m256d p1 = _mm256_cvtepi32_pd(_mm_and_si128(_mm_srli_epi32(taps, 8), byte));
                __m256d p2 = _mm256_cvtepi32_pd(_mm_and_si128(_mm_srli_epi32(taps, 16), byte));
                sum0 = _mm256_add_pd(sum0, _mm256_mul_pd(w, p0));
                sum1 = _mm256_add_pd(sum1, _mm256_mul_pd(w, p1));
                sum2 = _mm256_add_pd(sum2, _mm256_mul_pd(w, p2));
            }
        }
    }
    __m256d scale = _mm256_div_pd(_mm256_set1_pd(1.0), weight_sum);
    alignas(16) int32_t bytes[3][4];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes[0]), RoundToBytes(_mm256_mul_pd(sum0, scale)));
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes[1]), RoundToBytes(_mm256_mul_pd(sum1, scale)));
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes[2]), RoundToBytes(_mm256_mul_pd(sum2, scale)));
    for (int k = 0; k < 4; k++) {
        out[3 * k] = uint8_t(bytes[0][k]);
        out[3 * k + 1] = uint8_t(bytes[1][k]);
        out[3 * k + 2] = uint8_t(bytes[2][k]);
    }
    return 1;
}

// The AVX-512 kernel: the same operations as the AVX2 one, eight lanes.
NIVELO_AVX512 inline __m512d CubicNear8(__m512d t)  // t < 1
{
    __m512d cube = _mm512_mul_pd(_mm512_mul_pd(_mm512_mul_pd(_mm512_set1_pd(1.5), t), t), t);
    __m512d square = _mm512_mul_pd(_mm512_mul_pd(_mm512_set1_pd(2.5), t), t);
    return _mm512_add_pd(_mm512_sub_pd(cube, square), _mm512_set1_pd(1.0));
}

NIVELO_AVX512 inline __m512d CubicFar8(__m512d t)  // 1 <= t < 2
{
    __m512d product = _mm512_mul_pd(_mm512_mul_pd(t, t), _mm512_sub_pd(_mm512_set1_pd(2.5), _mm512_mul_pd(_mm512_set1_pd(0.5), t)));
    return _mm512_add_pd(_mm512_sub_pd(product, _mm512_mul_pd(_mm512_set1_pd(4.0), t)), _mm512_set1_pd(2.0));
}

NIVELO_AVX512 inline __m512d TapDistance8(__m512d f, double step, __m512d v)
{
    __m512d d = _mm512_sub_pd(_mm512_add_pd(_mm512_add_pd(f, _mm512_set1_pd(step)), _mm512_set1_pd(0.5)), v);
    return _mm512_abs_pd(d);
}

NIVELO_AVX512 inline void TapWeights8(__m512d v, __m512d f, __m512d w[4])
{
    const __m512d one = _mm512_set1_pd(1.0), two = _mm512_set1_pd(2.0);
    for (int k = 0; k < 4; k += 2) {
        __m512d t = TapDistance8(f, double(k - 1), v);
        __m512d far = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(t, two, _CMP_LT_OQ), CubicFar8(t));
        w[k] = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(t, one, _CMP_LT_OQ), far, CubicNear8(t));
    }
    w[1] = CubicNear8(TapDistance8(f, 0.0, v));
    __m512d t3 = TapDistance8(f, 2.0, v);
    w[3] = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(t3, two, _CMP_LT_OQ), CubicFar8(t3));
}

NIVELO_AVX512 inline __m256i RoundToBytes8(__m512d value)
{
    __m512d low = _mm512_roundscale_pd(value, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    __m512d high = _mm512_roundscale_pd(value, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC);
    __mmask8 nearer_high = _mm512_cmp_pd_mask(_mm512_sub_pd(high, value), _mm512_sub_pd(value, low), _CMP_LT_OQ);
    __m512d nearest = _mm512_mask_blend_pd(nearer_high, low, high);
    nearest = _mm512_min_pd(_mm512_max_pd(nearest, _mm512_setzero_pd()), _mm512_set1_pd(255.0));
    return _mm512_cvttpd_epi32(nearest);
}

// Eight consecutive pixels of a row, one a lane, as SampleFourAvx2 does four.
NIVELO_AVX512 int SampleEightAvx512(const BITMAP* page, const double* xs, const double* ys, uint8_t* out)
{
    __m512d x = _mm512_loadu_pd(xs), y = _mm512_loadu_pd(ys);
    __m512d fx = _mm512_roundscale_pd(x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    __m512d fy = _mm512_roundscale_pd(y, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    double width = double(page->width), height = double(page->height);
    const __m512d one = _mm512_set1_pd(1.0), two = _mm512_set1_pd(2.0);
    __mmask8 inside = _mm512_cmp_pd_mask(fx, one, _CMP_GE_OQ) &
                      _mm512_cmp_pd_mask(_mm512_add_pd(fx, two), _mm512_set1_pd(width), _CMP_LT_OQ) &
                      _mm512_cmp_pd_mask(fy, one, _CMP_GE_OQ) &
                      _mm512_cmp_pd_mask(_mm512_add_pd(fy, two), _mm512_set1_pd(height - 1.0), _CMP_LT_OQ);
    if (inside != 0xFF) return 0;
    __m512d wx[4], wy[4];
    TapWeights8(x, fx, wx);
    TapWeights8(y, fy, wy);
    int32_t row_bytes = int32_t(page->width) * 3;
    __m256i ix = _mm512_cvttpd_epi32(fx), iy = _mm512_cvttpd_epi32(fy);
    // The lowest tap row and first tap column among the lanes (the points
    // of a row are monotonic, so they are those of the first or last lane).
    __m256i first_ix = _mm256_min_epi32(_mm256_permutevar8x32_epi32(ix, _mm256_setzero_si256()),
                                        _mm256_permutevar8x32_epi32(ix, _mm256_set1_epi32(7)));
    __m256i first_iy = _mm256_min_epi32(_mm256_permutevar8x32_epi32(iy, _mm256_setzero_si256()),
                                        _mm256_permutevar8x32_epi32(iy, _mm256_set1_epi32(7)));
    __m256i row_step = _mm256_sub_epi32(iy, first_iy), column_step = _mm256_sub_epi32(ix, first_ix);
    // Usually every lane's taps start on the lowest tap row or the one below
    // it, at most 17 columns from the first: then the taps of tap row r of
    // all lanes lie in the 64 bytes of row r (lanes on the lowest row) and
    // the 64 bytes below them (the others), from the first lane's first tap
    // column on.  The loads may run into the next row, which exists and is
    // at least 64 bytes long.
    bool shared = _mm256_cmple_epu32_mask(row_step, _mm256_set1_epi32(1)) == 0xFF &&
                  _mm256_cmple_epu32_mask(column_step, _mm256_set1_epi32(17)) == 0xFF && page->width >= 24;
    __m512d weight_sum = _mm512_setzero_pd(), sum0 = weight_sum, sum1 = weight_sum, sum2 = weight_sum;
    if (shared) {
        // Byte of each lane's tap in column 0, colour 0, of the pair of windows.
        __m256i start = _mm256_add_epi32(_mm256_slli_epi32(row_step, 6),
                                         _mm256_add_epi32(_mm256_add_epi32(column_step, column_step), column_step));
        const uint8_t* window = page->pixels + (size_t(_mm256_cvtsi256_si32(first_iy)) - 1) * size_t(row_bytes) +
                                (size_t(_mm256_cvtsi256_si32(first_ix)) - 1) * 3;
        bool two_rows = _mm256_cmpeq_epi32_mask(row_step, _mm256_setzero_si256()) != 0xFF;
        __m512i upper = _mm512_loadu_si512(window);
        // The windows of the groups a few steps on: the processor's own
        // prefetch does not follow five rows that advance together.  A
        // prefetch past the page's end is harmless; the address is formed as
        // an integer, as no pointer may point there.
        for (int row = 0; row < 5; row++)
            _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(window) +
                                                       uintptr_t(row) * uintptr_t(row_bytes) + 256),
                         _MM_HINT_T0);
        for (int row = 0; row < 4; row++) {
            // The row below is read only when some lane needs it: it may be the page's last.
            __m512i lower = two_rows ? _mm512_loadu_si512(window + size_t(row + 1) * size_t(row_bytes)) : upper;
            for (int column = 0; column < 4; column++) {
                __m512d w = _mm512_mul_pd(wy[row], wx[column]);
                weight_sum = _mm512_add_pd(weight_sum, w);
                __m512i select = _mm512_castsi256_si512(_mm256_add_epi32(start, _mm256_set1_epi32(3 * column)));
                // Each lane's byte into the low byte of its 32-bit lane, zeros elsewhere.
                __m512i p0 = _mm512_maskz_permutex2var_epi8(0x11111111, upper, select, lower);
                select = _mm512_add_epi32(select, _mm512_set1_epi32(1));
                __m512i p1 = _mm512_maskz_permutex2var_epi8(0x11111111, upper, select, lower);
                select = _mm512_add_epi32(select, _mm512_set1_epi32(1));
                __m512i p2 = _mm512_maskz_permutex2var_epi8(0x11111111, upper, select, lower);
                sum0 = _mm512_add_pd(sum0, _mm512_mul_pd(w, _mm512_cvtepi32_pd(_mm512_castsi512_si256(p0))));
                sum1 = _mm512_add_pd(sum1, _mm512_mul_pd(w, _mm512_cvtepi32_pd(_mm512_castsi512_si256(p1))));
                sum2 = _mm512_add_pd(sum2, _mm512_mul_pd(w, _mm512_cvtepi32_pd(_mm512_castsi512_si256(p2))));
            }
            upper = lower;
            if (!two_rows && row < 3) upper = _mm512_loadu_si512(window + size_t(row + 1) * size_t(row_bytes));
        }
    } else {
        __m256i base = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(iy, _mm256_set1_epi32(1)), _mm256_set1_epi32(row_bytes)),
                                        _mm256_mullo_epi32(_mm256_sub_epi32(ix, _mm256_set1_epi32(1)), _mm256_set1_epi32(3)));
        const __m256i byte = _mm256_set1_epi32(0xFF);
        for (int row = 0; row < 4; row++) {
            const uint8_t* tap_row = page->pixels + size_t(row) * size_t(row_bytes);
            for (int column = 0; column < 4; column++) {
                __m512d w = _mm512_mul_pd(wy[row], wx[column]);
                weight_sum = _mm512_add_pd(weight_sum, w);
                // Four bytes from each lane's tap; the fourth is the next pixel's.
                __m256i taps = _mm256_i32gather_epi32(reinterpret_cast<const int*>(tap_row + 3 * column), base, 1);
                __m512d p0 = _mm512_cvtepi32_pd(_mm256_and_si256(taps, byte));
                __m512d p1 = _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(taps, 8), byte));
                __m512d p2 = _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(taps, 16), byte));
                sum0 = _mm512_add_pd(sum0, _mm512_mul_pd(w, p0));
                sum1 = _mm512_add_pd(sum1, _mm512_mul_pd(w, p1));
                sum2 = _mm512_add_pd(sum2, _mm512_mul_pd(w, p2));
            }
        }
    }
    __m512d scale = _mm512_div_pd(_mm512_set1_pd(1.0), weight_sum);
    // The three colours of the eight pixels as bytes, then interleaved.
    __m128i b0 = _mm256_cvtepi32_epi8(RoundToBytes8(_mm512_mul_pd(sum0, scale)));
    __m128i b1 = _mm256_cvtepi32_epi8(RoundToBytes8(_mm512_mul_pd(sum1, scale)));
    __m128i b2 = _mm256_cvtepi32_epi8(RoundToBytes8(_mm512_mul_pd(sum2, scale)));
    __m128i colours = _mm_unpacklo_epi64(b0, b1);  // b0 in bytes 0-7, b1 in 8-15, b2 in 16-23
    __m256i all = _mm256_inserti128_si256(_mm256_castsi128_si256(colours), b2, 1);
    const __m256i order = _mm256_setr_epi8(0, 8, 16, 1, 9, 17, 2, 10, 18, 3, 11, 19, 4, 12, 20, 5, 13, 21, 6, 14, 22, 7,
                                           15, 23, 0, 0, 0, 0, 0, 0, 0, 0);
    // Two plain stores: a masked one is slow on some processors.
    __m256i pixels = _mm256_permutexvar_epi8(order, all);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(pixels));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(pixels, 1));
    return 1;
}
#endif

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
