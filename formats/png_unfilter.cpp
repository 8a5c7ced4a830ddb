// PNG's row filters undone in place (contract in png_unfilter.h).
//
// Row y's filtered bytes start y + 1 bytes after its finished place (each
// row is one byte longer for its filter code), so rows finished top to
// bottom, each pixel read before it is written, pack themselves down
// without overwriting anything not yet read.
//
// Undoing Sub, Average or Paeth is a chain from each pixel to the next,
// which a single row cannot shorten.  Colour pages therefore go four rows
// at a time with SSE2: row r of a group works on pixel t - r while row 0
// works on pixel t, so each row's above and above-left pixels were finished
// by the row above one step earlier and are still in registers.  Two
// registers hold the four rows' current pixels side by side, each pixel in
// four 16-bit lanes (the fourth unused); the four rows' chains run side by
// side, so a group takes little longer than one row alone.  The first three
// rows of a group are copied aside first, since the rows below them start
// writing their finished pixels over those rows' filtered bytes before
// they are read; the fourth reads its own bytes in place, as a single row
// does.  Grey pages go eight rows at a time the same way, a row a lane.
// The arithmetic is the plain one, lane by lane, so both paths give the
// same bytes.
#include "formats/png_unfilter.h"

#include <cstring>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#define NIVELO_PNG_GROUPS 1
#endif

#include "core/environment.h"
#include "core/support.h"
#include "formats/png_paeth.h"

namespace {

// One row's filter undone, N bytes a pixel.  `in` is the row as filtered,
// in the file's order; `out` gets each finished pixel with its bytes
// reversed (R, G, B becomes B, G, R; grey is one byte); `above` is the
// finished row above in out's order.  A filter treats each byte position
// alone, so undoing it on reversed pixels gives the reversed result.  out
// may lie before in within one buffer: each pixel is read whole before it
// is written.  The left and above-left pixels stay in registers, so the
// chain from one pixel to the next does not pass through memory.
template <unsigned N, typename Predict>
void UndoFilter(const uint8_t* in, const uint8_t* above, uint32_t width, uint8_t* out, Predict predict)
{
    int left[N] = {}, above_left[N] = {};
    for (uint64_t i = 0; i < uint64_t(width) * N; i += N) {
        uint8_t v[N];
        for (unsigned k = 0; k < N; k++) v[k] = in[i + N - 1 - k];
        for (unsigned k = 0; k < N; k++) {
            int b = above[i + k];
            left[k] = uint8_t(v[k] + predict(left[k], b, above_left[k]));
            above_left[k] = b;
        }
        for (unsigned k = 0; k < N; k++) out[i + k] = uint8_t(left[k]);
    }
}

template <unsigned N>
void UnfilterRow(unsigned filter, const uint8_t* in, const uint8_t* above, uint32_t width, uint8_t* out)
{
    switch (filter) {
    case 0: UndoFilter<N>(in, above, width, out, [](int, int, int) { return 0; }); break;
    case 1: UndoFilter<N>(in, above, width, out, [](int a, int, int) { return a; }); break;
    case 2: UndoFilter<N>(in, above, width, out, [](int, int b, int) { return b; }); break;
    case 3: UndoFilter<N>(in, above, width, out, [](int a, int b, int) { return (a + b) >> 1; }); break;
    default: UndoFilter<N>(in, above, width, out, [](int a, int b, int c) { return PaethPredict(a, b, c); }); break;
    }
}

#if defined(NIVELO_PNG_GROUPS)
constexpr unsigned kGroupRows = 4;  // colour
constexpr unsigned kGreyRows = 8;

// Each row's filter as lane masks, for the lanes of its pixel.
struct Masks {
    __m128i sub, up, average, paeth;
    bool all_paeth;
};

// Masks for a register whose lane i belongs to row row_of_lane[i].
Masks MasksFor(const unsigned* filter, const unsigned* row_of_lane)
{
    short m[5][8];
    Masks masks;
    masks.all_paeth = true;
    for (unsigned i = 0; i < 8; i++) {
        for (unsigned f = 1; f <= 4; f++) m[f][i] = filter[row_of_lane[i]] == f ? -1 : 0;
        masks.all_paeth = masks.all_paeth && filter[row_of_lane[i]] == 4;
    }
    auto lanes = [](const short* v) { return _mm_set_epi16(v[7], v[6], v[5], v[4], v[3], v[2], v[1], v[0]); };
    masks.sub = lanes(m[1]);
    masks.up = lanes(m[2]);
    masks.average = lanes(m[3]);
    masks.paeth = lanes(m[4]);
    return masks;
}

// A group's rows: where each reads its filtered bytes and writes its
// finished ones, and the filters of register k's rows (2k and 2k + 1).
struct Group {
    const uint8_t* in[kGroupRows];
    uint8_t* out[kGroupRows];
    const uint8_t* above;  // the finished row above the group
    uint32_t width;
    Masks masks[2];
};

// The state carried from one step to the next: each register's previous
// result (the rows' left pixels) and previous above pixels (the above-left).
struct Chain {
    __m128i left[2], above_left[2];
};

inline __m128i Select(__m128i mask, __m128i yes, __m128i no)
{
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// PaethPredict() lane by lane: differences stay within 16 bits.
inline __m128i PaethLanes(__m128i a, __m128i b, __m128i c)
{
    __m128i b_c = _mm_sub_epi16(b, c), a_c = _mm_sub_epi16(a, c), c_a = _mm_sub_epi16(c, a);
    __m128i pa = _mm_max_epi16(b_c, _mm_sub_epi16(_mm_setzero_si128(), b_c));
    __m128i pb = _mm_max_epi16(a_c, c_a);
    __m128i pc = _mm_max_epi16(_mm_add_epi16(a_c, b_c), _mm_sub_epi16(c_a, b_c));
    __m128i not_a = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    return Select(not_a, Select(_mm_cmpgt_epi16(pb, pc), c, b), a);
}

inline __m128i Predict(const Masks& m, __m128i a, __m128i b, __m128i c)
{
    if (m.all_paeth) return PaethLanes(a, b, c);
    __m128i average = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(m.sub, a), _mm_and_si128(m.up, b)),
                        _mm_or_si128(_mm_and_si128(m.average, average), _mm_and_si128(m.paeth, PaethLanes(a, b, c))));
}

