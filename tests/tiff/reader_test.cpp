// TIFF reader: files made by standard tools compared pixel for pixel with
// what the tools decode, and refusals.  Files built entry by entry are in the
// whole-run cases.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/support.h"
#include "tests/support/test_support.h"
#include "tests/tiff/tiff_builder.h"
#include "tiff/tiff.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::SourcePath;
using testing_support::WriteFileBytes;
using namespace tiff_test;

std::string Fixture(const std::string& name) { return SourcePath("tests/tiff/fixtures/" + name); }

struct Loaded {
    int result;
    std::string output;  // what the reader printed
    BITMAP image;
};

Loaded Load(const std::string& path)
{
    Loaded l;
    testing::internal::CaptureStdout();
    l.result = LoadTIFF(path.c_str(), &l.image);
    std::fflush(stdout);
    l.output = testing::internal::GetCapturedStdout();
    return l;
}

struct Owned {
    explicit Owned(Loaded l) : loaded(l) {}
    ~Owned() { BITMAP_Free(&loaded.image); }
    Loaded loaded;
};

Loaded LoadBytes(const std::string& bytes)
{
    ScratchDir dir;
    WriteFileBytes(dir / "t.tif", bytes);
    return Load(dir / "t.tif");
}

// Pixels of a binary PNM file (P5 or P6) with maxval 255.
std::string PnmPixels(const std::string& path, unsigned* width, unsigned* height)
{
    std::string data = ReadFileBytes(path);
    unsigned maxval = 0;
    int consumed = 0;
    char magic[3] = {0};
    if (std::sscanf(data.c_str(), "%2s %u %u %u%n", magic, width, height, &maxval, &consumed) != 4) return {};
    return data.substr(size_t(consumed) + 1);
}

std::string Pixels(const BITMAP& b)
{
    return std::string(reinterpret_cast<const char*>(b.pixels), BITMAP_ByteSize(b.width, b.height, b.type));
}

void ExpectMatchesTool(const std::string& base)
{
    SCOPED_TRACE(base);
    Owned o(Load(Fixture(base + ".tif")));
    const Loaded& l = o.loaded;
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.output, "");
    bool rgb = std::filesystem::exists(Fixture(base + ".ppm"));
    unsigned w = 0, h = 0;
    std::string expected = PnmPixels(Fixture(base + (rgb ? ".ppm" : ".pgm")), &w, &h);
    ASSERT_EQ(l.image.width, w);
    ASSERT_EQ(l.image.height, h);
    bool palette = std::filesystem::exists(Fixture(base + ".pal"));
    EXPECT_EQ(l.image.type, rgb ? PIXEL_RGB : palette ? PIXEL_INDEXED : PIXEL_GREY);
    EXPECT_EQ(Pixels(l.image), expected);
    if (palette) {
        ASSERT_NE(l.image.palette, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(l.image.palette), 768), ReadFileBytes(Fixture(base + ".pal")));
    }
}

TEST(ReaderFixtures, GreyOfEveryCompressionDepthAndByteOrder)
{
    for (const char* name : {"grey8_none", "grey8_packbits", "grey8_lzw", "grey8_lzw_predictor",
                             "grey8_lzw_bigendian_strips", "grey8_packbits_strips", "grey4_none",
                             "grey4_packbits", "grey4_lzw_strips", "bilevel_none", "bilevel_packbits",
                             "bilevel_lzw", "bilevel_mh", "bilevel_mh_fill2", "bilevel_mh_bigendian_strips"})
        ExpectMatchesTool(name);
}

TEST(ReaderFixtures, WhiteIsZeroCompressedOrNotComesOutBlackOnWhite)
{
    for (const char* name : {"white8_none", "white8_lzw", "white4_none", "white4_packbits", "white4_lzw",
                             "fax_none", "fax_packbits", "fax_lzw", "fax_mh", "fax_mh_fill2"})
        ExpectMatchesTool(name);
}

TEST(ReaderFixtures, RgbPaletteAndFirstPage)
{
    for (const char* name : {"rgb8_none", "rgb8_packbits", "rgb8_lzw", "rgb8_lzw_predictor_strips",
                             "rgb8_none_bigendian", "pal8_none", "pal8_lzw", "pal8_packbits", "pal4_none",
                             "pal4_packbits", "pal4_lzw_strips", "pages3"})
        ExpectMatchesTool(name);
}

TEST(ReaderFixtures, EveryModifiedHuffmanCodeLength)
{
    // Runs of 1 to 63 of both colours and every make-up code, extended ones
    // included; the reference is the same image coded with PackBits.
    Owned mh(Load(Fixture("wide_mh.tif")));
    Owned pb(Load(Fixture("wide_packbits.tif")));
    ASSERT_EQ(mh.loaded.result, 1);
    ASSERT_EQ(pb.loaded.result, 1);
    EXPECT_EQ(mh.loaded.image.width, 2600);
    EXPECT_EQ(Pixels(mh.loaded.image), Pixels(pb.loaded.image));
}

TEST(ReaderRefusals, MissingFilesAndNamesTooLong)
{
    ScratchDir dir;
    Loaded l = Load(dir / "missing.tif");
    EXPECT_EQ(l.output, "Could not open file " + (dir / "missing.tif") + "\n");
    // A real file whose path is longer than the 255 characters the codec
    // holds is refused before it is opened.
    std::string deep = dir.path;
    while (deep.size() < 260) deep += "dddddddddddddddddddddddddddddd/";
    std::filesystem::create_directories(deep);
    std::filesystem::copy_file(Fixture("grey8_none.tif"), deep + "g.tif");
    l = Load(deep + "g.tif");
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.output, "Could not open file " + deep + "g.tif\n");
}

TEST(ReaderState, EachLoadStartsFresh)
{
    // A palette file, then one without PhotometricInterpretation: the second
    // must be WhiteIsZero grey, not a palette image with the first map.
    Owned pal(Load(Fixture("pal8_none.tif")));
    ASSERT_EQ(pal.loaded.result, 1);
    TiffBuilder b = GreyImage(1, 1, std::string("\x00", 1));
    b.Remove(262);
    Owned grey(LoadBytes(b.Build()));
    ASSERT_EQ(grey.loaded.result, 1);
    EXPECT_EQ(grey.loaded.image.type, PIXEL_GREY);
    EXPECT_EQ(grey.loaded.image.pixels[0], 255);
    // A big-endian file does not leave its byte order behind.
    Owned be(Load(Fixture("rgb8_none_bigendian.tif")));
    EXPECT_EQ(be.loaded.result, 1);
    Owned le(Load(Fixture("grey8_none.tif")));
    EXPECT_EQ(le.loaded.result, 1);
}

}  // namespace
