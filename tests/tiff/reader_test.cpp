// TIFF reader: files made by standard tools compared pixel for pixel with
// what the tools decode, then refusals and files built byte by byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/support.h"
#include "tests/support/test_support.h"
#include "tests/tiff/tiff_builder.h"
#include "tga/tga.h"
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

TEST(ReaderRefusals, KindsOutsideTheSubsetAreRefusedSilently)
{
    for (const char* name : {"refuse_deflate", "refuse_group3", "refuse_group4", "refuse_rgba", "refuse_grey16",
                             "refuse_cmyk"}) {
        Loaded l = Load(Fixture(std::string(name) + ".tif"));
        EXPECT_EQ(l.result, 0) << name;
        EXPECT_EQ(l.output, "") << name;
        EXPECT_EQ(l.image.pixels, nullptr) << name;
        EXPECT_EQ(l.image.palette, nullptr) << name;
    }
}

TEST(ReaderRefusals, NotTiffShortFilesAndNames)
{
    ScratchDir dir;
    testing_support::TestImage tga(3, 2, PIXEL_BGR);
    ASSERT_EQ(SaveTGA((dir / "a.tga").c_str(), &tga.bitmap), 1);
    Loaded l = Load(dir / "a.tga");
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.output, "");
    EXPECT_EQ(l.image.pixels, nullptr);

    WriteFileBytes(dir / "one", "I");
    l = Load(dir / "one");
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.output, "Error reading file " + (dir / "one") + "\n");

    l = LoadBytes(std::string("II\x2B\0\x08\0\0\0", 8));
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.output, "");

    l = Load(dir / "missing.tif");
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

TEST(ReaderEntries, ByteOrderLowBitsAndSkippedTypes)
{
    TiffBuilder big = GreyImage(64, 1, std::string(64, '\x05'));
    big.big_endian = true;
    std::string file = big.Build();
    // The width entry as it stands in a big-endian file.
    EXPECT_NE(file.find(std::string("\x01\x00\x00\x03\x00\x00\x00\x01\x00\x40\x00\x00", 12)), std::string::npos);
    Owned o(LoadBytes(file));
    ASSERT_EQ(o.loaded.result, 1);
    EXPECT_EQ(o.loaded.image.width, 64);
    EXPECT_EQ(o.loaded.image.pixels[63], 5);

    // A LONG width keeps its low 16 bits.
    TiffBuilder wide = GreyImage(300, 1, std::string(300, '\x01'));
    wide.Set(256, kLong, {65536 + 300});
    Owned w(LoadBytes(wide.Build()));
    ASSERT_EQ(w.loaded.result, 1);
    EXPECT_EQ(w.loaded.image.width, 300);

    // Entries of type 0 or 13 are skipped whatever their tag.
    for (uint16_t type : {0, 13}) {
        TiffBuilder b = GreyImage(4, 1, "abcd");
        b.entries.push_back({256, type, {9}});
        Owned s(LoadBytes(b.Build()));
        ASSERT_EQ(s.loaded.result, 1);
        EXPECT_EQ(s.loaded.image.width, 4);
        // Without the good entry the width stays 0 and the file is refused.
        b.Remove(256);
        b.entries.push_back({256, type, {4}});
        EXPECT_EQ(LoadBytes(b.Build()).result, 0);
    }
}

TEST(ReaderEntries, BitsPerSampleAndKindsRefused)
{
    TiffBuilder rgb;
    rgb.entries = {{256, kShort, {2}}, {257, kShort, {1}}, {258, kShort, {8, 8, 8}},
                   {262, kShort, {2}}, {277, kShort, {3}}};
    rgb.strips = {"ABCDEF"};
    Owned o(LoadBytes(rgb.Build()));
    ASSERT_EQ(o.loaded.result, 1);
    EXPECT_EQ(o.loaded.image.type, PIXEL_RGB);
    EXPECT_EQ(Pixels(o.loaded.image), "ABCDEF");

    auto refused = [](TiffBuilder b) {
        Loaded l = LoadBytes(b.Build());
        EXPECT_EQ(l.output, "");
        return l.result == 0 && l.image.pixels == nullptr;
    };
    EXPECT_TRUE(refused(TiffBuilder(rgb).Set(258, kShort, {8, 8, 4})));
    EXPECT_TRUE(refused(TiffBuilder(rgb).Set(258, kShort, {16, 16, 16})));
    EXPECT_TRUE(refused(TiffBuilder(rgb).Set(258, kShort, {8, 8})));
    TiffBuilder grey = GreyImage(2, 1, "ab");
    EXPECT_TRUE(refused(TiffBuilder(grey).Set(258, kShort, {16})));
    for (uint32_t compression : {3u, 4u, 7u, 8u}) EXPECT_TRUE(refused(TiffBuilder(grey).Set(259, kShort, {compression})));
    EXPECT_TRUE(refused(TiffBuilder(grey).Set(262, kShort, {4})));
    EXPECT_TRUE(refused(TiffBuilder(grey).Set(277, kShort, {4})));
    EXPECT_TRUE(refused(TiffBuilder(grey).Set(266, kShort, {3})));
    EXPECT_TRUE(refused(TiffBuilder(grey).Set(317, kShort, {3})));
    EXPECT_TRUE(refused(TiffBuilder(grey).Set(259, kLong, {1})));  // the tag wants a SHORT
    // Predictor 2 needs 8-bit samples.
    TiffBuilder four = GreyImage(2, 1, "\x12");
    four.Set(258, kShort, {4}).Set(317, kShort, {2});
    EXPECT_TRUE(refused(four));
    // Modified Huffman writes one bit a pixel.
    EXPECT_TRUE(refused(TiffBuilder(grey).Set(259, kShort, {2})));
}

