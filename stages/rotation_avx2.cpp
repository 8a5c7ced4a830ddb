// The AVX2 kernel of the fast rotation: four pixels of a row at once.
#include "stages/cpu_features.h"
#include "stages/rotation_kernels.h"

#if NIVELO_X86_KERNELS
#include "stages/lanes_avx2.h"
#include "stages/cubic_lanes.h"

namespace {

// Usually the four points share their tap rows and their first tap columns
// are at most three apart: then one 16-byte load a tap covers all four lanes,
// and a byte shuffle hands each lane its bytes.  The load may run past the
// row's end into the next row, which exists (the taps stay above the last
// row) and is at least 24 bytes long.
struct SharedRowTaps {
    const uint8_t* first_tap;  // lane 0's first tap
    size_t row_bytes;
    __m128i select[3];  // byte 3 x offset + b of the load into each 32-bit lane's low byte
    const uint8_t* tap_row;

    bool SetUp(const BITMAP* page, Lanes4d fx, Lanes4d fy)
    {
        __m128i ix = Truncated(fx), iy = Truncated(fy);
        __m128i first_ix = _mm_shuffle_epi32(ix, 0), first_iy = _mm_shuffle_epi32(iy, 0);
        __m128i offsets = _mm_sub_epi32(ix, first_ix);  // columns from lane 0's
        bool same_rows = _mm_movemask_epi8(_mm_cmpeq_epi32(iy, first_iy)) == 0xFFFF;
        bool near = _mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi32(offsets, _mm_set1_epi32(3)),
                                                   _mm_cmpgt_epi32(_mm_setzero_si128(), offsets))) == 0;
        if (!same_rows || !near || page->width < 8) return false;
        __m128i start = _mm_add_epi32(_mm_add_epi32(offsets, offsets), offsets);
        for (int b = 0; b < 3; b++)
            select[b] = _mm_or_si128(_mm_add_epi32(start, _mm_set1_epi32(b)), _mm_set1_epi32(int32_t(0x80808000u)));
        row_bytes = size_t(page->width) * 3;
        first_tap = page->pixels + (size_t(_mm_cvtsi128_si32(first_iy)) - 1) * row_bytes +
                    (size_t(_mm_cvtsi128_si32(first_ix)) - 1) * 3;
        return true;
    }
    void StartRow(int row) { tap_row = first_tap + size_t(row) * row_bytes; }
    void Fetch(int column, Lanes4d p[3])
    {
        __m128i taps = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tap_row + 3 * column));
        for (int b = 0; b < 3; b++) p[b] = _mm256_cvtepi32_pd(_mm_shuffle_epi8(taps, select[b]));
    }
};

}  // namespace

int SampleFourAvx2(const BITMAP* page, const double* xs, const double* ys, uint8_t* out)
{
    Lanes4d weight_sum(0.0), sum[3] = {weight_sum, weight_sum, weight_sum};
    if (!SumLanes<Lanes4d, SharedRowTaps>(page, _mm256_loadu_pd(xs), _mm256_loadu_pd(ys), &weight_sum,
                                                         sum))
        return 0;
    Lanes4d scale = Lanes4d(1.0) / weight_sum;
    alignas(16) int32_t bytes[3][4];
    for (int b = 0; b < 3; b++)
        _mm_store_si128(reinterpret_cast<__m128i*>(bytes[b]), _mm256_cvttpd_epi32(RoundedToByte(sum[b] * scale).v));
    for (int k = 0; k < 4; k++)
        for (int b = 0; b < 3; b++) out[3 * k + b] = uint8_t(bytes[b][k]);
    return 1;
}
#else
int SampleFourAvx2(const BITMAP*, const double*, const double*, uint8_t*) { return 0; }
#endif
