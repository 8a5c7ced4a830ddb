// Scans drawn on a ground at known angles, traced, turned back with a white
// fill and painted: no dark ground may be left outside the paper, and the
// print well inside its edge must come out exactly as the turn alone makes it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "stages/background.h"
#include "stages/borders.h"
#include "stages/rotation.h"
#include "tests/stages/drawn_page.h"
#include "tests/stages/stage_fixture.h"

namespace {

using BordersTest = StageTest;
constexpr int kW = 240, kH = 320;
// Paper this far inside its edge keeps its bytes: the ground's shade and the turn's 4 x 4 reach stay within it.
constexpr int kEdgeBand = 7;
const uint8_t kWhite[3] = {255, 255, 255};

bool Within(double u, double v, double margin) { return u >= margin && u < kW - margin && v >= margin && v < kH - margin; }
// Ink grey printed at paper point (u, v), or -1 for bare paper: lines of words.
int Lines(double u, double v) { return Within(u, v, 40) && int(v) % 16 < 5 && Mix(uint32_t(u) / 23, uint32_t(v) / 16) % 5 != 0 ? 20 : -1; }
// A black frame 10 pixels inside the paper and a dark photograph in it.
int FrameAndPhoto(double u, double v)
{
    if (Within(u, v, 30) && !Within(u, v, 33)) return 5;
    return u >= 50 && u < 150 && v >= 60 && v < 200 ? 15 + int(u + v) % 12 : Lines(u, v);
}
// A lamp's shadow, three pixels wide, along the edge of paper spanning 24 to the size less 24.
int ShadowedEdge(double u, double v) { return Within(u, v, 27) ? Lines(u, v) : 80; }

struct Scan {
    const char* what;
    double angle;                  // degrees, positive: lines rise to the right
    int left, top, right, bottom;  // the paper (may pass the scan's edges)
    uint8_t ground[3], paper[3];
    int (*print)(double u, double v);
    bool dust = false;       // light specks and a hair on the ground, which stop runs from the edge
    int reaches_middle = 0;  // the ground is no border and must be left alone
};

// Two samples a side, as a scanner's edges blur, and a little grain.
BITMAP* DrawScan(const Scan& scan)
{
    BITMAP* image = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    EXPECT_EQ(1, BITMAP_Create(image, kW, kH, PIXEL_BGR));
    double c = std::cos(scan.angle * M_PI / 180.0), s = std::sin(scan.angle * M_PI / 180.0);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            int total[3] = {0, 0, 0};
            for (int k = 0; k < 4; k++) {
                double px = x + 0.25 + 0.5 * (k & 1) - kW / 2.0, py = y + 0.25 + 0.5 * (k >> 1) - kH / 2.0;
                double u = px * c - py * s + kW / 2.0, v = px * s + py * c + kH / 2.0;
                bool on_paper = u >= scan.left && u < scan.right && v >= scan.top && v < scan.bottom;
                int ink = on_paper ? scan.print(u, v) : -1;
                bool speck = scan.dust && !on_paper &&
                             (Mix(uint32_t(x), uint32_t(y) + 7) % 97 == 0 || (x == 10 && y >= 4 && y < kH - 4));
                for (int b = 0; b < 3; b++)
                    total[b] += speck ? 200 : !on_paper ? scan.ground[b] : ink >= 0 ? ink : scan.paper[b];
            }
            int grain = int(Mix(uint32_t(x), uint32_t(y)) % 7) - 3;
            for (int b = 0; b < 3; b++)
                image->pixels[(size_t(y) * kW + x) * 3 + b] = uint8_t(std::min(255, std::max(0, total[b] / 4 + grain)));
        }
    return image;
}

#define GREY {28, 28, 28}, {238, 238, 238}
#define COLOUR {60, 30, 25}, {200, 228, 240}
const Scan kScans[] = {
    {"grey, 2 degrees", 2.0, 24, 24, kW - 24, kH - 24, GREY, Lines},
    {"colour, 7 degrees", 7.0, 24, 24, kW - 24, kH - 24, COLOUR, Lines},
    {"colour, -0.4 degrees", -0.4, 24, 24, kW - 24, kH - 24, COLOUR, Lines},
    {"frame and dark photo", 3.0, 20, 20, kW - 20, kH - 20, {20, 20, 20}, {235, 235, 235}, FrameAndPhoto},
    {"paper past the top and left", 4.0, -30, -30, kW - 24, kH - 24, GREY, Lines},
    {"ground lighter than paper", -2.0, 24, 24, kW - 24, kH - 24, {250, 250, 250}, {170, 170, 170}, Lines},
    {"shadow along the edge", 2.5, 24, 24, kW - 24, kH - 24, GREY, ShadowedEdge},
    {"dust on the ground", -3.0, 24, 24, kW - 24, kH - 24, GREY, Lines, true},
    // No border: a scan of the ground only, and paper where the ground is sampled.
    {"ground only", 0.0, 0, 0, 0, 0, GREY, Lines, false, 1},
    {"ground sampled on the paper", 2.0, 24, -40, kW + 40, kH + 40, GREY, Lines, false, 1},
};

