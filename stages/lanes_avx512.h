// Eight doubles a vector, for the AVX-512 kernels: the arithmetic that the
// lane templates (cubic_lanes.h) write once for every width.  Include only
// from a file compiled for AVX-512; everything here stays local to that file.
#pragma once

// GCC 12's AVX-512 headers fill unused vector halves from deliberately
// uninitialised variables, which -Wuninitialized reports at every use.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#include <cstdint>

namespace {

struct Lanes8d {
    __m512d v;
    Lanes8d(__m512d value) : v(value) {}
    explicit Lanes8d(double value) : v(_mm512_set1_pd(value)) {}
};
using Mask8d = __mmask8;

inline Lanes8d operator+(Lanes8d a, Lanes8d b) { return _mm512_add_pd(a.v, b.v); }
inline Lanes8d operator-(Lanes8d a, Lanes8d b) { return _mm512_sub_pd(a.v, b.v); }
inline Lanes8d operator*(Lanes8d a, Lanes8d b) { return _mm512_mul_pd(a.v, b.v); }
inline Lanes8d operator/(Lanes8d a, Lanes8d b) { return _mm512_div_pd(a.v, b.v); }
inline Lanes8d Abs(Lanes8d a) { return _mm512_abs_pd(a.v); }
inline Lanes8d Floor(Lanes8d a) { return _mm512_roundscale_pd(a.v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
inline Lanes8d Ceil(Lanes8d a) { return _mm512_roundscale_pd(a.v, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC); }
inline Lanes8d Max(Lanes8d a, Lanes8d b) { return _mm512_max_pd(a.v, b.v); }
inline Lanes8d Min(Lanes8d a, Lanes8d b) { return _mm512_min_pd(a.v, b.v); }
inline Mask8d Less(Lanes8d a, Lanes8d b) { return _mm512_cmp_pd_mask(a.v, b.v, _CMP_LT_OQ); }
inline Mask8d NotLess(Lanes8d a, Lanes8d b) { return _mm512_cmp_pd_mask(a.v, b.v, _CMP_GE_OQ); }
inline Mask8d And(Mask8d a, Mask8d b) { return Mask8d(a & b); }
inline bool All(Mask8d m) { return m == 0xFF; }
inline Lanes8d Select(Mask8d m, Lanes8d if_true, Lanes8d if_false) { return _mm512_mask_blend_pd(m, if_false.v, if_true.v); }
inline Lanes8d KeepWhere(Mask8d m, Lanes8d a) { return _mm512_maskz_mov_pd(m, a.v); }

// Whole numbers in 32-bit lanes, one for each double lane.
using Words8 = __m256i;
inline Words8 Truncated(Lanes8d a) { return _mm512_cvttpd_epi32(a.v); }
// The four bytes at base + offset of each lane.
inline Words8 GatherWords(const uint8_t* base, Words8 offsets)
{
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(base), offsets, 1);
}
// Byte b of each lane's word, as a double.
inline Lanes8d WordByte(Words8 words, int b)
{
    return _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(words, 8 * b), _mm256_set1_epi32(0xFF)));
}

}  // namespace