// Pixel p of a row as a 32-bit word, bytes reversed (B, G, R, 0); zero
// off the row.  Unchecked steps never reach a row's last pixel, so their
// four-byte reads stay within the row.
template <bool kChecked>
inline uint32_t PixelWord(const uint8_t* row, int64_t p, uint32_t width)
{
    if (kChecked) {
        if (p < 0 || p >= int64_t(width)) return 0;
        const uint8_t* q = row + 3 * p;
        return uint32_t(q[2]) | uint32_t(q[1]) << 8 | uint32_t(q[0]) << 16;
    }
    uint32_t word;
    std::memcpy(&word, row + 3 * p, 4);
    return (word & 0x0000FF00u) | (word & 0xFFu) << 16 | (word >> 16 & 0xFFu);
}

// The above row's pixel in the finished order, read as it lies.
template <bool kChecked>
inline uint32_t AboveWord(const uint8_t* row, int64_t p, uint32_t width)
{
    if (kChecked) {
        if (p >= int64_t(width)) return 0;
        const uint8_t* q = row + 3 * p;
        return uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16;
    }
    uint32_t word;
    std::memcpy(&word, row + 3 * p, 4);
    return word;
}

inline __m128i Lanes(uint32_t low, uint32_t high)
{
    __m128i bytes = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(low)), _mm_cvtsi32_si128(int(high)));
    return _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
}

