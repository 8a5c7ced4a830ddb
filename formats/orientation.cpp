#include "formats/orientation.h"

#include <cstring>

#include "core/support.h"

namespace {

bool SwapsSides(unsigned orientation) { return orientation >= 5 && orientation <= 8; }

// Where upright pixel (x, y) comes from in the stored image: pixel index
// base + x * step_x + y * step_y, in pixels of the stored width w, height h.
struct Walk {
    int64_t base, step_x, step_y;
};

Walk WalkFor(unsigned orientation, int64_t w, int64_t h)
{
    switch (orientation) {
    case 2: return {w - 1, -1, w};
    case 3: return {(h - 1) * w + w - 1, -1, -w};
    case 4: return {(h - 1) * w, 1, -w};
    case 5: return {0, w, 1};
    case 6: return {(h - 1) * w, -w, 1};
    case 7: return {(h - 1) * w + w - 1, -w, -1};
    case 8: return {w - 1, w, -1};
    default: return {0, 1, w};
    }
}

}  // namespace

uint64_t OrientationMemory(unsigned orientation, unsigned width, unsigned height, unsigned type)
{
    if (orientation < 2 || orientation > 8) return 0;
    return BITMAP_ByteSize(width, height, type);
}

int ApplyOrientation(BITMAP* image, unsigned orientation, double* x_dpi, double* y_dpi)
{
    if (orientation < 2 || orientation > 8) return 1;
    bool swap = SwapsSides(orientation);
    unsigned out_w = swap ? image->height : image->width;
    unsigned out_h = swap ? image->width : image->height;
    BITMAP upright;
    if (!BITMAP_Create(&upright, out_w, out_h, image->type)) return 0;
    unsigned bpp = BITMAP_BytesPerPixel(image->type);
    Walk walk = WalkFor(orientation, image->width, image->height);
    for (unsigned y = 0; y < out_h; y++) {
        uint8_t* out = upright.pixels + uint64_t(y) * out_w * bpp;
        int64_t from = walk.base + int64_t(y) * walk.step_y;
        for (unsigned x = 0; x < out_w; x++, from += walk.step_x)
            std::memcpy(out + uint64_t(x) * bpp, image->pixels + uint64_t(from) * bpp, bpp);
    }
    if (image->palette != nullptr && upright.palette != nullptr) std::memcpy(upright.palette, image->palette, 768);
    BITMAP_Free(image);
    *image = upright;
    if (swap) {
        double t = *x_dpi;
        *x_dpi = *y_dpi;
        *y_dpi = t;
    }
    return 1;
}
