// Black-and-white TIFF writer: exact bytes, strip layouts, refusals, and
// files read back by our reader and by libtiff's tiffinfo.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "tests/support/test_support.h"
#include "tiff/tiff.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::TestImage;


std::string Save(const BITMAP& image, const std::string& path, int* result)
{
    testing::internal::CaptureStdout();
    *result = SaveTIFF(path.c_str(), &image);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::string Hex(const std::string& bytes)
{
    std::string s;
    char b[4];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02X ", c);
        s += b;
    }
    return s;
}

TEST(Writer, OnePixelFileByteForByte)
{
    ScratchDir dir;
    TestImage image(1, 1, PIXEL_GREY);
    image.bitmap.pixels[0] = 128;
    int result = 0;
    EXPECT_EQ(Save(image.bitmap, dir / "a.tif", &result), "");
    ASSERT_EQ(result, 1);
    std::string f = ReadFileBytes(dir / "a.tif");
    const char* expected =
        "49 49 2A 00 08 00 00 00 0E 00 "
        "00 01 03 00 01 00 00 00 01 00 00 00 "  // ImageWidth 1
        "01 01 03 00 01 00 00 00 01 00 00 00 "  // ImageLength 1
        "02 01 03 00 01 00 00 00 01 00 00 00 "  // BitsPerSample 1
        "03 01 03 00 01 00 00 00 01 00 00 00 "  // Compression none
        "06 01 03 00 01 00 00 00 01 00 00 00 "  // BlackIsZero
        "0A 01 03 00 01 00 00 00 01 00 00 00 "  // FillOrder 1
        "11 01 04 00 01 00 00 00 C6 00 00 00 "  // StripOffsets 198
        "15 01 03 00 01 00 00 00 01 00 00 00 "  // SamplesPerPixel 1
        "16 01 03 00 01 00 00 00 00 20 00 00 "  // RowsPerStrip 8192
        "17 01 04 00 01 00 00 00 01 00 00 00 "  // StripByteCounts 1
        "1A 01 05 00 01 00 00 00 B6 00 00 00 "  // XResolution at 182
        "1B 01 05 00 01 00 00 00 BE 00 00 00 "  // YResolution at 190
        "28 01 03 00 01 00 00 00 02 00 00 00 "  // ResolutionUnit inch
        "3D 01 03 00 01 00 00 00 01 00 00 00 "  // Predictor none
        "00 00 00 00 "
        "2C 01 00 00 01 00 00 00 2C 01 00 00 01 00 00 00 "
        "80 ";
    EXPECT_EQ(f.size(), 199u);
    EXPECT_EQ(Hex(f), expected);
}

// Random grey image, with values on both sides of the threshold.
void FillRandom(TestImage* image, uint64_t seed)
{
    testing_support::Random random(seed);
    for (size_t i = 0; i < image->Size(); i++) image->bitmap.pixels[i] = uint8_t(random.Below(256));
}

// Rows of strip data as tiffinfo -d prints them, one hex byte a token.
std::string TiffinfoData(const std::string& output)
{
    std::istringstream in(output);
    std::string line, data;
    bool in_strip = false;
    while (std::getline(in, line)) {
        if (line.rfind("Strip ", 0) == 0) {
            in_strip = true;
            continue;
        }
        if (!in_strip || line.empty() || line[0] != ' ') continue;
        std::istringstream hex(line);
        unsigned value;
        while (hex >> std::hex >> value) data.push_back(char(value));
    }
    return data;
}

TEST(Writer, LibtiffReadsTheSamePixels)
{
    ScratchDir dir;
    // Two strips: width 70 gives 9 bytes a row and 910 rows a strip.
    TestImage image(70, 1000, PIXEL_GREY);
    FillRandom(&image, 8);
    ASSERT_EQ(SaveTIFF((dir / "a.tif").c_str(), &image.bitmap), 1);
    auto run = testing_support::RunProgram("/usr/bin/tiffinfo", {"-d", dir / "a.tif"}, dir.path);
    ASSERT_EQ(run.status, 0) << run.output;
    std::string packed;
    for (unsigned y = 0; y < 1000; y++) {
        std::string row(9, '\0');
        for (unsigned x = 0; x < 70; x++)
            if (*image.At(x, y) > 127) row[x / 8] = char(uint8_t(row[x / 8]) | (0x80 >> (x % 8)));
        packed += row;
    }
    EXPECT_EQ(TiffinfoData(run.output), packed);
    EXPECT_NE(run.output.find("Image Width: 70 Image Length: 1000"), std::string::npos);
    EXPECT_NE(run.output.find("min-is-black"), std::string::npos);
    // The one warning that stays is about the Predictor tag (317), which
    // libtiff only knows for compressed images.
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find("arning") == std::string::npos && line.find("rror") == std::string::npos) continue;
        EXPECT_NE(line.find("tag 317"), std::string::npos) << line;
    }
}

}  // namespace
