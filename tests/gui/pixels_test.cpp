// Pixel access on images and on the padded display surface.
#include "gui/display.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/test_support.h"

using testing_support::TestImage;

TEST(GuiPixels, ColourValuesOfEachPixelType)
{
    TestImage grey(2, 1, PIXEL_GREY), rgb(1, 1, PIXEL_RGB), bgr(1, 1, PIXEL_BGR), indexed(1, 1, PIXEL_INDEXED);
    grey.At(1, 0)[0] = 0x7F;
    std::memcpy(rgb.At(0, 0), "\x10\x20\x30", 3);
    std::memcpy(bgr.At(0, 0), "\x10\x20\x30", 3);
    indexed.At(0, 0)[0] = 5;
    EXPECT_EQ(GetPixelColour(&grey.bitmap, 1, 0), 0x7F7F7Fu);
    EXPECT_EQ(GetPixelColour(&rgb.bitmap, 0, 0), 0x302010u);
    EXPECT_EQ(GetPixelColour(&bgr.bitmap, 0, 0), 0x102030u);
    EXPECT_EQ(GetPixelColour(&indexed.bitmap, 0, 0), 0u);
    for (auto [x, y] : {std::pair{-1, 0}, {2, 0}, {0, -1}, {0, 1}}) EXPECT_EQ(GetPixelColour(&grey.bitmap, x, y), 0u);

    PutPixelColour(&grey.bitmap, 0, 0, 0x112233);
    PutPixelColour(&rgb.bitmap, 0, 0, 0x112233);
    PutPixelColour(&bgr.bitmap, 0, 0, 0x112233);
    PutPixelColour(&indexed.bitmap, 0, 0, 0x112233);
    PutPixelColour(&grey.bitmap, 2, 0, 0x445566);  // outside: ignored
    EXPECT_EQ(grey.At(0, 0)[0], 0x33);
    EXPECT_EQ(grey.At(1, 0)[0], 0x7F);
    EXPECT_EQ(std::memcmp(rgb.At(0, 0), "\x33\x22\x11", 3), 0);
    EXPECT_EQ(std::memcmp(bgr.At(0, 0), "\x11\x22\x33", 3), 0);
    EXPECT_EQ(indexed.At(0, 0)[0], 5);
}

TEST(GuiPixels, FillRectangleIncludesBothCornersAndClips)
{
    TestImage image(5, 4, PIXEL_GREY);
    FillRectangle(&image.bitmap, 1, 1, 3, 2, 9);
    for (unsigned y = 0; y < 4; ++y)
        for (unsigned x = 0; x < 5; ++x)
            EXPECT_EQ(image.At(x, y)[0], x >= 1 && x <= 3 && y >= 1 && y <= 2 ? 9 : 0) << x << "," << y;

    FillRectangle(&image.bitmap, 3, 0, 2, 3, 7);                    // x0 > x1: nothing
    FillRectangle(&image.bitmap, uint32_t(-2), 0, 1, 3, 7);         // a negative bound is a huge unsigned one
    FillRectangle(&image.bitmap, 4, 3, 0xFFFFFFFFu, 0xFFFFFFFFu, 8);  // must end, and write the corner only
    EXPECT_EQ(image.At(0, 0)[0], 0);
    EXPECT_EQ(image.At(4, 3)[0], 8);
    ClearImage(&image.bitmap, 0xABCDEF);
    for (unsigned y = 0; y < 4; ++y)
        for (unsigned x = 0; x < 5; ++x) EXPECT_EQ(image.At(x, y)[0], 0xEF);
}

TEST(GuiPixels, SurfaceIsBgrWithPaddedRows)
{
    PlatformSurface surface;
    ASSERT_EQ(PlatformCreateSurface(5, 3, &surface), 1);
    ASSERT_EQ(surface.pitch, 16);  // 15 bytes padded to a multiple of 4
    std::memset(surface.pixels, 0xEE, size_t(surface.pitch) * 3);
    ClearImage(&surface, 0x0A0B0C);
    PutPixelColour(&surface, 4, 2, 0x010203);
    EXPECT_EQ(GetPixelColour(&surface, 4, 2), 0x010203u);
    EXPECT_EQ(GetPixelColour(&surface, 0, 1), 0x0A0B0Cu);
    EXPECT_EQ(GetPixelColour(&surface, 5, 0), 0u);
    EXPECT_EQ(std::memcmp(surface.pixels + 2 * 16 + 12, "\x01\x02\x03", 3), 0);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(surface.pixels[y * 16 + 15], 0xEE) << "padding of row " << y;
    PlatformReleaseSurface(&surface);
    PutPixelColour(&surface, 0, 0, 1);  // released surface: nothing happens
    EXPECT_EQ(surface.pixels, nullptr);
}
