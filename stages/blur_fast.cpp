// Fast twin of the blur: the same integer sums as BlurStage's plain loop,
// reorganised for speed.
//
// - Rows go in chunks to the threads.  Each thread keeps a ring of the
//   2R + 1 source rows around its current row, split into three byte
//   planes, so that a tap is read at the same offset in all lanes; a new
//   chunk fills the ring afresh.
// - Pixels at least R columns from both sides are done thirty-two (AVX-512
//   with 16-bit lanes for limits up to 255), sixteen (the same with AVX2, or
//   the portable loop left to the compiler) or eight (AVX2, 32-bit lanes,
//   larger limits) at a time: one
//   pass per tap of non-zero weight over the lanes, the colour test as a
//   mask instead of a branch.  The sums then fit 32 bits when the
//   whole table times 255 does (radii up to about 100), which is checked.
// - The remaining pixels (the R columns at each side, the tail of a row, or
//   every pixel when the sums could pass 32 bits) are done one at a time in
//   64 bits, with the window clipped as in the plain loop.
// - The mean is a double division truncated to an integer: quotients are
//   below 256 and divisors below 2^31, so the double quotient is never
//   rounded across an integer and the result equals the integer division.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/support.h"
#include "stages/blur.h"
#include "stages/blur_kernels.h"
#include "stages/parallel.h"
#include "stages/cpu_features.h"

