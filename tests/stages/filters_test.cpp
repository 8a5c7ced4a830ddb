#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "stages/filters.h"
#include "tests/stages/stage_fixture.h"
#include "tests/support/test_support.h"

using namespace std::string_literals;
using testing_support::TestImage;

namespace {

// Marks a connected trace from (x, y) that runs `steps` columns to the right
// and rises by `rise` rows (falls when negative), spread evenly.
void DrawTrace(TestImage& grey, int x, int y, int steps, int rise)
{
    for (int i = 0; i <= steps; i++) {
        int row = y - int(std::lround(double(rise) * i / steps));
        *grey.At(unsigned(x + i), unsigned(row)) = 255;
    }
}

double Degrees(double dy, double dx) { return std::atan2(dy, dx) * 180.0 / 3.14159265359; }

std::string Row(TestImage& grey, unsigned y)
{
    std::string text;
    for (unsigned x = 0; x < grey.bitmap.width; x++) {
        uint8_t v = *grey.At(x, y);
        text += v == 0 ? '.' : v == 255 ? '#' : v == 1 ? 'b' : '?';
    }
    return text;
}

void SetRow(TestImage& grey, unsigned y, const std::string& text)
{
    for (unsigned x = 0; x < text.size(); x++) *grey.At(x, y) = text[x] == '#' ? 255 : text[x] == 'b' ? 1 : 0;
}

}  // namespace

class FiltersTest : public StageTest {};

TEST_F(FiltersTest, VerticalStepMarksDifferencesWithTheRowBelow)
{
    TestImage grey(2, 3, PIXEL_GREY);
    const uint8_t column0[3] = {0, 64, 200}, column1[3] = {0, 63, 63};
    for (unsigned y = 0; y < 3; y++) *grey.At(0, y) = column0[y], *grey.At(1, y) = column1[y];
    VerticalStepFilter(&grey.bitmap, g_params);
    EXPECT_EQ("#.", Row(grey, 0));  // 64 reaches the limit, 63 does not
    EXPECT_EQ("#.", Row(grey, 1));
    EXPECT_EQ("..", Row(grey, 2));  // the last row has nothing below it
}

TEST_F(FiltersTest, RunFilterLooksAheadWithinItsWindow)
{
    // w = 16, r = 3: pixel x keeps a mark when a run of 3 starts within
    // x ... x + 12.
    TestImage grey(40, 2, PIXEL_GREY);
    SetRow(grey, 0, std::string(20, '.') + "###"s + std::string(17, '.'));
    SetRow(grey, 1, std::string(40, '#'));
    RunFilter(&grey.bitmap, g_params);
    EXPECT_EQ(std::string(8, '.') + std::string(13, '#') + std::string(19, '.'), Row(grey, 0));
    EXPECT_EQ(std::string(24, '#') + std::string(16, '.'), Row(grey, 1));  // last 16 columns cleared
}

TEST_F(FiltersTest, GapBridgeClosesGapsShorterThanItsWidth)
{
    TestImage grey(70, 5, PIXEL_GREY);
    std::string bridged = "#"s + std::string(15, '.') + "#";   // 15 zeros: bridged
    std::string too_long = "#"s + std::string(16, '.') + "#";  // 16 zeros: not
    SetRow(grey, 0, "...."s + bridged + "...."s + too_long + std::string(27, '.'));
    SetRow(grey, 2, ".#....#"s + std::string(57, '.') + "#.....");  // runs off the row's end
    SetRow(grey, 3, std::string(5, '.') + "###"s + std::string(62, '.'));
    SetRow(grey, 4, std::string(20, '.') + "#..b..#"s + std::string(43, '.'));
    GapBridgeFilter(&grey.bitmap, g_params);
    EXPECT_EQ("....#"s + std::string(15, 'b') + "#...."s + too_long + std::string(27, '.'), Row(grey, 0));
    // Row 2: the gap after column 1 is closed by the mark below at column 5,
    // the gap after column 6 is closed at once by the mark below it (k = 0).
    EXPECT_EQ(".#bbb.#"s + std::string(57, '.') + "#.....", Row(grey, 2));
    // Row 4: a bridge pixel does not close a gap; the mark after it does.
    EXPECT_EQ(std::string(20, '.') + "#bbbbb#"s + std::string(43, '.'), Row(grey, 4));
}

TEST_F(FiltersTest, LowerBorderKeepsTheFootOfEachBand)
{
    TestImage grey(4, 6, PIXEL_GREY);
    SetRow(grey, 1, "####");
    SetRow(grey, 2, "#b##");
    SetRow(grey, 3, "#b.#");
    SetRow(grey, 5, "####");  // touches the last row
    LowerBorderFilter(&grey.bitmap);
    EXPECT_EQ("....", Row(grey, 1));
    EXPECT_EQ("..#.", Row(grey, 2));
    EXPECT_EQ("##.#", Row(grey, 3));
    EXPECT_EQ("....", Row(grey, 4));
    EXPECT_EQ("....", Row(grey, 5));
}

// A trace counts from VISION_WIDTH3 (128) steps on, and only when flatter
// than VISION_ANGLE (3 degrees).
TEST_F(FiltersTest, OnlyLongFlatTracesCount)
{
    const struct {
        int steps, rise;
        bool counted;
    } cases[] = {{128, 2, true}, {127, 2, false}, {200, 10, true}, {200, 11, false}};  // 2.86 and 3.15 degrees
    for (const auto& c : cases) {
        TestImage grey(220, 20, PIXEL_GREY);
        DrawTrace(grey, 3, 15, c.steps, c.rise);
        double expected = c.counted ? Degrees(c.rise, c.steps) : 0.0;
        EXPECT_DOUBLE_EQ(expected, LineAngleFilter(&grey.bitmap, 0, g_params)) << c.steps << " " << c.rise;
    }
}

TEST_F(FiltersTest, AngleIsTheMeanWeightedByLength)
{
    // 300 steps at about 1 degree and 100 steps at about 2: near 1.25, not 1.5.
    g_params.VISION_WIDTH3 = 100;
    TestImage both(320, 40, PIXEL_GREY), long_one(320, 40, PIXEL_GREY), short_one(320, 40, PIXEL_GREY);
    DrawTrace(both, 2, 10, 300, 6), DrawTrace(long_one, 2, 10, 300, 6);
    DrawTrace(both, 2, 30, 100, 3), DrawTrace(short_one, 2, 30, 100, 3);
    double a = LineAngleFilter(&long_one.bitmap, 0, g_params), b = LineAngleFilter(&short_one.bitmap, 0, g_params);
    double mean = LineAngleFilter(&both.bitmap, 0, g_params);
    EXPECT_NEAR((300 * a + 100 * b) / 400, mean, 1e-12);
    EXPECT_NEAR(1.25, mean, 0.1);
}

TEST_F(FiltersTest, CountedTracesAreMarkedOnlyOnRequest)
{
    TestImage plain(220, 20, PIXEL_GREY), marked(220, 20, PIXEL_GREY);
    for (TestImage* grey : {&plain, &marked}) {
        DrawTrace(*grey, 3, 15, 200, 4);  // counted
        DrawTrace(*grey, 3, 5, 50, 0);    // too short: traced only
    }
    double angle = LineAngleFilter(&plain.bitmap, 0, g_params);
    EXPECT_EQ(angle, LineAngleFilter(&marked.bitmap, 1, g_params));
    EXPECT_EQ(2, *marked.At(3, 15));
    EXPECT_EQ(2, *marked.At(203, 11));
    EXPECT_EQ(1, *marked.At(53, 5));
    EXPECT_EQ(1, *plain.At(203, 11));
}
