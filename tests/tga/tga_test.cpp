#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/support.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

using namespace testing_support;

TEST(TgaWrite, RefusalsWriteNoFile)
{
    ScratchDir dir;
    TestImage rgb(2, 2, PIXEL_RGB);
    TestImage empty(0, 3, PIXEL_GREY);
    std::string path = dir / "x.tga";
    testing::internal::CaptureStdout();
    EXPECT_EQ(SaveTGA(path.c_str(), &rgb.bitmap), 0);
    EXPECT_EQ(SaveTGA(path.c_str(), &empty.bitmap), 0);
    EXPECT_EQ(SaveTGA("", &rgb.bitmap), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, path + ": TGA save mode unsupported\n" + path +
                       ": trying to save image with height or width == 0\n"
                       "Error: trying to save image with no name\n");
    EXPECT_FALSE(FileExists(path));
}

TEST(TgaRead, FilesWrittenByOtherToolsReadCorrectly)
{
    const int W = 7, H = 5;
    const struct {
        const char* file;
        unsigned type;
    } fixtures[] = {{"pil_grey.tga", PIXEL_GREY},          {"pil_grey_rle.tga", PIXEL_GREY},
                    {"pil_grey_topdown.tga", PIXEL_GREY},  {"pil_colour.tga", PIXEL_BGR},
                    {"pil_colour_rle_topdown.tga", PIXEL_BGR}, {"pil_palette.tga", PIXEL_INDEXED}};
    const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (const auto& f : fixtures) {
        BITMAP b;
        ASSERT_EQ(LoadTGA(SourcePath(std::string("tests/tga/fixtures/") + f.file).c_str(), &b), 1) << f.file;
        ASSERT_EQ(b.type, f.type) << f.file;
        ASSERT_EQ(b.width, W);
        ASSERT_EQ(b.height, H);
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                const uint8_t* p = b.pixels + (y * W + x) * (f.type == PIXEL_BGR ? 3 : 1);
                if (f.type == PIXEL_BGR) {
                    ASSERT_EQ(p[2], 40 * x) << f.file;
                    ASSERT_EQ(p[1], 50 * y) << f.file;
                    ASSERT_EQ(p[0], 20 * (x + y)) << f.file;
                } else {
                    int value = f.type == PIXEL_GREY ? (37 * x + 11 * y) % 256 : (x + 2 * y) % 4;
                    ASSERT_EQ(p[0], value) << f.file;
                }
            }
        if (f.type == PIXEL_INDEXED) {
            EXPECT_EQ(0, std::memcmp(b.palette, colours, 12));
        }
        BITMAP_Free(&b);
    }
}

// A run needs 7 bytes a pixel beside the loaded image (two colour images and
// a grey copy): 8 bytes a grey pixel, 10 a colour one.  With a budget of
// 8000 bytes a grey page of 1000 pixels is taken and one of 1001 refused.
TEST(TgaRead, MemoryBudgetBoundary)
{
    ScratchDir dir;
    setenv("NIVELO_MEMORY_LIMIT", "8000", 1);
    const struct {
        unsigned width, type;
        bool taken;
    } pages[] = {{999, PIXEL_GREY, true}, {1000, PIXEL_GREY, true}, {1001, PIXEL_GREY, false},
                 {800, PIXEL_BGR, true},  {801, PIXEL_BGR, false}};
    for (const auto& p : pages) {
        TestImage page(p.width, 1, p.type);
        std::string path = dir / "page.tga";
        ASSERT_EQ(SaveTGA(path.c_str(), &page.bitmap), 1);
        BITMAP read{};
        testing::internal::CaptureStdout();
        int result = LoadTGA(path.c_str(), &read);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(p.taken ? 1 : 0, result) << p.width << " pixels of type " << p.type;
        EXPECT_EQ(p.taken ? "" : "Not enough memory\n", out) << p.width << " pixels of type " << p.type;
        BITMAP_Free(&read);
    }
    unsetenv("NIVELO_MEMORY_LIMIT");
}
