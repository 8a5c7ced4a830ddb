// Fast twin of the blur: the same integer sums as BlurStage's plain loop,
// reorganised for speed.
//
// - Rows go in chunks to the threads.  Each thread keeps a ring of the
//   2R + 1 source rows around its current row, split into three byte
//   planes, so that a tap is read at the same offset in all lanes; a new
//   chunk fills the ring afresh.
// - Pixels at least R columns from both sides are done thirty-two (AVX-512
//   with 16-bit lanes for limits up to 255), sixteen (the same with AVX2, or
//   the portable loop left to the compiler) or eight (AVX2, 32-bit lanes,
//   larger limits) at a time: one
//   pass per tap of non-zero weight over the lanes, the colour test as a
//   mask instead of a branch.  The sums then fit 32 bits when the
//   whole table times 255 does (radii up to about 100), which is checked.
// - The remaining pixels (the R columns at each side, the tail of a row, or
//   every pixel when the sums could pass 32 bits) are done one at a time in
//   64 bits, with the window clipped as in the plain loop.
// - The mean is a double division truncated to an integer: quotients are
//   below 256 and divisors below 2^31, so the double quotient is never
//   rounded across an integer and the result equals the integer division.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/support.h"
#include "stages/blur.h"
#include "stages/parallel.h"
#include "stages/cpu_features.h"

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

constexpr int kLanes = 16;
// Largest colour distance: three bytes differing by 255.
constexpr int64_t kMostDistance = 3 * 255 * 255;

struct Tap {
    int32_t dx;
    int32_t weight;
};

// A source row of the window with the taps of its table row.
struct WindowRow {
    const uint8_t* plane[3];
    const Tap* taps;
    int32_t tap_count;
};

struct BlurJob {
    const BITMAP* image;
    BITMAP* out;
    int64_t radius;
    int32_t limit2;       // clamped to kMostDistance + 1: the test is the same
    bool narrow_sums;     // 32-bit sums cannot overflow
    VectorKernels kernels;
    std::vector<std::vector<Tap>> taps;  // non-zero taps of each table row
    uint8_t* rings;       // ring_rows x 3 planes a thread
    int64_t ring_rows;
};

// Pixels at a time from x_first while they fit before x_end; each returns
// the first pixel not done.  Lane k of every array is pixel x + k.
int64_t BlurLanesPortable(const WindowRow* rows, int row_count, const uint8_t* const centre[3], int32_t limit2,
                          int64_t x_first, int64_t x_end, uint8_t* out_row)
{
    int64_t x = x_first;
    for (; x + kLanes <= x_end; x += kLanes) {
        int32_t c0[kLanes], c1[kLanes], c2[kLanes];
        int32_t ws[kLanes] = {}, s0[kLanes] = {}, s1[kLanes] = {}, s2[kLanes] = {};
        for (int k = 0; k < kLanes; k++) c0[k] = centre[0][x + k], c1[k] = centre[1][x + k], c2[k] = centre[2][x + k];
        for (int r = 0; r < row_count; r++) {
            const WindowRow& row = rows[r];
            for (int32_t t = 0; t < row.tap_count; t++) {
                int32_t w = row.taps[t].weight;
                const uint8_t* a0 = row.plane[0] + x + row.taps[t].dx;
                const uint8_t* a1 = row.plane[1] + x + row.taps[t].dx;
                const uint8_t* a2 = row.plane[2] + x + row.taps[t].dx;
                for (int k = 0; k < kLanes; k++) {
                    int32_t p0 = a0[k], p1 = a1[k], p2 = a2[k];
                    int32_t e0 = c0[k] - p0, e1 = c1[k] - p1, e2 = c2[k] - p2;
                    int32_t d = e0 * e0 + e1 * e1 + e2 * e2;
                    int32_t m = w & -int32_t(d < limit2);  // the weight, or 0 when the colour differs
                    ws[k] += m;
                    s0[k] += m * p0;
                    s1[k] += m * p1;
                    s2[k] += m * p2;
                }
            }
        }
        uint8_t* out = out_row + x * 3;
        for (int k = 0; k < kLanes; k++) {
            double total = double(ws[k]);
            out[3 * k] = uint8_t(int32_t(double(s0[k]) / total));
            out[3 * k + 1] = uint8_t(int32_t(double(s1[k]) / total));
            out[3 * k + 2] = uint8_t(int32_t(double(s2[k]) / total));
        }
    }
    return x;
}

