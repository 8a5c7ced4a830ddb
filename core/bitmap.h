// The image record shared by every part of nivelo and nivelo_gui.
//
// Pixels are stored rows top to bottom, back to back with no padding; pixel
// (x, y) starts at byte (y * width + x) * bytes-per-pixel.  Pixel types:
//   1 indexed (1 byte, index into a 768-byte R,G,B palette)
//   2 grey    (1 byte)
//   3 RGB     (3 bytes R, G, B)
//   4 BGR     (3 bytes B, G, R: the byte order of a true-colour TGA file and
//              the working type of every correction stage)
// Any other code is accepted by BITMAP_Create and then taken as the number of
// bytes a pixel; nothing in the system processes such an image.
#pragma once

#include <cstddef>
#include <cstdint>

enum PixelType : uint8_t {
    PIXEL_INDEXED = 1,
    PIXEL_GREY = 2,
    PIXEL_RGB = 3,
    PIXEL_BGR = 4,
};

struct BITMAP {
    uint16_t width;
    uint16_t height;
    uint8_t type;
    uint8_t* palette;  // 768 bytes (R, G, B per entry) for type 1, else null
    uint8_t* pixels;   // null when the record holds no image
};

// Bytes a pixel of a pixel type code: 1 for types 1 and 2, 3 for 3 and 4,
// the code itself otherwise.
unsigned BITMAP_BytesPerPixel(unsigned type);

// Byte size of a width x height image of the given type, computed in 64 bits
// so that the largest image (65535 x 65535 x 3) cannot wrap.
uint64_t BITMAP_ByteSize(unsigned width, unsigned height, unsigned type);

// Stores size and type and sets both pointers null; allocates nothing.
void BITMAP_Init(BITMAP* bitmap, unsigned width, unsigned height, unsigned type);

// BITMAP_Init, then allocates the pixel buffer (uninitialised) and, for type 1,
// the palette.  Returns 1, or 0 with "Not enough memory\n" printed and both
// pointers null.
int BITMAP_Create(BITMAP* bitmap, unsigned width, unsigned height, unsigned type);

// BITMAP_Create with `room` more bytes after the pixels, for a reader that
// decodes its file's larger form in the page's own buffer and packs it down.
int BITMAP_CreateWithRoom(BITMAP* bitmap, unsigned width, unsigned height, unsigned type, uint64_t room);

// Releases pixel buffer and palette; harmless on an empty or freed record.
void BITMAP_Free(BITMAP* bitmap);
