#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "stages/blur.h"
#include "tests/stages/stage_fixture.h"
#include "tests/support/test_support.h"

using testing_support::Random;

namespace {

BITMAP* MakeSlot(unsigned width, unsigned height, const std::vector<uint8_t>& bytes)
{
    BITMAP image = {uint16_t(width), uint16_t(height), PIXEL_BGR, nullptr, const_cast<uint8_t*>(bytes.data())};
    return HeapCopy(image);
}

std::vector<uint8_t> Bytes(const BITMAP* image)
{
    return std::vector<uint8_t>(image->pixels, image->pixels + size_t(image->width) * image->height * 3);
}

std::vector<uint8_t> Blurred(unsigned width, unsigned height, const std::vector<uint8_t>& bytes)
{
    BITMAP* slot = MakeSlot(width, height, bytes);
    EXPECT_EQ(1, BlurStage(&slot, g_params));
    std::vector<uint8_t> result = Bytes(slot);
    FreeHeap(&slot);
    return result;
}

std::vector<uint8_t> RandomBytes(size_t count, uint64_t seed)
{
    Random random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) b = uint8_t(random.Below(256));
    return bytes;
}

}  // namespace

class BlurTest : public StageTest {};

TEST_F(BlurTest, RadiusThreeTable)
{
    const int32_t expected[7][7] = {
        {0, 1, 6, 11, 6, 1, 0},           {1, 18, 84, 138, 84, 18, 1},     {6, 84, 376, 621, 376, 84, 6},
        {11, 138, 621, 1024, 621, 138, 11}, {6, 84, 376, 621, 376, 84, 6}, {1, 18, 84, 138, 84, 18, 1},
        {0, 1, 6, 11, 6, 1, 0},
    };
    int32_t* table = MakeBlurKernel(g_params);
    ASSERT_NE(nullptr, table);
    for (int row = 0; row < 7; row++)
        EXPECT_EQ(0, std::memcmp(expected[row], table + row * 7, sizeof expected[row])) << "dy = " << row - 3;
    FreeMemory(&table);
}

// The largest radius once asked for more memory than any machine has; on a
// page its weights all round to the centre's, so each pixel becomes the plain
// truncated mean of the pixels within the limit.
TEST_F(BlurTest, HugeRadiusAveragesThePage)
{
    std::vector<uint8_t> bytes = RandomBytes(7 * 5 * 3, 11);
    g_params.BLUR_RADIUS = 2147483647;
    g_params.BLUR_LIMIT = 1000;  // above any colour distance: every pixel counts
    unsigned sum[3] = {0, 0, 0};
    for (size_t i = 0; i < bytes.size(); i++) sum[i % 3] += bytes[i];
    std::vector<uint8_t> expected;
    for (int i = 0; i < 7 * 5; i++)
        for (unsigned b = 0; b < 3; b++) expected.push_back(uint8_t(sum[b] / 35));
    EXPECT_EQ(expected, Blurred(7, 5, bytes));
    g_params.BLUR_RADIUS = 100000;
    EXPECT_EQ(7u * 5 * 3, Blurred(7, 5, bytes).size());
}

TEST_F(BlurTest, PixelBeyondTheLimitKeepsItsValue)
{
    // A dark dot on paper: it differs from every neighbour by more than the
    // limit, so neither the dot nor the paper around it changes.
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 9 * 9; i++) bytes.insert(bytes.end(), {220, 225, 230});
    uint8_t* dot = &bytes[(4 * 9 + 4) * 3];
    dot[0] = 180, dot[1] = 190, dot[2] = 200;  // distance^2 = 1600 + 1225 + 900 = 3725 >= 2500
    EXPECT_EQ(bytes, Blurred(9, 9, bytes));
}

TEST_F(BlurTest, WindowIsClippedAtTheBorder)
{
    // R = 1 weights: 1024 centre, 11 beside, 0 diagonal.  The corner pixel
    // averages the three pixels inside only: 1024 x 255 / 1046 = 249.6.
    g_params.BLUR_RADIUS = 1;
    g_params.BLUR_LIMIT = 1000;
    std::vector<uint8_t> bytes(3 * 3 * 3, 0);
    bytes[0] = bytes[1] = bytes[2] = 255;
    std::vector<uint8_t> result = Blurred(3, 3, bytes);
    EXPECT_EQ(249, result[0]);
    EXPECT_EQ(249, result[2]);
    EXPECT_EQ(2, result[3]);  // its neighbour: 11 x 255 / (1024 + 3 x 11) = 2.65
}

TEST_F(BlurTest, NeighbourCountsOnlyBelowTheLimit)
{
    // Two pixels, R = 3, L = 30: the neighbour weighs 621 against 1024.
    g_params.BLUR_LIMIT = 30;
    std::vector<uint8_t> at_limit = {100, 100, 100, 130, 100, 100};  // d = 900 = L x L
    EXPECT_EQ(at_limit, Blurred(2, 1, at_limit));
    std::vector<uint8_t> below = {100, 100, 100, 129, 100, 100};  // d = 841
    std::vector<uint8_t> expected = {110, 100, 100, 118, 100, 100};  // 182509 / 1645, 194196 / 1645
    EXPECT_EQ(expected, Blurred(2, 1, below));
}

// No window, or no image: the pixels come back as they were, without a fault.
TEST_F(BlurTest, SettingsWithoutAWindowKeepTheImage)
{
    std::vector<uint8_t> bytes = RandomBytes(12 * 10 * 3, 3);
    g_params.BLUR_LIMIT = 0;  // nobody passes, not even the pixel itself
    EXPECT_EQ(bytes, Blurred(12, 10, bytes));
    g_params.BLUR_LIMIT = 50;
    for (int radius : {0, -4}) {
        g_params.BLUR_RADIUS = radius;
        EXPECT_EQ(bytes, Blurred(12, 10, bytes));
    }
    g_params.BLUR_RADIUS = 3;
    EXPECT_TRUE(Blurred(0, 5, {}).empty());
}