TEST(ReaderEntries, PhotometricDefaultsAndBitLayouts)
{
    // No PhotometricInterpretation: WhiteIsZero.
    TiffBuilder b = GreyImage(3, 1, "\x00\x10\xFF");
    b.strips = {std::string("\x00\x10\xFF", 3)};
    b.Remove(262);
    Owned o(LoadBytes(b.Build()));
    ASSERT_EQ(o.loaded.result, 1);
    EXPECT_EQ(Pixels(o.loaded.image), std::string("\xFF\xEF\x00", 3));

    // One bit: WhiteIsZero turns 0 into 255, BlackIsZero keeps 0.
    TiffBuilder bits = GreyImage(10, 1, "");
    bits.strips = {std::string("\x5A\x40", 2)};
    bits.Set(258, kShort, {1}).Set(262, kShort, {0});
    Owned white(LoadBytes(bits.Build()));
    ASSERT_EQ(white.loaded.result, 1);
    EXPECT_EQ(Pixels(white.loaded.image), std::string("\xFF\x00\xFF\x00\x00\xFF\x00\xFF\xFF\x00", 10));
    bits.Set(262, kShort, {1});
    Owned black(LoadBytes(bits.Build()));
    EXPECT_EQ(Pixels(black.loaded.image), std::string("\x00\xFF\x00\xFF\xFF\x00\xFF\x00\x00\xFF", 10));

    // Four bits: the high nibble is the left pixel, scaled by 17.
    TiffBuilder nibbles = GreyImage(3, 1, "");
    nibbles.strips = {std::string("\xF0\x80", 2)};
    nibbles.Set(258, kShort, {4});
    Owned n(LoadBytes(nibbles.Build()));
    ASSERT_EQ(n.loaded.result, 1);
    EXPECT_EQ(Pixels(n.loaded.image), std::string("\xFF\x00\x88", 3));

    // One strip without RowsPerStrip holds the whole image.
    TiffBuilder whole = GreyImage(2, 3, "abcdef");
    whole.Remove(278);
    Owned all(LoadBytes(whole.Build()));
    ASSERT_EQ(all.loaded.result, 1);
    EXPECT_EQ(Pixels(all.loaded.image), "abcdef");
}

std::vector<uint32_t> ColourMap(unsigned entries)
{
    std::vector<uint32_t> map;
    for (unsigned c = 0; c < 3; c++)
        for (unsigned i = 0; i < entries; i++) map.push_back(((i * 16 + c) << 8) | 0x7F);
    return map;
}

TEST(ReaderEntries, ColourMapsSizedByTheBitsPerSample)
{
    TiffBuilder pal = GreyImage(2, 1, "");
    pal.strips = {std::string("\x0F", 1)};
    pal.Set(258, kShort, {4}).Set(262, kShort, {3}).Set(320, kShort, ColourMap(16));
    Owned o(LoadBytes(pal.Build()));
    ASSERT_EQ(o.loaded.result, 1);
    EXPECT_EQ(o.loaded.image.type, PIXEL_INDEXED);
    EXPECT_EQ(Pixels(o.loaded.image), std::string("\x00\x0F", 2));
    for (unsigned i = 0; i < 16; i++)
        for (unsigned c = 0; c < 3; c++) EXPECT_EQ(o.loaded.image.palette[3 * i + c], i * 16 + c);
    for (unsigned i = 48; i < 768; i++) EXPECT_EQ(o.loaded.image.palette[i], 0);

    EXPECT_EQ(LoadBytes(TiffBuilder(pal).Set(320, kShort, ColourMap(256)).Build()).result, 0);
    TiffBuilder eight = TiffBuilder(pal).Set(258, kShort, {8}).Set(320, kShort, ColourMap(256));
    eight.strips = {"\x01\x02"};
    Owned e(LoadBytes(eight.Build()));
    EXPECT_EQ(e.loaded.result, 1);

    // Before BitsPerSample the map is sized for one bit: 6 values.  It must
    // then agree with the bits per sample that come after it.
    TiffBuilder early;
    early.entries = {{256, kShort, {2}}, {257, kShort, {1}}, {262, kShort, {3}}, {320, kShort, ColourMap(2)},
                     {258, kShort, {1}}};
    early.strips = {std::string("\x40", 1)};
    Owned one(LoadBytes(early.Build()));
    ASSERT_EQ(one.loaded.result, 1);
    EXPECT_EQ(Pixels(one.loaded.image), std::string("\x00\x01", 2));
    EXPECT_EQ(one.loaded.image.palette[3], 16);
    early.Set(258, kShort, {8});
    early.strips = {"ab"};
    EXPECT_EQ(LoadBytes(early.Build()).result, 0);
    // A palette image without a colour map.
    EXPECT_EQ(LoadBytes(TiffBuilder(pal).Remove(320).Build()).result, 0);
}

