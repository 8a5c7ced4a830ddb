// The loop of the Paeth kernels, included once by each kernel's file.
// Written so that compilers vectorize it: 16-bit differences (the largest,
// a + b - 2c, stays within ±510), selections without branches, and the
// three inputs read through their own pointers.
#pragma once

#include <cstdint>

namespace paeth_kernel {

inline void Row(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out)
{
    uint64_t first = step < size ? step : size;
    for (uint64_t i = 0; i < first; i++) out[i] = uint8_t(row[i] - above[i]);
    const uint8_t* left = row;
    const uint8_t* corner = above;
    const uint8_t* here = row + first;
    const uint8_t* up = above + first;
    uint8_t* to = out + first;
    uint64_t count = size - first;
    for (uint64_t i = 0; i < count; i++) {
        int16_t a = left[i], b = up[i], c = corner[i];
        int16_t to_b = int16_t(b - c), to_a = int16_t(a - c), both = int16_t(to_b + to_a);
        int16_t pa = to_b < 0 ? int16_t(-to_b) : to_b;
        int16_t pb = to_a < 0 ? int16_t(-to_a) : to_a;
        int16_t pc = both < 0 ? int16_t(-both) : both;
        uint8_t b_or_c = pb <= pc ? uint8_t(b) : uint8_t(c);
        uint8_t predicted = pa <= pb && pa <= pc ? uint8_t(a) : b_or_c;
        to[i] = uint8_t(here[i] - predicted);
    }
}

}  // namespace paeth_kernel
