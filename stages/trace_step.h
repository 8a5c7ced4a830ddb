// One step of a line-foot trace, shared by the plain and the fast line-angle
// filter so that both follow exactly the same pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bitmap.h"

// What a trace may step onto: a marked pixel not yet traced (above 128), or,
// when an accepted trace is drawn for the debug image, a traced pixel (1).
enum class Accept { Marked, Traced };

inline bool Accepts(uint8_t value, Accept accept) { return accept == Accept::Marked ? value > 128 : value == 1; }

// Moves (cx, cy) one column to the right onto an accepted pixel, preferring
// the same row, then the row above, then the row below; false when the last
// column is reached or no neighbour is accepted.
inline bool StepRight(BITMAP* grey, int32_t* cx, int32_t* cy, Accept accept)
{
    int32_t width = grey->width, height = grey->height;
    int32_t x = *cx + 1, y = *cy;
    if (x >= width) return false;
    // Each neighbour row is addressed from the start of the image: reaching
    // the row above as row[x - width] would wrap an unsigned index.
    const uint8_t* pixels = grey->pixels;
    auto at = [pixels, width, x](int32_t row) { return pixels[size_t(row) * size_t(width) + size_t(x)]; };
    if (Accepts(at(y), accept)) {
    } else if (y > 0 && Accepts(at(y - 1), accept)) {
        y--;
    } else if (y < height - 1 && Accepts(at(y + 1), accept)) {
        y++;
    } else {
        return false;
    }
    *cx = x;
    *cy = y;
    return true;
}
