// The AVX-512 kernels of the fast blur: thirty-two pixels in 16-bit lanes,
// and the split of a row into its three byte planes.
#include "stages/blur_kernels.h"
#include "stages/cpu_features.h"

#if NIVELO_X86_KERNELS
// GCC 12's AVX-512 headers fill unused vector halves from deliberately
// uninitialised variables, which -Wuninitialized reports at every use.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

namespace {

// Thirty-two 16-bit lanes, for SumTapPairs.  A pass is a bit mask.
struct Words32 {
    __m512i v;
    using Pass = __mmask32;
    using Sums = __m512i;  // sixteen 32-bit sums
    static Words32 Load(const uint8_t* p)
    {
        return {_mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)))};
    }
    static Words32 Zero() { return {_mm512_setzero_si512()}; }
    static Sums NoSums() { return _mm512_setzero_si512(); }
    static Words32 Splat(int32_t value) { return {_mm512_set1_epi16(int16_t(uint16_t(value)))}; }
    static Sums PairWeights(int32_t a, int32_t b)
    {
        return _mm512_set1_epi32(int32_t((uint32_t(uint16_t(b)) << 16) | uint16_t(a)));
    }
};

inline Words32 operator-(Words32 a, Words32 b) { return {_mm512_sub_epi16(a.v, b.v)}; }
inline Words32 operator*(Words32 a, Words32 b) { return {_mm512_mullo_epi16(a.v, b.v)}; }
inline Words32 AddSaturated(Words32 a, Words32 b) { return {_mm512_adds_epu16(a.v, b.v)}; }
inline __mmask32 AtMost(Words32 a, Words32 b) { return _mm512_cmple_epu16_mask(a.v, b.v); }
inline Words32 Keep(__mmask32 pass, Words32 a) { return {_mm512_maskz_mov_epi16(pass, a.v)}; }
// One dot-product-and-add a half.
inline void AddPair(__m512i sums[2], Words32 a, Words32 b, __m512i weights)
{
    sums[0] = _mm512_dpwssd_epi32(sums[0], _mm512_unpacklo_epi16(a.v, b.v), weights);
    sums[1] = _mm512_dpwssd_epi32(sums[1], _mm512_unpackhi_epi16(a.v, b.v), weights);
}
inline void AddPassedWeights(__m512i sums[2], __mmask32 a, __mmask32 b, __m512i weights)
{
    const Words32 ones = Words32::Splat(1);
    AddPair(sums, Keep(a, ones), Keep(b, ones), weights);
}

}  // namespace

#include "stages/blur_lanes.h"

namespace {

// The means of sixteen pixels (sums in pixel order), as double quotients
// truncated like StoreMeansEight, stored as 48 interleaved bytes.
void StoreMeansSixteen(const __m512i sums[4], __m512i order, uint8_t* out)
{
    __m512d total[2] = {_mm512_cvtepi32_pd(_mm512_castsi512_si256(sums[0])),
                        _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(sums[0], 1))};
    __m128i bytes[3];
    for (int b = 0; b < 3; b++) {
        __m256i low =
            _mm512_cvttpd_epi32(_mm512_div_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(sums[b + 1])), total[0]));
        __m256i high =
            _mm512_cvttpd_epi32(_mm512_div_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(sums[b + 1], 1)), total[1]));
        bytes[b] = _mm512_cvtepi32_epi8(_mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1));
    }
    __m512i all =
        _mm512_inserti32x4(_mm512_inserti32x4(_mm512_castsi128_si512(bytes[0]), bytes[1], 1), bytes[2], 2);
    // Two plain stores: a masked one is slow on some processors.
    __m512i pixels = _mm512_permutexvar_epi8(order, all);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_castsi512_si256(pixels));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm512_extracti32x4_epi32(pixels, 2));
}

}  // namespace

int64_t BlurThirtyTwoAvx512(const BlurFlatTap* taps, int tap_count, const uint8_t* const centre[3], int32_t limit2,
                            int64_t x_first, int64_t x_end, uint8_t* out_row)
{
    const Words32 below = Words32::Splat(limit2 - 1);
    // Output byte 3 k + b is byte k of colour b's sixteen means.
    alignas(64) uint8_t order_bytes[64] = {};
    for (int k = 0; k < 16; k++)
        for (int b = 0; b < 3; b++) order_bytes[3 * k + b] = uint8_t(16 * b + k);
    const __m512i order = _mm512_load_si512(order_bytes);
    // The 16-bit unpacks leave pixels 8 L + 0-3 in 128-bit lane L of the low
    // and 8 L + 4-7 in that of the high sums: 64-bit lane indices of pixels
    // 0-15 and 16-31 in the pair.
    const __m512i halves[2] = {_mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11),
                               _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15)};
    int64_t x = x_first;
    for (; x + 32 <= x_end; x += 32) {
        __m512i sums[4][2];
        SumTapPairs(taps, tap_count, centre, x, below, sums);
        for (int half = 0; half < 2; half++) {
            __m512i in_order[4];
            for (int q = 0; q < 4; q++) in_order[q] = _mm512_permutex2var_epi64(sums[q][0], halves[half], sums[q][1]);
            StoreMeansSixteen(in_order, order, out_row + (x + 16 * half) * 3);
        }
    }
    return x;
}

int64_t SplitSixteenAvx512(const uint8_t* pixels, int64_t width, uint8_t* p0, uint8_t* p1, uint8_t* p2)
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
#else
int64_t BlurThirtyTwoAvx512(const BlurFlatTap*, int, const uint8_t* const[3], int32_t, int64_t x_first, int64_t,
                            uint8_t*)
{
    return x_first;
}
int64_t SplitSixteenAvx512(const uint8_t*, int64_t, uint8_t*, uint8_t*, uint8_t*) { return 0; }
#endif
