#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/support.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

using namespace testing_support;

namespace {

// An 18-byte header followed by the given body.
std::string Tga(uint8_t image_type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor,
                const std::string& body, uint8_t map_type = 0, uint16_t map_length = 0,
                uint8_t map_bits = 0)
{
    std::string h(18, '\0');
    h[1] = char(map_type);
    h[2] = char(image_type);
    h[5] = char(map_length & 0xFF), h[6] = char(map_length >> 8);
    h[7] = char(map_bits);
    h[12] = char(width & 0xFF), h[13] = char(width >> 8);
    h[14] = char(height & 0xFF), h[15] = char(height >> 8);
    h[16] = char(depth);
    h[17] = char(descriptor);
    return h + body;
}

struct Loaded {
    int result;
    std::string output;
    BITMAP image;
};

Loaded LoadBytes(const ScratchDir& dir, const std::string& bytes)
{
    std::string path = dir / "in.tga";
    WriteFileBytes(path, bytes);
    Loaded l;
    testing::internal::CaptureStdout();
    l.result = LoadTGA(path.c_str(), &l.image);
    l.output = testing::internal::GetCapturedStdout();
    return l;
}

std::string Pixels(const BITMAP& b)
{
    return std::string(reinterpret_cast<const char*>(b.pixels), size_t(BITMAP_ByteSize(b.width, b.height, b.type)));
}

}  // namespace

TEST(TgaRoundTrip, EveryWritableTypeComesBackIdentical)
{
    ScratchDir dir;
    Random rng(1);
    for (unsigned type : {1u, 2u, 4u}) {
        TestImage img(5, 3, type);
        for (size_t i = 0; i < img.Size(); i++) img.bitmap.pixels[i] = uint8_t(rng.Next());
        if (type == 1)
            for (int i = 0; i < 768; i++) img.bitmap.palette[i] = uint8_t(rng.Next());
        std::string path = dir / "rt.tga";
        ASSERT_EQ(SaveTGA(path.c_str(), &img.bitmap), 1);
        uint64_t expected_size = 18 + (type == 1 ? 768 : 0) + img.Size();
        EXPECT_EQ(ReadFileBytes(path).size(), expected_size) << "type " << type;
        BITMAP back;
        ASSERT_EQ(LoadTGA(path.c_str(), &back), 1);
        EXPECT_EQ(back.type, type);
        EXPECT_EQ(back.width, 5);
        EXPECT_EQ(back.height, 3);
        EXPECT_EQ(Pixels(back), Pixels(img.bitmap));
        if (type == 1) EXPECT_EQ(0, std::memcmp(back.palette, img.bitmap.palette, 768));
        else EXPECT_EQ(back.palette, nullptr);
        BITMAP_Free(&back);
    }
}

TEST(TgaWrite, RefusalsWriteNoFile)
{
    ScratchDir dir;
    TestImage rgb(2, 2, PIXEL_RGB);
    TestImage empty(0, 3, PIXEL_GREY);
    std::string path = dir / "x.tga";
    testing::internal::CaptureStdout();
    EXPECT_EQ(SaveTGA(path.c_str(), &rgb.bitmap), 0);
    EXPECT_EQ(SaveTGA(path.c_str(), &empty.bitmap), 0);
    EXPECT_EQ(SaveTGA("", &rgb.bitmap), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, path + ": TGA save mode unsupported\n" + path +
                       ": trying to save image with height or width == 0\n"
                       "Error: trying to save image with no name\n");
    EXPECT_FALSE(FileExists(path));
}

TEST(TgaRead, BottomUpRowsAreTurnedOver)
{
    ScratchDir dir;
    // 2 x 2 colour, file rows bottom first: row 0 of the image is the last file row.
    std::string body = std::string("\x01\x01\x01\x02\x02\x02", 6) + std::string("\x03\x03\x03\x04\x04\x04", 6);
    Loaded l = LoadBytes(dir, Tga(2, 2, 2, 24, 0, body));
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(Pixels(l.image), std::string("\x03\x03\x03\x04\x04\x04\x01\x01\x01\x02\x02\x02", 12));
    BITMAP_Free(&l.image);
}

