// The driver through the real executable: names of results, the scan kept,
// the black-and-white cut and the images a preview asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/support.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"
#include "tiff/tiff.h"

using namespace testing_support;

namespace {

const char kStagesOff[] = "RECADRAGE1=N\nFLOU=N\nSAUVEGARDE1=N\nROTATION=N\nRECADRAGE2=N\n";

void WriteImage(const std::string& path, unsigned type)
{
    TestImage img(4, 3, type);
    for (size_t i = 0; i < img.Size(); i++) img.bitmap.pixels[i] = uint8_t(17 * i);
    ASSERT_EQ(SaveTGA(path.c_str(), &img.bitmap), 1);
}

}  // namespace

TEST(Driver, OutputNamesTakeTheExtension)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir / "out/v1.2");
    WriteFileBytes(dir / "c.txt", std::string(kStagesOff) + "REPERTOIRE2=out/\n");
    std::filesystem::create_directories(dir / "v1.2");
    WriteImage(dir / "v1.2/page", PIXEL_GREY);
    WriteImage(dir / "scan.v2.tif", PIXEL_GREY);
    RunNivelo({"/cc.txt", "v1.2/page"}, dir.path);
    RunNivelo({"/cc.txt", "scan.v2.tif"}, dir.path);
    EXPECT_TRUE(FileExists(dir / "out/v1.2/page.tga"));  // the image's folder kept
    EXPECT_TRUE(FileExists(dir / "out/scan.v2.tga"));
}

TEST(Driver, TheScanIsNeverOverwritten)
{
    ScratchDir dir;
    WriteImage(dir / "page.tga", PIXEL_BGR);
    std::string before = ReadFileBytes(dir / "page.tga");
    // An empty REPERTOIRE2 with a TGA named without directory: the result
    // would be the input itself.  The same with an empty REPERTOIRE1 and a
    // full path, as a preview configuration has it.
    WriteFileBytes(dir / "c.txt", "RECADRAGE1=N\nFLOU=N\nROTATION=N\nRECADRAGE2=N\nREPERTOIRE1=\nREPERTOIRE2=\n");
    RunResult r = RunNivelo({"/cc.txt", "page.tga"}, dir.path);
    EXPECT_EQ(r.output, "page.tga: c'est l'image source, elle n'est pas écrasée\n"
                        "page.tga: c'est l'image source, elle n'est pas écrasée\n"
                        "page.tga done.\n");
    r = RunNivelo({"/cc.txt", dir / "page.tga"}, dir.path);
    EXPECT_NE(r.output.find("n'est pas écrasée"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(dir / "page.tga"), before);
    // A different file of the same name elsewhere is written as usual.
    std::filesystem::create_directories(dir / "other");
    WriteImage(dir / "other/page.tga", PIXEL_BGR);
    WriteFileBytes(dir / "c.txt", std::string(kStagesOff) + "REPERTOIRE2=../\n");
    r = RunNivelo({"/c../c.txt", "page.tga"}, dir / "other");
    EXPECT_EQ(r.output, "page.tga done.\n");
}

// With /b a result pixel is white when the truncated mean of its three
// bytes is above 127, for colour and grey scans alike.
TEST(Driver, BlackAndWhiteCutsAbove127)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir / "out");
    WriteFileBytes(dir / "c.txt", std::string(kStagesOff) + "REPERTOIRE2=out/\n");
    TestImage colour(4, 1, PIXEL_BGR), grey(2, 1, PIXEL_GREY);
    const uint8_t bytes[4][3] = {{127, 127, 127}, {128, 128, 128}, {127, 128, 128}, {128, 128, 129}};
    for (unsigned x = 0; x < 4; x++) std::memcpy(colour.At(x, 0), bytes[x], 3);
    grey.bitmap.pixels[0] = 127, grey.bitmap.pixels[1] = 128;
    ASSERT_EQ(1, SaveTGA((dir / "colour.tga").c_str(), &colour.bitmap));
    ASSERT_EQ(1, SaveTGA((dir / "grey.tga").c_str(), &grey.bitmap));
    for (const char* name : {"colour", "grey"}) {
        RunNivelo({"/cc.txt", "/b", std::string(name) + ".tga"}, dir.path);
        BITMAP result{};
        ASSERT_EQ(1, LoadTIFF((dir / "out/" + name + ".tif").c_str(), &result)) << name;
        std::string found(reinterpret_cast<const char*>(result.pixels), result.width);
        EXPECT_EQ(std::string(name) == "grey" ? std::string("\0\xff", 2) : std::string("\0\xff\0\xff", 4), found)
            << name;
        BITMAP_Free(&result);
    }
}

// A preview writes save<k>.tga into REPERTOIRE2 for each bit k of its mask,
// and nothing else: no intermediate or final result.
TEST(Driver, EachStageMaskBitWritesItsImage)
{
    ScratchDir dir;
    TestImage page(90, 70, PIXEL_GREY);
    for (unsigned y = 0; y < 70; y++)
        for (unsigned x = 0; x < 90; x++) *page.At(x, y) = x > 10 && x < 70 && y % 12 < 4 && y < 60 ? 20 : 230;
    ASSERT_EQ(1, SaveTGA((dir / "page.tga").c_str(), &page.bitmap));
    WriteFileBytes(dir / "c.txt", "REPERTOIRE1=un/\nREPERTOIRE2=deux/\n");
    for (unsigned mask : {0u, 1u, 2u, 4u, 8u, 16u, 32u, 64u, 128u, 256u, 512u, 1024u, 2048u, 514u, 4095u}) {
        std::filesystem::remove_all(dir / "un");
        std::filesystem::remove_all(dir / "deux");
        std::filesystem::create_directories(dir / "un");
        std::filesystem::create_directories(dir / "deux");
        RunNivelo({"/cc.txt", "/d" + std::to_string(mask), "page.tga"}, dir.path);
        std::vector<std::string> expected;
        for (int k = 0; k < 12; k++)
            if (mask >> k & 1) expected.push_back("save" + std::to_string(k) + ".tga");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, ListFiles(dir / "deux")) << "/d" << mask;
        EXPECT_TRUE(ListFiles(dir / "un").empty()) << "/d" << mask;
    }
}
