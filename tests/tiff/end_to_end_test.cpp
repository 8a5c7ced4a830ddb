// nivelo run from end to end on TIFF input and with /b, every correction
// stage switched off so that only loading, conversion and saving remain.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"
#include "tga/tga.h"
#include "tiff/tiff.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::RunNivelo;
using testing_support::ScratchDir;
using testing_support::SourcePath;
using testing_support::TestImage;
using testing_support::WriteFileBytes;

// Configuration with every stage off; the one save goes into out/.
void WriteConfig(const ScratchDir& dir)
{
    std::filesystem::create_directories(dir / "out");
    WriteFileBytes(dir / "config.txt",
                   "RECADRAGE1=non\nFLOU=non\nSAUVEGARDE1=non\nROTATION=non\nRECADRAGE2=non\n"
                   "SAUVEGARDE2=oui\nREPERTOIRE1=out1/\nREPERTOIRE2=out/\n");
}

testing_support::RunResult RunWithConfig(const ScratchDir& dir, const std::string& image, bool flag_b)
{
    std::vector<std::string> args = {"/cconfig.txt"};
    if (flag_b) args.push_back("/b");
    args.push_back(image);
    return RunNivelo(args, dir.path);
}

void CopyFixture(const ScratchDir& dir, const std::string& fixture, const std::string& name)
{
    WriteFileBytes(dir / name, ReadFileBytes(SourcePath("tests/tiff/fixtures/" + fixture)));
}

TEST(EndToEnd, FlagBWritesBlackAndWhiteTiffFromColourTga)
{
    ScratchDir dir;
    WriteConfig(dir);
    TestImage page(40, 30, PIXEL_BGR);
    for (unsigned y = 0; y < 30; y++)
        for (unsigned x = 0; x < 40; x++) {
            uint8_t* p = page.At(x, y);
            p[0] = uint8_t(x * 6), p[1] = uint8_t(y * 8), p[2] = 200;
        }
    ASSERT_EQ(SaveTGA((dir / "page.tga").c_str(), &page.bitmap), 1);
    auto run = RunWithConfig(dir, "page.tga", true);
    EXPECT_EQ(run.output, "page.tga done.\n");
    ASSERT_TRUE(FileExists(dir / "out/page.tif"));
    EXPECT_FALSE(FileExists(dir / "out/page.tga"));
    BITMAP result;
    ASSERT_EQ(LoadTIFF((dir / "out/page.tif").c_str(), &result), 1);
    ASSERT_EQ(result.width, 40);
    ASSERT_EQ(result.height, 30);
    for (unsigned y = 0; y < 30; y++)
        for (unsigned x = 0; x < 40; x++) {
            const uint8_t* p = page.At(x, y);
            unsigned grey = (p[0] + p[1] + p[2]) / 3;
            ASSERT_EQ(result.pixels[y * 40 + x], grey > 127 ? 255 : 0) << x << "," << y;
        }
    BITMAP_Free(&result);
}

// Pixels of a binary PNM file with maxval 255, as a TGA image of the type.
void PnmToTga(const std::string& pnm, const std::string& tga, unsigned type, const std::string& palette = "")
{
    std::string data = ReadFileBytes(pnm);
    unsigned w = 0, h = 0, maxval = 0;
    int consumed = 0;
    char magic[3] = {0};
    ASSERT_EQ(std::sscanf(data.c_str(), "%2s %u %u %u%n", magic, &w, &h, &maxval, &consumed), 4);
    std::string pixels = data.substr(size_t(consumed) + 1);
    TestImage image(w, h, type);
    if (type == PIXEL_BGR) {
        for (size_t i = 0; i < size_t(w) * h; i++) {
            image.bitmap.pixels[3 * i] = uint8_t(pixels[3 * i + 2]);
            image.bitmap.pixels[3 * i + 1] = uint8_t(pixels[3 * i + 1]);
            image.bitmap.pixels[3 * i + 2] = uint8_t(pixels[3 * i]);
        }
    } else {
        std::copy(pixels.begin(), pixels.end(), image.bitmap.pixels);
    }
    if (type == PIXEL_INDEXED) std::copy(palette.begin(), palette.end(), image.bitmap.palette);
    ASSERT_EQ(SaveTGA(tga.c_str(), &image.bitmap), 1);
}

TEST(EndToEnd, TiffInputGivesTheSameResultAsTheEquivalentTga)
{
    struct Case {
        const char* fixture;
        unsigned tga_type;
    };
    const std::string fixtures = SourcePath("tests/tiff/fixtures/");
    for (Case c : {Case{"grey8_lzw_predictor", PIXEL_GREY}, Case{"white4_packbits", PIXEL_GREY},
                   Case{"rgb8_lzw", PIXEL_BGR}, Case{"pal8_packbits", PIXEL_INDEXED}}) {
        SCOPED_TRACE(c.fixture);
        ScratchDir dir;
        WriteConfig(dir);
        CopyFixture(dir, std::string(c.fixture) + ".tif", "scan.tif");
        std::string base = fixtures + c.fixture;
        if (c.tga_type == PIXEL_BGR)
            PnmToTga(base + ".ppm", dir / "copy.tga", PIXEL_BGR);
        else if (c.tga_type == PIXEL_INDEXED)
            PnmToTga(base + ".pgm", dir / "copy.tga", PIXEL_INDEXED, ReadFileBytes(base + ".pal"));
        else
            PnmToTga(base + ".pgm", dir / "copy.tga", PIXEL_GREY);
        EXPECT_EQ(RunWithConfig(dir, "scan.tif", false).output, "scan.tif done.\n");
        EXPECT_EQ(RunWithConfig(dir, "copy.tga", false).output, "copy.tga done.\n");
        std::string from_tiff = ReadFileBytes(dir / "out/scan.tga");
        ASSERT_FALSE(from_tiff.empty());
        EXPECT_EQ(from_tiff, ReadFileBytes(dir / "out/copy.tga"));
        // Colour stays colour (24 bits), the others are saved grey (8 bits).
        EXPECT_EQ(uint8_t(from_tiff[16]), c.tga_type == PIXEL_BGR ? 24 : 8);
    }
}

}  // namespace
