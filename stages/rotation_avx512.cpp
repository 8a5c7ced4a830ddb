// The AVX-512 kernel of the fast rotation: eight pixels of a row at once.
#include "stages/cpu_features.h"
#include "stages/rotation_kernels.h"

#include <cstring>

#if NIVELO_X86_KERNELS
#include "stages/lanes_avx512.h"
#include "stages/cubic_lanes.h"

namespace {

// Usually every lane's taps start on the lowest tap row or the one below it,
// at most 17 columns from the first: then the taps of tap row r of all lanes
// lie in the 64 bytes of row r (lanes on the lowest row) and the 64 bytes
// below them (the others), from the first lane's first tap column on, and
// one byte permute a tap and colour hands each lane its byte.  The loads may
// run into the next row, which exists and is at least 64 bytes long.
struct WindowTaps {
    const uint8_t* window;  // the first lane's first tap on the lowest tap row
    size_t row_bytes;
    __m256i start;   // byte of each lane's tap in column 0, colour 0, of the window pair
    bool two_rows;   // some lane starts on the row below
    int last_column; // the largest lane's first tap column, from the window's
    __m512i upper, lower;

    // Whether the window pair serves the eight lanes; sets it up when it does.
    bool SetUp(const BITMAP* page, Lanes8d fx, Lanes8d fy)
    {
        __m256i ix = Truncated(fx), iy = Truncated(fy);
        // The lowest tap row and first tap column among the lanes (the points
        // of a row are monotonic, so they are those of the first or last lane).
        __m256i first_ix = _mm256_min_epi32(_mm256_permutevar8x32_epi32(ix, _mm256_setzero_si256()),
                                            _mm256_permutevar8x32_epi32(ix, _mm256_set1_epi32(7)));
        __m256i first_iy = _mm256_min_epi32(_mm256_permutevar8x32_epi32(iy, _mm256_setzero_si256()),
                                            _mm256_permutevar8x32_epi32(iy, _mm256_set1_epi32(7)));
        __m256i row_step = _mm256_sub_epi32(iy, first_iy), column_step = _mm256_sub_epi32(ix, first_ix);
        if (_mm256_cmple_epu32_mask(row_step, _mm256_set1_epi32(1)) != 0xFF ||
            _mm256_cmple_epu32_mask(column_step, _mm256_set1_epi32(17)) != 0xFF || page->width < 24)
            return false;
        start = _mm256_add_epi32(_mm256_slli_epi32(row_step, 6),
                                 _mm256_add_epi32(_mm256_add_epi32(column_step, column_step), column_step));
        row_bytes = size_t(page->width) * 3;
        window = page->pixels + (size_t(_mm256_cvtsi256_si32(first_iy)) - 1) * row_bytes +
                 (size_t(_mm256_cvtsi256_si32(first_ix)) - 1) * 3;
        two_rows = _mm256_cmpeq_epi32_mask(row_step, _mm256_setzero_si256()) != 0xFF;
        last_column = _mm256_cvtsi256_si32(_mm256_max_epi32(column_step, _mm256_permutevar8x32_epi32(
                                               column_step, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0))));
        // The windows of the groups a few steps on: the processor's own
        // prefetch does not follow five rows that advance together.  A
        // prefetch past the page's end is harmless; the address is formed as
        // an integer, as no pointer may point there.
        for (int row = 0; row < 5; row++)
            _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(window) +
                                                       uintptr_t(row) * uintptr_t(row_bytes) + 256),
                         _MM_HINT_T0);
        return true;
    }
    // The taps lie in the first 3 (last_column + 4) bytes of tap rows 0 to 3
    // (to 4 when some lane starts a row lower): at most 63, in one load each.
    __mmask64 TapBytes() const
    {
        unsigned span = 3 * unsigned(last_column + 4);
        return span >= 64 ? ~__mmask64(0) : (__mmask64(1) << span) - 1;
    }
    int TapRows() const { return two_rows ? 5 : 4; }
    // When every tap of the eight lanes is of one grey, that grey, else -1.
    int OneGrey() const
    {
        __mmask64 taps = TapBytes();
        __m512i grey = _mm512_set1_epi8(char(window[0]));
        __mmask64 differ = 0;
        for (int row = 0; row < TapRows(); row++)
            differ |= _mm512_mask_cmpneq_epu8_mask(taps, _mm512_loadu_si512(window + size_t(row) * row_bytes), grey);
        return differ == 0 ? window[0] : -1;
    }
    // Whether every tap of the eight lanes is grey (its three bytes equal),
    // so that the sums of one colour serve all three.
    bool AllGrey() const
    {
        __mmask64 starts = 0x9249249249249249u & TapBytes();  // bytes 0, 3, 6, ...: each pixel's first
        const __m512i next = _mm512_add_epi8(_mm512_set_epi64(0x3f3e3d3c3b3a3938, 0x3736353433323130,
                                                               0x2f2e2d2c2b2a2928, 0x2726252423222120,
                                                               0x1f1e1d1c1b1a1918, 0x1716151413121110,
                                                               0x0f0e0d0c0b0a0908, 0x0706050403020100),
                                             _mm512_set1_epi8(1));
        const __m512i after_next = _mm512_add_epi8(next, _mm512_set1_epi8(1));
        __mmask64 grey = starts;
        for (int row = 0; row < TapRows(); row++) {
            __m512i bytes = _mm512_loadu_si512(window + size_t(row) * row_bytes);
            // Byte i beside bytes i + 1 and i + 2 (a pixel's start, at most
            // byte 60, has both within the load).
            grey &= _mm512_cmpeq_epi8_mask(bytes, _mm512_permutexvar_epi8(next, bytes)) &
                    _mm512_cmpeq_epi8_mask(bytes, _mm512_permutexvar_epi8(after_next, bytes));
        }
        return grey == starts;
    }
    void StartRow(int row)
    {
        // The row below is read only when some lane needs it: it may be the page's last.
        if (two_rows) {
            upper = row == 0 ? _mm512_loadu_si512(window) : lower;
            lower = _mm512_loadu_si512(window + size_t(row + 1) * row_bytes);
        } else {
            upper = lower = _mm512_loadu_si512(window + size_t(row) * row_bytes);
        }
    }
    // The first byte of each lane's tap only.
    void FetchFirst(int column, Lanes8d* p)
    {
        __m512i select = _mm512_castsi256_si512(_mm256_add_epi32(start, _mm256_set1_epi32(3 * column)));
        *p = _mm512_cvtepi32_pd(_mm512_castsi512_si256(_mm512_maskz_permutex2var_epi8(0x11111111, upper, select, lower)));
    }
    void Fetch(int column, Lanes8d p[3])
    {
        __m512i select = _mm512_castsi256_si512(_mm256_add_epi32(start, _mm256_set1_epi32(3 * column)));
        for (int b = 0; b < 3; b++) {
            // Each lane's byte into the low byte of its 32-bit lane, zeros elsewhere.
            __m512i bytes = _mm512_maskz_permutex2var_epi8(0x11111111, upper, select, lower);
            p[b] = _mm512_cvtepi32_pd(_mm512_castsi512_si256(bytes));
            select = _mm512_add_epi32(select, _mm512_set1_epi32(1));
        }
    }
};

