// Reading any page a user has and writing results in the format asked for.
//
// The pipeline asks for "page n of this file" and never knows which reader
// answered.  The file's first bytes decide: a TIFF file goes to nivelo's own
// TIFF reader first (for the first page) and to libtiff for every kind that
// reader refuses; PNG goes to libpng, JPEG to libjpeg; a file with none of
// those signatures goes to nivelo's TGA reader when it is named .tga or its
// header could be TGA's (TGA has no signature), and is refused otherwise.
#pragma once

#include <cstdint>

#include "core/bitmap.h"
#include "core/image_facts.h"

// Reads page `page` (0 for the first) of the named file into record, and
// what the file says of it into facts.  Returns 1, or 0 after one message
// with the record empty.
int LoadPage(const char* name, uint32_t page, BITMAP* record, ImageFacts* facts);

// What the first bytes of a file say it is.
enum FileKind {
    KIND_NONE,   // no signature nivelo knows: perhaps TGA
    KIND_TIFF,
    KIND_PNG,
    KIND_JPEG,
    KIND_OTHER,  // an image format nivelo does not read (named by SniffKind)
};

// Classifies the first `size` bytes of a file.  For KIND_OTHER, *other is
// set to the format's usual name ("BMP", "GIF", ...).
FileKind SniffKind(const uint8_t* head, uint64_t size, const char** other);

// 1 when an 18-byte TGA header could describe a TGA image.
int PlausibleTgaHeader(const uint8_t* head, uint64_t size);
