// Pixel routines that work on images and on the display surface alike.
#pragma once

#include <cstdint>

#include "core/bitmap.h"
#include "gui/platform/platform.h"
#include "gui/views/display.h"

// Pixel access.  Colour values as in display.h; outside the image, on an indexed
// image or on an image without pixels: reads give black, writes do nothing.
uint32_t GetPixelColour(const BITMAP* image, int x, int y);
void PutPixelColour(BITMAP* image, int x, int y, uint32_t colour);
uint32_t GetPixelColour(const PlatformSurface* surface, int x, int y);
void PutPixelColour(PlatformSurface* surface, int x, int y, uint32_t colour);

// Every pixel from (x0, y0) to (x1, y1), both corners included; the bounds
// are compared as unsigned numbers, so a negative bound selects nothing
// before the image.  Nothing when x0 > x1 or y0 > y1.
void FillRectangle(BITMAP* image, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t colour);
void FillRectangle(PlatformSurface* surface, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1,
                   uint32_t colour);
void ClearImage(BITMAP* image, uint32_t colour);
void ClearImage(PlatformSurface* surface, uint32_t colour);
