#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/blit.h"
#include "core/support.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

std::string Bytes(const TestImage& img)
{
    return std::string(reinterpret_cast<const char*>(img.bitmap.pixels), img.Size());
}

}  // namespace

TEST(Support, FileFailuresReportOnceAndCloseTheStream)
{
    ScratchDir dir;
    std::string missing = dir / "missing.tga";
    testing::internal::CaptureStdout();
    EXPECT_EQ(OpenFile(missing.c_str(), "rb"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not open file " + missing + "\n");

    std::string ten = dir / "ten";
    WriteFileBytes(ten, "0123456789");
    FILE* f = OpenFile(ten.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buffer[18];
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReadBytes(&f, buffer, 18, ten.c_str()), 0);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(ReadBytes(&f, buffer, 1, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error reading file " + ten + "\nRead error\n");
    CloseFile(&f);  // does nothing after the failure
}

TEST(Blit, NoOverlapCopiesNothingAndIndexedTargetsAreRefused)
{
    // Partial overlaps are covered by the conversion-table test below.
    TestImage src(10, 10, PIXEL_GREY), dst(10, 10, PIXEL_GREY);
    std::memset(src.bitmap.pixels, 1, src.Size());
    // Nothing overlaps: no copy and, into an indexed image, no message either.
    TestImage indexed(10, 10, PIXEL_INDEXED);
    testing::internal::CaptureStdout();
    BITMAP_Blt(&src.bitmap, &dst.bitmap, 10, 0);
    BITMAP_Blt(&src.bitmap, &indexed.bitmap, 0, -10);
    BITMAP_Blt(&src.bitmap, &dst.bitmap, INT32_MAX, INT32_MIN);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Bytes(dst), std::string(100, '\0'));
    testing::internal::CaptureStdout();
    BITMAP_Blt(&src.bitmap, &indexed.bitmap, 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "BITMAP_Blt: format not supported\n");
}

TEST(Blit, ClearFollowsTheByteOrderOfEachType)
{
    TestImage bgr(2, 1, PIXEL_BGR), rgb(2, 1, PIXEL_RGB), grey(2, 1, PIXEL_GREY);
    EXPECT_EQ(BITMAP_Clr(&bgr.bitmap, 1, 2, 3), 1);
    EXPECT_EQ(BITMAP_Clr(&rgb.bitmap, 1, 2, 3), 1);
    EXPECT_EQ(BITMAP_Clr(&grey.bitmap, 1, 2, 3), 1);
    EXPECT_EQ(Bytes(bgr), std::string("\x03\x02\x01\x03\x02\x01", 6));
    EXPECT_EQ(Bytes(rgb), std::string("\x01\x02\x03\x01\x02\x03", 6));
    EXPECT_EQ(Bytes(grey), std::string("\x01\x01", 2));
    BITMAP empty;
    BITMAP_Init(&empty, 2, 2, PIXEL_GREY);
    testing::internal::CaptureStdout();
    EXPECT_EQ(BITMAP_Clr(&empty, 1, 2, 3), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "BITMAP_Clr: no memory for bitmap\n");
}

TEST(Blit, ConvertReplacesTheImageOrRefusesIndexed)
{
    BITMAP* image = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    ASSERT_EQ(BITMAP_Create(image, 2, 1, PIXEL_GREY), 1);
    image->pixels[0] = 7, image->pixels[1] = 200;
    BITMAP* before = image;
    EXPECT_EQ(BITMAP_Convert(&image, PIXEL_INDEXED), 0);
    EXPECT_EQ(image, before);
    ASSERT_EQ(BITMAP_Convert(&image, PIXEL_BGR), 1);
    EXPECT_EQ(image->type, PIXEL_BGR);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(image->pixels), 6), std::string("\x07\x07\x07\xC8\xC8\xC8", 6));
    BITMAP_Free(image);
    FreeMemory(&image);
    // Between RGB and BGR the bytes are swapped in place: the same as a blit.
    Random rng(3);
    BITMAP* rgb = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    ASSERT_EQ(BITMAP_Create(rgb, 5, 3, PIXEL_RGB), 1);
    for (int i = 0; i < 45; i++) rgb->pixels[i] = uint8_t(rng.Next());
    TestImage blitted(5, 3, PIXEL_BGR);
    BITMAP_Blt(rgb, &blitted.bitmap, 0, 0);
    ASSERT_EQ(BITMAP_Convert(&rgb, PIXEL_BGR), 1);
    EXPECT_EQ(rgb->type, PIXEL_BGR);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(rgb->pixels), 45), Bytes(blitted));
    BITMAP_Free(rgb);
    FreeMemory(&rgb);
}

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
