// The fast twins against the plain routines, byte for byte: random images
// and parameters, odd sizes (1 x 1, 1 x n, n x 1, widths that are no
// multiple of the vector width), every thread count, AVX-512, AVX2 and
// portable kernels.  Nothing here is timed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "stages/blur.h"
#include "stages/filters.h"
#include "stages/rotation.h"
#include "tests/stages/stage_fixture.h"
#include "tests/stages/synthetic_page.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

using namespace testing_support;

namespace {

struct Size {
    unsigned width, height;
};
const Size kSizes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {4, 4}, {5, 3}, {17, 5}, {8, 8}, {37, 23}, {16, 16}, {61, 7}, {3, 40}};
const int kThreads[] = {1, 2, 3, 7};

// Scenes where the colour tests both pass and fail: a few base colours in
// patches, with grain.
void FillScene(BITMAP* image, Random& random)
{
    uint8_t base[4][3];
    for (auto& colour : base)
        for (uint8_t& b : colour) b = uint8_t(random.Below(256));
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

std::vector<uint8_t> Bytes(const BITMAP* image)
{
    return std::vector<uint8_t>(image->pixels,
                                image->pixels + size_t(BITMAP_ByteSize(image->width, image->height, image->type)));
}

// Sets or clears an environment switch for the routines under test.
void SetSwitch(const char* name, const char* value)
{
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

class FastTwinTest : public StageTest {
protected:
    void TearDown() override
    {
        SetSwitch("NIVELO_PLAIN", nullptr);
        SetSwitch("NIVELO_NOVECTOR", nullptr);
    }
    // The plain result of a stage routine.
    template <class Body>
    void Plain(const Body& body)
    {
        SetSwitch("NIVELO_PLAIN", "1");
        body();
        SetSwitch("NIVELO_PLAIN", nullptr);
    }
};

// The widest kernels the processor has, AVX2 at most, portable.
const char* const kVectorModes[] = {nullptr, "512", "1"};

}  // namespace

TEST_F(FastTwinTest, BlurMatchesThePlainLoop)
{
    Random random(91);
    const int radii[] = {1, 2, 3, 3, 5, 12};
    for (const Size& size : kSizes) {
        for (int radius : radii) {
            g_params.BLUR_RADIUS = radius;
            const int limits[] = {0, 1, 50, -50, 450, int(random.Below(120))};
            g_params.BLUR_LIMIT = limits[random.Below(6)];
            TestImage image(size.width, size.height, PIXEL_BGR);
            FillScene(&image.bitmap, random);
            std::vector<uint8_t> expected;
            Plain([&] {
                BITMAP* slot = HeapCopy(image.bitmap);
                ASSERT_EQ(1, BlurStage(&slot, g_params));
                expected = Bytes(slot);
                FreeHeap(&slot);
            });
            int32_t* table = MakeBlurKernel(g_params);
            ASSERT_NE(nullptr, table);
            int64_t limit2 = int64_t(g_params.BLUR_LIMIT) * g_params.BLUR_LIMIT;
            for (const char* vector : kVectorModes)
                for (int threads : kThreads) {
                    SetSwitch("NIVELO_NOVECTOR", vector);
                    TestImage out(size.width, size.height, PIXEL_BGR);
                    ASSERT_EQ(1, BlurIntoFast(&image.bitmap, &out.bitmap, table, radius, limit2, threads));
                    ASSERT_EQ(expected, Bytes(&out.bitmap))
                        << size.width << " x " << size.height << ", R " << radius << ", L " << g_params.BLUR_LIMIT
                        << ", " << threads << " threads, NIVELO_NOVECTOR " << (vector ? vector : "unset");
                }
            FreeMemory(&table);
        }
    }
}

TEST_F(FastTwinTest, BlurOfWiderRows)
{
    // Rows wide enough for several vectors of each width and a tail, with
    // limits around the largest the 16-bit lanes take (255) and beyond.
    Random random(23);
    const int limits[] = {50, 255, 256, 17};
    for (int round = 0; round < 8; round++) {
        unsigned width = 70 + random.Below(140), height = 3 + random.Below(12);
        g_params.BLUR_RADIUS = 1 + int(random.Below(5));
        g_params.BLUR_LIMIT = limits[round % 4];
        TestImage image(width, height, PIXEL_BGR);
        FillScene(&image.bitmap, random);
        std::vector<uint8_t> expected;
        Plain([&] {
            BITMAP* slot = HeapCopy(image.bitmap);
            ASSERT_EQ(1, BlurStage(&slot, g_params));
            expected = Bytes(slot);
            FreeHeap(&slot);
        });
        int32_t* table = MakeBlurKernel(g_params);
        ASSERT_NE(nullptr, table);
        int64_t limit2 = int64_t(g_params.BLUR_LIMIT) * g_params.BLUR_LIMIT;
        for (const char* vector : kVectorModes)
            for (int threads : {1, 3}) {
                SetSwitch("NIVELO_NOVECTOR", vector);
                TestImage out(width, height, PIXEL_BGR);
                ASSERT_EQ(1, BlurIntoFast(&image.bitmap, &out.bitmap, table, g_params.BLUR_RADIUS, limit2, threads));
                ASSERT_EQ(expected, Bytes(&out.bitmap))
                    << width << " x " << height << ", R " << g_params.BLUR_RADIUS << ", L " << g_params.BLUR_LIMIT
                    << ", " << threads << " threads, NIVELO_NOVECTOR " << (vector ? vector : "unset");
            }
        FreeMemory(&table);
    }
}

TEST_F(FastTwinTest, BlurWithSumsBeyond32Bits)
{
    // Radius 120: the table times 255 passes 2^31, so the fast path sums in
    // 64 bits, as the plain loop does.
    g_params.BLUR_RADIUS = 120;
    g_params.BLUR_LIMIT = 100;
    Random random(5);
    TestImage image(13, 4, PIXEL_BGR);
    FillScene(&image.bitmap, random);
    std::vector<uint8_t> expected;
    Plain([&] {
        BITMAP* slot = HeapCopy(image.bitmap);
        ASSERT_EQ(1, BlurStage(&slot, g_params));
        expected = Bytes(slot);
        FreeHeap(&slot);
    });
    BITMAP* slot = HeapCopy(image.bitmap);
    ASSERT_EQ(1, BlurStage(&slot, g_params));
    EXPECT_EQ(expected, Bytes(slot));
    FreeHeap(&slot);
}

TEST_F(FastTwinTest, RotationMatchesThePlainLoop)
{
    Random random(7);
    const double angles[] = {0.0, 0.8, -2.5, 1e-9, 45.0, -90.0, 180.0, 3.7};
    for (const Size& size : kSizes) {
        for (double angle : angles) {
            TestImage image(size.width, size.height, PIXEL_BGR);
            FillScene(&image.bitmap, random);
            uint8_t colour[3] = {uint8_t(random.Below(256)), uint8_t(random.Below(256)), uint8_t(random.Below(256))};
            TestImage expected(size.width, size.height, PIXEL_BGR);
            Plain([&] { RotateInto(&image.bitmap, &expected.bitmap, angle, colour); });
            for (const char* vector : kVectorModes)
                for (int threads : kThreads) {
                    SetSwitch("NIVELO_NOVECTOR", vector);
                    TestImage out(size.width, size.height, PIXEL_BGR);
                    RotateIntoFast(&image.bitmap, &out.bitmap, angle, colour, threads);
                    ASSERT_EQ(Bytes(&expected.bitmap), Bytes(&out.bitmap))
                        << size.width << " x " << size.height << ", " << angle << " degrees, " << threads
                        << " threads, NIVELO_NOVECTOR " << (vector ? vector : "unset");
                }
        }
    }
}

TEST_F(FastTwinTest, RotationOfALargerPageInChunks)
{
    // Enough rows for many chunks, most starting far from row 0, so their row
    // starts come from many repeated additions; wide enough for the vector
    // kernels' shared tap loads.  Small angles both ways put neighbouring
    // pixels on one or two tap rows; larger ones, and turns past 90 degrees
    // (points moving left), send them to gathered taps.
    Random random(11);
    TestImage image(203, 301, PIXEL_BGR);
    FillScene(&image.bitmap, random);
    const uint8_t colour[3] = {128, 120, 110};
    for (double angle : {1.3, -0.7, 12.0, 100.0, -179.5}) {
        TestImage expected(203, 301, PIXEL_BGR);
        Plain([&] { RotateInto(&image.bitmap, &expected.bitmap, angle, colour); });
        for (const char* vector : kVectorModes)
            for (int threads : {2, 5, 16}) {
                SetSwitch("NIVELO_NOVECTOR", vector);
                TestImage out(203, 301, PIXEL_BGR);
                RotateIntoFast(&image.bitmap, &out.bitmap, angle, colour, threads);
                ASSERT_EQ(Bytes(&expected.bitmap), Bytes(&out.bitmap))
                    << angle << " degrees, " << threads << " threads, NIVELO_NOVECTOR " << (vector ? vector : "unset");
            }
    }
}

namespace {

// A grey working copy after filter 1: sparse marks, some in horizontal
// strokes that wander up and down a row at a time, so that runs, gaps and
// traces all occur.
void FillMarks(BITMAP* grey, Random& random)
{
    size_t count = size_t(grey->width) * grey->height;
    std::memset(grey->pixels, 0, count);
    for (size_t i = 0; i < count; i++)
        if (random.Below(9) == 0) grey->pixels[i] = 255;
    unsigned strokes = 1 + random.Below(6);
    for (unsigned s = 0; s < strokes && grey->height > 0; s++) {
        int y = int(random.Below(grey->height));
        for (unsigned x = random.Below(grey->width); x < grey->width; x++) {
            if (random.Below(12) == 0) break;
            if (random.Below(4) != 0) grey->pixels[size_t(y) * grey->width + x] = 255;
            int step = int(random.Below(9)) - 4;
            if (step == -4 && y > 0) y--;
            if (step == 4 && y + 1 < int(grey->height)) y++;
        }
    }
}

}  // namespace

TEST_F(FastTwinTest, FiltersMatchThePlainLoops)
{
    Random random(3);
    const Size sizes[] = {{1, 1}, {1, 12}, {12, 1}, {5, 3}, {40, 9}, {70, 31}, {130, 20}};
    for (const Size& size : sizes) {
        for (int round = 0; round < 12; round++) {
            const int windows[] = {16, 0, -3, 1, 2, int(size.width), int(size.width) + 5, int(random.Below(30))};
            const int runs[] = {3, 0, -2, 1, 16, int(random.Below(20))};
            g_params.VISION_WIDTH1 = windows[random.Below(8)];
            g_params.VISION_LIMIT2 = runs[random.Below(6)];
            const int gaps[] = {16, 0, -1, 1, 2, int(random.Below(40))};
            g_params.VISION_WIDTH2 = gaps[random.Below(6)];
            g_params.VISION_WIDTH3 = int(random.Below(12));
            g_params.VISION_ANGLE = random.Below(2) ? 3.0 : 60.0;
            TestImage input(size.width, size.height, PIXEL_GREY);
            FillMarks(&input.bitmap, random);
            std::string where = std::to_string(size.width) + " x " + std::to_string(size.height) + ", round " +
                                std::to_string(round);

            TestImage plain(size.width, size.height, PIXEL_GREY), fast(size.width, size.height, PIXEL_GREY);
            auto reset = [&] {
                std::memcpy(plain.bitmap.pixels, input.bitmap.pixels, input.Size());
                std::memcpy(fast.bitmap.pixels, input.bitmap.pixels, input.Size());
            };
            for (int threads : kThreads) {
                reset();
                Plain([&] { RunFilter(&plain.bitmap, g_params); });
                RunFilterFast(&fast.bitmap, threads, g_params);
                ASSERT_EQ(Bytes(&plain.bitmap), Bytes(&fast.bitmap)) << "run filter, " << where;
                reset();
                Plain([&] { GapBridgeFilter(&plain.bitmap, g_params); });
                GapBridgeFilterFast(&fast.bitmap, threads, g_params);
                ASSERT_EQ(Bytes(&plain.bitmap), Bytes(&fast.bitmap)) << "gap bridge, " << where;
            }
            // Bridges (1) among the marks, as filter 4 sees them.
            for (size_t i = 0; i < input.Size(); i++)
                if (input.bitmap.pixels[i] == 0 && random.Below(20) == 0) input.bitmap.pixels[i] = 1;
            reset();
            Plain([&] { LowerBorderFilter(&plain.bitmap); });
            LowerBorderFilterFast(&fast.bitmap);
            ASSERT_EQ(Bytes(&plain.bitmap), Bytes(&fast.bitmap)) << "lower border, " << where;
            for (int mark_counted = 0; mark_counted < 2; mark_counted++) {
                reset();
                double expected = 0.0, angle = 0.0;
                int plain_counted = -1, counted = -1;
                Plain([&] { expected = LineAngleFilter(&plain.bitmap, mark_counted, g_params, &plain_counted); });
                ASSERT_EQ(1, LineAngleFilterFast(&fast.bitmap, mark_counted, &angle, g_params, &counted));
                ASSERT_EQ(plain_counted, counted) << where;
                ASSERT_EQ(0, std::memcmp(&expected, &angle, sizeof angle)) << "line angle, " << where;
                ASSERT_EQ(Bytes(&plain.bitmap), Bytes(&fast.bitmap)) << "line angle marks, " << where;
            }
        }
    }
}

TEST_F(FastTwinTest, SkewAngleOfADrawnPageIsTheSame)
{
    PageText text{PageLayout{}};
    TestImage page(text.layout.width, text.layout.height, PIXEL_BGR);
    DrawPage(text, 1.1, &page.bitmap);
    double plain = 0.0, fast = 0.0;
    Plain([&] { ASSERT_EQ(1, DetectSkewAngle(&page.bitmap, &plain, g_params)); });
    ASSERT_EQ(1, DetectSkewAngle(&page.bitmap, &fast, g_params));
    EXPECT_EQ(0, std::memcmp(&plain, &fast, sizeof plain));
    EXPECT_NEAR(1.1, fast, 0.15);
}

TEST_F(FastTwinTest, WholeRunGivesTheSameFiles)
{
    // The real program, plain and fast, on a drawn page: every result file
    // byte for byte.
    ScratchDir dir;
    PageText text{PageLayout{}};
    TestImage page(text.layout.width, text.layout.height, PIXEL_BGR);
    DrawPage(text, -0.9, &page.bitmap);
    ASSERT_EQ(1, SaveTGA((dir / "page.tga").c_str(), &page.bitmap));
    WriteFileBytes(dir / "config.txt", "REPERTOIRE1=\"plain1/\"\nREPERTOIRE2=\"plain2/\"\n");
    WriteFileBytes(dir / "fast.txt", "REPERTOIRE1=\"fast1/\"\nREPERTOIRE2=\"fast2/\"\n");
    for (const char* sub : {"plain1", "plain2", "fast1", "fast2"}) std::filesystem::create_directory(dir / sub);
    SetSwitch("NIVELO_PLAIN", "1");
    RunResult plain = RunNivelo({"/cconfig.txt", "page.tga"}, dir.path);
    SetSwitch("NIVELO_PLAIN", nullptr);
    RunResult fast = RunNivelo({"/cfast.txt", "page.tga"}, dir.path);
    EXPECT_EQ(plain.output, fast.output);
    for (const char* sub : {"1/page.tga", "2/page.tga"}) {
        std::string expected = ReadFileBytes(dir / (std::string("plain") + sub));
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(expected, ReadFileBytes(dir / (std::string("fast") + sub))) << sub;
    }
}
