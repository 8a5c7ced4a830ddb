#include "documents/pdf_samples.h"

#include <cstring>

namespace {

// Sample k of a row, as coded (0 to 2^bits - 1).
unsigned RawSample(const uint8_t* row, uint64_t k, unsigned bits)
{
    switch (bits) {
    case 16: return unsigned(row[2 * k]) << 8 | row[2 * k + 1];
    case 8: return row[k];
    case 4: return (row[k >> 1] >> (4 - 4 * (k & 1))) & 0x0Fu;
    case 2: return (row[k >> 2] >> (6 - 2 * (k & 3))) & 0x03u;
    default: return (row[k >> 3] >> (7 - (k & 7))) & 1u;
    }
}

// A coded value brought to 8 bits; 16-bit samples to the nearest of 256
// levels, as the TIFF reader does.
unsigned To8(unsigned v, unsigned bits)
{
    switch (bits) {
    case 16: return (v + 128u) / 257u;
    case 8: return v;
    case 4: return v * 17u;
    case 2: return v * 85u;
    default: return v * 255u;
    }
}

}  // namespace

uint64_t PdfRowBytes(const PdfSamples& s)
{
    uint64_t bits = uint64_t(s.width) * s.components * s.bits;
    uint64_t bytes = (bits + 7) / 8;
    return bytes > UINT32_MAX ? 0 : bytes;
}

unsigned PdfPixelType(const PdfSamples& s)
{
    if (s.indexed) return s.table_colours == 1 ? PIXEL_GREY : PIXEL_RGB;
    return s.components == 1 ? PIXEL_GREY : PIXEL_RGB;
}

void SetPdfPalette(PdfSamples* s, const uint8_t* palette, uint64_t size, unsigned colours, unsigned highest)
{
    s->indexed = true;
    s->highest = highest > 255 ? 255 : highest;
    s->table_colours = colours == 1 ? 1 : 3;
    std::memset(s->table, 0, sizeof s->table);
    for (unsigned i = 0; i <= s->highest; i++) {
        uint64_t at = uint64_t(i) * colours;
        if (at + colours > size) continue;  // a short palette: what it lacks reads as black
        const uint8_t* e = palette + at;
        uint8_t* t = s->table + uint64_t(i) * s->table_colours;
        if (colours == 4) {
            for (unsigned c = 0; c < 3; c++) t[c] = CmykChannel(e[c], e[3]);
        } else {
            std::memcpy(t, e, s->table_colours);
        }
    }
}

void ConvertPdfSamples(const PdfSamples& s, const uint8_t* data, BITMAP* image)
{
    uint64_t row_bytes = PdfRowBytes(s);
    unsigned most = (1u << s.bits) - 1u;
    unsigned out_bytes = BITMAP_BytesPerPixel(PdfPixelType(s));
    for (uint32_t y = 0; y < s.height; y++) {
        const uint8_t* row = data + uint64_t(y) * row_bytes;
        uint8_t* out = image->pixels + uint64_t(y) * s.width * out_bytes;
        for (uint32_t x = 0; x < s.width; x++) {
            unsigned v[4];
            for (unsigned c = 0; c < s.components; c++) {
                v[c] = RawSample(row, uint64_t(x) * s.components + c, s.bits);
                if (s.inverted[c]) v[c] = most - v[c];
            }
            if (s.indexed) {
                unsigned index = v[0] > s.highest ? s.highest : v[0];
                std::memcpy(out + uint64_t(x) * out_bytes, s.table + index * s.table_colours, out_bytes);
            } else if (s.components == 4) {
                unsigned k = To8(v[3], s.bits);
                for (unsigned c = 0; c < 3; c++) out[3 * uint64_t(x) + c] = CmykChannel(To8(v[c], s.bits), k);
            } else {
                for (unsigned c = 0; c < s.components; c++)
                    out[uint64_t(x) * out_bytes + c] = uint8_t(To8(v[c], s.bits));
            }
        }
    }
}
