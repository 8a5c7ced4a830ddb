#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "stages/rotation.h"
#include "tests/stages/stage_fixture.h"
#include "tests/support/test_support.h"

using testing_support::Random;
using testing_support::TestImage;

namespace {

const uint8_t kGrey[3] = {128, 128, 128};

void FillRandom(TestImage& image, uint64_t seed)
{
    Random random(seed);
    for (size_t i = 0; i < image.Size(); i++) image.bitmap.pixels[i] = uint8_t(random.Below(256));
}

// One-row image of three-byte pixels with equal bytes.
void SetGreyRow(TestImage& image, const std::vector<uint8_t>& values)
{
    for (unsigned x = 0; x < values.size(); x++) std::memset(image.At(x, 0), values[x], 3);
}

uint8_t SampleGrey(const TestImage& image, double x, double y)
{
    uint8_t out[3];
    SampleBicubic(&image.bitmap, x, y, kGrey, out);
    EXPECT_TRUE(out[0] == out[1] && out[1] == out[2]);
    return out[0];
}

}  // namespace

class RotationTest : public StageTest {};

TEST_F(RotationTest, PixelCentresResampleExactly)
{
    TestImage image(6, 5, PIXEL_BGR);
    FillRandom(image, 11);
    for (unsigned y = 0; y < 5; y++) {
        for (unsigned x = 0; x < 6; x++) {
            uint8_t out[3];
            SampleBicubic(&image.bitmap, x + 0.5, y + 0.5, kGrey, out);
            EXPECT_EQ(0, std::memcmp(out, image.At(x, y), 3)) << x << "," << y;
        }
    }
}

TEST_F(RotationTest, CornerPointsUseNormalisedWeights)
{
    // At (2, 2) the taps are columns and rows 1 to 4 with the weights
    // 0.5625, 0.5625, -0.0625, 0, each direction divided by 1.0625.
    TestImage image(4, 4, PIXEL_BGR);
    for (unsigned y = 0; y < 4; y++)
        for (unsigned x = 0; x < 4; x++) std::memset(image.At(x, y), 100, 3);
    EXPECT_EQ(100, SampleGrey(image, 2.0, 2.0));  // weights sum to one after normalising
    std::memset(image.At(1, 1), 200, 3);
    EXPECT_EQ(128, SampleGrey(image, 2.0, 2.0));  // 100 + 100 x 0.5625^2 / 1.0625^2 = 128.03
    std::memset(image.At(1, 1), 100, 3);
    std::memset(image.At(3, 2), 200, 3);
    EXPECT_EQ(97, SampleGrey(image, 2.0, 2.0));  // 100 - 100 x 0.0625 x 0.5625 / 1.0625^2 = 96.89
}

TEST_F(RotationTest, OvershootIsClamped)
{
    TestImage rising(6, 1, PIXEL_BGR), falling(6, 1, PIXEL_BGR);
    SetGreyRow(rising, {0, 0, 0, 255, 255, 255});
    SetGreyRow(falling, {255, 255, 255, 0, 0, 0});
    EXPECT_EQ(0, SampleGrey(rising, 2.0, 0.5));     // -0.0625 x 255 / 1.0625 = -15
    EXPECT_EQ(255, SampleGrey(falling, 2.0, 0.5));  // 1.125 x 255 / 1.0625 = 270
}

TEST_F(RotationTest, HalvesRoundDown)
{
    // At x = 1.75 the column weights are -9, 111, 29 and -3 in 128ths: 16320 / 128 = 127.5.
    TestImage image(4, 1, PIXEL_BGR);
    SetGreyRow(image, {127, 127, 129, 125});
    EXPECT_EQ(127, SampleGrey(image, 1.75, 0.5));
    SetGreyRow(image, {127, 127, 129, 126});  // 127.4765625
    EXPECT_EQ(127, SampleGrey(image, 1.75, 0.5));
    SetGreyRow(image, {126, 127, 129, 125});  // 127.5703125
    EXPECT_EQ(128, SampleGrey(image, 1.75, 0.5));
}

TEST_F(RotationTest, FarPointsGiveTheBackgroundColour)
{
    TestImage image(5, 5, PIXEL_BGR);
    FillRandom(image, 5);
    const uint8_t colour[3] = {17, 99, 250};
    const double points[][2] = {{-2.5, 2.5}, {-1.5, 2.5}, {7.0, 1.0}, {2.5, -40.0}, {1e9, -1e9}};
    for (const auto& p : points) {
        uint8_t out[3];
        SampleBicubic(&image.bitmap, p[0], p[1], colour, out);
        EXPECT_EQ(0, std::memcmp(out, colour, 3)) << p[0] << "," << p[1];
    }
}

TEST_F(RotationTest, TurnByZeroKeepsEveryPixel)
{
    for (unsigned size : {1u, 2u, 37u}) {
        TestImage image(size, size + 6, PIXEL_BGR);
        FillRandom(image, size);
        BITMAP* slot = HeapCopy(image.bitmap);
        ASSERT_EQ(1, RotatePage(&slot, 0.0, kGrey));
        EXPECT_EQ(0, std::memcmp(slot->pixels, image.bitmap.pixels, image.Size())) << size;
        FreeHeap(&slot);
    }
}
