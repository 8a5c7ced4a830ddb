// The vector kernels of the fast blur, each instruction set in a file of its
// own compiled for it, called only when ChooseVectorKernels allows it.  Each
// blurs the pixels from x_first while a whole group still fits before x_end
// (pixels at least the radius from both sides of the row) and returns the
// first pixel it did not do.  Lane k of a group is pixel x + k; the source
// rows are split into three byte planes.
#pragma once

#include <cstdint>

// A tap of the blur table: column offset and weight.
struct BlurTap {
    int32_t dx;
    int32_t weight;
};

// A source row of the window with the non-zero taps of its table row.
struct BlurWindowRow {
    const uint8_t* plane[3];
    const BlurTap* taps;
    int32_t tap_count;
};

// One tap of the window with its planes already moved by its column offset.
// The 16-bit kernels take the taps in pairs: an odd count is completed by a
// tap of weight 0.
struct BlurFlatTap {
    const uint8_t* plane[3];
    int32_t weight;
};

// Eight pixels a vector in 32-bit lanes: any limit.
int64_t BlurEightAvx2(const BlurWindowRow* rows, int row_count, const uint8_t* const centre[3], int32_t limit2,
                      int64_t x_first, int64_t x_end, uint8_t* out_row);
// Sixteen (AVX2) or thirty-two (AVX-512) pixels a vector in 16-bit lanes,
// for squared limits up to 65535.
int64_t BlurSixteenAvx2(const BlurFlatTap* taps, int tap_count, const uint8_t* const centre[3], int32_t limit2,
                        int64_t x_first, int64_t x_end, uint8_t* out_row);
int64_t BlurThirtyTwoAvx512(const BlurFlatTap* taps, int tap_count, const uint8_t* const centre[3], int32_t limit2,
                            int64_t x_first, int64_t x_end, uint8_t* out_row);
// Splits interleaved pixels into three planes sixteen at a time while a
// 64-byte load stays in the row; returns the first pixel not done.
int64_t SplitSixteenAvx512(const uint8_t* pixels, int64_t width, uint8_t* p0, uint8_t* p1, uint8_t* p2);
