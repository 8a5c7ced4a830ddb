// The fast twins against the plain routines, byte for byte, through one
// checker: random images and parameters, odd sizes (1 x 1, 1 x n, n x 1,
// widths that are no multiple of a vector), several thread counts, and every
// kernel path the processor has.  A path it lacks is named, not replaced.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "stages/blur.h"
#include "stages/cpu_features.h"
#include "stages/filters.h"
#include "stages/rotation.h"
#include "stages/rotation_kernels.h"
#include "tests/stages/stage_fixture.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// The one place that says how the plain routines are chosen.
void UsePlainRoutines(bool plain)
{
    if (plain)
        setenv("NIVELO_PLAIN", "1", 1);
    else
        unsetenv("NIVELO_PLAIN");
}

struct KernelPath {
    const char* name;
    const char* novector;  // NIVELO_NOVECTOR for it
    VectorKernels kernels;
};
const KernelPath kPaths[] = {
    {"AVX-512", nullptr, kAvx512Kernels}, {"AVX2", "512", kAvx2Kernels}, {"portable", "1", kPortableKernels}};

// Selects the path; false, said once, when the processor cannot run it.
bool SelectPath(const KernelPath& path)
{
    if (path.novector != nullptr)
        setenv("NIVELO_NOVECTOR", path.novector, 1);
    else
        unsetenv("NIVELO_NOVECTOR");
    if (ChooseVectorKernels() == path.kernels) return true;
    static bool said[3];
    if (!said[path.kernels]) std::printf("[ NOT RUN  ] %s kernels: this processor lacks them\n", path.name);
    said[path.kernels] = true;
    return false;
}

using Bytes = std::vector<uint8_t>;
Bytes BytesOf(const BITMAP* image)
{
    return Bytes(image->pixels, image->pixels + size_t(BITMAP_ByteSize(image->width, image->height, image->type)));
}

// The plain result once, then the fast one on every path and thread count.
void CheckTwins(const std::string& what, const std::function<Bytes(bool fast, int threads)>& run,
                std::initializer_list<int> threads = {1, 2, 3, 7})
{
    UsePlainRoutines(true);
    Bytes expected = run(false, 1);
    UsePlainRoutines(false);
    for (const KernelPath& path : kPaths) {
        if (!SelectPath(path)) continue;
        for (int t : threads) ASSERT_EQ(expected, run(true, t)) << what << ", " << path.name << ", " << t << " threads";
    }
    unsetenv("NIVELO_NOVECTOR");
}

struct Size {
    unsigned width, height;
};
const Size kSizes[] = {{1, 1}, {1, 9}, {9, 1}, {5, 3}, {17, 5}, {37, 23}, {61, 7}, {3, 40}, {140, 9}, {203, 31}};