// The three colours of the eight pixels, interleaved into 24 bytes.
void StorePixels(const Lanes8d value[3], uint8_t* out)
{
    __m128i b0 = _mm256_cvtepi32_epi8(Truncated(value[0]));
    __m128i b1 = _mm256_cvtepi32_epi8(Truncated(value[1]));
    __m128i b2 = _mm256_cvtepi32_epi8(Truncated(value[2]));
    __m128i colours = _mm_unpacklo_epi64(b0, b1);  // b0 in bytes 0-7, b1 in 8-15, b2 in 16-23
    __m256i all = _mm256_inserti128_si256(_mm256_castsi128_si256(colours), b2, 1);
    const __m256i order = _mm256_setr_epi8(0, 8, 16, 1, 9, 17, 2, 10, 18, 3, 11, 19, 4, 12, 20, 5, 13, 21, 6, 14, 22, 7,
                                           15, 23, 0, 0, 0, 0, 0, 0, 0, 0);
    // Two plain stores: a masked one is slow on some processors.
    __m256i pixels = _mm256_permutexvar_epi8(order, all);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(pixels));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(pixels, 1));
}

// SumTaps for one colour: the very operations it does for colour 0.
void SumTapsFirst(const Lanes8d wx[4], const Lanes8d wy[4], WindowTaps& taps, Lanes8d* weight_sum, Lanes8d* sum)
{
    for (int row = 0; row < 4; row++) {
        taps.StartRow(row);
        for (int column = 0; column < 4; column++) {
            Lanes8d w = wy[row] * wx[column];
            *weight_sum = *weight_sum + w;
            Lanes8d p(0.0);
            taps.FetchFirst(column, &p);
            *sum = *sum + w * p;
        }
    }
}

}  // namespace

// As SumLanes and the plain loop, with two shortcuts where the taps of all
// eight lanes come from the shared window:
// - taps all of one grey give that grey.  The resampling of such a point
//   gives it: its weights sum to 1, so the sums are the grey times 1 to
//   within 1e-12 of a byte, which RoundToByte takes back to the grey (as the
//   plain loop does for points whose taps are all background).  The paper
//   and the solid ink of a 1-bit scan are such taps nearly everywhere;
// - grey taps (each pixel's three bytes equal, as on a grey scan) give three
//   equal colours, each summed by the same operations: one is summed.
int SampleEightAvx512(const BITMAP* page, const double* xs, const double* ys, uint8_t* out)
{
    Lanes8d x = _mm512_loadu_pd(xs), y = _mm512_loadu_pd(ys);
    Lanes8d fx = Floor(x), fy = Floor(y);
    if (!AllTapsInside(fx, fy, double(page->width), double(page->height))) return 0;
    WindowTaps window;
    bool shared = window.SetUp(page, fx, fy);
    if (shared) {
        int grey = window.OneGrey();
        if (grey >= 0) {
            std::memset(out, grey, 24);
            return 1;
        }
    }
    Lanes8d wx[4] = {x, x, x, x}, wy[4] = {y, y, y, y};
    TapWeights(x, fx, wx);
    TapWeights(y, fy, wy);
    Lanes8d weight_sum(0.0), sum[3] = {weight_sum, weight_sum, weight_sum};
    if (shared && window.AllGrey()) {
        SumTapsFirst(wx, wy, window, &weight_sum, &sum[0]);
        sum[2] = sum[1] = sum[0];
    } else if (shared) {
        SumTaps(wx, wy, window, &weight_sum, sum);
    } else {
        GatheredTaps<Lanes8d> gathered(page, fx, fy);
        SumTaps(wx, wy, gathered, &weight_sum, sum);
    }
    Lanes8d scale = Lanes8d(1.0) / weight_sum;
    Lanes8d rounded[3] = {RoundedToByte(sum[0] * scale), RoundedToByte(sum[1] * scale), RoundedToByte(sum[2] * scale)};
    StorePixels(rounded, out);
    return 1;
}
#else
int SampleEightAvx512(const BITMAP*, const double*, const double*, uint8_t*) { return 0; }
#endif