// A finished pixel back to memory: four bytes where the next byte is
// written later anyway, exactly three at the end of a row.
template <bool kChecked>
inline void PutPixel(uint8_t* row, int64_t p, uint32_t width, uint32_t word)
{
    if (!kChecked) {
        std::memcpy(row + 3 * p, &word, 4);
    } else if (p >= 0 && p < int64_t(width)) {
        row[3 * p] = uint8_t(word);
        row[3 * p + 1] = uint8_t(word >> 8);
        row[3 * p + 2] = uint8_t(word >> 16);
    }
}

// Step t: row r finishes its pixel t - r.  Unchecked steps are those where
// every row is on a pixel of its own that is not its last.
template <bool kChecked>
inline void Step(const Group& g, int64_t t, Chain* chain)
{
    const __m128i low_byte = _mm_set1_epi16(0xFF);
    const uint32_t w = g.width;
    __m128i b[2];
    b[0] = _mm_unpacklo_epi64(Lanes(AboveWord<kChecked>(g.above, t, w), 0), chain->left[0]);
    b[1] = _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(chain->left[0]), _mm_castsi128_pd(chain->left[1]), 1));
    for (unsigned k = 0; k < 2; k++) {
        int64_t p0 = t - 2 * k, p1 = p0 - 1;
        __m128i v = Lanes(PixelWord<kChecked>(g.in[2 * k], p0, w), PixelWord<kChecked>(g.in[2 * k + 1], p1, w));
        __m128i done = _mm_and_si128(_mm_add_epi16(v, Predict(g.masks[k], chain->left[k], b[k], chain->above_left[k])), low_byte);
        chain->left[k] = done;
        chain->above_left[k] = b[k];
        __m128i packed = _mm_packus_epi16(done, done);
        PutPixel<kChecked>(g.out[2 * k], p0, w, uint32_t(_mm_cvtsi128_si32(packed)));
        PutPixel<kChecked>(g.out[2 * k + 1], p1, w, uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(packed, 4))));
    }
}