#if NIVELO_X86_KERNELS
__attribute__((target("avx2"))) inline __m256i LoadBytes8(const uint8_t* p)
{
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// The means of eight pixels from their sums: lane k of each is pixel k.
__attribute__((target("avx2"))) inline void StoreMeans8(__m256i ws, __m256i s0, __m256i s1, __m256i s2,
                                                         uint8_t* out)
{
    alignas(32) int32_t means[3][8];
    __m256i sums[3] = {s0, s1, s2};
    __m256d total[2] = {_mm256_cvtepi32_pd(_mm256_castsi256_si128(ws)),
                        _mm256_cvtepi32_pd(_mm256_extracti128_si256(ws, 1))};
    for (int b = 0; b < 3; b++) {
        __m128i low = _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(sums[b])), total[0]));
        __m128i high =
            _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(sums[b], 1)), total[1]));
        _mm256_store_si256(reinterpret_cast<__m256i*>(means[b]), _mm256_setr_m128i(low, high));
    }
    for (int k = 0; k < 8; k++) {
        out[3 * k] = uint8_t(means[0][k]);
        out[3 * k + 1] = uint8_t(means[1][k]);
        out[3 * k + 2] = uint8_t(means[2][k]);
    }
}

// Eight pixels a vector, 32-bit lanes: any limit.
__attribute__((target("avx2"))) int64_t BlurLanesAvx2(const WindowRow* rows, int row_count,
                                                      const uint8_t* const centre[3], int32_t limit2,
                                                      int64_t x_first, int64_t x_end, uint8_t* out_row)
{
    const __m256i limit = _mm256_set1_epi32(limit2);
    int64_t x = x_first;
    for (; x + 8 <= x_end; x += 8) {
        __m256i c0 = LoadBytes8(centre[0] + x), c1 = LoadBytes8(centre[1] + x), c2 = LoadBytes8(centre[2] + x);
        __m256i ws = _mm256_setzero_si256(), s0 = ws, s1 = ws, s2 = ws;
        for (int r = 0; r < row_count; r++) {
            const WindowRow& row = rows[r];
            for (int32_t t = 0; t < row.tap_count; t++) {
                int64_t at = x + row.taps[t].dx;
                __m256i p0 = LoadBytes8(row.plane[0] + at), p1 = LoadBytes8(row.plane[1] + at),
                        p2 = LoadBytes8(row.plane[2] + at);
                __m256i e0 = _mm256_sub_epi32(c0, p0), e1 = _mm256_sub_epi32(c1, p1), e2 = _mm256_sub_epi32(c2, p2);
                __m256i d = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(e0, e0), _mm256_mullo_epi32(e1, e1)),
                                             _mm256_mullo_epi32(e2, e2));
                // The weight, or 0 when the colour differs.
                __m256i m = _mm256_and_si256(_mm256_cmpgt_epi32(limit, d), _mm256_set1_epi32(row.taps[t].weight));
                ws = _mm256_add_epi32(ws, m);
                s0 = _mm256_add_epi32(s0, _mm256_mullo_epi32(m, p0));
                s1 = _mm256_add_epi32(s1, _mm256_mullo_epi32(m, p1));
                s2 = _mm256_add_epi32(s2, _mm256_mullo_epi32(m, p2));
            }
        }
        StoreMeans8(ws, s0, s1, s2, out_row + x * 3);
    }
    return x;
}

// One tap of the window with its planes already moved by its column offset.
struct FlatTap {
    const uint8_t* plane[3];
    int32_t weight;
};

