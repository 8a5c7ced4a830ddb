// Colour-limited Gaussian blur.
//
// Each pixel becomes the weighted mean of the pixels of its (2R + 1)^2 window
// whose colour distance to it is below the limit L, so that paper noise is
// smoothed while ink next to paper is not mixed.  The weights are integers
// scaled by 1024 (the centre weight) and the means truncate, so the whole
// stage is integer arithmetic once the table is built.
#include "stages/blur.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/memory_budget.h"
#include "core/support.h"
#include "stages/parallel.h"

int32_t* MakeBlurKernel(const ParameterSet& params, int64_t reach)
{
    int64_t radius = params.BLUR_RADIUS;
    if (radius < 1 || reach < 1) {
        // No spread: the Gaussian shrinks to its centre.
        int32_t* table = static_cast<int32_t*>(AllocMemory(sizeof(int32_t)));
        if (table != nullptr) table[0] = 1024;
        return table;
    }
    // Offsets beyond the reach never fall inside the image: they get no
    // weights, so a radius far larger than the page costs no memory.
    int64_t half = radius < reach ? radius : reach;
    uint64_t side = uint64_t(2 * half + 1);  // at most 2^32 - 1: side^2 fits 64 bits
    uint64_t count = side * side;
    // Refused before allocation: Linux would promise the memory and fail later.
    if (count > SIZE_MAX / sizeof(int32_t) || count * sizeof(int32_t) > PhysicalMemory()) {
        ReportError("Not enough memory\n");
        return nullptr;
    }
    int32_t* table = static_cast<int32_t*>(AllocMemory(size_t(count) * sizeof(int32_t)));
    if (table == nullptr) return nullptr;
    double sigma = double(radius) * 0.3333333333333333;
    double k = -1.0 / (2.0 * sigma * sigma);
    size_t index = 0;
    for (int64_t dy = -half; dy <= half; dy++)
        for (int64_t dx = -half; dx <= half; dx++)
            table[index++] = int32_t(1024.0 * std::exp(k * double(dx * dx + dy * dy)));
    return table;
}

namespace {

// Blurs one pixel of `image` into `out`.  The window is clipped to the image:
// only pixels inside it are averaged, each with its own weight.
void BlurPixel(const BITMAP* image, const int32_t* table, int64_t radius, int64_t limit2, int64_t x,
               int64_t y, uint8_t* out)
{
    int64_t width = image->width, height = image->height;
    size_t side = size_t(2 * radius + 1);
    const uint8_t* c = image->pixels + (size_t(y) * size_t(width) + size_t(x)) * 3;
    int64_t x0 = x - radius < 0 ? 0 : x - radius;
    int64_t x1 = x + radius + 1 < width ? x + radius + 1 : width;
    int64_t y0 = y - radius < 0 ? 0 : y - radius;
    int64_t y1 = y + radius + 1 < height ? y + radius + 1 : height;
    // 64-bit sums: with a large radius 32 bits would overflow.
    int64_t weight_sum = 0, sum[3] = {0, 0, 0};
    for (int64_t yy = y0; yy < y1; yy++) {
        const int32_t* weights = table + size_t(yy - y + radius) * side;
        const uint8_t* p = image->pixels + (size_t(yy) * size_t(width) + size_t(x0)) * 3;
        for (int64_t xx = x0; xx < x1; xx++, p += 3) {
            int32_t d0 = c[0] - p[0], d1 = c[1] - p[1], d2 = c[2] - p[2];
            int64_t d = d0 * d0 + d1 * d1 + d2 * d2;
            if (d >= limit2) continue;
            int64_t w = weights[xx - x + radius];
            weight_sum += w;
            sum[0] += w * p[0];
            sum[1] += w * p[1];
            sum[2] += w * p[2];
        }
    }
    if (weight_sum == 0) {  // nothing passed the colour test (limit 0): keep the pixel
        std::memcpy(out, c, 3);
        return;
    }
    for (int b = 0; b < 3; b++) out[b] = uint8_t(sum[b] / weight_sum);
}

}  // namespace

int BlurStage(BITMAP** slot, const ParameterSet& params)
{
    int64_t radius = params.BLUR_RADIUS;
    if (radius < 1) return 1;  // no window to average over: the image stays as it is
    if (BITMAP_BytesPerPixel((*slot)->type) != 3) {
        ReportError("BlurStage: pixel type %u not supported\n", unsigned((*slot)->type));
        return 0;
    }
    // 64 bits: L x L overflows 32 bits for |L| above 46340.
    int64_t limit2 = int64_t(params.BLUR_LIMIT) * params.BLUR_LIMIT;
    const BITMAP* old = *slot;
    // A window wider than the page is clipped to it whatever its radius, so
    // the table and the windows stop at the page's largest offset.  The
    // weights still follow BLUR_RADIUS, and the result is the same.
    // A page the blur would give back unchanged (a 1-bit scan) is left as it
    // is, which spares the window sums and a second page in memory.
    if (UseFastStages() && BlurChangesNothing(old, limit2, StageThreads())) return 1;
    int64_t reach = int64_t(old->width > old->height ? old->width : old->height) - 1;
    if (radius > reach) radius = reach < 0 ? 0 : reach;
    int32_t* table = MakeBlurKernel(params, reach);
    if (table == nullptr) return 0;
    BITMAP* blurred = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    if (blurred == nullptr || !BITMAP_Create(blurred, old->width, old->height, old->type)) {
        FreeMemory(&blurred);
        FreeMemory(&table);
        return 0;
    }
    if (UseFastStages()) {
        if (!BlurIntoFast(old, blurred, table, radius, limit2, StageThreads())) {
            BITMAP_Free(blurred);
            FreeMemory(&blurred);
            FreeMemory(&table);
            return 0;
        }
    } else {
        for (int64_t y = 0; y < old->height; y++) {
            uint8_t* out = blurred->pixels + size_t(y) * old->width * 3;
            for (int64_t x = 0; x < old->width; x++, out += 3) BlurPixel(old, table, radius, limit2, x, y, out);
        }
    }
    FreeMemory(&table);
    BITMAP_Free(*slot);
    FreeMemory(slot);
    *slot = blurred;
    return 1;
}
