// The orientation step: the lossless quarter turns, drawn pages of print in
// four orientations, pages that must be left alone, and real scans.  What
// nivelo prints and writes for each is pinned by the whole-run cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/blit.h"
#include "stages/orientation.h"
#include "tests/stages/drawn_page.h"
#include "tests/stages/stage_fixture.h"
#include "tests/support/test_support.h"
#include "tiff/tiff.h"

using namespace testing_support;

namespace {

constexpr double kPaper = 245.0, kInk = 25.0;

// Lines of letter-like marks in the box [left, right) x [top, bottom): an
// x-height core of 12 pixels every 34; of 100 letters 35 rise 8 pixels
// above it and 8 fall 7 below, as in Latin print, on the left or the right
// of the letter (b, d; p, q); 15 are spaces.
double Print(double u, double v, double left, double right, double top, double bottom)
{
    if (u < left || u >= right || v < top || v >= bottom) return kPaper;
    int line = int(v - top) / 34, o = int(v - top) % 34;
    int letter = int(u - left) / 10, x = int(u - left) % 10;
    uint32_t kind = Mix(uint32_t(line) * 7919u + uint32_t(left), uint32_t(letter)) % 100;
    if (kind < 15 || x >= 8) return kPaper;
    bool stem = Mix(uint32_t(line), uint32_t(letter) + 1u) % 2 ? x < 2 : x >= 6;
    if (o < 8) return kind < 50 && stem ? kInk : kPaper;
    if (o < 20) return x < 3 || x >= 5 || o < 10 || o >= 18 ? kInk : kPaper;  // an "o"
    if (o < 27) return kind >= 50 && kind < 58 && stem ? kInk : kPaper;
    return kPaper;
}

double OneColumn(double u, double v) { return Print(u, v, 90, 810, 100, 1100); }
double TwoColumns(double u, double v) { return u < 450 ? Print(u, v, 90, 420, 100, 1100) : Print(u, v, 480, 810, 100, 1100); }
// A framed photograph over the upper half, print below it.
double LargeFigure(double u, double v)
{
    if (u >= 90 && u < 810 && v >= 100 && v < 640) {
        bool frame = u < 96 || u >= 804 || v < 106 || v >= 634;
        return frame ? 30.0 : 120.0 + 60.0 * std::sin(u / 41.0) * std::cos(v / 29.0);
    }
    return Print(u, v, 90, 810, 680, 1100);
}

// Staves of five lines with notes on and between them, stems up below the
// middle line (on the right of the head) and down above it (on the left),
// and bar lines: ink on both sides of every line, as in printed music.
double Music(double u, double v)
{
    if (u < 90 || u >= 810 || v < 100 || v >= 1100) return kPaper;
    int staff = int(v - 100) / 120;
    double o = std::fmod(v - 100, 120.0) - 40;  // 0 at the top line
    if (o >= 0 && o < 42 && std::fmod(o, 10.0) < 2) return kInk;
    int beat = int(u - 90) / 40;
    double at = 90 + beat * 40 + 20;
    if (beat % 5 == 4) return std::fabs(u - at) < 1 && o >= 0 && o < 42 ? kInk : kPaper;
    double pitch = -10 + 5 * double(Mix(uint32_t(staff), uint32_t(beat)) % 13);
    double du = (u - at) / 6, dv = (o - pitch) / 4;
    if (du * du + dv * dv <= 1) return kInk;
    bool up = pitch > 20;
    bool on_stem = up ? u >= at + 5 && u < at + 7 : u > at - 7 && u <= at - 5;
    if (on_stem && (up ? o < pitch && o > pitch - 30 : o > pitch && o < pitch + 30)) return kInk;
    return kPaper;
}

double Blank(double, double) { return 240.0; }
double Photograph(double u, double v)
{
    return 128.0 + 50.0 * std::sin(u / 57.0 + v / 83.0) + 40.0 * std::cos(u / 31.0 - v / 47.0) +
           30.0 * std::sin(std::hypot(u - 300, v - 500) / 23.0);
}

// The orientation on one thread, on three and on the plain path: one answer.
OrientationResult Find(const BITMAP* page)
{
    OrientationResult found[3];
    for (int i = 0; i < 3; i++) {
        setenv(i < 2 ? "NIVELO_THREADS" : "NIVELO_PLAIN", i == 1 ? "3" : "1", 1);
        EXPECT_EQ(1, FindOrientation(page, &found[i]));
        EXPECT_EQ(0, std::memcmp(&found[i], &found[0], sizeof found[0]));
    }
    for (const char* name : {"NIVELO_THREADS", "NIVELO_PLAIN"}) unsetenv(name);
    return found[0];
}

void Release(BITMAP** page)
{
    BITMAP_Free(*page);
    FreeMemory(page);
}

std::string Evidence(const OrientationResult& found)
{
    const OrientationEvidence& e = found.evidence;
    return " (votes along the rows " + std::to_string(e.row_before) + ":" + std::to_string(e.row_after) +
           ", down the columns " + std::to_string(e.column_before) + ":" + std::to_string(e.column_after) + ")";
}

// The page as fed in turned clockwise by `fed`: the turn found must undo it.
void ExpectUndone(const BITMAP* upright, int fed, const std::string& what)
{
    BITMAP* page = QuarterTurnedCopy(upright, fed);
    ASSERT_NE(page, nullptr);
    OrientationResult found = Find(page);
    EXPECT_TRUE(found.decided == 1 && found.turn == (360 - fed) % 360) << what << " fed at " << fed << ": "
                                                                        << found.decided << " " << found.turn << Evidence(found);
    Release(&page);
}

}  // namespace

