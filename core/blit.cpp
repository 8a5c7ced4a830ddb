#include "core/blit.h"

#include <cstring>

#include "core/support.h"

namespace {

// One source pixel as the three bytes (R, G, B) it stands for, and its grey
// value; the grey of a three-byte pixel is the unweighted truncated mean.
struct Rgb {
    uint8_t r, g, b;
};

inline Rgb SourceRgb(const BITMAP* s, const uint8_t* p)
{
    switch (s->type) {
    case PIXEL_INDEXED: {
        const uint8_t* e = s->palette + 3 * p[0];
        return {e[0], e[1], e[2]};
    }
    case PIXEL_GREY: return {p[0], p[0], p[0]};
    case PIXEL_RGB: return {p[0], p[1], p[2]};
    default: return {p[2], p[1], p[0]};  // BGR
    }
}

inline uint8_t SourceGrey(const BITMAP* s, const uint8_t* p)
{
    if (s->type == PIXEL_GREY) return p[0];
    Rgb c = SourceRgb(s, p);
    return uint8_t((unsigned(c.r) + c.g + c.b) / 3);
}

// Clips a span of `length` source cells placed at `at` into `limit` cells.
// Returns the visible width (<= 0 when nothing shows).
int32_t ClipSpan(int32_t at, int32_t length, int32_t limit, int32_t* from, int32_t* to)
{
    int32_t width = length;
    if (at < 0) {
        *from = -at;
        *to = 0;
        width = at + length;
    } else {
        *from = 0;
        *to = at;
    }
    if (*to + width > limit) width = limit - *to;
    return width;
}

// One row of the clipped block for the pairs of types the pipeline converts
// all the time: the same bytes as the per-pixel switch below, a row at a time.
// Returns false for the other pairs.
bool CopyRowFast(unsigned from, unsigned to, const uint8_t* sp, uint8_t* dp, int32_t cols)
{
    if (from == to && from != PIXEL_INDEXED) {
        std::memcpy(dp, sp, size_t(cols) * BITMAP_BytesPerPixel(from));
        return true;
    }
    if (from == PIXEL_GREY && (to == PIXEL_BGR || to == PIXEL_RGB)) {
        for (int32_t j = 0; j < cols; j++, dp += 3) dp[0] = dp[1] = dp[2] = sp[j];
        return true;
    }
    if ((from == PIXEL_BGR || from == PIXEL_RGB) && to == PIXEL_GREY) {
        for (int32_t j = 0; j < cols; j++, sp += 3) dp[j] = uint8_t((unsigned(sp[0]) + sp[1] + sp[2]) / 3);
        return true;
    }
    return false;
}

}  // namespace

void BITMAP_Blt(const BITMAP* source, BITMAP* destination, int32_t x, int32_t y)
{
    int32_t w = source->width, h = source->height;
    int32_t dw = destination->width, dh = destination->height;
    // 64-bit sums: x + W must not wrap for positions near the 32-bit limits.
    if (int64_t(x) + w <= 0 || int64_t(y) + h <= 0 || x >= dw || y >= dh) return;
    int32_t sx, dx, sy, dy;
    int32_t cols = ClipSpan(x, w, dw, &sx, &dx);
    int32_t rows = ClipSpan(y, h, dh, &sy, &dy);
    if (destination->type == PIXEL_INDEXED) {
        ReportError("BITMAP_Blt: format not supported\n");
        return;
    }
    if (cols <= 0 || rows <= 0) return;
    unsigned sbpp = BITMAP_BytesPerPixel(source->type);
    unsigned dbpp = BITMAP_BytesPerPixel(destination->type);
    for (int32_t i = 0; i < rows; i++) {
        const uint8_t* sp = source->pixels + (size_t(sy + i) * size_t(w) + size_t(sx)) * sbpp;
        uint8_t* dp = destination->pixels + (size_t(dy + i) * size_t(dw) + size_t(dx)) * dbpp;
        if (CopyRowFast(source->type, destination->type, sp, dp, cols)) continue;
        for (int32_t j = 0; j < cols; j++, sp += sbpp, dp += dbpp) {
            switch (destination->type) {
            case PIXEL_GREY: dp[0] = SourceGrey(source, sp); break;
            case PIXEL_RGB: {
                Rgb c = SourceRgb(source, sp);
                dp[0] = c.r, dp[1] = c.g, dp[2] = c.b;
                break;
            }
            case PIXEL_BGR: {
                Rgb c = SourceRgb(source, sp);
                dp[0] = c.b, dp[1] = c.g, dp[2] = c.r;
                break;
            }
            default: break;  // no conversion defined: leave the pixel
            }
        }
    }
}

int BITMAP_Clr(BITMAP* bitmap, uint8_t a, uint8_t b, uint8_t c)
{
    if (bitmap->pixels == nullptr) {
        ReportError("BITMAP_Clr: no memory for bitmap\n");
        return 0;
    }
    size_t count = size_t(bitmap->width) * bitmap->height;
    uint8_t* p = bitmap->pixels;
    switch (bitmap->type) {
    case PIXEL_INDEXED:
    case PIXEL_GREY:
        for (size_t i = 0; i < count; i++) p[i] = a;
        break;
    case PIXEL_RGB:
        for (size_t i = 0; i < count; i++, p += 3) p[0] = a, p[1] = b, p[2] = c;
        break;
    case PIXEL_BGR:
        for (size_t i = 0; i < count; i++, p += 3) p[0] = c, p[1] = b, p[2] = a;
        break;
    default: break;
    }
    return 1;
}

int BITMAP_Convert(BITMAP** slot, unsigned type)
{
    if (type == PIXEL_INDEXED) return 0;
    BITMAP* old = *slot;
    // Between the two three-byte orders every pixel keeps its place: red and
    // blue are swapped where they lie, the bytes BITMAP_Blt would write,
    // without a second page to allocate and fault in.
    bool swap = (old->type == PIXEL_RGB && type == PIXEL_BGR) || (old->type == PIXEL_BGR && type == PIXEL_RGB);
    if (swap && old->pixels != nullptr) {
        uint8_t* p = old->pixels;
        size_t count = size_t(old->width) * old->height;
        for (size_t i = 0; i < count; i++, p += 3) {
            uint8_t red = p[0];
            p[0] = p[2];
            p[2] = red;
        }
        old->type = uint8_t(type);
        return 1;
    }
    BITMAP* fresh = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    if (fresh == nullptr) return 0;
    if (!BITMAP_Create(fresh, old->width, old->height, type)) {
        FreeMemory(&fresh);
        return 0;
    }
    BITMAP_Blt(old, fresh, 0, 0);
    BITMAP_Free(old);
    FreeMemory(&old);
    *slot = fresh;
    return 1;
}
