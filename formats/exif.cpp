#include "formats/exif.h"

#include <cmath>
#include <cstring>

namespace {

struct Block {
    const uint8_t* data;  // the TIFF structure, its offsets count from here
    size_t size;
    bool big_endian;
};

// Reads 2 or 4 bytes at offset; 0 when they are not all inside the block.
int Read16(const Block& b, size_t offset, uint32_t* out)
{
    if (offset > b.size || b.size - offset < 2) return 0;
    const uint8_t* p = b.data + offset;
    *out = b.big_endian ? uint32_t(p[0] << 8 | p[1]) : uint32_t(p[1] << 8 | p[0]);
    return 1;
}

int Read32(const Block& b, size_t offset, uint32_t* out)
{
    if (offset > b.size || b.size - offset < 4) return 0;
    const uint8_t* p = b.data + offset;
    *out = b.big_endian ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                        : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    return 1;
}

// A RATIONAL entry's value (type 5, count 1, stored at an offset); 0 when
// it cannot be read or its denominator is 0.
double ReadRational(const Block& b, size_t entry)
{
    uint32_t type = 0, count = 0, offset = 0, num = 0, den = 0;
    if (!Read16(b, entry + 2, &type) || !Read32(b, entry + 4, &count) || type != 5 || count != 1) return 0.0;
    if (!Read32(b, entry + 8, &offset) || !Read32(b, offset, &num) || !Read32(b, size_t(offset) + 4, &den)) return 0.0;
    return den == 0 ? 0.0 : double(num) / double(den);
}

}  // namespace

double DotsPerInch(double value, unsigned unit)
{
    double dpi = unit == 2 ? value : unit == 3 ? value * 2.54 : 0.0;
    // Below 10 or above 100,000 no scanner made it: a wrong or filler value.
    return std::isfinite(dpi) && dpi >= 10.0 && dpi <= 100000.0 ? dpi : 0.0;
}

int ParseExif(const uint8_t* data, size_t size, ExifFacts* facts)
{
    facts->orientation = 1;
    facts->x_dpi = facts->y_dpi = 0.0;
    if (size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0) return 0;
    Block b = {data + 6, size - 6, data[6] == 'M'};
    uint32_t magic = 0, ifd = 0, entries = 0;
    if ((data[6] != 'M' && data[6] != 'I') || !Read16(b, 2, &magic) || magic != 42) return 1;
    if (!Read32(b, 4, &ifd) || !Read16(b, ifd, &entries)) return 1;
    double x = 0.0, y = 0.0;
    uint32_t unit = 2;
    for (uint32_t i = 0; i < entries; i++) {
        size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
        uint32_t tag = 0, value = 0;
        if (!Read16(b, entry, &tag)) break;
        if (tag == 0x0112 && Read16(b, entry + 8, &value) && value >= 1 && value <= 8) facts->orientation = value;
        if (tag == 0x011A) x = ReadRational(b, entry);
        if (tag == 0x011B) y = ReadRational(b, entry);
        if (tag == 0x0128) Read16(b, entry + 8, &unit);
    }
    facts->x_dpi = DotsPerInch(x, unit);
    facts->y_dpi = DotsPerInch(y, unit);
    return 1;
}
