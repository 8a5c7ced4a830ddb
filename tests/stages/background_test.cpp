#include <gtest/gtest.h>

#include <cstring>

#include "stages/background.h"
#include "tests/stages/stage_fixture.h"
#include "tests/support/test_support.h"

using testing_support::TestImage;

namespace {

const uint8_t kPaper[3] = {200, 200, 200};

void Fill(TestImage& image, const uint8_t colour[3])
{
    for (unsigned y = 0; y < image.bitmap.height; y++)
        for (unsigned x = 0; x < image.bitmap.width; x++) std::memcpy(image.At(x, y), colour, 3);
}

// Paints pixels [x0, x1] of row y.
void PaintRow(TestImage& image, unsigned y, unsigned x0, unsigned x1, uint8_t a, uint8_t b, uint8_t c)
{
    for (unsigned x = x0; x <= x1; x++) {
        uint8_t* p = image.At(x, y);
        p[0] = a, p[1] = b, p[2] = c;
    }
}

}  // namespace

class BackgroundTest : public StageTest {};

TEST_F(BackgroundTest, SampledSideFollowsPriorityAndMeansTruncate)
{
    // Byte 0 is the column, byte 1 the row: each side has its own mean.
    TestImage image(5, 4, PIXEL_BGR);
    for (unsigned y = 0; y < 4; y++)
        for (unsigned x = 0; x < 5; x++) PaintRow(image, y, x, x, uint8_t(x), uint8_t(y), 100);
    struct Case {
        uint8_t sides;
        uint8_t expected[3];
    } cases[] = {
        {0, {4, 1, 100}},                         // no bit: right column; (0+1+2+3)/4 truncates to 1
        {SIDE_RIGHT, {4, 1, 100}},
        {SIDE_TOP | SIDE_BOTTOM, {2, 0, 100}},    // top row first
        {SIDE_TOP | SIDE_LEFT, {2, 0, 100}},      // a row before a column
        {SIDE_BOTTOM | SIDE_RIGHT, {2, 3, 100}},  // bottom row
        {SIDE_LEFT | SIDE_RIGHT, {0, 1, 100}},    // left column before right
    };
    for (const Case& c : cases) {
        g_params.COTE_FOND = c.sides;
        uint8_t colour[3];
        GetBackgroundColour(&image.bitmap, colour, g_params);
        EXPECT_EQ(0, std::memcmp(colour, c.expected, 3)) << "COTE_FOND " << int(c.sides);
    }
}

TEST_F(BackgroundTest, RunMayNotUseTheLastPixelOfALine)
{
    TestImage image(100, 10, PIXEL_BGR);
    Fill(image, kPaper);
    PaintRow(image, 4, 80, 99, 0, 0, 0);  // ends on the last pixel
    EXPECT_EQ(10, FindTopEdge(&image.bitmap, kPaper, g_params));
    EXPECT_EQ(-1, FindBottomEdge(&image.bitmap, kPaper, g_params));
    PaintRow(image, 6, 79, 98, 0, 0, 0);  // one pixel earlier
    EXPECT_EQ(6, FindTopEdge(&image.bitmap, kPaper, g_params));
    EXPECT_EQ(6, FindBottomEdge(&image.bitmap, kPaper, g_params));
}

TEST_F(BackgroundTest, ContentIsTheSumOfTheThreeDifferences)
{
    TestImage image(40, 6, PIXEL_BGR);
    Fill(image, kPaper);
    PaintRow(image, 2, 5, 30, 225, 175, 224);  // 25 + 25 + 24 < 75
    EXPECT_EQ(6, FindTopEdge(&image.bitmap, kPaper, g_params));
    PaintRow(image, 3, 5, 30, 225, 175, 225);  // 75 reaches 3 x 25
    EXPECT_EQ(3, FindTopEdge(&image.bitmap, kPaper, g_params));
}