// Sixteen pixels a vector, 16-bit lanes, for squared limits up to 65535
// (limits up to 255, the default 50 among them).  Each squared byte
// difference fits 16 bits unsigned; their sum is added with saturation at
// 65535, which leaves the test d < limit2 as it is.  Taps go in pairs: the
// products of two taps and their weights are summed into 32 bits by one
// multiply-add, tap A in the even and tap B in the odd 16-bit lanes.
__attribute__((target("avx2"))) int64_t BlurLanesAvx2Narrow(const FlatTap* taps, int tap_count,
                                                            const uint8_t* const centre[3], int32_t limit2,
                                                            int64_t x_first, int64_t x_end, uint8_t* out_row)
{
    const __m256i below = _mm256_set1_epi16(int16_t(uint16_t(limit2 - 1)));  // d < limit2: d <= limit2 - 1
    int64_t x = x_first;
    for (; x + 16 <= x_end; x += 16) {
        __m256i c[3];
        for (int b = 0; b < 3; b++)
            c[b] = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(centre[b] + x)));
        // [0] pixels 0-3 and 8-11, [1] pixels 4-7 and 12-15 (the order of
        // the 16-bit unpacks); sums of the weights, then of the three bytes.
        __m256i acc[4][2];
        for (auto& a : acc) a[0] = a[1] = _mm256_setzero_si256();
        for (int t = 0; t < tap_count; t += 2) {
            __m256i p[2][3], mask[2];
            for (int i = 0; i < 2; i++) {
                const FlatTap& tap = taps[t + i];
                __m256i d = _mm256_setzero_si256();
                for (int b = 0; b < 3; b++) {
                    p[i][b] = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(tap.plane[b] + x)));
                    __m256i e = _mm256_sub_epi16(c[b], p[i][b]);
                    d = _mm256_adds_epu16(d, _mm256_mullo_epi16(e, e));
                }
                mask[i] = _mm256_cmpeq_epi16(_mm256_min_epu16(d, below), d);
            }
            __m256i weights = _mm256_set1_epi32(int32_t((uint32_t(uint16_t(taps[t + 1].weight)) << 16) |
                                                        uint16_t(taps[t].weight)));
            // The masks are -1 where a tap counts: their products are minus the weights.
            acc[0][0] = _mm256_sub_epi32(acc[0][0], _mm256_madd_epi16(_mm256_unpacklo_epi16(mask[0], mask[1]), weights));
            acc[0][1] = _mm256_sub_epi32(acc[0][1], _mm256_madd_epi16(_mm256_unpackhi_epi16(mask[0], mask[1]), weights));
            for (int b = 0; b < 3; b++) {
                __m256i a = _mm256_and_si256(p[0][b], mask[0]), bb = _mm256_and_si256(p[1][b], mask[1]);
                acc[b + 1][0] = _mm256_add_epi32(acc[b + 1][0], _mm256_madd_epi16(_mm256_unpacklo_epi16(a, bb), weights));
                acc[b + 1][1] = _mm256_add_epi32(acc[b + 1][1], _mm256_madd_epi16(_mm256_unpackhi_epi16(a, bb), weights));
            }
        }
        // Back to pixel order: pixels 0-7 from the low halves, 8-15 from the high.
        __m256i first[4], second[4];
        for (int q = 0; q < 4; q++) {
            first[q] = _mm256_permute2x128_si256(acc[q][0], acc[q][1], 0x20);
            second[q] = _mm256_permute2x128_si256(acc[q][0], acc[q][1], 0x31);
        }
        StoreMeans8(first[0], first[1], first[2], first[3], out_row + x * 3);
        StoreMeans8(second[0], second[1], second[2], second[3], out_row + (x + 8) * 3);
    }
    return x;
}
// Thirty-two pixels a vector: BlurLanesAvx2Narrow with AVX-512.  The colour
// test gives a bit mask; the products of a tap pair are summed into 32 bits
// by one dot-product-and-add.
NIVELO_AVX512 int64_t BlurLanesAvx512Narrow(const FlatTap* taps, int tap_count, const uint8_t* const centre[3],
                                            int32_t limit2, int64_t x_first, int64_t x_end, uint8_t* out_row)
{
    const __m512i below = _mm512_set1_epi16(int16_t(uint16_t(limit2 - 1)));  // d < limit2: d <= limit2 - 1
    const __m512i ones = _mm512_set1_epi16(1);
    // Output byte 3 k + b is byte k of colour b's sixteen means.
    alignas(64) uint8_t order_bytes[64] = {};
    for (int k = 0; k < 16; k++)
        for (int b = 0; b < 3; b++) order_bytes[3 * k + b] = uint8_t(16 * b + k);
    const __m512i order = _mm512_load_si512(order_bytes);
    // The 16-bit unpacks leave pixels 8 L + 0-3 in 128-bit lane L of the low
    // and 8 L + 4-7 in that of the high accumulator: 64-bit lane indices of
    // pixels 0-15 and 16-31 in the pair.
    const __m512i first_half = _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11);
    const __m512i second_half = _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15);
    int64_t x = x_first;
    for (; x + 32 <= x_end; x += 32) {
        __m512i c[3];
        for (int b = 0; b < 3; b++)
            c[b] = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(centre[b] + x)));
        // Sums of the weights, then of the three bytes; [0] low, [1] high unpacks.
        __m512i acc[4][2];
        for (auto& a : acc) a[0] = a[1] = _mm512_setzero_si512();
        for (int t = 0; t < tap_count; t += 2) {
            __m512i p[2][3];
            __mmask32 pass[2];
            for (int i = 0; i < 2; i++) {
                const FlatTap& tap = taps[t + i];
                __m512i d = _mm512_setzero_si512();
                for (int b = 0; b < 3; b++) {
                    p[i][b] = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(tap.plane[b] + x)));
                    __m512i e = _mm512_sub_epi16(c[b], p[i][b]);
                    d = _mm512_adds_epu16(d, _mm512_mullo_epi16(e, e));
                }
                pass[i] = _mm512_cmple_epu16_mask(d, below);
            }
            __m512i weights = _mm512_set1_epi32(int32_t((uint32_t(uint16_t(taps[t + 1].weight)) << 16) |
                                                        uint16_t(taps[t].weight)));
            __m512i a = _mm512_maskz_mov_epi16(pass[0], ones), bb = _mm512_maskz_mov_epi16(pass[1], ones);
            acc[0][0] = _mm512_dpwssd_epi32(acc[0][0], _mm512_unpacklo_epi16(a, bb), weights);
            acc[0][1] = _mm512_dpwssd_epi32(acc[0][1], _mm512_unpackhi_epi16(a, bb), weights);
            for (int b = 0; b < 3; b++) {
                a = _mm512_maskz_mov_epi16(pass[0], p[0][b]);
                bb = _mm512_maskz_mov_epi16(pass[1], p[1][b]);
                acc[b + 1][0] = _mm512_dpwssd_epi32(acc[b + 1][0], _mm512_unpacklo_epi16(a, bb), weights);
                acc[b + 1][1] = _mm512_dpwssd_epi32(acc[b + 1][1], _mm512_unpackhi_epi16(a, bb), weights);
            }
        }
        for (int half = 0; half < 2; half++) {
            const __m512i& pick = half == 0 ? first_half : second_half;
            __m512i sums[4];
            for (int q = 0; q < 4; q++) sums[q] = _mm512_permutex2var_epi64(acc[q][0], pick, acc[q][1]);
            // The means as in StoreMeans8, eight at a time: quotients of doubles, truncated.
            __m512d total[2] = {_mm512_cvtepi32_pd(_mm512_castsi512_si256(sums[0])),
                                _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(sums[0], 1))};
            __m128i bytes[3];
            for (int b = 0; b < 3; b++) {
                __m256i low = _mm512_cvttpd_epi32(
                    _mm512_div_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(sums[b + 1])), total[0]));
                __m256i high = _mm512_cvttpd_epi32(
                    _mm512_div_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(sums[b + 1], 1)), total[1]));
                bytes[b] = _mm512_cvtepi32_epi8(_mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1));
            }
            __m512i all = _mm512_inserti32x4(
                _mm512_inserti32x4(_mm512_castsi128_si512(bytes[0]), bytes[1], 1), bytes[2], 2);
            // Two plain stores: a masked one is slow on some processors.
            __m512i pixels = _mm512_permutexvar_epi8(order, all);
            uint8_t* out = out_row + (x + 16 * half) * 3;
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_castsi512_si256(pixels));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm512_extracti32x4_epi32(pixels, 2));
        }
    }
    return x;
}
#endif

