// The AVX2 kernels of the fast blur: eight pixels in 32-bit lanes for any
// limit, sixteen in 16-bit lanes for the usual ones.
#include "stages/blur_kernels.h"
#include "stages/cpu_features.h"

#if NIVELO_X86_KERNELS
#include <immintrin.h>

namespace {

// Sixteen 16-bit lanes, for SumTapPairs.  A pass mask has all bits set in a
// lane whose tap counts.
struct Words16 {
    __m256i v;
    using Pass = __m256i;
    using Sums = __m256i;  // eight 32-bit sums
    static Words16 Load(const uint8_t* p)
    {
        return {_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))};
    }
    static Words16 Zero() { return {_mm256_setzero_si256()}; }
    static Sums NoSums() { return _mm256_setzero_si256(); }
    static Words16 Splat(int32_t value) { return {_mm256_set1_epi16(int16_t(uint16_t(value)))}; }
    static Sums PairWeights(int32_t a, int32_t b)
    {
        return _mm256_set1_epi32(int32_t((uint32_t(uint16_t(b)) << 16) | uint16_t(a)));
    }
};

inline Words16 operator-(Words16 a, Words16 b) { return {_mm256_sub_epi16(a.v, b.v)}; }
inline Words16 operator*(Words16 a, Words16 b) { return {_mm256_mullo_epi16(a.v, b.v)}; }
inline Words16 AddSaturated(Words16 a, Words16 b) { return {_mm256_adds_epu16(a.v, b.v)}; }
inline __m256i AtMost(Words16 a, Words16 b) { return _mm256_cmpeq_epi16(_mm256_min_epu16(a.v, b.v), a.v); }
inline Words16 Keep(__m256i pass, Words16 a) { return {_mm256_and_si256(a.v, pass)}; }
inline void AddPair(__m256i sums[2], Words16 a, Words16 b, __m256i weights)
{
    sums[0] = _mm256_add_epi32(sums[0], _mm256_madd_epi16(_mm256_unpacklo_epi16(a.v, b.v), weights));
    sums[1] = _mm256_add_epi32(sums[1], _mm256_madd_epi16(_mm256_unpackhi_epi16(a.v, b.v), weights));
}
// The masks are -1 where a tap counts: their products are minus the weights.
inline void AddPassedWeights(__m256i sums[2], __m256i a, __m256i b, __m256i weights)
{
    sums[0] = _mm256_sub_epi32(sums[0], _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights));
    sums[1] = _mm256_sub_epi32(sums[1], _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights));
}

}  // namespace

#include "stages/blur_lanes.h"

namespace {

__m256i LoadBytes8(const uint8_t* p) { return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))); }

// The means of eight pixels from their sums, lane k of each being pixel k:
// a double quotient truncated, as the plain loop's integer division (the
// quotients are below 256 and the divisors below 2^31, so the double is
// never rounded across an integer).
void StoreMeansEight(__m256i ws, __m256i s0, __m256i s1, __m256i s2, uint8_t* out)
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

}  // namespace

int64_t BlurEightAvx2(const BlurWindowRow* rows, int row_count, const uint8_t* const centre[3], int32_t limit2,
                      int64_t x_first, int64_t x_end, uint8_t* out_row)
{
    const __m256i limit = _mm256_set1_epi32(limit2);
    int64_t x = x_first;
    for (; x + 8 <= x_end; x += 8) {
        __m256i c0 = LoadBytes8(centre[0] + x), c1 = LoadBytes8(centre[1] + x), c2 = LoadBytes8(centre[2] + x);
        __m256i ws = _mm256_setzero_si256(), s0 = ws, s1 = ws, s2 = ws;
        for (int r = 0; r < row_count; r++) {
            const BlurWindowRow& row = rows[r];
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
        StoreMeansEight(ws, s0, s1, s2, out_row + x * 3);
    }
    return x;
}

int64_t BlurSixteenAvx2(const BlurFlatTap* taps, int tap_count, const uint8_t* const centre[3], int32_t limit2,
                        int64_t x_first, int64_t x_end, uint8_t* out_row)
{
    const Words16 below = Words16::Splat(limit2 - 1);
    int64_t x = x_first;
    for (; x + 16 <= x_end; x += 16) {
        // [0] holds pixels 0-3 and 8-11, [1] pixels 4-7 and 12-15.
        __m256i sums[4][2];
        SumTapPairs(taps, tap_count, centre, x, below, sums);
        // Back to pixel order: pixels 0-7 from the low 128-bit halves, 8-15 from the high.
        __m256i first[4], second[4];
        for (int q = 0; q < 4; q++) {
            first[q] = _mm256_permute2x128_si256(sums[q][0], sums[q][1], 0x20);
            second[q] = _mm256_permute2x128_si256(sums[q][0], sums[q][1], 0x31);
        }
        StoreMeansEight(first[0], first[1], first[2], first[3], out_row + x * 3);
        StoreMeansEight(second[0], second[1], second[2], second[3], out_row + (x + 8) * 3);
    }
    return x;
}
#else
int64_t BlurEightAvx2(const BlurWindowRow*, int, const uint8_t* const[3], int32_t, int64_t x_first, int64_t,
                      uint8_t*)
{
    return x_first;
}
int64_t BlurSixteenAvx2(const BlurFlatTap*, int, const uint8_t* const[3], int32_t, int64_t x_first, int64_t,
                        uint8_t*)
{
    return x_first;
}
#endif
