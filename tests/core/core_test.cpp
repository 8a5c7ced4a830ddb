// Blits between every pair of image types against the conversion table;
// the rest of the image core is pinned by the whole-run cases.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/blit.h"
#include "core/large_blocks.h"
#include "core/support.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

std::string Bytes(const TestImage& img)
{
    return std::string(reinterpret_cast<const char*>(img.bitmap.pixels), img.Size());
}

}  // namespace

// Every pair of types, at random positions, against the conversion table
// computed pixel by pixel here.
TEST(Blit, EveryTypePairMatchesTheConversionTable)
{
    Random rng(7);
    for (unsigned from : {1u, 2u, 3u, 4u})
        for (unsigned to : {2u, 3u, 4u})
            for (int round = 0; round < 20; round++) {
                unsigned w = 1 + rng.Below(40), h = 1 + rng.Below(5);
                TestImage src(w, h, from), dst(1 + rng.Below(40), 1 + rng.Below(5), to);
                for (size_t i = 0; i < src.Size(); i++) src.bitmap.pixels[i] = uint8_t(rng.Next());
                if (from == 1)
                    for (int i = 0; i < 768; i++) src.bitmap.palette[i] = uint8_t(rng.Next());
                for (size_t i = 0; i < dst.Size(); i++) dst.bitmap.pixels[i] = uint8_t(rng.Next());
                std::string before = Bytes(dst);
                int x = int(rng.Below(60)) - 30, y = int(rng.Below(8)) - 4;
                BITMAP_Blt(&src.bitmap, &dst.bitmap, x, y);
                unsigned dbpp = BITMAP_BytesPerPixel(to);
                for (unsigned dy = 0; dy < dst.bitmap.height; dy++)
                    for (unsigned dx = 0; dx < dst.bitmap.width; dx++) {
                        const uint8_t* got = dst.At(dx, dy);
                        int sx = int(dx) - x, sy = int(dy) - y;
                        uint8_t want[3];
                        if (sx < 0 || sy < 0 || sx >= int(w) || sy >= int(h)) {
                            std::memcpy(want, before.data() + (size_t(dy) * dst.bitmap.width + dx) * dbpp, dbpp);
                        } else {
                            const uint8_t* p = src.At(sx, sy);
                            uint8_t r, g, b;
                            if (from == 1) r = src.bitmap.palette[3 * p[0]], g = src.bitmap.palette[3 * p[0] + 1],
                                           b = src.bitmap.palette[3 * p[0] + 2];
                            else if (from == 2) r = g = b = p[0];
                            else if (from == 3) r = p[0], g = p[1], b = p[2];
                            else r = p[2], g = p[1], b = p[0];
                            if (to == 2) want[0] = from == 2 ? p[0] : uint8_t((r + g + b) / 3);
                            else if (to == 3) want[0] = r, want[1] = g, want[2] = b;
                            else want[0] = b, want[1] = g, want[2] = r;
                        }
                        ASSERT_EQ(0, std::memcmp(got, want, dbpp)) << from << "->" << to << " at " << dx << "," << dy;
                    }
            }
}

TEST(LargeBlocks, KeptForTheNextBlockTheyHoldAndGivenBackOtherwise)
{
    void* probe = AllocLargeBlock(kLargeBlockBytes);
    if (probe == nullptr) GTEST_SKIP() << "blocks stay in the heap here (address sanitizer)";
    std::memset(probe, 1, kLargeBlockBytes);  // every byte is there
    EXPECT_EQ(1, FreeLargeBlock(probe));
    EXPECT_EQ(0, FreeLargeBlock(probe));  // not twice
    // A smaller block reuses the kept mapping; a larger one does not.
    void* smaller = AllocLargeBlock(kLargeBlockBytes - 12345);
    EXPECT_EQ(probe, smaller);
    void* larger = AllocLargeBlock(3 * kLargeBlockBytes);
    ASSERT_NE(nullptr, larger);
    EXPECT_NE(smaller, larger);
    std::memset(larger, 2, 3 * kLargeBlockBytes);
    // Two alive at once are two blocks; heap blocks are not theirs to free.
    void* heap = std::malloc(16);
    EXPECT_EQ(0, FreeLargeBlock(heap));
    std::free(heap);
    EXPECT_EQ(1, FreeLargeBlock(smaller));
    EXPECT_EQ(1, FreeLargeBlock(larger));
    // Through AllocMemory and FreeMemory, as every page is made.
    uint8_t* page = static_cast<uint8_t*>(AllocMemory(size_t(26) << 20));
    ASSERT_NE(nullptr, page);
    page[(size_t(26) << 20) - 1] = 7;
    FreeMemory(&page);
    EXPECT_EQ(nullptr, page);
}