// One pixel, window clipped at the row's ends, 64-bit sums.
void BlurOne(const WindowRow* rows, int row_count, const uint8_t* const centre[3], int64_t limit2, int64_t x,
             int64_t width, uint8_t* out)
{
    int32_t c0 = centre[0][x], c1 = centre[1][x], c2 = centre[2][x];
    int64_t ws = 0, s0 = 0, s1 = 0, s2 = 0;
    for (int r = 0; r < row_count; r++) {
        const WindowRow& row = rows[r];
        for (int32_t t = 0; t < row.tap_count; t++) {
            int64_t xx = x + row.taps[t].dx;
            if (xx < 0 || xx >= width) continue;
            int32_t p0 = row.plane[0][xx], p1 = row.plane[1][xx], p2 = row.plane[2][xx];
            int32_t e0 = c0 - p0, e1 = c1 - p1, e2 = c2 - p2;
            if (e0 * e0 + e1 * e1 + e2 * e2 >= limit2) continue;
            int64_t w = row.taps[t].weight;
            ws += w;
            s0 += w * p0;
            s1 += w * p1;
            s2 += w * p2;
        }
    }
    // The centre passes the test whenever limit2 > 0, so ws >= 1024.
    out[0] = uint8_t(s0 / ws);
    out[1] = uint8_t(s1 / ws);
    out[2] = uint8_t(s2 / ws);
}