TEST(ReaderEntries, InconsistentFilesAreRefusedSilently)
{
    TiffBuilder base = GreyImage(2, 4, "");
    base.Set(278, kShort, {2});
    base.strips = {"abcd", "efgh"};
    Owned good(LoadBytes(base.Build()));
    ASSERT_EQ(good.loaded.result, 1);
    EXPECT_EQ(Pixels(good.loaded.image), "abcdefgh");

    std::vector<std::pair<const char*, TiffBuilder>> cases;
    auto add = [&](const char* what, TiffBuilder b) { cases.push_back({what, b}); };
    TiffBuilder b = base;
    b.add_strip_byte_counts = false;
    add("offsets only", b);
    b = base;
    b.add_strip_offsets = false;
    add("byte counts only", b);
    b.add_strip_byte_counts = false;
    add("neither", b);
    b = base;
    b.add_strip_byte_counts = false;
    b.entries.push_back({279, kLong, {4, 4, 4}});
    add("counts differ", b);
    b = base;
    b.add_strip_byte_counts = false;
    b.entries.push_back({279, kLong, {4}});
    add("fewer counts", b);
    add("several strips without RowsPerStrip", TiffBuilder(base).Remove(278));
    add("too few strips", TiffBuilder(base).Set(278, kShort, {1}));
    add("more strips than rows need", TiffBuilder(base).Set(278, kShort, {4}));
    add("RowsPerStrip 0", TiffBuilder(base).Set(278, kShort, {0}));
    add("three samples for grey", TiffBuilder(base).Set(277, kShort, {3}));
    b = base;
    b.Set(262, kShort, {2});
    add("one sample for RGB", b);
    b = base;
    b.strips = {"abcd", "efg"};
    add("uncompressed strip too short", b);
    add("width 0", TiffBuilder(base).Set(256, kShort, {0}));
    add("height 0", TiffBuilder(base).Set(257, kShort, {0}));
    b = base;
    b.add_strip_offsets = b.add_strip_byte_counts = false;
    b.entries.push_back({273, kLong, std::vector<uint32_t>(70000, 8)});
    b.entries.push_back({279, kLong, std::vector<uint32_t>(70000, 1)});
    add("more strips than any height needs", b);
    b = base;
    b.add_strip_offsets = b.add_strip_byte_counts = false;
    b.entries.push_back({273, kLong, {8}, 0x40000001});  // 4 x count wraps to 4 in 32 bits
    b.entries.push_back({279, kLong, {8}, 0x40000001});
    add("count that would wrap", b);
    b = base;
    b.entries.push_back({273, kLong, {8, 12}});  // the strips' own offsets, given twice
    add("StripOffsets twice", b);
    b = base;
    b.entries.push_back({279, kLong, {4, 4}});
    add("StripByteCounts twice", b);
    for (auto& [what, file] : cases) {
        Loaded l = LoadBytes(file.Build());
        EXPECT_EQ(l.result, 0) << what;
        EXPECT_EQ(l.output, "") << what;
        EXPECT_EQ(l.image.pixels, nullptr) << what;
    }
}

TEST(ReaderEntries, StripsOrDirectoriesPastTheEndAreReadErrors)
{
    TiffBuilder b = GreyImage(2, 1, "ab");
    b.add_strip_offsets = false;
    b.entries.push_back({273, kLong, {0xFFFFFFF0u}});
    ScratchDir dir;
    WriteFileBytes(dir / "t.tif", b.Build());
    Loaded l = Load(dir / "t.tif");
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.output, "Error reading file " + (dir / "t.tif") + "\n");

    b = GreyImage(2, 1, "ab");
    b.add_strip_byte_counts = false;
    b.entries.push_back({279, kLong, {0xFFFFFFFFu}});  // not allocated: checked first
    WriteFileBytes(dir / "t.tif", b.Build());
    EXPECT_EQ(Load(dir / "t.tif").output, "Error reading file " + (dir / "t.tif") + "\n");

    std::string cut = GreyImage(2, 1, "ab").Build();
    cut.resize(cut.size() - 20);
    WriteFileBytes(dir / "t.tif", cut);
    l = Load(dir / "t.tif");
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.output, "Error reading file " + (dir / "t.tif") + "\n");
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
