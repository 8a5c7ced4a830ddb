// The orientation step: lossless quarter turns, drawn and real pages in four
// orientations, and pages without print that must be left alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/blit.h"
#include "stages/orientation.h"
#include "tests/stages/drawn_page.h"
#include "tests/stages/stage_fixture.h"
#include "tiff/tiff.h"

namespace {

constexpr double kPaper = 245.0, kInk = 25.0;

// Lines of letter-like marks in [left, right) x [top, bottom): a core of 12
// pixels every 34; as in Latin print, of 100 letters 35 rise 8 pixels above
// it and 8 fall 7 below, on either side (b, d; p, q); 15 are spaces.
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

double TwoColumns(double u, double v) { return u < 450 ? Print(u, v, 90, 420, 100, 1100) : Print(u, v, 480, 810, 100, 1100); }
// A framed photograph over the upper half, print below it.
double LargeFigure(double u, double v)
{
    if (u < 90 || u >= 810 || v < 100 || v >= 640) return Print(u, v, 90, 810, 680, 1100);
    bool frame = u < 96 || u >= 804 || v < 106 || v >= 634;
    return frame ? 30.0 : 120.0 + 60.0 * std::sin(u / 41.0) * std::cos(v / 29.0);
}

// The same lines set in bold capitals: every letter fills the band from its
// top to the base line, and 15 in 100 have a comma below the line.
double Capitals(double u, double v)
{
    if (u < 90 || u >= 810 || v < 100 || v >= 1100) return kPaper;
    int o = int(v - 100) % 34, letter = int(u - 90) / 10, x = int(u - 90) % 10;
    uint32_t kind = Mix(uint32_t(v - 100) / 34u, uint32_t(letter)) % 100;
    if (kind < 15 || x >= 8 || o >= 25) return kPaper;
    if (o >= 20) return kind < 30 && x < 2 ? kInk : kPaper;
    bool stem = Mix(uint32_t(v - 100) / 34u, uint32_t(letter) + 1u) % 2 ? x < 4 : x >= 4;
    bool bar = kind % 3 == 0 ? o == 9 || o == 10 : kind % 3 == 1 ? o < 2 || o >= 18 : o >= 18;
    return stem || bar ? kInk : kPaper;
}

// A list: words in capitals, and beside them a narrow column repeating on
// every line one word whose brackets and slash hang below the line, as in
// "Yes (C/S)".  Its only lean is that column's, the wrong way.
double ListWithColumn(double u, double v)
{
    if (v < 100 || v >= 1100) return kPaper;
    int line = int(v - 100) / 34, o = int(v - 100) % 34;
    if (u >= 90 && u < 420) {
        int letter = int(u - 90) / 10, x = int(u - 90) % 10;
        if (letter >= 6 + int(Mix(uint32_t(line), 3u) % 24) || x >= 8 || o >= 20) return kPaper;
        bool stem = Mix(uint32_t(line), uint32_t(letter) + 1u) % 2 ? x < 4 : x >= 4;
        return stem || o < 2 || o >= 18 ? kInk : kPaper;
    }
    if (u >= 600 && u < 690) {
        int x = int(u - 600) % 15;
        if (x >= 12 || o >= 27) return kPaper;
        if (o >= 20) return x < 2 || x >= 10 ? kInk : kPaper;  // the tails of "(" ")" "/"
        return x < 3 || x >= 9 || o < 2 || o >= 18 ? kInk : kPaper;
    }
    return kPaper;
}

double Blank(double, double) { return 240.0; }
double Photograph(double u, double v)
{
    return 128 + 50 * std::sin(u / 57 + v / 83) + 40 * std::cos(u / 31 - v / 47) + 30 * std::sin(std::hypot(u - 300, v - 500) / 23);
}

// The page fed turned clockwise by `fed`: with print, the turn found must
// undo it; without, the page is left as it is.  One answer on one thread, on
// three and on the plain path.
void ExpectFound(const BITMAP* upright, int fed, bool print, const std::string& what)
{
    BITMAP* page = QuarterTurnedCopy(upright, fed);
    ASSERT_NE(page, nullptr);
    OrientationResult f[3];
    for (int i = 0; i < 3; i++) {
        setenv(i < 2 ? "NIVELO_THREADS" : "NIVELO_PLAIN", i == 1 ? "3" : "1", 1);
        EXPECT_EQ(1, FindOrientation(page, &f[i]));
        EXPECT_EQ(0, std::memcmp(&f[i], &f[0], sizeof f[0])) << what << " fed at " << fed << " path " << i;
    }
    for (const char* name : {"NIVELO_THREADS", "NIVELO_PLAIN"}) unsetenv(name);
    const OrientationEvidence& e = f[0].evidence;
    EXPECT_TRUE(f[0].decided == print && f[0].turn == (print ? (360 - fed) % 360 : 0))
        << what << " fed at " << fed << ": " << f[0].decided << " " << f[0].turn << " (votes along the rows "
        << e.row_before << ":" << e.row_after << ", down the columns " << e.column_before << ":" << e.column_after << ")";
    FreeHeap(&page);
}

}  // namespace

