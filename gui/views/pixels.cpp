// Pixel access on BITMAP records and on the display surface.
#include "gui/views/pixels.h"

namespace {

bool Inside(int x, int y, unsigned width, unsigned height)
{
    return x >= 0 && y >= 0 && unsigned(x) < width && unsigned(y) < height;
}

// Clips an inclusive unsigned range to [0, size - 1]; false when empty.
bool ClipRange(uint32_t* low, uint32_t* high, uint32_t size)
{
    if (*low > *high || size == 0 || *low >= size) return false;
    if (*high >= size) *high = size - 1;
    return true;
}

}  // namespace

uint32_t GetPixelColour(const BITMAP* image, int x, int y)
{
    if (image->pixels == nullptr || !Inside(x, y, image->width, image->height)) return COLOUR_BLACK;
    uint64_t index = uint64_t(y) * image->width + uint64_t(x);
    const uint8_t* p;
    switch (image->type) {
    case PIXEL_GREY:
        return image->pixels[index] * 0x010101u;
    case PIXEL_RGB:
        p = image->pixels + index * 3;
        return p[0] + 256u * p[1] + 65536u * p[2];
    case PIXEL_BGR:
        p = image->pixels + index * 3;
        return p[2] + 256u * p[1] + 65536u * p[0];
    default:
        return COLOUR_BLACK;  // indexed images are not shown
    }
}

void PutPixelColour(BITMAP* image, int x, int y, uint32_t colour)
{
    if (image->pixels == nullptr || !Inside(x, y, image->width, image->height)) return;
    uint64_t index = uint64_t(y) * image->width + uint64_t(x);
    uint8_t* p;
    switch (image->type) {
    case PIXEL_GREY:
        image->pixels[index] = uint8_t(colour);
        break;
    case PIXEL_RGB:
        p = image->pixels + index * 3;
        p[0] = uint8_t(colour);
        p[1] = uint8_t(colour >> 8);
        p[2] = uint8_t(colour >> 16);
        break;
    case PIXEL_BGR:
        p = image->pixels + index * 3;
        p[0] = uint8_t(colour >> 16);
        p[1] = uint8_t(colour >> 8);
        p[2] = uint8_t(colour);
        break;
    default:
        break;
    }
}

uint32_t GetPixelColour(const PlatformSurface* surface, int x, int y)
{
    if (surface->pixels == nullptr || surface->width <= 0 || surface->height <= 0 ||
        !Inside(x, y, unsigned(surface->width), unsigned(surface->height)))
        return COLOUR_BLACK;
    const uint8_t* p = surface->pixels + size_t(y) * size_t(surface->pitch) + size_t(x) * 3;
    return p[2] + 256u * p[1] + 65536u * p[0];
}

void PutPixelColour(PlatformSurface* surface, int x, int y, uint32_t colour)
{
    if (surface->pixels == nullptr || surface->width <= 0 || surface->height <= 0 ||
        !Inside(x, y, unsigned(surface->width), unsigned(surface->height)))
        return;
    uint8_t* p = surface->pixels + size_t(y) * size_t(surface->pitch) + size_t(x) * 3;
    p[0] = uint8_t(colour >> 16);
    p[1] = uint8_t(colour >> 8);
    p[2] = uint8_t(colour);
}

// The rectangle is clipped to the image before the loop: only pixels inside
// are written anyway, and an unclipped bound of 0xFFFFFFFF would never end
// an inclusive unsigned loop.
void FillRectangle(BITMAP* image, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t colour)
{
    if (!ClipRange(&x0, &x1, image->width) || !ClipRange(&y0, &y1, image->height)) return;
    for (uint32_t y = y0; y <= y1; ++y)
        for (uint32_t x = x0; x <= x1; ++x) PutPixelColour(image, int(x), int(y), colour);
}

void FillRectangle(PlatformSurface* surface, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1,
                   uint32_t colour)
{
    if (surface->width <= 0 || surface->height <= 0) return;
    if (!ClipRange(&x0, &x1, uint32_t(surface->width)) || !ClipRange(&y0, &y1, uint32_t(surface->height)))
        return;
    for (uint32_t y = y0; y <= y1; ++y)
        for (uint32_t x = x0; x <= x1; ++x) PutPixelColour(surface, int(x), int(y), colour);
}

void ClearImage(BITMAP* image, uint32_t colour)
{
    FillRectangle(image, 0, 0, image->width, image->height, colour);
}

void ClearImage(PlatformSurface* surface, uint32_t colour)
{
    if (surface->width <= 0 || surface->height <= 0) return;
    FillRectangle(surface, 0, 0, uint32_t(surface->width), uint32_t(surface->height), colour);
}