// Rows y to y + 3 of a colour page; scratch holds three rows.
void UnfilterGroup(uint8_t* rows, uint32_t width, uint64_t y, const uint8_t* above, uint8_t* scratch)
{
    uint64_t row = uint64_t(width) * 3;
    Group g;
    unsigned filter[kGroupRows];
    for (unsigned r = 0; r < kGroupRows; r++) {
        const uint8_t* in = rows + (y + r) * (row + 1);
        filter[r] = in[0];
        g.in[r] = in + 1;
        g.out[r] = rows + (y + r) * row;
    }
    for (unsigned r = 0; r + 1 < kGroupRows; r++) {
        uint8_t* aside = scratch + r * row;
        std::memcpy(aside, g.in[r], size_t(row));
        g.in[r] = aside;
    }
    g.above = above;
    g.width = width;
    const unsigned low_rows[8] = {0, 0, 0, 0, 1, 1, 1, 1}, high_rows[8] = {2, 2, 2, 2, 3, 3, 3, 3};
    g.masks[0] = MasksFor(filter, low_rows);
    g.masks[1] = MasksFor(filter, high_rows);
    Chain chain = {{_mm_setzero_si128(), _mm_setzero_si128()}, {_mm_setzero_si128(), _mm_setzero_si128()}};
    int64_t t = 0, steps = int64_t(width) + kGroupRows - 1;
    for (; t < kGroupRows - 1; t++) Step<true>(g, t, &chain);
    for (; t + 1 < int64_t(width); t++) Step<false>(g, t, &chain);
    for (; t < steps; t++) Step<true>(g, t, &chain);
}
// Grey pages, eight rows at a time in one register, a row a lane: row r's
// above pixel is row r - 1's result of the step before, one lane down.
// The first seven rows are set aside as in a colour group.
void UnfilterGreyGroup(uint8_t* rows, uint32_t width, uint64_t y, const uint8_t* above, uint8_t* scratch)
{
    const uint8_t* in[kGreyRows];
    uint8_t* out[kGreyRows];
    unsigned filter[kGreyRows], lane_rows[kGreyRows];
    for (unsigned r = 0; r < kGreyRows; r++) {
        const uint8_t* filtered = rows + (y + r) * (uint64_t(width) + 1);
        filter[r] = filtered[0];
        lane_rows[r] = r;
        in[r] = filtered + 1;
        out[r] = rows + (y + r) * width;
    }
    for (unsigned r = 0; r + 1 < kGreyRows; r++) {
        std::memcpy(scratch + r * uint64_t(width), in[r], width);
        in[r] = scratch + r * uint64_t(width);
    }
    const Masks masks = MasksFor(filter, lane_rows);
    const __m128i low_byte = _mm_set1_epi16(0xFF);
    __m128i left = _mm_setzero_si128(), above_left = _mm_setzero_si128();
    auto step = [&](int64_t t, bool checked) {
        int upper = !checked || t < int64_t(width) ? above[t] : 0;
        __m128i b = _mm_insert_epi16(_mm_slli_si128(left, 2), upper, 0);
        uint64_t bytes = 0;
        for (unsigned r = 0; r < kGreyRows; r++) {
            int64_t p = t - int64_t(r);
            if (!checked || (p >= 0 && p < int64_t(width))) bytes |= uint64_t(in[r][p]) << (8 * r);
        }
        __m128i v = _mm_unpacklo_epi8(_mm_cvtsi64_si128(int64_t(bytes)), _mm_setzero_si128());
        left = _mm_and_si128(_mm_add_epi16(v, Predict(masks, left, b, above_left)), low_byte);
        above_left = b;
        uint64_t done = uint64_t(_mm_cvtsi128_si64(_mm_packus_epi16(left, left)));
        for (unsigned r = 0; r < kGreyRows; r++) {
            int64_t p = t - int64_t(r);
            if (!checked || (p >= 0 && p < int64_t(width))) out[r][p] = uint8_t(done >> (8 * r));
        }
    };
    int64_t t = 0;
    for (; t < kGreyRows - 1; t++) step(t, true);
    for (; t < int64_t(width); t++) step(t, false);
    for (; t < int64_t(width) + kGreyRows - 1; t++) step(t, true);
}
#endif

}  // namespace

void UnfilterRowRange(uint8_t* rows, uint32_t width, unsigned channels, uint64_t first, uint64_t end,
                      uint8_t* scratch)
{
    uint64_t row = uint64_t(width) * channels;
    const uint8_t* zeros = scratch;
    uint64_t y = first;
#if defined(NIVELO_PNG_GROUPS)
    if (channels == 3 && ChooseVectorKernels() != kPortableKernels)
        for (; y + kGroupRows <= end; y += kGroupRows)
            UnfilterGroup(rows, width, y, y == 0 ? zeros : rows + (y - 1) * row, scratch + row);
    if (channels == 1 && ChooseVectorKernels() != kPortableKernels)
        for (; y + kGreyRows <= end; y += kGreyRows)
            UnfilterGreyGroup(rows, width, y, y == 0 ? zeros : rows + (y - 1) * row, scratch + row);
#endif
    for (; y < end; y++) {
        const uint8_t* in = rows + y * (row + 1);
        uint8_t* out = rows + y * row;
        const uint8_t* above = y == 0 ? zeros : out - row;
        if (channels == 1)
            UnfilterRow<1>(in[0], in + 1, above, width, out);
        else
            UnfilterRow<3>(in[0], in + 1, above, width, out);
    }
}

int UnfilterRowsInPlace(uint8_t* rows, uint32_t width, uint32_t height, unsigned channels)
{
    uint64_t row = uint64_t(width) * channels;
    // A row of zeros (the row above the first), then a group's rows set aside.
    uint8_t* scratch = static_cast<uint8_t*>(AllocZeroed(size_t(row * kUnfilterScratchRows)));
    if (scratch == nullptr) return 0;
    UnfilterRowRange(rows, width, channels, 0, height, scratch);
    FreeMemory(&scratch);
    return 1;
}