// Smaller and larger than a tile, not a multiple of it, on one thread and
// three: every pixel where the turn puts it.
TEST_F(StageTest, QuarterTurnsMovePixelsLosslessly)
{
    for (auto [w, h] : {std::pair{3, 2}, {70, 45}}) {
        BITMAP page;
        ASSERT_EQ(1, BITMAP_Create(&page, w, h, PIXEL_BGR));
        for (int i = 0; i < w * h * 3; i++) page.pixels[i] = uint8_t(Mix(uint32_t(i), 5));
        for (const char* threads : {"1", "3"}) {
            setenv("NIVELO_THREADS", threads, 1);
            for (int turn : {0, 90, 180, 270}) {
                BITMAP* turned = QuarterTurnedCopy(&page, turn);
                ASSERT_NE(turned, nullptr);
                bool side = turn % 180;
                ASSERT_TRUE(int(turned->width) == (side ? h : w) && int(turned->height) == (side ? w : h)) << turn;
                int mismatches = 0;
                for (int y = 0; y < int(turned->height); y++)
                    for (int x = 0; x < int(turned->width); x++) {
                        int sx = turn == 0 ? x : turn == 90 ? y : turn == 180 ? w - 1 - x : w - 1 - y;
                        int sy = turn == 0 ? y : turn == 90 ? h - 1 - x : turn == 180 ? h - 1 - y : x;
                        mismatches += std::memcmp(turned->pixels + (y * turned->width + x) * 3, page.pixels + (sy * w + sx) * 3, 3) != 0;
                    }
                EXPECT_EQ(mismatches, 0) << w << " x " << h << ", " << turn << " on " << threads << " threads";
                FreeHeap(&turned);
            }
        }
        unsetenv("NIVELO_THREADS");
        BITMAP_Free(&page);
    }
}

// Drawn print, skewed a little as scans are, put upright; blank pages and
// photographs on paper to the edges left alone.
TEST_F(StageTest, DrawnPagesInEveryQuarterTurn)
{
    const struct { const char* what; Paper paper; double angle; int ground; bool print; } kPages[] = {
        {"two columns", TwoColumns, 0.8, 30, true}, {"large figure over one column", LargeFigure, 0.8, 30, true},
        {"capitals", Capitals, 0.8, 30, false}, {"list in capitals beside one column", ListWithColumn, 0.8, 30, false},
        {"blank", Blank, 0.5, -10, false}, {"photograph", Photograph, 0.5, -10, false}};
    for (const auto& p : kPages) {
        BITMAP* upright = Draw(p.paper, p.angle, p.ground);
        for (int fed : {0, 90, 180, 270}) ExpectFound(upright, fed, p.print, p.what);
        FreeHeap(&upright);
    }
}

