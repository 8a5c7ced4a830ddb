// The driver through the real executable: names of results, types, the scan kept.
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
    if (type == PIXEL_INDEXED)
        for (int i = 0; i < 768; i++) img.bitmap.palette[i] = uint8_t(255 - i);
    ASSERT_EQ(SaveTGA(path.c_str(), &img.bitmap), 1);
}

struct Result {
    int loaded;
    BITMAP image;
};

Result Load(const std::string& path)
{
    Result r;
    testing::internal::CaptureStdout();
    r.loaded = LoadTGA(path.c_str(), &r.image);
    testing::internal::GetCapturedStdout();
    return r;
}

}  // namespace

TEST(Driver, StagesOffSaveOnceInTheSourcesKind)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir / "out/scans");
    WriteFileBytes(dir / "c.txt", std::string(kStagesOff) + "REPERTOIRE1=first/\nREPERTOIRE2=\"out/\"\n");
    std::filesystem::create_directories(dir / "scans");
    struct Case {
        const char* input;
        unsigned type;
        unsigned saved_type;
    } cases[] = {{"scans/grey.tga", PIXEL_GREY, PIXEL_GREY},
                 {"scans/colour.tga", PIXEL_BGR, PIXEL_BGR},
                 {"scans/indexed.tga", PIXEL_INDEXED, PIXEL_GREY}};
    for (const Case& c : cases) {
        WriteImage(dir / c.input, c.type);
        RunResult r = RunNivelo({"/cc.txt", c.input}, dir.path);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.output, std::string(c.input) + " done.\n");
        Result out = Load(dir / "out/" + c.input);  // directory part kept
        ASSERT_EQ(out.loaded, 1) << c.input;
        EXPECT_EQ(out.image.type, c.saved_type) << c.input;
        EXPECT_EQ(out.image.width, 4);
        EXPECT_EQ(out.image.height, 3);
        BITMAP_Free(&out.image);
    }
    EXPECT_FALSE(FileExists(dir / "first"));
    // Grey copy of an indexed page: the truncated mean of its palette colour.
    Result indexed = Load(dir / "out/scans/indexed.tga");
    EXPECT_EQ(indexed.image.pixels[1], (255 - 51 + 254 - 51 + 253 - 51) / 3);
    BITMAP_Free(&indexed.image);
}

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
    EXPECT_TRUE(FileExists(dir / "out/v1.2/page.tga"));
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

TEST(Driver, OverlongOutputNameSkipsThatSaveOnly)
{
    ScratchDir dir;
    WriteImage(dir / "page.tga", PIXEL_GREY);
    std::string long_dir(250, 'd');
    WriteFileBytes(dir / "c.txt", std::string(kStagesOff) + "SAUVEGARDE1=o\nREPERTOIRE1=" + long_dir +
                                      "/\nREPERTOIRE2=out/\n");
    std::filesystem::create_directories(dir / "out");
    RunResult r = RunNivelo({"/cc.txt", "page.tga"}, dir.path);
    EXPECT_NE(r.output.find("trop long"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("page.tga done.\n"), std::string::npos);
    EXPECT_TRUE(FileExists(dir / "out/page.tga"));
}

TEST(Driver, SaveSwitchesLeaveOutTheirSaves)
{
    ScratchDir dir;
    WriteImage(dir / "page.tga", PIXEL_GREY);
    std::filesystem::create_directories(dir / "a");
    std::filesystem::create_directories(dir / "b");
    WriteFileBytes(dir / "c.txt", std::string(kStagesOff) + "SAUVEGARDE1=o\nSAUVEGARDE2=n\nREPERTOIRE1=a/\nREPERTOIRE2=b/\n");
    RunResult r = RunNivelo({"/cc.txt", "page.tga"}, dir.path);
    EXPECT_EQ(r.output, "page.tga done.\n");
    EXPECT_TRUE(FileExists(dir / "a/page.tga"));
    EXPECT_FALSE(FileExists(dir / "b/page.tga"));
}
