// Black-and-white TIFF writer: uncompressed, 1 bit a pixel, BlackIsZero,
// little-endian, the scan's resolution (300 dots per inch when it declared
// none), strips of at most 8192 bytes.
//
// Layout (offsets from the start of the file):
//   0    "II", 42, IFD offset 8
//   8    14 entries (count, 14 x 12 bytes), next-IFD offset 0
//   182  XResolution, 190 YResolution (rationals, dots per inch)
//   198  with two strips or more: StripOffsets array, then StripByteCounts
//        array, 4 bytes an entry
//   then the strips, back to back.
// With one strip the StripOffsets and StripByteCounts entries hold the values
// themselves and the strip starts at 198.  Every offset is known before the
// first byte is written, so the file is written front to back.
#include <cstring>

#include "core/support.h"
#include "tiff/codec_state.h"
#include "tiff/tiff.h"

namespace {

constexpr uint32_t kMostStripBytes = 8192;
constexpr uint32_t kResolutionOffset = 182;
constexpr uint32_t kAfterResolutions = 198;

enum FieldType : uint16_t { FIELD_SHORT = 3, FIELD_LONG = 4, FIELD_RATIONAL = 5 };

// A resolution as the rational TIFF stores: ten-thousandths of a dot per
// inch, reduced, so that 300 is 300/1 and a PNG's dots per metre (a whole
// number times 0.0254) survive exactly.  A value nivelo cannot hold in 32
// bits, or none, is 300/1.
struct Rational {
    uint32_t numerator, denominator;
};

Rational DotsPerInchRational(double dpi)
{
    if (!(dpi > 0.0) || dpi > 100000.0) return {300, 1};
    uint64_t numerator = uint64_t(dpi * 10000.0 + 0.5), denominator = 10000;
    if (numerator == 0) return {300, 1};
    uint64_t a = numerator, b = denominator;
    while (b != 0) {
        uint64_t t = a % b;
        a = b;
        b = t;
    }
    return {uint32_t(numerator / a), uint32_t(denominator / a)};
}

struct StripLayout {
    uint32_t row_size;
    uint32_t rows_per_strip;
    uint32_t strip_size;
    uint32_t strip_count;
    uint32_t last_strip_rows;
    uint32_t first_strip_offset;
};

StripLayout ComputeLayout(uint32_t width, uint32_t height)
{
    StripLayout l;
    l.row_size = (width + 7) / 8;
    l.rows_per_strip = kMostStripBytes / l.row_size;
    if (l.rows_per_strip == 0) l.rows_per_strip = 1;
    l.strip_size = l.rows_per_strip * l.row_size;
    l.strip_count = (height + l.rows_per_strip - 1) / l.rows_per_strip;
    l.last_strip_rows = height - (l.strip_count - 1) * l.rows_per_strip;
    l.first_strip_offset = kAfterResolutions + (l.strip_count >= 2 ? 8 * l.strip_count : 0);
    return l;
}

int WriteU16(uint32_t value)
{
    uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
    return WriteBytes(&g_tiff.stream, b, 2, g_tiff.file_name);
}

int WriteU32(uint32_t value)
{
    uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return WriteBytes(&g_tiff.stream, b, 4, g_tiff.file_name);
}

// A SHORT value sits in the first two bytes of the 4-byte value field.
int WriteShortEntry(uint16_t tag, uint32_t value)
{
    return WriteU16(tag) && WriteU16(FIELD_SHORT) && WriteU32(1) && WriteU16(value) && WriteU16(0);
}

int WriteEntry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
{
    return WriteU16(tag) && WriteU16(type) && WriteU32(count) && WriteU32(value);
}

int WriteHeaderAndDirectory(const StripLayout& l, uint32_t width, uint32_t height, Rational x, Rational y)
{
    uint32_t n = l.strip_count;
    bool one_strip = n == 1;
    uint32_t offsets_value = kAfterResolutions;  // the strip itself, or the offsets array
    uint32_t counts_value = one_strip ? height * l.row_size : kAfterResolutions + 4 * n;
    return WriteU16('I' | ('I' << 8)) && WriteU16(42) && WriteU32(8) && WriteU16(14) &&
           WriteShortEntry(256, width) && WriteShortEntry(257, height) && WriteShortEntry(258, 1) &&
           WriteShortEntry(259, 1) && WriteShortEntry(262, 1) && WriteShortEntry(266, 1) &&
           WriteEntry(273, FIELD_LONG, n, offsets_value) && WriteShortEntry(277, 1) &&
           WriteShortEntry(278, l.rows_per_strip) && WriteEntry(279, FIELD_LONG, n, counts_value) &&
           WriteEntry(282, FIELD_RATIONAL, 1, kResolutionOffset) &&
           WriteEntry(283, FIELD_RATIONAL, 1, kResolutionOffset + 8) && WriteShortEntry(296, 2) &&
           WriteShortEntry(317, 1) && WriteU32(0) && WriteU32(x.numerator) && WriteU32(x.denominator) &&
           WriteU32(y.numerator) && WriteU32(y.denominator);
}

// Only with two strips or more: the offsets, then the byte counts.  The last
// strip holds the rows that are left, a whole strip when the height divides.
int WriteStripArrays(const StripLayout& l)
{
    if (l.strip_count < 2) return 1;
    for (uint32_t i = 0; i < l.strip_count; i++)
        if (!WriteU32(l.first_strip_offset + i * l.strip_size)) return 0;
    for (uint32_t i = 0; i + 1 < l.strip_count; i++)
        if (!WriteU32(l.strip_size)) return 0;
    return WriteU32(l.last_strip_rows * l.row_size);
}

// Grey above 127 is a 1 bit (white under BlackIsZero); bits beyond the width
// stay 0.  Eight pixels make a byte, without a branch per pixel.
void PackRow(const uint8_t* grey, uint32_t width, uint8_t* row, uint32_t row_size)
{
    uint32_t whole = width / 8;
    for (uint32_t i = 0; i < whole; i++) {
        const uint8_t* g = grey + 8 * i;
        unsigned bits = 0;
        for (int b = 0; b < 8; b++) bits = (bits << 1) | unsigned(g[b] > 127);
        row[i] = uint8_t(bits);
    }
    if (whole < row_size) {
        unsigned bits = 0;
        for (uint32_t x = whole * 8; x < width; x++) bits |= unsigned(grey[x] > 127) << (7 - (x & 7));
        row[whole] = uint8_t(bits);
        for (uint32_t i = whole + 1; i < row_size; i++) row[i] = 0;
    }
}

// The strips follow one another with no gap: each is packed whole and
// written at once.
int WriteRows(const BITMAP* image, const StripLayout& l)
{
    uint8_t* strip = static_cast<uint8_t*>(AllocMemory(l.strip_size));
    if (strip == nullptr) return 0;
    int ok = 1;
    for (uint32_t y = 0; ok && y < image->height; y += l.rows_per_strip) {
        uint32_t rows = image->height - y < l.rows_per_strip ? image->height - y : l.rows_per_strip;
        for (uint32_t r = 0; r < rows; r++)
            PackRow(image->pixels + uint64_t(y + r) * image->width, image->width, strip + r * l.row_size, l.row_size);
        ok = WriteBytes(&g_tiff.stream, strip, size_t(rows) * l.row_size, g_tiff.file_name);
    }
    FreeMemory(&strip);
    return ok;
}

}  // namespace

int SaveTIFF(const char* name, const BITMAP* image) { return SaveTIFFAt(name, image, 0.0, 0.0); }

int SaveTIFFAt(const char* name, const BITMAP* image, double x_dpi, double y_dpi)
{
    if (name == nullptr || name[0] == '\0' || image == nullptr || image->type != PIXEL_GREY ||
        image->width == 0 || image->height == 0 || image->pixels == nullptr)
        return 0;
    if (!TiffTakeFileName(name)) return 0;
    StripLayout layout = ComputeLayout(image->width, image->height);
    g_tiff.big_endian = 0;
    OutputFile out;
    if (!OpenOutputFile(&out, name)) return 0;
    g_tiff.stream = out.stream;
    int ok = WriteHeaderAndDirectory(layout, image->width, image->height, DotsPerInchRational(x_dpi),
                                     DotsPerInchRational(y_dpi)) && WriteStripArrays(layout) &&
             WriteRows(image, layout);
    // A failed write has closed the shared stream already.
    out.stream = g_tiff.stream;
    g_tiff.stream = nullptr;
    if (!ok) {
        AbortOutputFile(&out);
        return 0;
    }
    return CommitOutputFile(&out);
}
