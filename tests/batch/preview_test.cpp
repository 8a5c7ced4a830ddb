// Preview runs (/d<mask>): the stage images nivelo_gui reads back, and the
// two keys it writes, OFFSET_ANGLE and COUL_REMPLISSAGE.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/command_line.h"
#include "batch/params.h"
#include "core/blit.h"
#include "core/support.h"
#include "stages/background.h"
#include "stages/blur.h"
#include "stages/rotation.h"
#include "tests/stages/synthetic_page.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"
#include "tiff/tiff.h"

using namespace testing_support;

namespace {

// A colour page with text lines rising by 1.2 degrees on a grey scanner lid,
// saved as page.tga, with folders a/, b/ and w/ beside it.
struct PreviewDir {
    PreviewDir()
    {
        PageLayout layout;
        layout.width = 640, layout.height = 480;
        PageText text(layout);
        TestImage page(layout.width, layout.height, PIXEL_BGR);
        DrawPage(text, 1.2, &page.bitmap);
        EXPECT_EQ(SaveTGA((dir / "page.tga").c_str(), &page.bitmap), 1);
        for (const char* sub : {"a", "b", "w"}) std::filesystem::create_directories(dir / sub);
    }
    RunResult Run(const std::string& config, std::vector<std::string> flags)
    {
        WriteFileBytes(dir / "c.txt", config);
        flags.insert(flags.begin(), "/cc.txt");
        flags.push_back("page.tga");
        return RunNivelo(flags, dir.path);
    }
    ScratchDir dir;
};

const char kOrdinary[] = "REPERTOIRE1=a/\nREPERTOIRE2=b/\n";
const char kPreview[] = "REPERTOIRE1=a/\nREPERTOIRE2=w/\n";

struct Loaded {
    Loaded(const std::string& path)
    {
        testing::internal::CaptureStdout();
        ok = LoadTGA(path.c_str(), &image);
        testing::internal::GetCapturedStdout();
    }
    ~Loaded() { BITMAP_Free(&image); }
    std::string Pixels() const
    {
        return std::string(reinterpret_cast<const char*>(image.pixels),
                           size_t(BITMAP_ByteSize(image.width, image.height, image.type)));
    }
    int ok;
    BITMAP image;
};

double PrintedAngle(const std::string& output) { return std::atof(output.c_str()); }

}  // namespace

TEST(Preview, EveryStageImageMatchesTheOrdinaryRun)
{
    PreviewDir d;
    RunResult ordinary = d.Run(kOrdinary, {});
    RunResult preview = d.Run(kPreview, {"/d4095"});
    EXPECT_EQ(preview.status, 0);
    EXPECT_EQ(preview.output, ordinary.output);  // the angle line, then "done"
    std::vector<std::string> expected;
    for (int k = 0; k < 12; k++) expected.push_back("save" + std::to_string(k) + ".tga");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFiles(d.dir / "w"), expected);
    EXPECT_EQ(ListFiles(d.dir / "a"), std::vector<std::string>{"page.tga"});  // from the ordinary run only
    // The intermediate and final saves, byte for byte.
    EXPECT_EQ(ReadFileBytes(d.dir / "w/save3.tga"), ReadFileBytes(d.dir / "a/page.tga"));
    EXPECT_EQ(ReadFileBytes(d.dir / "w/save11.tga"), ReadFileBytes(d.dir / "b/page.tga"));
    Loaded first(d.dir / "w/save0.tga"), cropped(d.dir / "w/save1.tga");
    EXPECT_EQ(first.image.type, PIXEL_BGR);
    EXPECT_EQ(first.image.width, 640);
    EXPECT_LT(cropped.image.width, 640);  // the lid on the right is cropped
    for (int k = 4; k <= 8; k++) {
        Loaded filter(d.dir / ("w/save" + std::to_string(k) + ".tga"));
        EXPECT_EQ(filter.image.type, PIXEL_GREY) << k;
        EXPECT_EQ(filter.image.width, cropped.image.width) << k;
    }
}

