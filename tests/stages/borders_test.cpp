// The scanner's ground around a turned page: scans drawn on a dark ground at
// known angles, traced, turned back by the same angle with a white fill and
// painted.  Turned back, the paper lies where it was drawn, so the tests
// know which pixels are paper: nothing dark may be left outside it, and
// the print on it, well inside its edge, must come out exactly as the turn
// alone makes it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "stages/background.h"
#include "stages/borders.h"
#include "stages/rotation.h"
#include "tests/stages/drawn_page.h"
#include "tests/stages/stage_fixture.h"

namespace {

constexpr int kW = 240, kH = 320;
// Paper pixels this far inside the paper's edge keep their bytes: the
// shade taken with the ground and the turn's 4 x 4 reach stay within it.
constexpr int kEdgeBand = 7;

// Ink grey printed at paper point (u, v), or -1 for bare paper.
using Print = std::function<int(double u, double v)>;

int Lines(double u, double v)
{
    if (u < 40 || u >= kW - 40 || v < 40 || v >= kH - 40) return -1;
    return int(v) % 16 < 5 && Mix(uint32_t(u) / 23, uint32_t(v) / 16) % 5 != 0 ? 20 : -1;
}

// A black frame 10 pixels inside the paper and a dark photograph in it.
int FrameAndPhoto(double u, double v)
{
    bool in_frame = u >= 30 && u < kW - 30 && v >= 30 && v < kH - 30;
    bool in_hole = u >= 33 && u < kW - 33 && v >= 33 && v < kH - 33;
    if (in_frame && !in_hole) return 5;
    if (u >= 50 && u < 150 && v >= 60 && v < 200) return 15 + int(u + v) % 12;
    return Lines(u, v);
}

// A shadow along the paper's edge, three pixels wide, as a scanner's lamp
// casts it; the paper spans 24 to the size less 24.
int ShadowedEdge(double u, double v)
{
    if (u < 27 || u >= kW - 27 || v < 27 || v >= kH - 27) return 80;
    return Lines(u, v);
}

struct Scan {
    const char* what;
    double angle;             // degrees, positive: lines rise to the right
    int left, top, right, bottom;  // the paper in paper coordinates (may pass the scan's edges)
    uint8_t ground[3], paper[3];
    Print print;
    bool dust = false;  // light specks and a hair on the ground, which stop runs from the edge
};

// Two samples a side, as a scanner's edges blur, and a little grain.
BITMAP* DrawScan(const Scan& scan)
{
    BITMAP* image = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    EXPECT_EQ(1, BITMAP_Create(image, kW, kH, PIXEL_BGR));
    double c = std::cos(scan.angle * M_PI / 180.0), s = std::sin(scan.angle * M_PI / 180.0);
    for (int y = 0; y < kH; y++) {
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
            uint8_t* p = image->pixels + (size_t(y) * kW + x) * 3;
            for (int b = 0; b < 3; b++) p[b] = uint8_t(std::min(255, std::max(0, total[b] / 4 + grain)));
        }
    }
    return image;
}

int Grey(const uint8_t* p) { return (p[0] + p[1] + p[2]) / 3; }

class BordersTest : public StageTest {
protected:
    const uint8_t kWhite[3] = {255, 255, 255};

    // The scan turned back by its angle with a white fill, without and with
    // the ground painted; returns whether the ground reached the middle.
    int TurnBack(const Scan& scan, BITMAP** plain, BITMAP** cleaned)
    {
        BITMAP* page = DrawScan(scan);
        uint8_t ground[3];
        GetBackgroundColour(page, ground, g_params);
        BITMAP mask;
        int reaches_middle = 0;
        EXPECT_EQ(1, TraceScannerGround(page, ground, kWhite, g_params, &mask, &reaches_middle));
        *plain = TurnedCopy(page, scan.angle, kWhite);
        *cleaned = TurnedCopy(page, scan.angle, kWhite);
        PaintScannerGround(*cleaned, &mask, 1, scan.angle, kWhite);
        BITMAP_Free(&mask);
        FreeHeap(&page);
        return reaches_middle;
    }
};