TEST(TgaRead, RunLengthPacketsCrossRowsAndFillExactly)
{
    ScratchDir dir;
    // 3 x 2 grey: a run of 4 (0x83) crosses the row end, then a raw packet of 2.
    Loaded l = LoadBytes(dir, Tga(11, 3, 2, 8, 0x20, std::string("\x83\x07\x01\x08\x09", 5)));
    ASSERT_EQ(l.result, 1) << l.output;
    EXPECT_EQ(Pixels(l.image), std::string("\x07\x07\x07\x07\x08\x09", 6));
    BITMAP_Free(&l.image);

    // 0x80 repeats once, 0xFF 128 times, 0x7F copies 128 pixels: 257 in all.
    std::string body = std::string("\x80\x05\xFF\x06\x7F", 5);
    for (int i = 0; i < 128; i++) body += char(i);
    l = LoadBytes(dir, Tga(11, 257, 1, 8, 0x20, body));
    ASSERT_EQ(l.result, 1) << l.output;
    std::string px = Pixels(l.image);
    EXPECT_EQ(px[0], 5);
    EXPECT_EQ(px.substr(1, 128), std::string(128, '\x06'));
    EXPECT_EQ(px[129], 0);
    EXPECT_EQ(px[256], 127);
    BITMAP_Free(&l.image);
}

TEST(TgaRead, ShortPaletteLeavesOtherEntriesBlack)
{
    ScratchDir dir;
    std::string map;
    for (int i = 0; i < 16; i++) map += std::string{char(i), char(i + 1), char(i + 2)};  // B, G, R
    Loaded l = LoadBytes(dir, Tga(1, 1, 1, 8, 0x20, map + "\x0F", 1, 16, 24));
    ASSERT_EQ(l.result, 1) << l.output;
    EXPECT_EQ(l.image.palette[3 * 15], 17);      // R from the file's third byte
    EXPECT_EQ(l.image.palette[3 * 15 + 2], 15);  // B from the first
    for (int i = 48; i < 768; i++) ASSERT_EQ(l.image.palette[i], 0) << i;
    BITMAP_Free(&l.image);
}

TEST(TgaRead, FilesWrittenByOtherToolsReadCorrectly)
{
    const int W = 7, H = 5;
    const struct {
        const char* file;
        unsigned type;
    } fixtures[] = {{"pil_grey.tga", PIXEL_GREY},          {"pil_grey_rle.tga", PIXEL_GREY},
                    {"pil_grey_topdown.tga", PIXEL_GREY},  {"pil_colour.tga", PIXEL_BGR},
                    {"pil_colour_rle_topdown.tga", PIXEL_BGR}, {"pil_palette.tga", PIXEL_INDEXED}};
    const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (const auto& f : fixtures) {
        BITMAP b;
        ASSERT_EQ(LoadTGA(SourcePath(std::string("tests/tga/fixtures/") + f.file).c_str(), &b), 1) << f.file;
        ASSERT_EQ(b.type, f.type) << f.file;
        ASSERT_EQ(b.width, W);
        ASSERT_EQ(b.height, H);
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                const uint8_t* p = b.pixels + (y * W + x) * (f.type == PIXEL_BGR ? 3 : 1);
                if (f.type == PIXEL_BGR) {
                    ASSERT_EQ(p[2], 40 * x) << f.file;
                    ASSERT_EQ(p[1], 50 * y) << f.file;
                    ASSERT_EQ(p[0], 20 * (x + y)) << f.file;
                } else {
                    int value = f.type == PIXEL_GREY ? (37 * x + 11 * y) % 256 : (x + 2 * y) % 4;
                    ASSERT_EQ(p[0], value) << f.file;
                }
            }
        if (f.type == PIXEL_INDEXED) {
            EXPECT_EQ(0, std::memcmp(b.palette, colours, 12));
        }
        BITMAP_Free(&b);
    }
}