namespace {

constexpr int kLanes = 16;
// Largest colour distance: three bytes differing by 255.
constexpr int64_t kMostDistance = 3 * 255 * 255;

struct BlurJob {
    const BITMAP* image;
    BITMAP* out;
    int64_t radius;
    int32_t limit2;       // clamped to kMostDistance + 1: the test is the same
    bool narrow_sums;     // 32-bit sums cannot overflow
    VectorKernels kernels;
    std::vector<std::vector<BlurTap>> taps;  // non-zero taps of each table row
    uint8_t* rings;       // ring_rows x 3 planes a thread
    int64_t ring_rows;
};

// Pixels at a time from x_first while they fit before x_end; each returns
// the first pixel not done.  Lane k of every array is pixel x + k.
int64_t BlurSixteenPortable(const BlurWindowRow* rows, int row_count, const uint8_t* const centre[3], int32_t limit2,
                          int64_t x_first, int64_t x_end, uint8_t* out_row)
{
    int64_t x = x_first;
    for (; x + kLanes <= x_end; x += kLanes) {
        int32_t c0[kLanes], c1[kLanes], c2[kLanes];
        int32_t ws[kLanes] = {}, s0[kLanes] = {}, s1[kLanes] = {}, s2[kLanes] = {};
        for (int k = 0; k < kLanes; k++) c0[k] = centre[0][x + k], c1[k] = centre[1][x + k], c2[k] = centre[2][x + k];
        for (int r = 0; r < row_count; r++) {
            const BlurWindowRow& row = rows[r];
            for (int32_t t = 0; t < row.tap_count; t++) {
                int32_t w = row.taps[t].weight;
                const uint8_t* a0 = row.plane[0] + x + row.taps[t].dx;
                const uint8_t* a1 = row.plane[1] + x + row.taps[t].dx;
                const uint8_t* a2 = row.plane[2] + x + row.taps[t].dx;
                for (int k = 0; k < kLanes; k++) {
                    int32_t p0 = a0[k], p1 = a1[k], p2 = a2[k];
                    int32_t e0 = c0[k] - p0, e1 = c1[k] - p1, e2 = c2[k] - p2;
                    int32_t d = e0 * e0 + e1 * e1 + e2 * e2;
                    int32_t m = w & -int32_t(d < limit2);  // the weight, or 0 when the colour differs
                    ws[k] += m;
                    s0[k] += m * p0;
                    s1[k] += m * p1;
                    s2[k] += m * p2;
                }
            }
        }
        uint8_t* out = out_row + x * 3;
        for (int k = 0; k < kLanes; k++) {
            double total = double(ws[k]);
            out[3 * k] = uint8_t(int32_t(double(s0[k]) / total));
            out[3 * k + 1] = uint8_t(int32_t(double(s1[k]) / total));
            out[3 * k + 2] = uint8_t(int32_t(double(s2[k]) / total));
        }
    }
    return x;
}

// One pixel, window clipped at the row's ends, 64-bit sums.
void BlurOne(const BlurWindowRow* rows, int row_count, const uint8_t* const centre[3], int64_t limit2, int64_t x,
             int64_t width, uint8_t* out)
{
    int32_t c0 = centre[0][x], c1 = centre[1][x], c2 = centre[2][x];
    int64_t ws = 0, s0 = 0, s1 = 0, s2 = 0;
    for (int r = 0; r < row_count; r++) {
        const BlurWindowRow& row = rows[r];
        for (int32_t t = 0; t < row.tap_count; t++) {
            int64_t xx = x + row.taps[t].dx;
            if (xx < 0 || xx >= width) continue;
            int32_t p0 = row.plane[0][xx], p1 = row.plane[1][xx], p2 = row.plane[2][xx];
            int32_t e0 = c0 - p0, e1 = c1 - p1, e2 = c2 - p2;
            if (e0 * e0 + e1 * e1 + e2 * e2 >= limit2) continue;
            int64_t w = row.taps[t].weight;
            ws += w;
            s0 += w * p0;
            s1 += w * p1;
            s2 += w * p2;
        }
    }
    // The centre passes the test whenever limit2 > 0, so ws >= 1024.
    out[0] = uint8_t(s0 / ws);
    out[1] = uint8_t(s1 / ws);
    out[2] = uint8_t(s2 / ws);
}

void SplitRow(const uint8_t* pixels, int64_t width, uint8_t* planes, VectorKernels kernels)
{
    uint8_t* p0 = planes;
    uint8_t* p1 = planes + width;
    uint8_t* p2 = planes + 2 * width;
    int64_t x = 0;
#if NIVELO_X86_KERNELS
    if (kernels == kAvx512Kernels) x = SplitSixteenAvx512(pixels, width, p0, p1, p2);
#else
    (void)kernels;
#endif
    for (; x < width; x++) {
        p0[x] = pixels[3 * x];
        p1[x] = pixels[3 * x + 1];
        p2[x] = pixels[3 * x + 2];
    }
}

// The window's taps one by one, planes moved by their offsets, completed to
// an even count by a partner of weight 0, which adds nothing; returns the
// count.  flat holds every tap of the table and one more.
int FlattenTaps(const BlurWindowRow* rows, int row_count, const uint8_t* const centre[3], BlurFlatTap* flat)
{
    int flat_count = 0;
    for (int r = 0; r < row_count; r++) {
        const BlurWindowRow& row = rows[r];
        for (int32_t t = 0; t < row.tap_count; t++) {
            int32_t dx = row.taps[t].dx;
            flat[flat_count++] = {{row.plane[0] + dx, row.plane[1] + dx, row.plane[2] + dx}, row.taps[t].weight};
        }
    }
    if (flat_count % 2 != 0) flat[flat_count++] = {{centre[0], centre[1], centre[2]}, 0};
    return flat_count;
}

// One output row from its window: the widest kernel the processor and the
// sums allow for the middle, one pixel at a time for the rest.
void BlurRow(const BlurJob& job, const BlurWindowRow* rows, int row_count, const uint8_t* const centre[3],
             BlurFlatTap* flat, uint8_t* out_row)
{
    int64_t width = job.image->width, radius = job.radius;
    int64_t x = 0;
    if (job.narrow_sums) {
        for (; x < radius && x < width; x++) BlurOne(rows, row_count, centre, job.limit2, x, width, out_row + 3 * x);
#if NIVELO_X86_KERNELS
        if (job.kernels != kPortableKernels && job.limit2 <= 65535 && x + 16 <= width - radius) {
            int flat_count = FlattenTaps(rows, row_count, centre, flat);
            if (job.kernels == kAvx512Kernels)
                x = BlurThirtyTwoAvx512(flat, flat_count, centre, job.limit2, x, width - radius, out_row);
            x = BlurSixteenAvx2(flat, flat_count, centre, job.limit2, x, width - radius, out_row);
        }
        if (job.kernels != kPortableKernels && x < width - radius)
            x = BlurEightAvx2(rows, row_count, centre, job.limit2, x, width - radius, out_row);
#else
        (void)flat;
#endif
        if (x < width - radius) x = BlurSixteenPortable(rows, row_count, centre, job.limit2, x, width - radius, out_row);
    }
    for (; x < width; x++) BlurOne(rows, row_count, centre, job.limit2, x, width, out_row + 3 * x);
}

void BlurChunk(const BlurJob& job, int thread, int64_t first, int64_t end)
{
    int64_t width = job.image->width, height = job.image->height, radius = job.radius;
    size_t row_bytes = size_t(width) * 3;
    uint8_t* ring = job.rings + size_t(thread) * size_t(job.ring_rows) * row_bytes;
    auto ring_row = [&](int64_t y) { return ring + size_t(y % job.ring_rows) * row_bytes; };
    int64_t loaded = first - radius < 0 ? 0 : first - radius;  // next source row to split
    std::vector<BlurWindowRow> rows(size_t(2 * radius + 1));
    size_t tap_total = 0;
    for (const std::vector<BlurTap>& taps : job.taps) tap_total += taps.size();
    std::vector<BlurFlatTap> flat(tap_total + 1);
    for (int64_t y = first; y < end; y++) {
        int64_t top = y - radius < 0 ? 0 : y - radius;
        int64_t bottom = y + radius + 1 < height ? y + radius + 1 : height;
        for (; loaded < bottom; loaded++)
            SplitRow(job.image->pixels + size_t(loaded) * row_bytes, width, ring_row(loaded), job.kernels);
        int row_count = 0;
        for (int64_t yy = top; yy < bottom; yy++) {
            const std::vector<BlurTap>& taps = job.taps[size_t(yy - y + radius)];
            if (taps.empty()) continue;
            uint8_t* planes = ring_row(yy);
            rows[size_t(row_count++)] = {{planes, planes + width, planes + 2 * width}, taps.data(),
                                         int32_t(taps.size())};
        }
        const uint8_t* centre_planes = ring_row(y);
        const uint8_t* centre[3] = {centre_planes, centre_planes + width, centre_planes + 2 * width};
        BlurRow(job, rows.data(), row_count, centre, flat.data(), job.out->pixels + size_t(y) * row_bytes);
    }
}

}  // namespace

