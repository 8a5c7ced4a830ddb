// The precise skew search: drawn pages at known angles (on every path),
// pages without text, the edge of the range, and real scans.  What nivelo
// prints for each is pinned by the whole-run cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "stages/skew_search.h"
#include "tests/stages/drawn_page.h"
#include "tests/stages/stage_fixture.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// The search on one thread, on three and on the plain path: one answer.
SkewSearchResult Find(const Paper& paper, double angle, double range = 10.0, int ground = 30)
{
    BITMAP* page = Draw(paper, angle, ground);
    SkewSearchResult found[3];
    for (int i = 0; i < 3; i++) {
        setenv(i < 2 ? "NIVELO_THREADS" : "NIVELO_PLAIN", i == 1 ? "3" : "1", 1);
        EXPECT_EQ(1, FindSkewPrecise(page, range, &found[i]));
        EXPECT_EQ(0, std::memcmp(&found[i], &found[0], sizeof found[0])) << angle;
    }
    for (const char* name : {"NIVELO_THREADS", "NIVELO_PLAIN"}) unsetenv(name);
    FreeHeap(&page);
    return found[0];
}

}  // namespace

TEST_F(StageTest, DrawnPagesGiveTheirAngle)
{
    for (double angle : {-7.5, -4.6, -2.15, -0.8, -0.25, 0.35, 1.3, 3.05, 5.7, 7.5}) {
        SkewSearchResult found = Find(TwoColumnsAndFigure, angle);
        EXPECT_NEAR(angle, found.hundredths / 100.0, 0.05) << angle;
        EXPECT_TRUE(found.measured == 1 && found.at_edge == 0) << angle;
    }
}

TEST_F(StageTest, PagesWithoutLinesAreNotMeasuredAndEdgesAreTold)
{
    Paper blank = [](double, double) { return 240.0; };
    // Overlapping soft shapes, nothing in rows.
    Paper photo = [](double u, double v) {
        return 128.0 + 50.0 * std::sin(u / 57.0 + v / 83.0) + 40.0 * std::cos(u / 31.0 - v / 47.0) +
               30.0 * std::sin(std::hypot(u - 300, v - 500) / 23.0);
    };
    for (const Paper& paper : {blank, photo}) {
        SkewSearchResult found = Find(paper, 1.5, 10.0, -10);
        EXPECT_TRUE(found.measured == 0 && found.hundredths == 0);
    }
    SkewSearchResult beyond = Find(TwoColumnsAndFigure, 6.0, 3.0);
    EXPECT_TRUE(beyond.at_edge == 1 && beyond.hundredths >= 250) << beyond.hundredths;
}

// Real scans whose skew two independent estimators agree on to 0.1 degree,
// and a page whose upper left lies in the shadow of the book (its skew
// checked by eye): the bound is twice the largest error measured on them.
TEST_F(StageTest, RealScansEndToEnd)
{
    const std::tuple<const char*, double, double> kScans[] = {
        {"italic.tif", -0.17, 0.08}, {"words.44.tif", 0.115, 0.08}, {"table.27.tif", 0.005, 0.08},
        {"cat.007.tif", -4.645, 0.12}};
    for (const auto& [file, skew, bound] : kScans) {
        ScratchDir dir;
        WriteFileBytes(dir / "config.txt", "SAUVEGARDE1=N\nSAUVEGARDE2=N\nAFFINAGE=O\n");
        RunResult run = RunNivelo({"/cconfig.txt", std::string(NIVELO_SOURCE_DIR) + "/bench/realpages/" + file}, dir.path);
        EXPECT_NEAR(skew, std::strtod(run.output.c_str(), nullptr), bound) << file << run.output;
    }
}
