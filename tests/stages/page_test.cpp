// End to end: a page drawn at a known slope is found at that slope and comes
// out with horizontal lines, both through the stage functions and through a
// real run of nivelo.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "batch/stage_images.h"
#include "stages/rotation.h"
#include "tests/stages/stage_fixture.h"
#include "tests/stages/synthetic_page.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

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

TEST_F(StageTest, DebugImagesDoNotChangeTheAngle)
{
    PageText text{PageLayout{}};
    BITMAP* page = DrawSlot(text, 1.0);
    ScratchDir dir;
    std::strcpy(g_params.REPERTOIRE2, dir.path.c_str());
    double plain = 0, debug = 0;
    ASSERT_EQ(1, DetectSkewAngle(page, &plain, g_params));
    EXPECT_TRUE(ListFiles(dir.path).empty());
    g_command.flag_f = 1;
    ASSERT_EQ(1, DetectSkewAngle(page, &debug, g_params, FilterImagesOfRun()));
    EXPECT_EQ(plain, debug);
    EXPECT_EQ((std::vector<std::string>{"nivelo_filtre1.tga", "nivelo_filtre2.tga", "nivelo_filtre3.tga",
                                        "nivelo_filtre4.tga", "nivelo_filtre5.tga"}),
              ListFiles(dir.path));
    // Counted traces show white, traced but dropped ones mid-grey.
    BITMAP shown;
    ASSERT_EQ(1, LoadTGA((dir / "nivelo_filtre5.tga").c_str(), &shown));
    size_t counted = 0;
    for (size_t i = 0; i < size_t(shown.width) * shown.height; i++) counted += shown.pixels[i] == 255;
    EXPECT_GT(counted, 1000u);
    BITMAP_Free(&shown);

    // A directory too long for the path buffer: the images are skipped with
    // a message, the angle stays.
    std::memset(g_params.REPERTOIRE2, 'd', 250);
    g_params.REPERTOIRE2[250] = '\0';
    testing::internal::CaptureStdout();
    ASSERT_EQ(1, DetectSkewAngle(page, &debug, g_params, FilterImagesOfRun()));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(plain, debug);
    EXPECT_NE(std::string::npos, output.find("nivelo_filtre5.tga"));
    FreeHeap(&page);
}

TEST_F(StageTest, PipelinePrintsTheAngleAndStraightensThePage)
{
    for (double slope : {1.5, -1.5}) {
        ScratchDir dir;
        std::filesystem::create_directory(dir / "t");
        std::filesystem::create_directory(dir / "trot");
        PageText text{PageLayout{}};
        BITMAP* page = DrawSlot(text, slope);
        ASSERT_EQ(1, SaveTGA((dir / "page.tga").c_str(), page));
        FreeHeap(&page);
        WriteFileBytes(dir / "config.txt", "REPERTOIRE1=" + dir.path + "t/\nREPERTOIRE2=" + dir.path + "trot/\n");
        RunResult run = RunNivelo({"/f", "page.tga"}, dir.path);
        ASSERT_EQ(0, run.status);
        double printed = std::strtod(run.output.c_str(), nullptr);
        EXPECT_NEAR(slope, printed, kTolerance) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("\npage.tga done.\n")) << run.output;
        EXPECT_TRUE(FileExists(dir / "t/page.tga"));
        EXPECT_TRUE(FileExists(dir / "trot/page.tga"));
        EXPECT_TRUE(FileExists(dir / "trot/nivelo_filtre5.tga"));
    }
}
