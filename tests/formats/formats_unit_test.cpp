// The small pieces of the formats layer whose faults the whole-run tests
// would hide: EXIF blocks that lie about their offsets, resolutions kept
// exactly, the 1-bit packing of both polarities, page-tagged names, the
// output format's names and extensions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "batch/pipeline.h"
#include "formats/exif.h"
#include "formats/writers.h"
#include "tests/support/test_support.h"
#include "tiff/tiff.h"

namespace {

// A little-endian EXIF block: "Exif\0\0", TIFF header, one directory.
std::vector<uint8_t> ExifBlock(uint16_t orientation, uint32_t x_num, uint32_t x_den, uint32_t ifd_offset = 8)
{
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
    auto u16 = [&](uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    u32(ifd_offset);
    u16(3);
    u16(0x0112), u16(3), u32(1), u16(orientation), u16(0);
    u16(0x011A), u16(5), u32(1), u32(8 + 2 + 3 * 12 + 4);  // the rational after the directory
    u16(0x0128), u16(3), u32(1), u16(2), u16(0);
    u32(0);
    u32(x_num), u32(x_den);
    return b;
}

TEST(Exif, ReadsWhatIsThereAndNothingPastTheBlock)
{
    struct Case { const char* what; std::vector<uint8_t> block; size_t keep; unsigned orientation; double x_dpi; };
    std::vector<Case> cases = {  // keep: bytes of the block given, 0 for all
        {"whole", ExifBlock(6, 300, 1), 0, 6, 300.0},
        {"rational as a fraction", ExifBlock(1, 1200, 4), 0, 1, 300.0},
        {"zero denominator", ExifBlock(3, 300, 0), 0, 3, 0.0},
        {"rational cut off", ExifBlock(8, 300, 1), 6 + 8 + 2 + 3 * 12 + 4 + 4, 8, 0.0},
        {"orientation out of range", ExifBlock(9, 300, 1), 0, 1, 300.0},
        {"directory past the end", ExifBlock(6, 300, 1, 0xFFFFFFF0u), 0, 1, 0.0},
        {"directory count cut off", ExifBlock(6, 300, 1), 6 + 8 + 1, 1, 0.0},
    };
    for (const Case& c : cases) {
        ExifFacts facts;
        EXPECT_EQ(ParseExif(c.block.data(), c.keep != 0 ? c.keep : c.block.size(), &facts), 1) << c.what;
        EXPECT_TRUE(facts.orientation == c.orientation && facts.x_dpi == c.x_dpi)
            << c.what << ": " << facts.orientation << ", " << facts.x_dpi;
    }
    ExifFacts facts;
    const uint8_t jfif[] = "JFIF\0\0II*\0\0\0\0\0";
    EXPECT_EQ(ParseExif(jfif, sizeof jfif, &facts), 0);
}

TEST(Resolution, UnitsAndImplausibleValues)
{
    EXPECT_DOUBLE_EQ(DotsPerInch(300.0, 2), 300.0);
    EXPECT_DOUBLE_EQ(DotsPerInch(118.11, 3), 118.11 * 2.54);
    EXPECT_DOUBLE_EQ(DotsPerInch(300.0, 1), 0.0);  // no unit: an aspect ratio only
    EXPECT_DOUBLE_EQ(DotsPerInch(1.0, 2), 0.0);    // 72-dpi-style filler below 10
    EXPECT_DOUBLE_EQ(DotsPerInch(1e9, 2), 0.0);
}

// The uncompressed 1-bit TIFF keeps the scan's resolution, 300 for none,
// and a PNG's dots per metre come back to the same dots per metre.
TEST(Resolution, BlackAndWhiteTiffStoresItExactly)
{
    testing_support::ScratchDir dir;
    testing_support::TestImage image(9, 3, PIXEL_GREY);
    std::memset(image.bitmap.pixels, 200, 27);
    struct Case { double dpi; uint32_t numerator, denominator; } cases[] = {
        {0.0, 300, 1}, {200.0, 200, 1}, {11811 * 0.0254, 11811 * 254 / 2, 10000 / 2}};
    for (const Case& c : cases) {
        std::string path = dir / "r.tif";
        ASSERT_EQ(SaveTIFFAt(path.c_str(), &image.bitmap, c.dpi, c.dpi), 1);
        std::string bytes = testing_support::ReadFileBytes(path);
        uint32_t at182[2];  // the XResolution rational
        std::memcpy(at182, bytes.data() + 182, 8);
        EXPECT_TRUE(at182[0] == c.numerator && at182[1] == c.denominator)
            << c.dpi << ": " << at182[0] << "/" << at182[1];
    }
}

TEST(Bilevel, PacksBothPolaritiesWithClearPadding)
{
    const uint8_t grey[11] = {0, 255, 128, 127, 0, 0, 0, 0, 255, 200, 3};
    uint8_t bits[2];
    PackBilevelRow(grey, 11, 1, bits);  // above 127 is 1: 0110 0000, 110 and padding 0
    EXPECT_TRUE(bits[0] == 0x60 && bits[1] == 0xC0) << std::hex << int(bits[0]) << " " << int(bits[1]);
    PackBilevelRow(grey, 11, 0, bits);  // 1001 1111, 001 and padding still 0
    EXPECT_TRUE(bits[0] == 0x9F && bits[1] == 0x20) << std::hex << int(bits[0]) << " " << int(bits[1]);
}

TEST(OutputNames, FormatsExtensionsAndPageTags)
{
    struct Case { const char* value; int valid; const char *extension, *extension_bilevel; } cases[] = {
        {"TGA", 1, ".tga", ".tif"}, {"png", 1, ".png", ".png"}, {"Jpeg", 1, ".jpg", ".jpg"}, {"JPG", 1, ".jpg", ".jpg"},
        {"tiff", 1, ".tif", ".tif"}, {"GIF", 0, "", ""}, {"", 0, "", ""}, {"PNG ", 0, "", ""}};
    for (const Case& c : cases) {
        OutputFormat format = OUTPUT_TGA;
        ASSERT_EQ(ParseOutputFormat(c.value, &format), c.valid) << c.value;
        if (!c.valid) continue;
        EXPECT_STREQ(OutputExtension(format, 0), c.extension) << c.value;
        EXPECT_STREQ(OutputExtension(format, 1), c.extension_bilevel) << c.value;
    }
    struct Name { const char* image; uint32_t page; const char* tagged; } names[] = {
        {"scan.tif", 1, "scan_p2.tif"}, {"a.b/scan", 0, "a.b/scan_p1"}, {"dir\\x.y.png", 9, "dir\\x.y_p10.png"}};
    char out[256];
    for (const Name& n : names) {
        ASSERT_EQ(PageTaggedName(n.image, n.page, out), 1);
        EXPECT_STREQ(out, n.tagged);
    }
    std::string long_name(251, 'a');
    testing::internal::CaptureStdout();
    EXPECT_EQ(PageTaggedName(long_name.c_str(), 99, out), 0);
    std::fflush(stdout);
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("trop long"), std::string::npos) << said;
}

}  // namespace
