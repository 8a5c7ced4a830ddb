// What a page file must say before its compressed data can go into a
// document as they are: the frame of a JPEG file and the layout of a PNG
// file.  Both work on the file's bytes in memory, read nothing beyond them,
// allocate nothing and print nothing; 0 means the bytes are not a complete,
// well-formed file of that kind (the caller names the file in its message).
#pragma once

#include <cstddef>
#include <cstdint>

struct JpegFrame {
    uint32_t width, height;
    uint8_t marker;      // the start-of-frame marker's second byte: 0xC0 baseline, 0xC2 progressive...
    uint8_t precision;   // bits a sample
    uint8_t components;  // 1 grey, 3 colour, 4 CMYK
    uint8_t sampling[4];  // each component's factors, horizontal in the high nibble
    bool adobe;          // an Adobe APP14 segment: its CMYK is stored inverted
    uint8_t density_unit;  // the JFIF header's: 0 none, 1 per inch, 2 per centimetre
    uint16_t x_density, y_density;
    size_t exif_offset, exif_size;  // the first APP1 segment's content; 0 when none
};

// Walks the markers from SOI to the first SOS and checks that the file ends
// with EOI.  The entropy-coded data themselves are not decoded.
int ScanJpeg(const uint8_t* file, size_t size, JpegFrame* frame);

// 1 when a PDF reader's DCTDecode and libjpeg's usual build take the stream
// as it is: Huffman coded, 8 bits a sample, 1, 3 or 4 components.
int JpegPassable(const JpegFrame& frame);

// 1 when a TIFF reader takes the file as a page's one strip: grey, or JFIF
// YCbCr colour whose chroma is sampled once a block of luma samples.
int JpegFitsTiff(const JpegFrame& frame);

struct PngLayout {
    uint32_t width, height;
    uint8_t bit_depth;
    uint8_t colour_type;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    uint8_t interlace;    // 0 none, 1 Adam7
    bool transparency;    // a tRNS chunk
    uint16_t palette_entries;
    uint8_t palette[768];  // R, G, B an entry
    uint32_t x_per_metre, y_per_metre;  // pHYs in the metre; 0 when none
    size_t data_offset;    // where the concatenated IDAT data start in the file's buffer
    size_t data_size;
};

// Checks every chunk's length and CRC, IHDR first, IDAT chunks in one run,
// IEND last, then moves the data of the second and later IDAT chunks down so
// that the zlib stream lies in one piece at data_offset.  The buffer's
// chunks after the first IDAT are overwritten.
int ScanPng(uint8_t* file, size_t size, PngLayout* layout);

// 1 when the zlib stream goes into a document as it is, with PNG's predictors
// declared: no interlacing, no alpha of any kind.
int PngPassable(const PngLayout& layout);