TEST(Preview, MasksAskForExactlyTheirImages)
{
    PreviewDir d;
    RunResult r = d.Run(kPreview, {"/d0"});
    EXPECT_EQ(r.output, "page.tga done.\n");
    EXPECT_TRUE(ListFiles(d.dir / "w").empty());
    d.Run(kPreview, {"/d512"});
    EXPECT_EQ(ListFiles(d.dir / "w"), std::vector<std::string>{"save9.tga"});
    EXPECT_TRUE(ListFiles(d.dir / "a").empty());  // a preview makes no ordinary save
    for (const char* bad : {"/dabc", "/d4096", "/d", "/d12x"}) {
        r = d.Run(kPreview, {bad});
        EXPECT_EQ(r.output.rfind(std::string("parametre inconnu: \"") + bad + "\"\n\n", 0), 0u) << r.output;
    }
}

TEST(Preview, SwitchedOffStagesPassTheirInputThrough)
{
    PreviewDir d;
    RunResult r = d.Run(std::string(kPreview) + "RECADRAGE1=N\nFLOU=N\nROTATION=N\n", {"/d511"});
    EXPECT_EQ(r.output, "page.tga done.\n");  // no angle line without ROTATION
    Loaded s0(d.dir / "w/save0.tga"), s1(d.dir / "w/save1.tga"), s2(d.dir / "w/save2.tga");
    EXPECT_EQ(s1.Pixels(), s0.Pixels());
    EXPECT_EQ(s2.Pixels(), s0.Pixels());
    // The filter images still show what the detection would see.
    for (int k = 4; k <= 8; k++) EXPECT_TRUE(FileExists(d.dir / ("w/save" + std::to_string(k) + ".tga"))) << k;
}

TEST(Preview, BlackAndWhiteStageImagesAreTheTiffResult)
{
    PreviewDir d;
    d.Run(kOrdinary, {"/b"});
    d.Run(kPreview, {"/b", "/d2048"});
    Loaded shown(d.dir / "w/save11.tga");
    BITMAP tiff;
    ASSERT_EQ(LoadTIFF((d.dir / "b/page.tif").c_str(), &tiff), 1);
    ASSERT_EQ(shown.image.type, PIXEL_GREY);
    EXPECT_EQ(shown.Pixels(), std::string(reinterpret_cast<char*>(tiff.pixels), size_t(tiff.width) * tiff.height));
    BITMAP_Free(&tiff);
}

// The page turns by the detected angle plus the offset: compared with the
// same stages run in this process.
TEST(Preview, OffsetAngleAddsToTheDetectedAngle)
{
    PreviewDir d;
    double detected = PrintedAngle(d.Run(kOrdinary, {}).output);
    std::string config = std::string(kPreview) + "OFFSET_ANGLE=1.5\n";
    RunResult r = d.Run(config, {"/d512"});
    EXPECT_NEAR(PrintedAngle(r.output), detected + 1.5, 1e-6);

    WriteFileBytes(d.dir / "c.txt", config);
    std::string flag = "/c" + (d.dir / "c.txt"), image = d.dir / "page.tga";
    char* argv[] = {const_cast<char*>("nivelo"), flag.data(), image.data()};
    ParseCommandLine(3, argv);
    BITMAP* page = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    ASSERT_EQ(LoadTGA(image.c_str(), page), 1);
    uint8_t background[3];
    GetBackgroundColour(page, background, g_params);
    ASSERT_EQ(CropStage(&page, background, g_params), 1);
    ASSERT_EQ(BlurStage(&page, g_params), 1);
    double angle = 0;
    ASSERT_EQ(DetectSkewAngle(page, &angle, g_params), 1);
    ASSERT_EQ(RotatePage(&page, angle + 1.5, background), 1);
    Loaded turned(d.dir / "w/save9.tga");
    EXPECT_EQ(turned.Pixels(), std::string(reinterpret_cast<char*>(page->pixels), turned.Pixels().size()));
    BITMAP_Free(page);
    FreeMemory(&page);
}

TEST(Preview, FillColourPaintsTheCornersOnly)
{
    PreviewDir d;
    d.Run(kPreview, {"/d514"});
    std::string crop = ReadFileBytes(d.dir / "w/save1.tga");
    d.Run(std::string(kPreview) + "COUL_REMPLISSAGE=255,0,0\n", {"/d514"});
    EXPECT_EQ(ReadFileBytes(d.dir / "w/save1.tga"), crop);  // crops keep the detected colour
    Loaded turned(d.dir / "w/save9.tga");
    const uint8_t* corner = turned.image.pixels;  // top-left, uncovered by the turn
    EXPECT_EQ(corner[0], 0);
    EXPECT_EQ(corner[1], 0);
    EXPECT_EQ(corner[2], 255);  // B, G, R: pure red
}
