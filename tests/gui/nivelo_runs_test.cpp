// Preview and conversion runs of the real nivelo on the sample page, started
// from the headless GUI as the program starts it.
#include <unistd.h>

#include <cstring>

#include "tests/gui/preview_fixture.h"

using namespace gui_testing;
using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::SourcePath;

namespace {

class RealRuns : public PreviewTest {
protected:
    void SetUp() override
    {
        PreviewTest::SetUp();
        std::filesystem::remove(start_ + "nivelo");
        ASSERT_EQ(symlink(NIVELO_BINARY, (start_ + "nivelo").c_str()), 0);
        HeadlessRunProcessesForReal(1);
    }
    std::string Work() const { return g_work_directory; }
    std::string Log() const { return ReadFileBytes(Work() + "poil.txt"); }
};

// The view pixel (j, i) at full page, from the before image's scale.
uint32_t FullPagePixel(const BITMAP* image, const BITMAP* before, uint32_t j, uint32_t i)
{
    uint32_t vw = uint32_t(g_display.view_width), vh = uint32_t(g_display.view_height);
    uint32_t w0 = before->width, h0 = before->height;
    uint32_t x = (vh * w0) / vw < h0 ? (j * h0) / vh : (j * w0) / vw;
    uint32_t y = (vh * w0) / vw < h0 ? (i * h0) / vh : (i * w0) / vw;
    return x < image->width && y < image->height ? GetPixelColour(image, int(x), int(y)) : BACKDROP_GREY;
}

// Owning record for an image read back from the work directory.
struct StageImage {
    explicit StageImage(int k)
    {
        std::string path = std::string(g_work_directory) + "save" + std::to_string(k) + ".tga";
        EXPECT_EQ(LoadTGA(path.c_str(), &bitmap), 1) << path;
    }
    ~StageImage() { BITMAP_Free(&bitmap); }
    BITMAP bitmap = {};
};

void ExpectShown(int before_k, int after_k)
{
    StageImage before(before_k), after(after_k);
    ASSERT_NE(before.bitmap.pixels, nullptr);
    ASSERT_NE(after.bitmap.pixels, nullptr);
    for (uint32_t i = 0; i < uint32_t(g_display.view_height); i += 37)
        for (uint32_t j = 0; j < uint32_t(g_display.view_width); j += 29) {
            ASSERT_EQ(LeftView(int(j), int(i)), FullPagePixel(&before.bitmap, &before.bitmap, j, i)) << j << "," << i;
            ASSERT_EQ(RightView(int(j), int(i)), FullPagePixel(&after.bitmap, &before.bitmap, j, i)) << j << "," << i;
        }
}

TEST_F(RealRuns, PreviewOfTheSampleFillsTheWorkDirectoryAndTheViewsShowIt)
{
    std::string sample = SourcePath("samples/page.tga");
    LoadImage(sample);
    EXPECT_TRUE(HeadlessMessages().empty()) << HeadlessMessages()[0].text;
    for (int k = 0; k < kStageImageCount; k++) EXPECT_TRUE(FileExists(Work() + "save" + std::to_string(k) + ".tga")) << k;
    std::string log = Log();
    EXPECT_EQ(log.compare(0, 10, "nivelo /c\""), 0) << log;
    EXPECT_NE(log.find(sample + " done.\n"), std::string::npos) << log;
    ASSERT_TRUE(g_display.image_loaded);
    ExpectShown(0, 1);

    ChooseStage(8);  // rotation: read back, no run
    EXPECT_EQ(HeadlessProcessRuns().size(), 1u);
    ExpectShown(3, 9);
}

TEST_F(RealRuns, PathWithBlanksQuotesAndSemicolonRunsThatImageAndNothingElse)
{
    std::string directory = start_ + "a b;touch pwned;\"c/";
    std::filesystem::create_directory(directory);
    std::filesystem::copy_file(SourcePath("samples/page.tga"), directory + "page 1.tga");
    LoadImage(directory + "page 1.tga");
    EXPECT_TRUE(HeadlessMessages().empty()) << HeadlessMessages()[0].text;
    EXPECT_NE(Log().find(directory + "page 1.tga done.\n"), std::string::npos) << Log();
    EXPECT_TRUE(g_display.image_loaded);
    EXPECT_FALSE(FileExists(start_ + "pwned"));
    EXPECT_FALSE(FileExists(Work() + "pwned"));
    EXPECT_FALSE(FileExists(directory + "pwned"));
}

// A batch with a page nivelo refuses, into a first folder that does not
// exist yet: the folder is made when the user agrees, the good page is
// converted, and the summary names the bad one with nivelo's own message.
TEST_F(RealRuns, ConversionMakesTheMissingFolderLogsEveryImageAndSumsUp)
{
    std::string scans = start_ + "scans du jour/";
    std::filesystem::create_directory(scans);
    std::filesystem::copy_file(SourcePath("samples/page.tga"), scans + "p1.tga");
    testing_support::WriteFileBytes(scans + "mauvaise.tga", std::string("\0\0\x02", 3) + "bad");
    std::filesystem::create_directory(start_ + "deux");
    std::strcpy(g_gui_params.REPERTOIRE1, "un/");  // relative: from the start directory; missing
    std::strcpy(g_gui_params.REPERTOIRE2, (start_ + "deux/").c_str());
    LoadImage(MakePage());
    size_t runs = HeadlessProcessRuns().size();
    HeadlessQueueQuestionAnswer(1);  // create "un"
    HeadlessQueueFileAnswer({scans + "p1.tga", scans + "mauvaise.tga"});
    HeadlessChooseMenu(ID_CONVERT);

    ASSERT_EQ(HeadlessMessages().size(), 2u);
    EXPECT_EQ(HeadlessMessages()[0].kind, kHeadlessQuestion);
    EXPECT_NE(HeadlessMessages()[0].text.find(start_ + "un/ n'existe pas"), std::string::npos);
    EXPECT_EQ(HeadlessProcessRuns().size(), runs + 2);
    EXPECT_EQ(testing_support::ListFiles(start_ + "un"), std::vector<std::string>{"p1.tga"});
    EXPECT_EQ(testing_support::ListFiles(start_ + "deux"), std::vector<std::string>{"p1.tga"});
    const std::string& summary = HeadlessMessages()[1].text;
    EXPECT_EQ(summary.rfind("1 image convertie, 1 en échec\n", 0), 0u) << summary;
    std::string failure = scans + "mauvaise.tga :\nError reading file mauvaise.tga\n";
    EXPECT_NE(summary.find(failure), std::string::npos) << summary;
    std::string log = ReadFileBytes(Work() + "conversion.txt");
    size_t first = log.find("=== " + scans + "p1.tga\n"), second = log.find("=== " + scans + "mauvaise.tga\n");
    ASSERT_NE(first, std::string::npos) << log;
    ASSERT_NE(second, std::string::npos) << log;
    EXPECT_NE(log.find("p1.tga done.\n", first), std::string::npos);
    EXPECT_NE(log.find("Error reading file mauvaise.tga\n", second), std::string::npos);
    // The current image and its views are those of before the batch.
    EXPECT_STREQ(g_image_name, "page.tga");
    EXPECT_TRUE(g_display.image_loaded);
    EXPECT_EQ(g_display.before.width, 64);
}

}  // namespace