// Patches of a few colours with grain, so that colour tests pass and fail;
// a soft scene is grey with little grain, so that nearly every tap passes.
void FillScene(BITMAP* image, Random& random, bool soft = false)
{
    uint8_t base[4][3];
    for (auto& colour : base)
        for (uint8_t& b : colour) b = uint8_t(soft ? 100 : random.Below(256));
    unsigned grain = 1 + random.Below(40);
    for (unsigned y = 0; y < image->height; y++)
        for (unsigned x = 0; x < image->width; x++) {
            const uint8_t* colour = base[((x / 3) ^ (y / 2) ^ random.Below(2)) & 3];
            uint8_t* p = image->pixels + (size_t(y) * image->width + x) * 3;
            for (int b = 0; b < 3; b++) {
                int v = colour[b] + int(random.Below(2 * grain + 1)) - int(grain);
                p[b] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
}

// Sparse marks after filter 1, some in strokes that wander a row up or down.
void FillMarks(BITMAP* grey, Random& random)
{
    size_t count = size_t(grey->width) * grey->height;
    for (size_t i = 0; i < count; i++) grey->pixels[i] = random.Below(9) == 0 ? 255 : 0;
    for (unsigned s = 1 + random.Below(6); s > 0; s--) {
        int y = int(random.Below(grey->height));
        for (unsigned x = random.Below(grey->width); x < grey->width && random.Below(12) != 0; x++) {
            if (random.Below(4) != 0) grey->pixels[size_t(y) * grey->width + x] = 255;
            int step = int(random.Below(9)) - 4;
            if (step == -4 && y > 0) y--;
            if (step == 4 && y + 1 < int(grey->height)) y++;
        }
    }
}

// Paper and solid ink of two byte values, as a 1-bit scan gives them, with
// now and then one stray byte off by one, or a pixel of a third value, so
// that the shortcuts for one-valued taps and two-valued pages must look
// at every byte they rely on.
void FillPaper(BITMAP* image, Random& random, uint8_t paper, uint8_t ink, unsigned strays)
{
    size_t count = size_t(image->width) * image->height;
    std::memset(image->pixels, paper, count * 3);
    for (unsigned blot = 1 + random.Below(8); blot > 0; blot--) {
        unsigned x0 = random.Below(image->width), y0 = random.Below(image->height);
        unsigned w = 1 + random.Below(12), h = 1 + random.Below(6);
        for (unsigned y = y0; y < y0 + h && y < image->height; y++)
            for (unsigned x = x0; x < x0 + w && x < image->width; x++)
                std::memset(image->pixels + (size_t(y) * image->width + x) * 3, ink, 3);
    }
    for (unsigned i = 0; i < strays; i++) {
        uint8_t* p = image->pixels + size_t(random.Below(unsigned(count))) * 3 + random.Below(3);
        *p = uint8_t(*p == 255 ? 254 : *p + 1);
    }
}

// The whole blur stage on a copy, on `threads` threads; CheckTwins has
// chosen the plain or the fast stage.
Bytes WholeBlur(const BITMAP& image, int threads)
{
    setenv("NIVELO_THREADS", std::to_string(threads).c_str(), 1);
    BITMAP* slot = HeapCopy(image);
    EXPECT_EQ(1, BlurStage(&slot, g_params));
    Bytes bytes = BytesOf(slot);
    FreeHeap(&slot);
    return bytes;
}

// Each pixel's three bytes made equal, but for a few pixels left as they
// were, so that a shortcut for grey taps must look at every pixel.
void MakeGrey(BITMAP* image, Random& random)
{
    size_t count = size_t(image->width) * image->height;
    for (size_t i = 0; i < count; i++) {
        uint8_t* p = image->pixels + 3 * i;
        if (random.Below(300) != 0) p[1] = p[2] = p[0];
    }
}

using FastTwinTest = StageTest;

}  // namespace

TEST_F(FastTwinTest, Blur)
{
    Random random(91);
    // Limits around the largest the 16-bit lanes take (255); radius 120 makes
    // sums pass 32 bits.
    const int limits[] = {0, 1, 50, -50, 450, 255, 256};
    for (const Size& size : kSizes)
        for (int radius : {1, 2, 3, 5, 12, 120}) {
            if (radius == 120 && size.width * size.height > 500) continue;  // slow, and small pages show it
            bool soft = radius % 2 == 1;
            g_params.BLUR_RADIUS = radius;
            g_params.BLUR_LIMIT = soft ? 255 : random.Below(3) == 0 ? int(random.Below(120)) : limits[random.Below(7)];
            TestImage image(size.width, size.height, PIXEL_BGR);
            FillScene(&image.bitmap, random, soft);
            int64_t reach = int64_t(size.width > size.height ? size.width : size.height) - 1;
            int64_t clipped = radius < reach ? radius : reach;
            int64_t limit2 = int64_t(g_params.BLUR_LIMIT) * g_params.BLUR_LIMIT;
            std::string what = std::to_string(size.width) + " x " + std::to_string(size.height) + ", R " +
                               std::to_string(radius) + ", L " + std::to_string(g_params.BLUR_LIMIT);
            CheckTwins(what, [&](bool fast, int threads) {
                TestImage out(size.width, size.height, PIXEL_BGR);
                if (!fast || clipped < 1) {
                    BITMAP* slot = HeapCopy(image.bitmap);
                    EXPECT_EQ(1, BlurStage(&slot, g_params));
                    Bytes bytes = BytesOf(slot);
                    FreeHeap(&slot);
                    return bytes;
                }
                int32_t* table = MakeBlurKernel(g_params, reach);
                EXPECT_EQ(1, BlurIntoFast(&image.bitmap, &out.bitmap, table, clipped, limit2, threads));
                FreeMemory(&table);
                return BytesOf(&out.bitmap);
            });
        }
}

TEST_F(FastTwinTest, BlurOfTwoValuedPages)
{
    // Whole stages, so that the page left as it is must be the plain blur's
    // result: limits below, at and above the two values' distance, pages
    // with and without a stray third value.
    Random random(17);
    for (const Size& size : kSizes)
        for (int round = 0; round < 6; round++) {
            uint8_t paper = round % 2 ? 255 : uint8_t(random.Below(256)), ink = round % 2 ? 0 : uint8_t(random.Below(256));
            int distance = paper > ink ? paper - ink : ink - paper;
            const int limits[] = {distance, distance + 1, distance > 0 ? distance - 1 : 0, 0, 50};
            g_params.BLUR_RADIUS = 1 + int(random.Below(4));
            g_params.BLUR_LIMIT = limits[random.Below(5)];
            TestImage image(size.width, size.height, PIXEL_BGR);
            FillPaper(&image.bitmap, random, paper, ink, round < 2 ? 0 : round < 4 ? 1 : 3);
            std::string what = std::to_string(size.width) + " x " + std::to_string(size.height) + ", round " +
                               std::to_string(round) + ", L " + std::to_string(g_params.BLUR_LIMIT);
            CheckTwins(what, [&](bool, int threads) { return WholeBlur(image.bitmap, threads); });
        }
    unsetenv("NIVELO_THREADS");
}

TEST_F(FastTwinTest, Rotation)
{
    // Small angles put neighbouring pixels on one or two tap rows (the shared
    // loads), larger ones and turns past 90 degrees on gathered taps; tall
    // pages start chunks far from row 0.
    Random random(7);
    for (const Size& size : kSizes)
        for (double angle : {0.0, 0.8, -2.5, 1e-9, 45.0, -90.0, 100.0, -179.5}) {
            TestImage image(size.width, size.height, PIXEL_BGR);
            // Colour scenes; paper and ink, where most taps are of one value;
            // grey scenes, where most pixels' three bytes are equal.
            unsigned kind = random.Below(3);
            if (kind == 1)
                FillPaper(&image.bitmap, random, uint8_t(random.Below(256)), uint8_t(random.Below(256)), random.Below(4));
            else
                FillScene(&image.bitmap, random);
            if (kind == 2) MakeGrey(&image.bitmap, random);
            uint8_t colour[3] = {uint8_t(random.Below(256)), uint8_t(random.Below(256)), uint8_t(random.Below(256))};
            std::string what = std::to_string(size.width) + " x " + std::to_string(size.height) + ", " +
                               std::to_string(angle) + " degrees";
            CheckTwins(what, [&](bool fast, int threads) {
                TestImage out(size.width, size.height, PIXEL_BGR);
                if (fast)
                    RotateIntoFast(&image.bitmap, &out.bitmap, angle, colour, threads);
                else
                    RotateInto(&image.bitmap, &out.bitmap, angle, colour);
                return BytesOf(&out.bitmap);
            }, {1, 3, 16});
        }
}

TEST_F(FastTwinTest, ShortcutsSeeEveryByte)
{
    // One stray byte, in turn at every place of an otherwise two-valued
    // page: the shortcuts that skip work on one-valued taps or two-valued
    // pages must notice it wherever it is.
    Random random(29);
    TestImage page(40, 14, PIXEL_BGR);
    const uint8_t colour[3] = {9, 9, 9};
    for (size_t stray = 0; stray < page.Size(); stray += 1 + random.Below(3)) {
        std::memset(page.bitmap.pixels, 255, page.Size());
        std::memset(page.bitmap.pixels + 3 * 40 * 6, 0, 3 * 40);  // a rule of ink across the page
        page.bitmap.pixels[stray] ^= 0x80;  // far from both, so that even a small weight shows it
        std::string where = "stray byte " + std::to_string(stray);
        for (double angle : {5.0, -7.0})
            CheckTwins(where + ", " + std::to_string(angle) + " degrees", [&](bool fast, int threads) {
                TestImage out(40, 14, PIXEL_BGR);
                if (fast)
                    RotateIntoFast(&page.bitmap, &out.bitmap, angle, colour, threads);
                else
                    RotateInto(&page.bitmap, &out.bitmap, angle, colour);
                return BytesOf(&out.bitmap);
            }, {1, 2});
        g_params.BLUR_RADIUS = 2;
        g_params.BLUR_LIMIT = 200;
        CheckTwins(where + ", blur", [&](bool, int threads) { return WholeBlur(page.bitmap, threads); }, {1, 3});
    }
    unsetenv("NIVELO_THREADS");
}

TEST_F(FastTwinTest, RotationKernelSeesEveryTap)
{
    // Eight points of a slanted row on a page of one grey but for one far
    // byte, in turn at every place: the kernel's one-grey shortcut must give
    // what the plain resampling gives wherever that byte is.
    KernelPath path = kPaths[0];
    if (!SelectPath(path)) return;
    Random random(13);
    TestImage page(30, 12, PIXEL_BGR);
    const uint8_t colour[3] = {0, 0, 0};
    for (int round = 0; round < 24; round++) {
        double xs[8], ys[8], slope = (double(random.Below(257)) - 128.0) / 1000.0;
        double x = 1.0 + random.Below(1000) / 100.0, y = 1.0 + random.Below(600) / 100.0;
        for (int k = 0; k < 8; k++) xs[k] = x + k * 1.003, ys[k] = y + k * slope;
        for (size_t stray = 0; stray < page.Size(); stray++) {
            std::memset(page.bitmap.pixels, 200, page.Size());
            page.bitmap.pixels[stray] = 40;
            uint8_t out[24], expected[24];
            if (!SampleEightAvx512(&page.bitmap, xs, ys, out)) break;  // a point too near the edge
            for (int k = 0; k < 8; k++) SampleBicubic(&page.bitmap, xs[k], ys[k], colour, expected + 3 * k);
            ASSERT_EQ(0, std::memcmp(expected, out, 24)) << "round " << round << ", stray byte " << stray;
        }
    }
    unsetenv("NIVELO_NOVECTOR");
}

TEST_F(FastTwinTest, RotationKernelsRoundTiesDown)
{
    // A point a quarter pixel past a centre gets weights in 128ths that sum
    // to 1, so values fall exactly on halves, which random turns never give.
    Random random(5);
    TestImage page(24, 24, PIXEL_BGR);
    for (size_t i = 0; i < page.Size(); i++) page.bitmap.pixels[i] = uint8_t(random.Below(256));
    const uint8_t colour[3] = {0, 0, 0};
    for (const KernelPath& path : kPaths) {
        if (path.kernels == kPortableKernels || !SelectPath(path)) continue;
        int lanes = path.kernels == kAvx512Kernels ? 8 : 4;
        for (int round = 0; round < 400; round++) {
            double xs[8], ys[8];
            uint8_t out[24], expected[24];
            for (int k = 0; k < lanes; k++) {
                xs[k] = 2.5 + random.Below(18) + 0.25 * random.Below(2);
                ys[k] = 2.5 + random.Below(18) + 0.25 * random.Below(2);
                SampleBicubic(&page.bitmap, xs[k], ys[k], colour, expected + 3 * k);
            }
            int ok = lanes == 8 ? SampleEightAvx512(&page.bitmap, xs, ys, out) : SampleFourAvx2(&page.bitmap, xs, ys, out);
            ASSERT_EQ(1, ok);
            ASSERT_EQ(0, std::memcmp(expected, out, size_t(3 * lanes))) << path.name << ", round " << round;
        }
    }
    unsetenv("NIVELO_NOVECTOR");
}

TEST_F(FastTwinTest, Filters)
{
    Random random(3);
    for (const Size& size : {Size{1, 1}, Size{1, 12}, Size{12, 1}, Size{5, 3}, Size{40, 9}, Size{130, 20}})
        for (int round = 0; round < 12; round++) {
            const int windows[] = {16, 0, -3, 1, 2, int(size.width), int(size.width) + 5, int(random.Below(30))};
            const int runs[] = {3, 0, -2, 1, 16, int(random.Below(20))};
            const int gaps[] = {16, 0, -1, 1, 2, int(random.Below(40))};
            g_params.VISION_WIDTH1 = windows[random.Below(8)];
            g_params.VISION_LIMIT2 = runs[random.Below(6)];
            g_params.VISION_WIDTH2 = gaps[random.Below(6)];
            g_params.VISION_WIDTH3 = int(random.Below(12));
            g_params.VISION_ANGLE = random.Below(2) ? 3.0 : 60.0;
            TestImage input(size.width, size.height, PIXEL_GREY);
            FillMarks(&input.bitmap, random);
            // Bridges (1) among the marks, as filter 4 sees them.
            TestImage bridged(size.width, size.height, PIXEL_GREY);
            for (size_t i = 0; i < input.Size(); i++)
                bridged.bitmap.pixels[i] = input.bitmap.pixels[i] == 0 && random.Below(20) == 0 ? 1 : input.bitmap.pixels[i];
            std::string where = std::to_string(size.width) + " x " + std::to_string(size.height) + ", round " +
                                std::to_string(round);
            // Each filter on a copy; the line angle's result joins its marks.
            auto filter = [&](const TestImage& from, const std::function<void(BITMAP*, bool, int)>& apply) {
                return [&, apply](bool fast, int threads) {
                    TestImage work(size.width, size.height, PIXEL_GREY);
                    std::memcpy(work.bitmap.pixels, from.bitmap.pixels, from.Size());
                    apply(&work.bitmap, fast, threads);
                    return BytesOf(&work.bitmap);
                };
            };
            CheckTwins("run filter, " + where, filter(input, [](BITMAP* g, bool fast, int t) {
                fast ? RunFilterFast(g, t, g_params) : RunFilter(g, g_params);
            }));
            CheckTwins("gap bridge, " + where, filter(input, [](BITMAP* g, bool fast, int t) {
                fast ? GapBridgeFilterFast(g, t, g_params) : GapBridgeFilter(g, g_params);
            }));
            CheckTwins("lower border, " + where, filter(bridged, [](BITMAP* g, bool fast, int) {
                fast ? LowerBorderFilterFast(g) : LowerBorderFilter(g);
            }), {1});
            for (int counted = 0; counted < 2; counted++) {
                CheckTwins("line angle, " + where, [&, counted](bool fast, int) {
                    TestImage work(size.width, size.height, PIXEL_GREY);
                    std::memcpy(work.bitmap.pixels, bridged.bitmap.pixels, bridged.Size());
                    double angle = 0.0;
                    int measured = -1;
                    if (fast)
                        EXPECT_EQ(1, LineAngleFilterFast(&work.bitmap, counted, &angle, g_params, &measured));
                    else
                        angle = LineAngleFilter(&work.bitmap, counted, g_params, &measured);
                    Bytes bytes = BytesOf(&work.bitmap);
                    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&angle);
                    bytes.insert(bytes.end(), raw, raw + sizeof angle);
                    bytes.push_back(uint8_t(measured));  // both must tell "not measured" alike
                    return bytes;
                }, {1});
            }
        }
}
