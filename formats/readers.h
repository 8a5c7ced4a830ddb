// The library-backed readers behind LoadPage.  Each reads one page of a
// file whose signature it owns into an empty record, fills facts, and
// returns 1, or 0 after one message with the record empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/bitmap.h"
#include "core/image_facts.h"

int LoadTiffLibrary(const char* name, uint32_t page, BITMAP* record, ImageFacts* facts);
int LoadPNG(const char* name, BITMAP* record, ImageFacts* facts);
int LoadJPEG(const char* name, BITMAP* record, ImageFacts* facts);

// Readers of a coded stream held in memory, taken out of another file
// (name and format are that file's, for messages).  The JPEG's EXIF orientation is not
// applied: the holding file says how its page is turned.  The TIFF is read
// as LoadTiffLibrary reads page 0; for a CCITT strip, fax_byte_align says
// whether every coded row starts on a byte (TIFF's own CCITT RLE does, G3
// and G4 do not), which no TIFF tag can say.
int LoadJPEGMemory(const char* name, const char* format, const uint8_t* data, size_t size, BITMAP* record,
                   ImageFacts* facts);
int LoadTiffMemory(const char* name, const char* format, const uint8_t* data, uint64_t size, int fax_byte_align,
                   BITMAP* record, ImageFacts* facts);

// The coded stream of a page that is one G4 strip (upright, 1 bit, bits
// most significant first), with its sides and photometric: what a result
// needs to carry the page over without coding it again.  Silent; 0 when
// the page is anything else.
int ReadTiffG4Strip(const char* name, uint32_t page, std::string* bytes, uint32_t* width, uint32_t* height,
                    uint16_t* photometric);

// Pages of a TIFF file as libtiff counts its directories (1 for none);
// 0 after one message when libtiff cannot open it.
int TiffPageCount(const char* name, uint32_t* count);

// Pages and first-page resolution of a TIFF file, for a page that nivelo's
// own reader has read; silent, and facts stay as they were when libtiff
// cannot tell.
void ReadTiffFacts(const char* name, ImageFacts* facts);

// Alpha over white, both 8 bits: the colour seen when the page lies on
// white paper.  Unassociated alpha weighs the colour; associated alpha has
// weighed it already.
inline uint8_t OverWhite(unsigned value, unsigned alpha)
{
    return uint8_t((value * alpha + 255u * (255u - alpha) + 127u) / 255u);
}
inline uint8_t AssociatedOverWhite(unsigned value, unsigned alpha)
{
    unsigned v = value + 255u - alpha;
    return uint8_t(v > 255u ? 255u : v);
}
