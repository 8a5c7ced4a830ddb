// The samples of a PDF image, once its filters are undone, into a page.
//
// A PDF image is rows of packed samples, each row starting on a byte, the
// most significant bits first and 16-bit samples big-endian.  Its colour
// space says how many samples make a pixel: 1 (DeviceGray, CalGray, an
// ICCBased space with N 1, an image mask), 3 (DeviceRGB, CalRGB, N 3) or 4
// (DeviceCMYK, N 4), or 1 index into the palette of an Indexed space.
// /Decode [1 0] on a component turns its samples upside down (an image mask
// paints its 0 samples black, which /Decode [1 0] turns round too).
#pragma once

#include <cstdint>

#include "core/bitmap.h"

struct PdfSamples {
    uint32_t width, height;
    unsigned components;   // samples a pixel: 1, 3 or 4 (1 for an indexed image)
    unsigned bits;         // bits a sample: 1, 2, 4, 8 or 16
    bool inverted[4];      // /Decode high to low, per component
    bool indexed;          // samples are palette indexes, looked up in table
    unsigned table_colours;  // 1 (grey) or 3 (R, G, B) bytes per table entry
    unsigned highest;      // the highest index the palette has
    uint8_t table[256 * 3];
};

// Bytes of one coded row, or 0 when it would not fit 32 bits.
uint64_t PdfRowBytes(const PdfSamples& s);

// PIXEL_GREY for one grey component or a grey palette, PIXEL_RGB otherwise.
unsigned PdfPixelType(const PdfSamples& s);

// Fills table from a palette of `count` entries of `colours` bytes each (1
// grey, 3 RGB, 4 CMYK, as the Indexed base space has them); missing entries
// of a short palette are black.  highest is the palette's last index.
void SetPdfPalette(PdfSamples* s, const uint8_t* palette, uint64_t size, unsigned colours, unsigned highest);

// Converts height rows of PdfRowBytes each (data holds at least that) into
// image, already created width x height of PdfPixelType.
void ConvertPdfSamples(const PdfSamples& s, const uint8_t* data, BITMAP* image);

// CMYK to R, G, B as the JPEG and TIFF readers do: (255 - C)(255 - K) / 255.
inline uint8_t CmykChannel(unsigned c, unsigned k)
{
    return uint8_t(((255u - c) * (255u - k) + 127u) / 255u);
}