#if NIVELO_X86_KERNELS
// Sixteen pixels at a time while a 64-byte load stays in the row; returns
// the first pixel not done.
NIVELO_AVX512 int64_t SplitRowAvx512(const uint8_t* pixels, int64_t width, uint8_t* p0, uint8_t* p1, uint8_t* p2)
{
    alignas(64) uint8_t order_bytes[64] = {};
    for (int b = 0; b < 3; b++)
        for (int k = 0; k < 16; k++) order_bytes[16 * b + k] = uint8_t(3 * k + b);
    const __m512i order = _mm512_load_si512(order_bytes);
    int64_t x = 0;
    for (; 3 * x + 64 <= 3 * width; x += 16) {
        __m512i planes = _mm512_permutexvar_epi8(order, _mm512_loadu_si512(pixels + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p0 + x), _mm512_castsi512_si128(planes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p1 + x), _mm512_extracti32x4_epi32(planes, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p2 + x), _mm512_extracti32x4_epi32(planes, 2));
    }
    return x;
}
#endif

void SplitRow(const uint8_t* pixels, int64_t width, uint8_t* planes, VectorKernels kernels)
{
    uint8_t* p0 = planes;
    uint8_t* p1 = planes + width;
    uint8_t* p2 = planes + 2 * width;
    int64_t x = 0;
#if NIVELO_X86_KERNELS
    if (kernels == kAvx512Kernels) x = SplitRowAvx512(pixels, width, p0, p1, p2);
#else
    (void)kernels;
#endif
    for (; x < width; x++) {
        p0[x] = pixels[3 * x];
        p1[x] = pixels[3 * x + 1];
        p2[x] = pixels[3 * x + 2];
    }
}

