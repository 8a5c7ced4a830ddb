// Splits a fuzz input into a strip decoder's shape: the first bytes choose
// rows, row size (and width and fill order), the rest is the strip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

struct DecoderInput {
    uint32_t rows;
    uint32_t row_size;
    uint32_t width;
    unsigned fill_order;
    unsigned samples;
    const uint8_t* strip;
    uint32_t strip_size;
    std::vector<uint8_t> out;  // rows * row_size zero bytes
};

// 0 when the input is too short to choose a shape.
inline int SplitDecoderInput(const uint8_t* data, size_t size, DecoderInput* in)
{
    if (size < 4) return 0;
    in->rows = 1 + data[0] % 32;
    in->width = 1 + (uint32_t(data[1]) | uint32_t(data[2] & 7) << 8);  // up to 2048
    in->samples = 1 + data[3] % 3;
    in->fill_order = 1 + (data[2] >> 7);
    in->row_size = (in->width + 7) / 8;
    if (data[2] & 0x40) in->row_size = in->width * in->samples;
    in->strip = data + 4;
    in->strip_size = uint32_t(size - 4);
    in->out.assign(size_t(in->rows) * in->row_size, 0);
    return 1;
}

}  // namespace fuzz