TEST_F(BordersTest, NoGroundLeftAndThePrintKept)
{
    for (const Scan& scan : kScans) {
        BITMAP* page = DrawScan(scan);
        uint8_t ground[3];
        GetBackgroundColour(page, ground, g_params);
        BITMAP mask;
        int reaches_middle = -1;
        EXPECT_EQ(1, TraceScannerGround(page, ground, kWhite, g_params, &mask, &reaches_middle));
        EXPECT_EQ(scan.reaches_middle, reaches_middle) << scan.what;
        BITMAP* plain = TurnedCopy(page, scan.angle, kWhite);
        BITMAP* cleaned = TurnedCopy(page, scan.angle, kWhite);
        PaintScannerGround(cleaned, &mask, 1, scan.angle, kWhite);
        int dark_left = 0, print_changed = 0, ground_before = 0;
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++) {
                const uint8_t *was = plain->pixels + (size_t(y) * kW + x) * 3, *is = cleaned->pixels + (was - plain->pixels);
                // At least a pixel outside the paper; within the scan and kEdgeBand inside the paper's edge.
                bool outside = x + 1 < scan.left || x > scan.right || y + 1 < scan.top || y > scan.bottom;
                bool deep = x >= std::max(scan.left, 0) + kEdgeBand && x < std::min(scan.right, kW) - kEdgeBand &&
                            y >= std::max(scan.top, 0) + kEdgeBand && y < std::min(scan.bottom, kH) - kEdgeBand;
                ground_before += outside && std::memcmp(was, kWhite, 3) != 0;
                // No dark ground may remain (a black-and-white save cuts at 127); a light one must be gone too.
                dark_left += scan.ground[0] >= 128 ? outside && std::memcmp(is, kWhite, 3) != 0
                                                   : !deep && (is[0] + is[1] + is[2]) / 3 <= 127;
                // Ground reaching the middle is no border: nothing is painted at all.
                print_changed += (deep || scan.reaches_middle) && std::memcmp(was, is, 3) != 0;
            }
        // The turn alone leaves ground, and the paint takes it all.
        EXPECT_TRUE(scan.reaches_middle || (ground_before > 100 && dark_left == 0)) << scan.what << ": " << ground_before << ", " << dark_left;
        EXPECT_EQ(0, print_changed) << scan.what;
        BITMAP_Free(&mask);
        FreeHeap(&page);
        FreeHeap(&plain);
        FreeHeap(&cleaned);
    }
}

// Pages too small for a middle, without rows or columns, and a test that
// finds nothing like the ground: no read outside them, no paint.
TEST_F(BordersTest, TinyAndEmptyPages)
{
    const uint8_t ground[3] = {10, 10, 10};  // cases: width, height, DETECT_DIFF, whether the ground reaches the middle
    const int kCases[][4] = {{0, 0, 25, 0}, {0, 5, 25, 0}, {7, 0, 25, 0}, {1, 1, 25, 1}, {2, 3, 25, 1}, {9, 4, 0, 0}};
    for (auto [w, h, detect_diff, middle] : kCases) {
        BITMAP page, mask;
        ASSERT_EQ(1, BITMAP_Create(&page, w, h, PIXEL_BGR));
        std::memset(page.pixels, 10, size_t(w) * h * 3);
        g_params.DETECT_DIFF = detect_diff;
        int reaches_middle = -1;
        ASSERT_EQ(1, TraceScannerGround(&page, ground, kWhite, g_params, &mask, &reaches_middle));
        EXPECT_EQ(middle, reaches_middle) << w << " x " << h;
        PaintScannerGround(&page, &mask, 1, 30.0, kWhite);
        for (size_t i = 0; i < size_t(w) * h * 3; i++) ASSERT_EQ(10, page.pixels[i]);
        BITMAP_Free(&mask);
        BITMAP_Free(&page);
    }
}

// The painter's widened mask against a plain reading of the turn's sixteen taps, on odd
// sizes, masks from sparse to dense, and angles that send points off every side.
TEST(BordersPaint, EveryPixelThatReadGroundAndNoOther)
{
    const uint8_t fill[3] = {1, 2, 3};
    for (auto [w, h] : {std::pair{1u, 1u}, {1u, 7u}, {6u, 1u}, {5u, 3u}, {37u, 23u}, {64u, 90u}})
        for (uint32_t density : {1u, 9u, 60u})
            for (double angle : {0.0, 1.3, -7.0, 33.0, -90.0, 181.0}) {
                BITMAP mask, page;
                ASSERT_EQ(1, BITMAP_Create(&mask, w, h, PIXEL_GREY));
                ASSERT_EQ(1, BITMAP_Create(&page, w, h, PIXEL_BGR));
                for (size_t i = 0; i < size_t(w) * h; i++) mask.pixels[i] = Mix(uint32_t(i), density) % 100 < density;
                std::memset(page.pixels, 200, size_t(w) * h * 3);
                ASSERT_EQ(1, PaintScannerGround(&page, &mask, 1, angle, fill));
                RotationWalk walk = StartRotation(w, h, angle);
                double x0 = walk.x0, y0 = walk.y0;
                for (unsigned i = 0; i < h; i++, x0 = x0 + walk.s, y0 = y0 + walk.c) {
                    double x = x0, y = y0;
                    for (unsigned j = 0; j < w; j++, x = x + walk.c, y = y - walk.s) {
                        bool read = false;
                        int64_t ix = int64_t(std::floor(x)), iy = int64_t(std::floor(y));
                        for (int64_t r = iy - 1; r <= iy + 2; r++)
                            for (int64_t c = ix - 1; c <= ix + 2; c++)
                                read = read || (c >= 0 && c < w && r >= 0 && r < h && mask.pixels[size_t(r) * w + size_t(c)]);
                        ASSERT_EQ(read ? 1 : 200, page.pixels[(size_t(i) * w + j) * 3])
                            << w << " x " << h << ", density " << density << ", angle " << angle << ", pixel " << j << ", " << i;
                    }
                }
                BITMAP_Free(&mask);
                BITMAP_Free(&page);
            }
}

}  // namespace
