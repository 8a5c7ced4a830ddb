// The start-up sequence, the message loop and the GUI's error box, run
// against the headless platform in a scratch start directory.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/support.h"
#include "gui/main_window.h"
#include "gui/resources.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

using namespace gui_testing;
using testing_support::ScratchDir;

namespace {

class GuiStartup : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        saved_ = std::filesystem::current_path();
        std::filesystem::current_path(scratch_.path);
    }
    void TearDown() override
    {
        std::filesystem::current_path(saved_);
        GuiTest::TearDown();
    }
    std::string Current() { return std::filesystem::current_path().string() + "/"; }
    ScratchDir scratch_;
    std::filesystem::path saved_;
};

char kProgram[] = "nivelo_gui";

}  // namespace

TEST_F(GuiStartup, BuildsTheWindowOverTheWorkAreaWithGreyViewsAndSeparators)
{
    char* argv[] = {kProgram, nullptr};
    ASSERT_EQ(StartGui(1, argv), 1);
    std::string start = Current();
    EXPECT_EQ(std::string(g_start_directory), start);
    EXPECT_EQ(std::string(g_work_directory), start + "nivelo_gui_work/");
    EXPECT_TRUE(std::filesystem::is_directory(g_work_directory));
    EXPECT_EQ(Current(), start);  // created on the first run, not entered

    EXPECT_EQ(HeadlessWindowTitle(), "Nivelo gui v1.0");
    PlatformRect r = HeadlessMainWindowRect();
    EXPECT_EQ(r.right, 1280);
    EXPECT_EQ(r.bottom, 1024);
    EXPECT_EQ(HeadlessTimerPeriod(0), 20);
    EXPECT_EQ(HeadlessSurfaceWidth(), 1280);
    EXPECT_EQ(HeadlessSurfaceHeight(), 962);
    EXPECT_EQ(HeadlessPresentedPixel(400, 300), BACKDROP_GREY);
    EXPECT_TRUE(HeadlessMenuChecked(ID_ZOOM_FULL_PAGE));
    EXPECT_FALSE(HeadlessMenuChecked(ID_ZOOM_100));
    EXPECT_EQ(g_display.zoom_mode, ZOOM_FULL_PAGE);
    EXPECT_EQ(HeadlessGetScrollBar(SCROLL_BAR_VERTICAL).maximum, 0);
    EXPECT_EQ(HeadlessGetScrollBar(SCROLL_BAR_VERTICAL).page, 1);
    EXPECT_TRUE(HeadlessMessages().empty());
}

TEST_F(GuiStartup, UnreadableImageArgumentGivesOneErrorBoxAndGreyViews)
{
    char name[] = "missing.tga";
    char* argv[] = {kProgram, name, nullptr};
    ASSERT_EQ(StartGui(2, argv), 1);
    ASSERT_EQ(HeadlessMessages().size(), 1u);
    EXPECT_EQ(HeadlessMessages()[0].title, "Erreur");
    EXPECT_EQ(HeadlessMessages()[0].kind, MESSAGE_ERROR);
    EXPECT_EQ(HeadlessMessages()[0].text, "Could not open file " + Current() + "missing.tga\n");
    EXPECT_FALSE(g_display.image_loaded);
    EXPECT_EQ(HeadlessPresentedPixel(400, 400), BACKDROP_GREY);
}

// Starts the program and waits for its end, as the GUI's run loop does.
static int RunToEnd(const ProcessRequest* request, int* status, int* error)
{
    long pid;
    if (!PlatformStartProcess(request, &pid, error)) return 0;
    while (!PlatformProcessEnded(pid, status)) {
    }
    return 1;
}

TEST(GuiProcess, ArgumentsReachTheProgramUnchangedWithoutAShell)
{
    ScratchDir dir;
    std::string output = dir / "out.txt";
    ProcessRequest request{"printf", {"[%s]", "a b;touch " + dir.path + "pwned", "\"q\""}, output.c_str(),
                           "header line\n", dir.path.c_str()};
    int status = -2, error = -2;
    ASSERT_EQ(RunToEnd(&request, &status, &error), 1);  // headless records without running
    HeadlessRunProcessesForReal(1);
    ASSERT_EQ(RunToEnd(&request, &status, &error), 1);
    HeadlessRunProcessesForReal(0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(testing_support::ReadFileBytes(output), "header line\n[a b;touch " + dir.path + "pwned][\"q\"]");
    EXPECT_FALSE(testing_support::FileExists(dir / "pwned"));
    ASSERT_EQ(HeadlessProcessRuns().size(), 2u);
    EXPECT_EQ(HeadlessProcessRuns()[0].args[1], "a b;touch " + dir.path + "pwned");

    ProcessRequest missing{"/nonexistent/nivelo", {}, output.c_str(), nullptr, nullptr};
    HeadlessRunProcessesForReal(1);
    EXPECT_EQ(RunToEnd(&missing, &status, &error), 0);
    HeadlessRunProcessesForReal(0);
    EXPECT_EQ(error, ENOENT);
}