TEST_F(StageTest, QuarterTurnsMovePixelsLosslessly)
{
    BITMAP wide;
    ASSERT_EQ(1, BITMAP_Create(&wide, 3, 2, PIXEL_BGR));
    for (int i = 0; i < 18; i++) wide.pixels[i] = uint8_t(i / 3);  // pixel n holds n
    // Pixel n of the turned page, row by row, for each clockwise turn.
    const struct {
        int turn;
        int width;
        uint8_t order[6];
    } kTurns[] = {{0, 3, {0, 1, 2, 3, 4, 5}}, {90, 2, {3, 0, 4, 1, 5, 2}}, {180, 3, {5, 4, 3, 2, 1, 0}},
                  {270, 2, {2, 5, 1, 4, 0, 3}}};
    for (const auto& t : kTurns) {
        BITMAP* turned = QuarterTurnedCopy(&wide, t.turn);
        ASSERT_NE(turned, nullptr);
        EXPECT_TRUE(turned->width == t.width && turned->height == 6 / t.width) << t.turn;
        for (int i = 0; i < 18; i++) EXPECT_EQ(turned->pixels[i], t.order[i / 3]) << t.turn << " byte " << i;
        // The turn back gives the page again, byte for byte.
        BITMAP* back = QuarterTurnedCopy(turned, (360 - t.turn) % 360);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(0, std::memcmp(back->pixels, wide.pixels, 18)) << t.turn;
        Release(&back);
        Release(&turned);
    }
    BITMAP_Free(&wide);
    // Wider than a tile and not a multiple of it, on one thread and three:
    // every pixel where the turn puts it.
    BITMAP page;
    ASSERT_EQ(1, BITMAP_Create(&page, 70, 45, PIXEL_BGR));
    for (size_t i = 0; i < size_t(70 * 45 * 3); i++) page.pixels[i] = uint8_t(Mix(uint32_t(i), 5));
    for (const char* threads : {"1", "3"}) {
        setenv("NIVELO_THREADS", threads, 1);
        for (int turn : {90, 180, 270}) {
            BITMAP* turned = QuarterTurnedCopy(&page, turn);
            ASSERT_NE(turned, nullptr);
            int mismatches = 0;
            for (int y = 0; y < turned->height; y++)
                for (int x = 0; x < turned->width; x++) {
                    int sx = turn == 90 ? y : turn == 180 ? 69 - x : 69 - y;
                    int sy = turn == 90 ? 44 - x : turn == 180 ? 44 - y : x;
                    mismatches += std::memcmp(turned->pixels + (y * turned->width + x) * 3, page.pixels + (sy * 70 + sx) * 3, 3) != 0;
                }
            EXPECT_EQ(mismatches, 0) << turn << " on " << threads << " threads";
            Release(&turned);
        }
    }
    unsetenv("NIVELO_THREADS");
    BITMAP_Free(&page);
}

TEST_F(StageTest, DrawnPrintIsPutUprightFromEveryQuarterTurn)
{
    const std::pair<const char*, Paper> kPages[] = {
        {"one column", OneColumn}, {"two columns", TwoColumns}, {"large figure", LargeFigure}};
    for (const auto& [what, paper] : kPages) {
        BITMAP* upright = Draw(paper, 0.8);  // skewed a little, as scans are
        for (int fed : {0, 90, 180, 270}) ExpectUndone(upright, fed, what);
        FreeHeap(&upright);
    }
}

TEST_F(StageTest, PagesWithoutPrintAreLeftAlone)
{
    const std::pair<const char*, Paper> kPages[] = {{"blank", Blank}, {"photograph", Photograph}, {"music", Music}};
    for (const auto& [what, paper] : kPages) {
        BITMAP* upright = Draw(paper, 0.5, -10);
        for (int fed : {0, 90, 180, 270}) {
            BITMAP* page = QuarterTurnedCopy(upright, fed);
            ASSERT_NE(page, nullptr);
            OrientationResult found = Find(page);
            EXPECT_TRUE(found.decided == 0 && found.turn == 0) << what << " fed at " << fed << Evidence(found);
            Release(&page);
        }
        FreeHeap(&upright);
    }
}

// Real scans in their four orientations.  On all 35 shared real pages in
// four orientations the step turns 106 of 140 right, none wrong, and leaves
// the rest; these five pages of print, of every kind of source (bilevel,
// grey, colour, 150 to 300 dpi), were right in all four, and the printed
// music was left alone in all four.
TEST_F(StageTest, RealScansInFourOrientations)
{
    const std::pair<const char*, int> kScans[] = {{"feyn.tif", 1}, {"toc.99.tif", 1}, {"lucasta.047.tif", 1},
                                                   {"w91frag.tif", 1}, {"pedante.079.tif", 1}, {"ortiz-02.tif", 0}};
    for (const auto& [file, print] : kScans) {
        BITMAP* upright = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
        std::string path = std::string(NIVELO_SOURCE_DIR) + "/bench/realpages/" + file;
        ASSERT_EQ(1, LoadTIFF(path.c_str(), upright)) << file;
        if (upright->type == PIXEL_INDEXED) {
            ASSERT_EQ(1, BITMAP_Convert(&upright, PIXEL_GREY));
        }
        ASSERT_EQ(1, BITMAP_Convert(&upright, PIXEL_BGR));
        for (int fed : {0, 90, 180, 270}) {
            if (print) {
                ExpectUndone(upright, fed, file);
                continue;
            }
            BITMAP* page = QuarterTurnedCopy(upright, fed);
            ASSERT_NE(page, nullptr);
            OrientationResult found;
            ASSERT_EQ(1, FindOrientation(page, &found));
            EXPECT_EQ(found.decided, 0) << file << " fed at " << fed;
            Release(&page);
        }
        Release(&upright);
    }
}