TEST_F(BackgroundTest, LinesNotLongerThanARun)
{
    // Everything is content, but a line of exactly DETECT_WIDTH pixels holds
    // no run, and a shorter one is not cropped at all.
    uint8_t ink[3] = {0, 0, 0};
    TestImage exact(20, 20, PIXEL_BGR);
    Fill(exact, ink);
    EXPECT_EQ(20, FindTopEdge(&exact.bitmap, kPaper, g_params));
    EXPECT_EQ(-1, FindBottomEdge(&exact.bitmap, kPaper, g_params));
    EXPECT_EQ(20, FindLeftEdge(&exact.bitmap, kPaper, g_params));
    EXPECT_EQ(-1, FindRightEdge(&exact.bitmap, kPaper, g_params));
    TestImage narrow(19, 19, PIXEL_BGR);
    Fill(narrow, kPaper);
    EXPECT_EQ(0, FindTopEdge(&narrow.bitmap, kPaper, g_params));
    EXPECT_EQ(18, FindBottomEdge(&narrow.bitmap, kPaper, g_params));
    EXPECT_EQ(0, FindLeftEdge(&narrow.bitmap, kPaper, g_params));
    EXPECT_EQ(18, FindRightEdge(&narrow.bitmap, kPaper, g_params));
}

TEST_F(BackgroundTest, CropKeepsTheContentRectangle)
{
    g_params.DETECT_WIDTH = 3;
    g_params.COTE_RECADRAGE = SIDE_TOP | SIDE_BOTTOM | SIDE_LEFT | SIDE_RIGHT;
    TestImage image(40, 30, PIXEL_BGR);
    Fill(image, kPaper);
    for (unsigned y = 4; y <= 14; y++)
        for (unsigned x = 5; x <= 24; x++) PaintRow(image, y, x, x, uint8_t(x), uint8_t(y), 7);
    BITMAP* slot = HeapCopy(image.bitmap);
    ASSERT_EQ(1, CropStage(&slot, kPaper, g_params));
    ASSERT_EQ(20, slot->width);
    ASSERT_EQ(11, slot->height);
    for (unsigned y = 0; y < 11; y++)
        EXPECT_EQ(0, std::memcmp(slot->pixels + y * 20 * 3, image.At(5, y + 4), 20 * 3)) << "row " << y;
    FreeHeap(&slot);
}

TEST_F(BackgroundTest, BlankPageComesOutWhole)
{
    TestImage image(50, 40, PIXEL_BGR);
    Fill(image, kPaper);
    PaintRow(image, 20, 10, 12, 0, 0, 0);  // a dot, shorter than a run
    for (uint8_t sides : {uint8_t(SIDE_BOTTOM | SIDE_RIGHT), uint8_t(SIDE_TOP), uint8_t(15), uint8_t(0)}) {
        g_params.COTE_RECADRAGE = sides;
        BITMAP* slot = HeapCopy(image.bitmap);
        BITMAP* before = slot;
        ASSERT_EQ(1, CropStage(&slot, kPaper, g_params)) << int(sides);
        EXPECT_NE(before, slot);  // always a new image
        ASSERT_EQ(50, slot->width);
        ASSERT_EQ(40, slot->height);
        EXPECT_EQ(0, std::memcmp(slot->pixels, image.bitmap.pixels, image.Size()));
        FreeHeap(&slot);
    }
}

TEST_F(BackgroundTest, CutRefusesRectanglesOutsideTheImage)
{
    TestImage image(10, 8, PIXEL_BGR);
    BITMAP* slot = HeapCopy(image.bitmap);
    BITMAP* before = slot;
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, BITMAP_Cut(&slot, 0, 0, 10, 7));
    EXPECT_EQ(0, BITMAP_Cut(&slot, -1, 0, 5, 5));
    EXPECT_EQ(0, BITMAP_Cut(&slot, 5, 6, 3, 7));
    EXPECT_NE("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(before, slot);
    ASSERT_EQ(1, BITMAP_Cut(&slot, 4, 3, 3, 7));  // zero columns
    EXPECT_EQ(0, slot->width);
    EXPECT_EQ(5, slot->height);
    FreeHeap(&slot);
}
