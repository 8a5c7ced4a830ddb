// Preview runs (/d<mask>): the stage images nivelo_gui reads back are the
// images of an ordinary run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/support.h"
#include "tests/stages/synthetic_page.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

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
    RunResult Run(const std::string& config, const std::string& flag)
    {
        WriteFileBytes(dir / "c.txt", config);
        std::vector<std::string> args = {"/cc.txt", "page.tga"};
        if (!flag.empty()) args.insert(args.begin() + 1, flag);
        return RunNivelo(args, dir.path);
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


}  // namespace

TEST(Preview, EveryStageImageMatchesTheOrdinaryRun)
{
    PreviewDir d;
    RunResult ordinary = d.Run(kOrdinary, "");
    RunResult preview = d.Run(kPreview, "/d4095");
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