void BlurChunk(const BlurJob& job, int thread, int64_t first, int64_t end)
{
    int64_t width = job.image->width, height = job.image->height, radius = job.radius;
    size_t row_bytes = size_t(width) * 3;
    uint8_t* ring = job.rings + size_t(thread) * size_t(job.ring_rows) * row_bytes;
    auto ring_row = [&](int64_t y) { return ring + size_t(y % job.ring_rows) * row_bytes; };
    int64_t loaded = first - radius < 0 ? 0 : first - radius;  // next source row to split
    std::vector<WindowRow> rows(size_t(2 * radius + 1));
#if NIVELO_X86_KERNELS
    size_t tap_total = 0;
    for (const std::vector<Tap>& taps : job.taps) tap_total += taps.size();
    std::vector<FlatTap> flat(tap_total + 1);
#endif
    for (int64_t y = first; y < end; y++) {
        int64_t top = y - radius < 0 ? 0 : y - radius;
        int64_t bottom = y + radius + 1 < height ? y + radius + 1 : height;
        for (; loaded < bottom; loaded++)
            SplitRow(job.image->pixels + size_t(loaded) * row_bytes, width, ring_row(loaded), job.kernels);
        int row_count = 0;
        for (int64_t yy = top; yy < bottom; yy++) {
            const std::vector<Tap>& taps = job.taps[size_t(yy - y + radius)];
            if (taps.empty()) continue;
            uint8_t* planes = ring_row(yy);
            rows[size_t(row_count++)] = {{planes, planes + width, planes + 2 * width}, taps.data(),
                                         int32_t(taps.size())};
        }
        const uint8_t* centre_planes = ring_row(y);
        const uint8_t* centre[3] = {centre_planes, centre_planes + width, centre_planes + 2 * width};
        uint8_t* out_row = job.out->pixels + size_t(y) * row_bytes;
        int64_t x = 0;
        if (job.narrow_sums) {
            for (; x < radius && x < width; x++)
                BlurOne(rows.data(), row_count, centre, job.limit2, x, width, out_row + 3 * x);
#if NIVELO_X86_KERNELS
            if (job.kernels != kPortableKernels && job.limit2 <= 65535 && x + 16 <= width - radius) {
                int flat_count = 0;
                for (int r = 0; r < row_count; r++)
                    for (int32_t t = 0; t < rows[size_t(r)].tap_count; t++) {
                        const WindowRow& row = rows[size_t(r)];
                        int32_t dx = row.taps[t].dx;
                        flat[size_t(flat_count++)] = {{row.plane[0] + dx, row.plane[1] + dx, row.plane[2] + dx},
                                                      row.taps[t].weight};
                    }
                if (flat_count % 2 != 0)  // a partner of weight 0 adds nothing
                    flat[size_t(flat_count++)] = {{centre[0], centre[1], centre[2]}, 0};
                if (job.kernels == kAvx512Kernels)
                    x = BlurLanesAvx512Narrow(flat.data(), flat_count, centre, job.limit2, x, width - radius, out_row);
                x = BlurLanesAvx2Narrow(flat.data(), flat_count, centre, job.limit2, x, width - radius, out_row);
            }
            if (job.kernels != kPortableKernels && x < width - radius)
                x = BlurLanesAvx2(rows.data(), row_count, centre, job.limit2, x, width - radius, out_row);
#endif
            if (x < width - radius)
                x = BlurLanesPortable(rows.data(), row_count, centre, job.limit2, x, width - radius, out_row);
        }
        for (; x < width; x++) BlurOne(rows.data(), row_count, centre, job.limit2, x, width, out_row + 3 * x);
    }
}

}  // namespace

int BlurIntoFast(const BITMAP* image, BITMAP* out, const int32_t* table, int64_t radius, int64_t limit2, int threads)
{
    int64_t width = image->width, height = image->height;
    uint64_t image_bytes = BITMAP_ByteSize(image->width, image->height, PIXEL_BGR);
    if (image_bytes == 0) return 1;
    if (limit2 <= 0) {  // no pixel passes the test: every pixel keeps its value
        std::memcpy(out->pixels, image->pixels, size_t(image_bytes));
        return 1;
    }
    BlurJob job;
    job.image = image;
    job.out = out;
    job.radius = radius;
    job.limit2 = int32_t(limit2 > kMostDistance ? kMostDistance + 1 : limit2);
    int64_t side = 2 * radius + 1;
    job.taps.resize(size_t(side));
    uint64_t weight_total = 0;
    for (int64_t dy = 0; dy < side; dy++)
        for (int64_t dx = 0; dx < side; dx++) {
            int32_t w = table[size_t(dy) * size_t(side) + size_t(dx)];
            if (w == 0) continue;
            job.taps[size_t(dy)].push_back({int32_t(dx - radius), w});
            weight_total += uint64_t(w);
        }
    job.narrow_sums = weight_total * 255 <= uint64_t(INT32_MAX);
    job.kernels = ChooseVectorKernels();
    // The rings of all threads together stay within one image's size.
    job.ring_rows = side < height ? side : height;
    uint64_t ring_bytes = uint64_t(job.ring_rows) * uint64_t(width) * 3;
    uint64_t most_threads = image_bytes / ring_bytes;
    if (uint64_t(threads) > most_threads) threads = int(most_threads < 1 ? 1 : most_threads);
    if (threads > height) threads = int(height);
    job.rings = static_cast<uint8_t*>(AllocMemory(size_t(ring_bytes) * size_t(threads)));
    if (job.rings == nullptr) return 0;
    RunInBands(height, threads, [&job](int thread, int64_t first, int64_t end) { BlurChunk(job, thread, first, end); });
    FreeMemory(&job.rings);
    return 1;
}
