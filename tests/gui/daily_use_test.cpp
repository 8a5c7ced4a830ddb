// nivelo_gui as used day to day: the strip stays drawn, a run can be
// cancelled or the window closed while nivelo works, failures say what
// nivelo said, TIFF pages open, a conversion leaves the current image alone.
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "tests/gui/preview_fixture.h"
#include "tiff/tiff.h"

using namespace gui_testing;
using testing_support::FileExists;

namespace {

class DailyUse : public PreviewTest {
protected:
    // What the screen shows in the middle of the panel's top row of controls.
    uint32_t StripPixel()
    {
        PlatformRect panel = HeadlessDialogRect(PlatformDialogResource(g_current_panel_window)->id);
        return HeadlessScreenPixel(panel.left + 3, panel.top + 3);
    }
    // nivelo replaced by a program that never ends by itself; the runs are
    // real from here on.
    void UseSleepingNivelo()
    {
        testing_support::WriteFileBytes(start_ + "nivelo", "#!/bin/sh\nexec sleep 30\n");
        HeadlessRunProcessesForReal(1);
    }
    static bool Gone(long pid) { return kill(pid_t(pid), 0) != 0 && errno == ESRCH; }
};

TEST_F(DailyUse, StripIsDrawnAfterEveryViewUpdate)
{
    Update();  // no image: the views are only redrawn grey
    EXPECT_EQ(StripPixel(), kHeadlessDialogFace);

    LoadImage(MakePage("large.tga"));
    SetZoomMode(ZOOM_100);
    BITMAP_Free(&g_display.before);
    ASSERT_EQ(BITMAP_Create(&g_display.before, 3000, 3000, PIXEL_BGR), 1);
    UpdateScrollBars();
    HeadlessScroll(SCROLL_BAR_HORIZONTAL, SCROLL_PAGE_DOWN, 0);  // a click in the trough
    EXPECT_EQ(StripPixel(), kHeadlessDialogFace);
    HeadlessScroll(SCROLL_BAR_VERTICAL, SCROLL_THUMB_TRACK, 500);
    EXPECT_EQ(StripPixel(), kHeadlessDialogFace);

    skipped_ = {2};  // a failed run turns the views grey
    ChooseStage(1);
    Update();
    EXPECT_FALSE(g_display.image_loaded);
    EXPECT_EQ(StripPixel(), kHeadlessDialogFace);
}

TEST_F(DailyUse, CancelOrCloseEndsThatNiveloAndLeavesTheViewsAsTheyWere)
{
    UseSleepingNivelo();
    HeadlessQueueAction([] { HeadlessClick(DIALOG_WAIT, IDC_WAIT_CANCEL); });
    LoadImage(MakePage("autre.tga"));  // its first run cancelled: no page open
    EXPECT_STREQ(g_image_name, "");
    EXPECT_FALSE(g_display.image_loaded);
    HeadlessRunProcessesForReal(0);
    LoadImage(MakePage());
    ChooseStage(1);
    ExpectPair(1, 2);
    HeadlessRunProcessesForReal(1);
    long pid = 0;
    HeadlessQueueAction([&pid] {
        pid = HeadlessProcessRuns().back().pid;
        EXPECT_TRUE(HeadlessInputBlocked());
        HeadlessChooseMenu(ID_ZOOM_100);  // the window takes no command meanwhile
        EXPECT_EQ(HeadlessControlText(DIALOG_WAIT, IDC_WAIT_CANCEL), "Annuler");
        HeadlessClick(DIALOG_WAIT, IDC_WAIT_CANCEL);
    });
    auto started = std::chrono::steady_clock::now();
    Update();
    // Well before the sleeper's 30 s: the run did not wait for it.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(Gone(pid));
    EXPECT_FALSE(HeadlessInputBlocked());
    EXPECT_EQ(g_display.zoom_mode, ZOOM_FULL_PAGE);
    EXPECT_TRUE(HeadlessMessages().empty());
    EXPECT_TRUE(g_display.image_loaded);
    ExpectPair(1, 2);
    EXPECT_EQ(g_valid_limit, 1);  // image 2 was asked for and is gone

    // A close request during a run ends the run, then the program.
    HeadlessQueueAction([&pid] {
        pid = HeadlessProcessRuns().back().pid;
        HeadlessCloseMainWindow();
    });
    Update();
    EXPECT_TRUE(Gone(pid));
    EXPECT_EQ(PumpMessages(), 0);
}

TEST_F(DailyUse, LongBlurRunsOnlyWhenTheUserConfirms)
{
    LoadImage(MakePage());
    ChooseStage(1);
    HeadlessClearEdit(DIALOG_BLUR, IDC_BLUR_RADIUS);
    HeadlessType(DIALOG_BLUR, IDC_BLUR_RADIUS, "99999");
    EXPECT_NE(HeadlessControlTooltip(DIALOG_BLUR, IDC_BLUR_RADIUS).find("50"), std::string::npos);
    size_t runs = Runs();
    Update();  // no answer queued: "Non"
    EXPECT_EQ(Runs(), runs);
    EXPECT_NE(HeadlessMessages().at(0).text.find("rayon 99999"), std::string::npos);
    ExpectPair(1, 2);
    HeadlessQueueQuestionAnswer(1);
    Update();
    EXPECT_EQ(Runs(), runs + 1);
}

TEST_F(DailyUse, FailedRunShowsNiveloOwnMessageOnce)
{
    std::string page = MakePage("p.tga");
    said_ = "p.tga: alpha not supported\n";
    fails_ = {page};
    LoadImage(page);
    ASSERT_EQ(HeadlessMessages().size(), 1u);
    EXPECT_EQ(HeadlessMessages()[0].title, "Erreur");
    EXPECT_EQ(HeadlessMessages()[0].text, "nivelo n'a pas traité " + page + " :\np.tga: alpha not supported\n");
    EXPECT_FALSE(g_display.image_loaded);
    EXPECT_EQ(LeftView(0, 0), BACKDROP_GREY);
}

TEST_F(DailyUse, RotationPanelShowsTheAngleOfTheLastRunAndTheTitleTheImage)
{
    said_ = "1.380000\n";
    LoadImage(MakePage());
    EXPECT_EQ(HeadlessWindowTitle(), "Nivelo gui v1.0 - page.tga");
    ChooseStage(8);
    EXPECT_EQ(HeadlessControlText(DIALOG_ROTATION, IDC_DETECTED_ANGLE), "Angle détecté : 1.38°");
    said_ = "-0.500000\n";
    Update();
    EXPECT_EQ(HeadlessControlText(DIALOG_ROTATION, IDC_DETECTED_ANGLE), "Angle détecté : -0.50°");
}

// A TIFF page is checked by the TIFF reader and goes to nivelo; a broken
// one is refused with the TIFF reader's message alone.  After a refusal no
// image is current: no old page in the views, a title that says so.
TEST_F(DailyUse, TiffPagesOpenAndARefusedFileLeavesNoImage)
{
    testing_support::TestImage grey(40, 30, PIXEL_GREY);
    ASSERT_EQ(SaveTIFF((start_ + "scan.tiff").c_str(), &grey.bitmap), 1);
    LoadImage(start_ + "scan.tiff");
    EXPECT_TRUE(HeadlessMessages().empty()) << HeadlessMessages()[0].text;
    EXPECT_TRUE(g_display.image_loaded);
    EXPECT_EQ(LastRun().args.back(), start_ + "scan.tiff");

    testing_support::WriteFileBytes(start_ + "broken.tif", std::string("II*\0\x08\0\0\0", 8));
    LoadImage(start_ + "broken.tif");
    ASSERT_EQ(HeadlessMessages().size(), 1u);
    EXPECT_EQ(HeadlessMessages()[0].text.find("alpha"), std::string::npos) << HeadlessMessages()[0].text;
    EXPECT_STREQ(g_image_name, "");
    EXPECT_FALSE(g_display.image_loaded);
    EXPECT_EQ(LeftView(0, 0), BACKDROP_GREY);
    EXPECT_EQ(HeadlessWindowTitle(), "Nivelo gui v1.0 - aucune image (broken.tif refusée)");
    size_t runs = Runs();
    Update();
    EXPECT_EQ(Runs(), runs);  // nothing to run on
}

TEST_F(DailyUse, WindowsDefaultFoldersAreReplacedBeforeAConversion)
{
    HeadlessQueueFileAnswer({"/scans/a.tga"});
    HeadlessChooseMenu(ID_CONVERT);  // the folder chooser is cancelled
    ASSERT_EQ(HeadlessMessages().size(), 1u);
    EXPECT_NE(HeadlessMessages()[0].text.find(": c:\\t\\ et c:\\trot\\."), std::string::npos);
    EXPECT_EQ(Runs(), 0u);

    HeadlessQueueFileAnswer({"/scans/a.tga"});
    HeadlessQueueFolderAnswer(1, start_);
    HeadlessQueueFolderAnswer(1, start_);
    HeadlessChooseMenu(ID_CONVERT);
    EXPECT_EQ(Runs(), 1u);
    EXPECT_EQ(std::string(g_gui_params.REPERTOIRE2), start_);
}

TEST_F(DailyUse, HousekeepingOnSaveAndQuit)
{
    std::string conf = start_ + "reglages.txt";
    testing_support::WriteFileBytes(conf, "ancien\n");
    HeadlessQueueFileAnswer({conf});
    HeadlessChooseMenu(ID_SAVE_CONFIG);  // "Remplacer ?" answered "Non"
    EXPECT_EQ(testing_support::ReadFileBytes(conf), "ancien\n");
    EXPECT_EQ(HeadlessMessages().back().kind, kHeadlessQuestion);

    LoadImage(MakePage());
    ASSERT_TRUE(FileExists(std::string(g_work_directory) + "save5.tga"));
    HeadlessChooseMenu(ID_QUIT);
    RunGui();
    EXPECT_EQ(testing_support::ListFiles(g_work_directory), std::vector<std::string>{"poil.txt"});
}

TEST_F(DailyUse, ViewsFollowTheWindowSize)
{
    LoadImage(MakePage());
    MainWindowProc(MSG_SIZE, 900u | 700u << 16);
    EXPECT_EQ(HeadlessSurfaceWidth(), 900);
    EXPECT_EQ(g_display.right_view_x + g_display.view_width, 900 - 17 - 6);
    ExpectPair(0, 1);
}

}  // namespace