// Inside the scan and kEdgeBand pixels inside the paper's edge, or (with
// outside) at least one pixel outside the paper.
bool Deep(const Scan& scan, int x, int y)
{
    return x >= std::max(scan.left, 0) + kEdgeBand && x < std::min(scan.right, kW) - kEdgeBand &&
           y >= std::max(scan.top, 0) + kEdgeBand && y < std::min(scan.bottom, kH) - kEdgeBand;
}
bool Outside(const Scan& scan, int x, int y)
{
    return x + 1 < scan.left || x > scan.right || y + 1 < scan.top || y > scan.bottom;
}

const Scan kScans[] = {
    {"grey, 2 degrees", 2.0, 24, 24, kW - 24, kH - 24, {28, 28, 28}, {238, 238, 238}, Lines},
    {"grey, -3.5 degrees", -3.5, 24, 24, kW - 24, kH - 24, {28, 28, 28}, {238, 238, 238}, Lines},
    {"colour, 7 degrees", 7.0, 24, 24, kW - 24, kH - 24, {60, 30, 25}, {200, 228, 240}, Lines},
    {"colour, -0.4 degrees", -0.4, 24, 24, kW - 24, kH - 24, {60, 30, 25}, {200, 228, 240}, Lines},
    {"frame and dark photo", 3.0, 20, 20, kW - 20, kH - 20, {20, 20, 20}, {235, 235, 235}, FrameAndPhoto},
    {"paper past the top and left", 4.0, -30, -30, kW - 24, kH - 24, {28, 28, 28}, {238, 238, 238}, Lines},
    {"ground lighter than paper", -2.0, 24, 24, kW - 24, kH - 24, {250, 250, 250}, {170, 170, 170}, Lines},
    {"shadow along the edge", 2.5, 24, 24, kW - 24, kH - 24, {28, 28, 28}, {238, 238, 238}, ShadowedEdge},
    {"dust on the ground", -3.0, 24, 24, kW - 24, kH - 24, {28, 28, 28}, {238, 238, 238}, Lines, true},
};

TEST_F(BordersTest, NoGroundLeftAndThePrintKept)
{
    for (const Scan& scan : kScans) {
        BITMAP *plain, *cleaned;
        EXPECT_EQ(0, TurnBack(scan, &plain, &cleaned)) << scan.what;
        bool light_ground = scan.ground[0] >= 128;
        int dark_left = 0, print_changed = 0, ground_before = 0;
        for (int y = 0; y < kH; y++) {
            for (int x = 0; x < kW; x++) {
                size_t i = (size_t(y) * kW + x) * 3;
                bool outside = Outside(scan, x, y);
                ground_before += outside && std::memcmp(plain->pixels + i, kWhite, 3) != 0;
                // No dark ground may remain (a black-and-white save cuts at
                // 127); a light one must be gone too.
                if (light_ground)
                    dark_left += outside && std::memcmp(cleaned->pixels + i, kWhite, 3) != 0;
                else
                    dark_left += !Deep(scan, x, y) && Grey(cleaned->pixels + i) <= 127;
                if (Deep(scan, x, y)) print_changed += std::memcmp(plain->pixels + i, cleaned->pixels + i, 3) != 0;
            }
        }
        EXPECT_GT(ground_before, 100) << scan.what << ": the turn alone leaves ground";
        EXPECT_EQ(0, dark_left) << scan.what;
        EXPECT_EQ(0, print_changed) << scan.what;
        FreeHeap(&plain);
        FreeHeap(&cleaned);
    }
}

// What is no border is left alone: a scan of the ground only, and a paper
// that fills the right side where the ground is sampled.
TEST_F(BordersTest, GroundThatReachesTheMiddleIsLeftAlone)
{
    const Scan kNoBorders[] = {
        {"ground only", 0.0, 0, 0, 0, 0, {28, 28, 28}, {238, 238, 238}, Lines},
        {"ground sampled on the paper", 2.0, 24, -40, kW + 40, kH + 40, {28, 28, 28}, {238, 238, 238}, Lines},
    };
    for (const Scan& scan : kNoBorders) {
        BITMAP *plain, *cleaned;
        EXPECT_EQ(1, TurnBack(scan, &plain, &cleaned)) << scan.what;
        EXPECT_EQ(0, std::memcmp(plain->pixels, cleaned->pixels, size_t(kW) * kH * 3)) << scan.what;
        FreeHeap(&plain);
        FreeHeap(&cleaned);
    }
}

