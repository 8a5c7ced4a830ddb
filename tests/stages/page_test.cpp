// The line-feet detector on drawn pages: it finds the slope, and the page it
// turns then reads as straight.
#include <gtest/gtest.h>

#include <cstring>

#include "stages/rotation.h"
#include "tests/stages/drawn_page.h"
#include "tests/stages/stage_fixture.h"

namespace {

constexpr double kTolerance = 0.15;  // degrees

class PageTest : public StageTest, public ::testing::WithParamInterface<double> {};

TEST_P(PageTest, SlopeIsFoundAndStraightened)
{
    const double slope = GetParam();
    BITMAP* page = Draw(TwoColumnsAndFigure, slope);
    double angle = 0, left = 0;
    ASSERT_EQ(1, DetectSkewAngle(page, &angle, g_params));
    EXPECT_NEAR(slope, angle, kTolerance);
    const uint8_t background[3] = {1, 2, 3};
    ASSERT_EQ(1, RotatePage(&page, angle, background));
    ASSERT_EQ(1, DetectSkewAngle(page, &left, g_params));
    EXPECT_NEAR(0.0, left, kTolerance);
    // A turn uncovers the corners: they take the background colour.
    if (slope != 0.0) {
        EXPECT_EQ(0, std::memcmp(page->pixels, background, 3));
    }
    FreeHeap(&page);
}

INSTANTIATE_TEST_SUITE_P(Slopes, PageTest, ::testing::Values(2.0, -2.0, 0.7, -1.3, 0.0));

}  // namespace
