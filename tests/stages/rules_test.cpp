// What a turn by 0, a crop and the blur's colour limit must do to a page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "stages/background.h"
#include "stages/blur.h"
#include "stages/rotation.h"
#include "tests/stages/stage_fixture.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

using RuleTest = StageTest;

std::string Pixels(const BITMAP* image)
{
    return std::string(reinterpret_cast<const char*>(image->pixels), BITMAP_ByteSize(image->width, image->height, image->type));
}

}  // namespace

// Pixel centres fall on whole taps of the cubic kernel, so a turn by 0 must
// give every byte back (the plain routine matches the fast one byte for byte).
TEST_F(RuleTest, TurnByZeroLeavesThePageUnchanged)
{
    Random random(11);
    const uint8_t colour[3] = {9, 99, 199};
    for (auto [w, h] : {std::pair{1u, 1u}, {2u, 7u}, {13u, 1u}, {33u, 20u}, {64u, 65u}}) {
        TestImage page(w, h, PIXEL_BGR);
        for (size_t i = 0; i < page.Size(); i++) page.bitmap.pixels[i] = uint8_t(random.Below(256));
        BITMAP* slot = HeapCopy(page.bitmap);
        ASSERT_EQ(1, RotatePage(&slot, 0.0, colour));
        EXPECT_EQ(Pixels(&page.bitmap), Pixels(slot)) << w << " x " << h;
        FreeHeap(&slot);
    }
}

// A page of the background colour with a block of varied ink: the crop of
// the four sides keeps exactly that block; of the default sides (bottom and
// right), the block and what lies above and left of it.
TEST_F(RuleTest, CropKeepsTheContentRectangle)
{
    const uint8_t ground[3] = {110, 110, 110};
    struct Block { unsigned left, top, width, height; };
    for (const Block& b : {Block{1, 1, 20, 20}, Block{30, 7, 41, 25}, Block{5, 40, 90, 21}, Block{0, 0, 60, 50}})
        for (uint8_t sides : {uint8_t(SIDE_TOP | SIDE_BOTTOM | SIDE_LEFT | SIDE_RIGHT), g_params.COTE_RECADRAGE}) {
            TestImage page(120, 90, PIXEL_BGR);
            for (unsigned i = 0; i < 120 * 90 * 3; i++) {
                unsigned x = i / 3 % 120, y = i / 360;
                bool ink = x >= b.left && x < b.left + b.width && y >= b.top && y < b.top + b.height;
                page.bitmap.pixels[i] = ink ? uint8_t(10 + (x * 7 + y * 3 + i % 3) % 40) : 110;
            }
            g_params.COTE_RECADRAGE = sides;
            BITMAP* slot = HeapCopy(page.bitmap);
            ASSERT_EQ(1, CropStage(&slot, ground, g_params));
            unsigned left = sides == 15 ? b.left : 0, top = sides == 15 ? b.top : 0;
            std::string what = std::to_string(b.left) + "," + std::to_string(b.top) + " " + std::to_string(sides);
            ASSERT_TRUE(slot->width == b.left + b.width - left && slot->height == b.top + b.height - top)
                << what << ": " << slot->width << " x " << slot->height;
            for (unsigned y = 0; y < slot->height; y++)
                ASSERT_EQ(0, std::memcmp(slot->pixels + y * slot->width * 3, page.At(left, top + y), slot->width * 3)) << what << " row " << y;
            FreeHeap(&slot);
        }
}

// Two pixels side by side mix only when their colour distance is below
// BLUR_LIMIT: at exactly the limit both stay as they are, on either path.
TEST_F(RuleTest, BlurMixesOnlyColoursCloserThanTheLimit)
{
    g_params.BLUR_LIMIT = 10;
    // Distances 10, 9; 10 (6, 8), 9.2 (6, 7); 10, 9 below.
    const struct { uint8_t other[3]; bool mixed; } cases[] = {{{110, 100, 100}, false}, {{109, 100, 100}, true},
        {{106, 108, 100}, false}, {{106, 107, 100}, true}, {{90, 100, 100}, false}, {{91, 100, 100}, true}};
    for (bool plain : {true, false})
        for (const auto& c : cases) {
            plain ? setenv("NIVELO_PLAIN", "1", 1) : unsetenv("NIVELO_PLAIN");
            TestImage page(2, 1, PIXEL_BGR);
            std::memset(page.At(0, 0), 100, 3);
            std::memcpy(page.At(1, 0), c.other, 3);
            BITMAP* slot = HeapCopy(page.bitmap);
            ASSERT_EQ(1, BlurStage(&slot, g_params));
            std::string what = std::to_string(c.other[0]) + "," + std::to_string(c.other[1]) + (plain ? " plain" : " fast");
            EXPECT_EQ(c.mixed, Pixels(slot) != Pixels(&page.bitmap)) << what;
            EXPECT_TRUE(!c.mixed || (slot->pixels[0] != 100 && slot->pixels[3] != c.other[0])) << what << ": each moves towards the other";
            FreeHeap(&slot);
        }
    unsetenv("NIVELO_PLAIN");
}