// Pages too small for a middle, without rows or columns, and a test that
// finds nothing like the ground: no read outside them, no paint.
TEST_F(BordersTest, TinyAndEmptyPages)
{
    const uint8_t ground[3] = {10, 10, 10};
    struct Case {
        unsigned width, height;
        int32_t detect_diff;
        int reaches_middle;
    } const kCases[] = {{0, 0, 25, 0}, {0, 5, 25, 0}, {7, 0, 25, 0}, {1, 1, 25, 1}, {2, 3, 25, 1}, {9, 4, 0, 0}};
    for (const Case& c : kCases) {
        BITMAP page;
        ASSERT_EQ(1, BITMAP_Create(&page, c.width, c.height, PIXEL_BGR));
        std::memset(page.pixels, 10, size_t(c.width) * c.height * 3);
        g_params.DETECT_DIFF = c.detect_diff;
        BITMAP mask;
        int reaches_middle = -1;
        ASSERT_EQ(1, TraceScannerGround(&page, ground, kWhite, g_params, &mask, &reaches_middle));
        EXPECT_EQ(c.reaches_middle, reaches_middle) << c.width << " x " << c.height;
        PaintScannerGround(&page, &mask, 1, 30.0, kWhite);
        for (size_t i = 0; i < size_t(c.width) * c.height * 3; i++) ASSERT_EQ(10, page.pixels[i]);
        BITMAP_Free(&mask);
        BITMAP_Free(&page);
    }
}

// The painter's widened mask against the plain reading of the sixteen
// taps at each point of the turn's walk, on odd sizes, masks from sparse to
// dense, and angles that send points off every side.
TEST(BordersPaint, EveryPixelThatReadGroundAndNoOther)
{
    const uint8_t fill[3] = {1, 2, 3};
    struct Size {
        unsigned width, height;
    } const kSizes[] = {{1, 1}, {1, 7}, {6, 1}, {5, 3}, {37, 23}, {64, 90}};
    for (const Size& size : kSizes) {
        for (uint32_t density : {1u, 9u, 60u}) {
            for (double angle : {0.0, 1.3, -7.0, 33.0, -90.0, 181.0}) {
                BITMAP mask, page;
                ASSERT_EQ(1, BITMAP_Create(&mask, size.width, size.height, PIXEL_GREY));
                ASSERT_EQ(1, BITMAP_Create(&page, size.width, size.height, PIXEL_BGR));
                size_t count = size_t(size.width) * size.height;
                for (size_t i = 0; i < count; i++) mask.pixels[i] = Mix(uint32_t(i), density) % 100 < density;
                std::memset(page.pixels, 200, count * 3);
                ASSERT_EQ(1, PaintScannerGround(&page, &mask, 1, angle, fill));
                RotationWalk walk = StartRotation(size.width, size.height, angle);
                double x0 = walk.x0, y0 = walk.y0;
                for (unsigned i = 0; i < size.height; i++, x0 = x0 + walk.s, y0 = y0 + walk.c) {
                    double x = x0, y = y0;
                    for (unsigned j = 0; j < size.width; j++, x = x + walk.c, y = y - walk.s) {
                        bool read = false;
                        int64_t ix = int64_t(std::floor(x)), iy = int64_t(std::floor(y));
                        for (int64_t r = iy - 1; r <= iy + 2; r++)
                            for (int64_t c = ix - 1; c <= ix + 2; c++)
                                read = read || (c >= 0 && c < size.width && r >= 0 && r < size.height &&
                                                mask.pixels[size_t(r) * size.width + size_t(c)]);
                        ASSERT_EQ(read ? 1 : 200, page.pixels[(size_t(i) * size.width + j) * 3])
                            << size.width << " x " << size.height << ", density " << density << ", angle " << angle
                            << ", pixel " << j << ", " << i;
                    }
                }
                BITMAP_Free(&mask);
                BITMAP_Free(&page);
            }
        }
    }
}

}  // namespace
