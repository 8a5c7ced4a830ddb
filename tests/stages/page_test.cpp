// A page drawn at a known slope is found at that slope and comes out with
// horizontal lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "stages/rotation.h"
#include "tests/stages/stage_fixture.h"
#include "tests/stages/synthetic_page.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

constexpr double kTolerance = 0.15;  // degrees
const uint8_t kBackground[3] = {kScannerGrey, kScannerGrey, kScannerGrey};

BITMAP* DrawSlot(const PageText& text, double slope)
{
    testing_support::TestImage image(text.layout.width, text.layout.height, PIXEL_BGR);
    DrawPage(text, slope, &image.bitmap);
    return HeapCopy(image.bitmap);
}

// Row of the centre of the ink in column x around a bar that starts at row
// top, in the image after the turn.
double InkCentre(const BITMAP* image, int x, int top, int height)
{
    double weight = 0, moment = 0;
    for (int y = top - height; y < top + 2 * height; y++) {
        double ink = 255.0 - image->pixels[(size_t(y) * image->width + x) * 3];
        weight += ink;
        moment += ink * (y + 0.5);
    }
    return moment / weight;
}

// Largest slope, in degrees, of the text lines of a straightened page,
// measured between the middles of the first and last word of each line.
double WorstLineSlope(const PageText& text, const BITMAP* image)
{
    double worst = 0;
    for (size_t k = 0; k < text.lines.size(); k++) {
        const auto& words = text.lines[k];
        int first = (words.front().first + words.front().second) / 2;
        int last = (words.back().first + words.back().second) / 2;
        double rise = InkCentre(image, first, text.LineTop(k), text.layout.bar_height) -
                      InkCentre(image, last, text.LineTop(k), text.layout.bar_height);
        worst = std::max(worst, std::fabs(std::atan2(rise, last - first) * 180.0 / M_PI));
    }
    return worst;
}

}  // namespace

class PageTest : public StageTest, public ::testing::WithParamInterface<double> {};

TEST_P(PageTest, SlopeIsFoundAndStraightened)
{
    const double slope = GetParam();
    PageText text{PageLayout{}};
    BITMAP* page = DrawSlot(text, slope);
    double angle = 0;
    ASSERT_EQ(1, DetectSkewAngle(page, &angle, g_params));
    EXPECT_NEAR(slope, angle, kTolerance);
    ASSERT_EQ(1, RotatePage(&page, angle, kBackground));
    EXPECT_LT(WorstLineSlope(text, page), kTolerance);
    // The turn uncovers the corners: they take the scanner grey.
    EXPECT_EQ(0, std::memcmp(page->pixels, kBackground, 3));
    FreeHeap(&page);
}

INSTANTIATE_TEST_SUITE_P(Slopes, PageTest, ::testing::Values(2.0, -2.0, 0.7, -1.3, 0.0));
