// One page file as a document takes it: its compressed data as they are
// when a document can hold them without decoding (a JPEG file, a single-strip
// CCITT Group 4 TIFF, a PNG file's zlib stream), its pixels otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bitmap.h"
#include "documents/page_streams.h"

enum PageStream : uint8_t {
    STREAM_JPEG,    // data: the whole JPEG file
    STREAM_G4,      // data: the Group 4 strip, most significant bit first
    STREAM_PNG,     // data: the zlib stream of PNG-filtered rows
    STREAM_PIXELS,  // pixels: grey, RGB, BGR or indexed
};

struct PageImage {
    PageStream kind;
    uint32_t width, height;
    double x_dpi, y_dpi;  // as the file declares them; 0 when it declares none
    JpegFrame jpeg;       // STREAM_JPEG
    PngLayout png;        // STREAM_PNG
    bool black_is_1;      // STREAM_G4: the TIFF was min-is-black
    bool bilevel;         // STREAM_PIXELS: a 1-bit page, its grey pixels 0 or 255
    const uint8_t* data;  // the compressed stream, inside `owned`
    size_t data_size;
    uint8_t* owned;
    BITMAP pixels;
};

// Reads the page file `name`.  for_tiff 1 decodes what a TIFF document
// cannot hold as it is: PNG streams and JPEG files TIFF readers refuse.  1,
// or 0 after one message naming the file, with nothing held.
int LoadPageImage(const char* name, int for_tiff, PageImage* page);
void FreePageImage(PageImage* page);
