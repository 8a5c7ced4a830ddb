// The driver through the real executable: names of results, the scan kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/support.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

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