int BlurIntoFast(const BITMAP* image, BITMAP* out, const int32_t* table, int64_t radius, int64_t limit2, int threads)
{
    int64_t width = image->width, height = image->height;
    uint64_t image_bytes = BITMAP_ByteSize(image->width, image->height, PIXEL_BGR);
    if (image_bytes == 0) return 1;
    if (limit2 <= 0) {  // no pixel passes the test: every pixel keeps its value
        std::memcpy(out->pixels, image->pixels, size_t(image_bytes));
        return 1;
    }
    BlurJob job;
    job.image = image;
    job.out = out;
    job.radius = radius;
    job.limit2 = int32_t(limit2 > kMostDistance ? kMostDistance + 1 : limit2);
    int64_t side = 2 * radius + 1;
    job.taps.resize(size_t(side));
    uint64_t weight_total = 0;
    for (int64_t dy = 0; dy < side; dy++)
        for (int64_t dx = 0; dx < side; dx++) {
            int32_t w = table[size_t(dy) * size_t(side) + size_t(dx)];
            if (w == 0) continue;
            job.taps[size_t(dy)].push_back({int32_t(dx - radius), w});
            weight_total += uint64_t(w);
        }
    job.narrow_sums = weight_total * 255 <= uint64_t(INT32_MAX);
    job.kernels = ChooseVectorKernels();
    // The rings of all threads together stay within one image's size.
    job.ring_rows = side < height ? side : height;
    uint64_t ring_bytes = uint64_t(job.ring_rows) * uint64_t(width) * 3;
    uint64_t most_threads = image_bytes / ring_bytes;
    if (uint64_t(threads) > most_threads) threads = int(most_threads < 1 ? 1 : most_threads);
    if (threads > height) threads = int(height);
    job.rings = static_cast<uint8_t*>(AllocMemory(size_t(ring_bytes) * size_t(threads)));
    if (job.rings == nullptr) return 0;
    RunInBands(height, threads, [&job](int thread, int64_t first, int64_t end) { BlurChunk(job, thread, first, end); });
    FreeMemory(&job.rings);
    return 1;
}

int BlurChangesNothing(const BITMAP* image, int64_t limit2, int threads)
{
    // With no limit nothing passes the colour test and every pixel is kept.
    if (limit2 <= 0) return 1;
    size_t count = size_t(BITMAP_ByteSize(image->width, image->height, image->type));
    if (count == 0) return 1;
    // The first two byte values in reading order; a 1-bit scan expanded to
    // black and white has no third.  When every byte is one of two values
    // at least the limit apart, two pixels that differ at all differ by that
    // much in some colour, so only a pixel's own colour passes its test and
    // every mean is of pixels equal to it: the plain loop's sums are exact
    // integers, w v / w = v.
    const uint8_t* bytes = image->pixels;
    uint8_t a = bytes[0], b = a;
    for (size_t i = 1; i < count && b == a; i++) b = bytes[i];
    if (b != a && int64_t(a - b) * (a - b) < limit2) return 0;
    std::atomic<bool> third{false};
    size_t row_bytes = size_t(image->width) * 3;
    RunInBands(image->height, threads, [&](int, int64_t first, int64_t end) {
        for (int64_t y = first; y < end && !third.load(std::memory_order_relaxed); y++) {
            const uint8_t* p = bytes + size_t(y) * row_bytes;
            uint8_t other = 0;  // no branch a byte, so that the row is done in vectors
            for (size_t x = 0; x < row_bytes; x++) other |= uint8_t(p[x] != a) & uint8_t(p[x] != b);
            if (other != 0) third.store(true, std::memory_order_relaxed);
        }
    });
    return third.load() ? 0 : 1;
}
