// Four doubles a vector, for the AVX2 kernels: the arithmetic that the lane
// templates (cubic_lanes.h) write once for every width.  Include only from
// a file compiled for AVX2; everything here stays local to that file.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace {

struct Lanes4d {
    __m256d v;
    Lanes4d(__m256d value) : v(value) {}
    explicit Lanes4d(double value) : v(_mm256_set1_pd(value)) {}
};
using Mask4d = __m256d;  // all bits set in a lane where true

inline Lanes4d operator+(Lanes4d a, Lanes4d b) { return _mm256_add_pd(a.v, b.v); }
inline Lanes4d operator-(Lanes4d a, Lanes4d b) { return _mm256_sub_pd(a.v, b.v); }
inline Lanes4d operator*(Lanes4d a, Lanes4d b) { return _mm256_mul_pd(a.v, b.v); }
inline Lanes4d operator/(Lanes4d a, Lanes4d b) { return _mm256_div_pd(a.v, b.v); }
inline Lanes4d Abs(Lanes4d a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a.v); }
inline Lanes4d Floor(Lanes4d a) { return _mm256_floor_pd(a.v); }
inline Lanes4d Ceil(Lanes4d a) { return _mm256_ceil_pd(a.v); }
inline Lanes4d Max(Lanes4d a, Lanes4d b) { return _mm256_max_pd(a.v, b.v); }
inline Lanes4d Min(Lanes4d a, Lanes4d b) { return _mm256_min_pd(a.v, b.v); }
inline Mask4d Less(Lanes4d a, Lanes4d b) { return _mm256_cmp_pd(a.v, b.v, _CMP_LT_OQ); }
inline Mask4d NotLess(Lanes4d a, Lanes4d b) { return _mm256_cmp_pd(a.v, b.v, _CMP_GE_OQ); }
inline Mask4d And(Mask4d a, Mask4d b) { return _mm256_and_pd(a, b); }
inline bool All(Mask4d m) { return _mm256_movemask_pd(m) == 0xF; }
inline Lanes4d Select(Mask4d m, Lanes4d if_true, Lanes4d if_false) { return _mm256_blendv_pd(if_false.v, if_true.v, m); }
inline Lanes4d KeepWhere(Mask4d m, Lanes4d a) { return _mm256_and_pd(a.v, m); }

// Whole numbers in 32-bit lanes, one for each double lane.
using Words4 = __m128i;
inline Words4 Truncated(Lanes4d a) { return _mm256_cvttpd_epi32(a.v); }
// The four bytes at base + offset of each lane.
inline Words4 GatherWords(const uint8_t* base, Words4 offsets)
{
    return _mm_i32gather_epi32(reinterpret_cast<const int*>(base), offsets, 1);
}
// Byte b of each lane's word, as a double.
inline Lanes4d WordByte(Words4 words, int b)
{
    return _mm256_cvtepi32_pd(_mm_and_si128(_mm_srli_epi32(words, 8 * b), _mm_set1_epi32(0xFF)));
}

}  // namespace
