#include <cstring>

#include "tiff/decoders.h"

// Each row is coded on its own; every run is checked against what is left of
// both the strip and the row before a byte is copied.
int DecodePackBits(const uint8_t* strip, uint32_t strip_size, uint8_t* out, uint32_t rows, uint32_t row_size)
{
    uint32_t in = 0;
    for (uint32_t r = 0; r < rows; r++) {
        uint8_t* row = out + uint64_t(r) * row_size;
        uint32_t filled = 0;
        while (filled < row_size) {
            if (in >= strip_size) return 0;
            int c = int8_t(strip[in++]);
            if (c == -128) continue;  // no-op byte
            if (c > 0) {
                uint32_t count = uint32_t(c) + 1;
                if (count > row_size - filled || count > strip_size - in) return 0;
                std::memcpy(row + filled, strip + in, count);
                in += count;
                filled += count;
            } else {
                // 0 is a one-byte repeat, which is the same as a one-byte literal.
                uint32_t count = uint32_t(1 - c);
                if (count > row_size - filled || in >= strip_size) return 0;
                std::memset(row + filled, strip[in++], count);
                filled += count;
            }
        }
    }
    return 1;
}
