// The precise skew search: drawn pages at known angles (on every path),
// pages without text, the edge of the range, and real scans.  What nivelo
// prints for each is pinned by the whole-run cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "stages/skew_search.h"
#include "tests/stages/stage_fixture.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

constexpr int kWidth = 900, kHeight = 1200;

uint32_t Mix(uint32_t a, uint32_t b)
{
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 13);
}

// Grey of the paper at (u, v), the point before the turn.
using Paper = std::function<double(double u, double v)>;

// Two columns of word-like bars; the left column gives its middle to a
// photograph (smooth shading, no lines) under a dark frame.
double TwoColumnsAndFigure(double u, double v)
{
    bool figure = u >= 90 && u < 420 && v >= 420 && v < 700;
    if (figure) return (u < 96 || u >= 414 || v < 426 || v >= 694) ? 30.0 : 120.0 + 60.0 * std::sin(u / 41.0) * std::cos(v / 29.0);
    int column = u < 450 ? 0 : 1;
    double left = column == 0 ? 90 : 480, right = column == 0 ? 420 : 810;
    if (u < left || u >= right || v < 100 || v >= kHeight - 100) return 245.0;
    int line = int(v - 100) / 34;
    if (int(v - 100) % 34 >= 10) return 245.0;
    // Words of 30 to 90 pixels with gaps of 9.
    double x = left;
    for (uint32_t k = 0; x < right; k++) {
        double end = x + 30 + Mix(uint32_t(line * 2 + column), k) % 61;
        if (u >= x && u < end) return 25.0;
        x = end + 9;
    }
    return 245.0;
}

// The paper turned by angle degrees (positive: lines rise to the right) on a
// grey scanner ground (none: paper to the edges), two samples a side for
// scanner-like edges.
BITMAP* Draw(const Paper& paper, double angle, int ground = 30)
{
    BITMAP* image = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    EXPECT_EQ(1, BITMAP_Create(image, kWidth, kHeight, PIXEL_BGR));
    double c = std::cos(angle * M_PI / 180.0), s = std::sin(angle * M_PI / 180.0);
    for (int y = 0; y < kHeight; y++) {
        for (int x = 0; x < kWidth; x++) {
            double total = 0;
            for (int k = 0; k < 4; k++) {
                double px = x + 0.25 + 0.5 * (k & 1) - kWidth / 2.0, py = y + 0.25 + 0.5 * (k >> 1) - kHeight / 2.0;
                double u = px * c - py * s + kWidth / 2.0, v = px * s + py * c + kHeight / 2.0;
                bool on_paper = u >= ground && u < kWidth - ground && v >= ground && v < kHeight - ground;
                total += on_paper ? paper(u, v) : 110.0;
            }
            int grain = int(Mix(uint32_t(x), uint32_t(y)) % 7) - 3;
            double grey = std::min(255.0, std::max(0.0, total / 4 + grain));
            uint8_t* p = image->pixels + (size_t(y) * kWidth + x) * 3;
            p[0] = p[1] = p[2] = uint8_t(grey);
        }
    }
    return image;
}

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

// Real scans whose skew two independent estimators agree on to 0.1 degree;
// the bound is twice the largest error measured on them.
TEST_F(StageTest, RealScansEndToEnd)
{
    const std::pair<const char*, double> kScans[] = {
        {"italic.tif", -0.17}, {"words.44.tif", 0.115}, {"table.27.tif", 0.005}};
    for (const auto& [file, skew] : kScans) {
        ScratchDir dir;
        WriteFileBytes(dir / "config.txt", "SAUVEGARDE1=N\nSAUVEGARDE2=N\nAFFINAGE=O\n");
        RunResult run = RunNivelo({"/cconfig.txt", std::string(NIVELO_SOURCE_DIR) + "/bench/realpages/" + file}, dir.path);
        EXPECT_NEAR(skew, std::strtod(run.output.c_str(), nullptr), 0.08) << file << run.output;
    }
}
