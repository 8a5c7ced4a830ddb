#include "core/bitmap.h"

#include <cstdint>

#include "core/support.h"

unsigned BITMAP_BytesPerPixel(unsigned type)
{
    if (type == PIXEL_INDEXED || type == PIXEL_GREY) return 1;
    if (type == PIXEL_RGB || type == PIXEL_BGR) return 3;
    return type;
}

uint64_t BITMAP_ByteSize(unsigned width, unsigned height, unsigned type)
{
    // width and height are at most 16 bits, bytes a pixel at most 8: no wrap.
    return uint64_t(width) * uint64_t(height) * uint64_t(BITMAP_BytesPerPixel(type));
}

void BITMAP_Init(BITMAP* bitmap, unsigned width, unsigned height, unsigned type)
{
    bitmap->width = uint16_t(width);
    bitmap->height = uint16_t(height);
    bitmap->type = uint8_t(type);
    bitmap->palette = nullptr;
    bitmap->pixels = nullptr;
}

int BITMAP_Create(BITMAP* bitmap, unsigned width, unsigned height, unsigned type)
{
    return BITMAP_CreateWithRoom(bitmap, width, height, type, 0);
}

int BITMAP_CreateWithRoom(BITMAP* bitmap, unsigned width, unsigned height, unsigned type, uint64_t room)
{
    BITMAP_Init(bitmap, width, height, type);
    uint64_t size = BITMAP_ByteSize(bitmap->width, bitmap->height, bitmap->type);
    if (size > SIZE_MAX || room > SIZE_MAX - size) {
        ReportError("Not enough memory\n");
        return 0;
    }
    size += room;
    bitmap->pixels = static_cast<uint8_t*>(AllocMemory(size_t(size)));
    if (bitmap->pixels == nullptr) return 0;
    if (bitmap->type == PIXEL_INDEXED) {
        bitmap->palette = static_cast<uint8_t*>(AllocMemory(768));
        if (bitmap->palette == nullptr) {
            FreeMemory(&bitmap->pixels);
            return 0;
        }
    }
    return 1;
}

void BITMAP_Free(BITMAP* bitmap)
{
    FreeMemory(&bitmap->pixels);
    FreeMemory(&bitmap->palette);
}