// Real scans of print from every kind of source (bilevel, grey, colour, 150
// to 300 dpi; Fraktur, faded newsprint), and printed music, with ink on
// both sides of every line or notes hanging from its staves, left alone (the
// last leans 2.75 spreads on 26 votes, the most of any music measured at
// full resolution).
TEST_F(StageTest, RealScansInFourOrientations)
{
    const std::pair<const char*, bool> kScans[] = {{"feyn.tif", true}, {"toc.99.tif", true}, {"lucasta.047.tif", true},
                                                   {"w91frag.tif", true}, {"pedante.079.tif", true}, {"german.tif", true},
                                                   {"lighttext.tif", true}, {"ortiz-02.tif", false}, {"tel_3.tif", false},
                                                   {"bois-2.tif", false}};
    for (const auto& [file, print] : kScans) {
        BITMAP* upright = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
        ASSERT_EQ(1, LoadTIFF((std::string(NIVELO_SOURCE_DIR) + "/bench/realpages/" + file).c_str(), upright)) << file;
        if (upright->type == PIXEL_INDEXED) {
            ASSERT_EQ(1, BITMAP_Convert(&upright, PIXEL_GREY));
        }
        ASSERT_EQ(1, BITMAP_Convert(&upright, PIXEL_BGR));
        for (int fed : {0, 90, 180, 270}) ExpectFound(upright, fed, print, file);
        FreeHeap(&upright);
    }
}

// Fed upside down, a bilevel scan gives the upright page's votes and sharpness exactly, sides
// swapped: strips or line cores laid out from one edge show at once in this short page's votes.
TEST_F(StageTest, EvidenceFollowsTheTurnExactly)
{
    BITMAP* scan = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    std::string file = std::string(NIVELO_SOURCE_DIR) + "/bench/realpages/italic.tif";
    ASSERT_TRUE(LoadTIFF(file.c_str(), scan) && BITMAP_Convert(&scan, PIXEL_BGR));
    OrientationEvidence e[2][2];  // [tiles 1 or 3][upright, upside down]
    for (int t = 0; t < 2; t++) {
        int tiles = t == 0 ? 1 : 3;
        BITMAP* page[2] = {static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP))), nullptr};
        ASSERT_TRUE(BITMAP_Create(page[0], scan->width * tiles, scan->height * tiles, PIXEL_BGR));
        for (int i = 0; i < tiles * tiles; i++)
            BITMAP_Blt(scan, page[0], int32_t(scan->width) * (i % tiles), int32_t(scan->height) * (i / tiles));
        ASSERT_NE(page[1] = QuarterTurnedCopy(page[0], 180), nullptr);
        for (int i = 0; i < 2; i++) {
            OrientationResult found;
            ASSERT_EQ(1, FindOrientation(page[i], &found));
            e[t][i] = found.evidence;
        }
        for (BITMAP*& p : page) FreeHeap(&p);
    }
    FreeHeap(&scan);
    const OrientationEvidence &a = e[0][0], &b = e[0][1];
    EXPECT_TRUE(a.row_before == b.row_after && a.row_after == b.row_before && a.row_sharpness == b.row_sharpness &&
                a.column_before == b.column_after && a.column_after == b.column_before && a.column_sharpness == b.column_sharpness)
        << a.row_before << ":" << a.row_after << " upright, " << b.row_before << ":" << b.row_after << " upside down";
    // Tiled three by three (4200 x 1902), its cells are blocks of two by two pixels, no longer
    // bilevel, and the ink cut's tiles start at one edge: the votes stay within a tenth.  Cells
    // taken as one pixel of each block would show the page turned upside down its other pixels
    // (240:84 votes upright, 63:291 upside down).
    const OrientationEvidence &c = e[1][0], &d = e[1][1];
    auto near = [](int64_t x, int64_t y, int64_t all) { return std::llabs(x - y) * 10 <= all; };
    int64_t rows = c.row_before + c.row_after, columns = c.column_before + c.column_after;
    EXPECT_TRUE(near(c.row_before, d.row_after, rows) && near(c.row_after, d.row_before, rows) &&
                near(c.column_before, d.column_after, columns) && near(c.column_after, d.column_before, columns))
        << c.row_before << ":" << c.row_after << " and " << c.column_before << ":" << c.column_after << " upright, "
        << d.row_before << ":" << d.row_after << " and " << d.column_before << ":" << d.column_after << " upside down";
}
