// The parameter panels, played as the user would through the headless
// window system.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "gui/config_file.h"
#include "gui/display.h"
#include "gui/gui_params.h"
#include "gui/main_window.h"
#include "gui/panel_resources.h"
#include "gui/panels.h"
#include "tests/gui/platform_headless.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

enum Stage { CROP1 = 0, BLUR = 1, SAVE1 = 2, FILTER5 = 7, ROTATION = 8, SAVE2 = 10 };

class Panels : public ::testing::Test {
protected:
    void SetUp() override
    {
        HeadlessReset({0, 0, 1280, 1024}, {3, 20, 20, 17, 17});
        SetGuiParameterDefaults();
        SetPanelDefaults();
    }
    void TearDown() override { DestroyPanels(); }

    void Start() { ASSERT_EQ(CreatePanels(), 1); }
    void ChooseStage(int stage) { HeadlessChooseListItem(DIALOG_STAGE_CHOOSER, IDC_STAGE_CHOOSER, stage); }
    int Shown() const { return PlatformDialogResource(g_current_panel_window)->id; }
};

TEST_F(Panels, StartShowsChooserFirstPanelAndUpdateBar)
{
    g_valid_limit = 4;
    Start();
    EXPECT_EQ(HeadlessDialogCount(), 3);
    EXPECT_EQ(Shown(), DIALOG_CROP1);
    auto stages = HeadlessListItems(DIALOG_STAGE_CHOOSER, IDC_STAGE_CHOOSER);
    ASSERT_EQ(stages.size(), 11u);
    EXPECT_EQ(stages[0], "Recadrage 1");
    EXPECT_EQ(stages[8], "Rotation");
    EXPECT_EQ(PlatformGetListSelection(HeadlessFindDialog(DIALOG_STAGE_CHOOSER), IDC_STAGE_CHOOSER), 0);
    EXPECT_EQ(HeadlessControlText(DIALOG_UPDATE_BAR, IDC_UPDATE), "Mettre à jour");
    EXPECT_EQ(HeadlessControlText(DIALOG_CROP1, IDC_DETECT_WIDTH), "20");
    EXPECT_EQ(HeadlessControlText(DIALOG_CROP1, IDC_DETECT_DIFF), "25");
    EXPECT_EQ(g_valid_limit, 4);  // filling the edits marked nothing stale
}

// The start-up sequence gives the set its start values and builds the
// three dialogs, whatever a previous session left.
TEST_F(Panels, StartUpBuildsThePanelsFromTheStartValues)
{
    g_gui_params.DETECT_WIDTH = 99;
    g_valid_limit = 9;
    ScratchDir dir;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    char name[] = "nivelo_gui";
    char* argv[] = {name, nullptr};
    int started = StartGui(1, argv);
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_EQ(started, 1);
    EXPECT_EQ(HeadlessDialogCount(), 3);
    EXPECT_EQ(HeadlessControlText(DIALOG_CROP1, IDC_DETECT_WIDTH), "20");
    EXPECT_EQ(g_valid_limit, 0);
    EXPECT_EQ(g_current_panel, 0);
    DestroyPanels();
    ReleaseDisplay();
    PlatformDestroyMainWindow();
}

// Each stage shows its own dialog, and every dialog lies in the strip left
// of the views (201 pixels minus the two separator columns), the panels
// between the chooser and the update bar.
TEST_F(Panels, EveryStageHasItsPanelInsideTheStrip)
{
    Start();
    const int kDialogs[] = {104, 107, 115, 105, 108, 109, 110, 111, 112, 113, 116};
    PlatformRect chooser = HeadlessDialogRect(DIALOG_STAGE_CHOOSER);
    PlatformRect bar = HeadlessDialogRect(DIALOG_UPDATE_BAR);
    EXPECT_LE(bar.right, 199);
    for (int stage = 0; stage < kStageCount; stage++) {
        ChooseStage(stage);
        ASSERT_EQ(Shown(), kDialogs[stage]);
        EXPECT_EQ(HeadlessDialogCount(), 3);
        PlatformRect panel = HeadlessDialogRect(kDialogs[stage]);
        EXPECT_LE(panel.right, 199);
        EXPECT_GE(panel.top, chooser.bottom);
        EXPECT_LE(panel.bottom, bar.top);
    }
}

TEST_F(Panels, TypingTakesEachKeystroke)
{
    Start();
    g_valid_limit = 5;
    HeadlessClearEdit(DIALOG_CROP1, IDC_DETECT_WIDTH);
    EXPECT_EQ(g_gui_params.DETECT_WIDTH, 20);  // empty: the value stays
    HeadlessType(DIALOG_CROP1, IDC_DETECT_WIDTH, "3");
    EXPECT_EQ(g_gui_params.DETECT_WIDTH, 3);
    HeadlessType(DIALOG_CROP1, IDC_DETECT_WIDTH, "5");
    EXPECT_EQ(g_gui_params.DETECT_WIDTH, 35);
    EXPECT_EQ(g_valid_limit, 0);
    HeadlessType(DIALOG_CROP1, IDC_DETECT_WIDTH, "-x");  // refused by a number edit
    EXPECT_EQ(HeadlessControlText(DIALOG_CROP1, IDC_DETECT_WIDTH), "35");
}

TEST_F(Panels, CropSideBoxesAndBackgroundSide)
{
    g_gui_params.COTE_RECADRAGE = 11;  // H, B, D
    g_gui_params.COTE_FOND = 12;       // G and D: no single entry
    Start();
    EXPECT_EQ(HeadlessListItems(DIALOG_CROP1, IDC_COTE_FOND).size(), 4u);
    PlatformDialog* panel = HeadlessFindDialog(DIALOG_CROP1);
    EXPECT_EQ(PlatformGetListSelection(panel, IDC_COTE_FOND), -1);
    EXPECT_EQ(PlatformGetCheck(panel, IDC_SIDE_TOP), 1);
    EXPECT_EQ(PlatformGetCheck(panel, IDC_SIDE_LEFT), 0);

    g_valid_limit = 3;
    HeadlessClick(DIALOG_CROP1, IDC_SIDE_TOP);
    EXPECT_EQ(g_gui_params.COTE_RECADRAGE, 10);
    EXPECT_EQ(g_valid_limit, 0);
    HeadlessClick(DIALOG_CROP1, IDC_SIDE_LEFT);
    EXPECT_EQ(g_gui_params.COTE_RECADRAGE, 14);

    HeadlessChooseListItem(DIALOG_CROP1, IDC_COTE_FOND, 2);
    EXPECT_EQ(g_gui_params.COTE_FOND, 4);
    HeadlessClick(DIALOG_CROP1, IDC_RECADRAGE1);
    EXPECT_EQ(g_gui_params.RECADRAGE1, 0);
}

// After a configuration is read the panel shown is refreshed in place: its
// list keeps its four entries and follows the new side.
TEST_F(Panels, RefreshAfterReadingAConfiguration)
{
    Start();
    ScratchDir dir;
    WriteFileBytes(dir / "c.txt", "COTE_FOND=H\nDETECT_DIFF=40\n");
    ReadConfigFile((dir / "c.txt").c_str());
    FillPanel(g_current_panel_window, 0);
    EXPECT_EQ(HeadlessListItems(DIALOG_CROP1, IDC_COTE_FOND).size(), 4u);
    EXPECT_EQ(PlatformGetListSelection(g_current_panel_window, IDC_COTE_FOND), 0);
    EXPECT_EQ(HeadlessControlText(DIALOG_CROP1, IDC_DETECT_DIFF), "40");
}

TEST_F(Panels, AutomaticColourSwitchesTheColourControls)
{
    g_gui_params.fill_colour[0] = 10;
    g_gui_params.fill_colour[1] = 20;
    g_gui_params.fill_colour[2] = 30;
    Start();
    ChooseStage(ROTATION);
    PlatformDialog* panel = g_current_panel_window;
    const int kColourControls[] = {IDC_FILL_RED, IDC_FILL_GREEN, IDC_FILL_BLUE, IDC_CHOOSE_COLOUR};
    for (int id : kColourControls) EXPECT_EQ(PlatformIsControlEnabled(panel, id), 0) << id;
    EXPECT_EQ(HeadlessControlText(DIALOG_ROTATION, IDC_FILL_GREEN), "20");

    HeadlessClick(DIALOG_ROTATION, IDC_AUTOMATIC_COLOUR);
    EXPECT_EQ(g_gui_params.automatic_colour, 0);
    for (int id : kColourControls) EXPECT_EQ(PlatformIsControlEnabled(panel, id), 1) << id;
    HeadlessClick(DIALOG_ROTATION, IDC_AUTOMATIC_COLOUR);
    EXPECT_EQ(g_gui_params.automatic_colour, 1);
    for (int id : kColourControls) EXPECT_EQ(PlatformIsControlEnabled(panel, id), 0) << id;
    EXPECT_EQ(g_gui_params.fill_colour[0], 10);
    EXPECT_EQ(g_gui_params.fill_colour[1], 20);
    EXPECT_EQ(g_gui_params.fill_colour[2], 30);
}

TEST_F(Panels, ColourChooserAndColourEdits)
{
    g_gui_params.automatic_colour = 0;
    g_gui_params.fill_colour[1] = 99;
    Start();
    ChooseStage(ROTATION);
    HeadlessQueueColourAnswer(0, 0);  // cancelled: nothing changes
    HeadlessClick(DIALOG_ROTATION, IDC_CHOOSE_COLOUR);
    EXPECT_EQ(g_gui_params.fill_colour[1], 99);

    HeadlessQueueColourAnswer(1, 0x0000FF);  // pure red
    HeadlessClick(DIALOG_ROTATION, IDC_CHOOSE_COLOUR);
    EXPECT_EQ(HeadlessControlText(DIALOG_ROTATION, IDC_FILL_RED), "255");
    EXPECT_EQ(HeadlessControlText(DIALOG_ROTATION, IDC_FILL_GREEN), "0");
    EXPECT_EQ(HeadlessControlText(DIALOG_ROTATION, IDC_FILL_BLUE), "0");
    EXPECT_EQ(g_gui_params.fill_colour[0], 255);
    EXPECT_EQ(g_gui_params.fill_colour[1], 0);

    HeadlessClearEdit(DIALOG_ROTATION, IDC_FILL_BLUE);
    HeadlessType(DIALOG_ROTATION, IDC_FILL_BLUE, "300");
    EXPECT_EQ(g_gui_params.fill_colour[2], 44);  // low 8 bits of what is typed
}

TEST_F(Panels, FolderBrowser)
{
    Start();
    ChooseStage(SAVE1);
    HeadlessQueueFolderAnswer(0, "");
    HeadlessClick(DIALOG_SAVE1, IDC_BROWSE1);
    EXPECT_STREQ(g_gui_params.REPERTOIRE1, "c:\\t\\");
    EXPECT_EQ(HeadlessControlText(DIALOG_SAVE1, IDC_REPERTOIRE1), "c:\\t\\");

    g_valid_limit = 12;
    HeadlessQueueFolderAnswer(1, "/data/sortie");
    HeadlessClick(DIALOG_SAVE1, IDC_BROWSE1);
    EXPECT_STREQ(g_gui_params.REPERTOIRE1, "/data/sortie/");
    EXPECT_EQ(HeadlessControlText(DIALOG_SAVE1, IDC_REPERTOIRE1), "/data/sortie/");
    EXPECT_EQ(g_valid_limit, 12);

    HeadlessQueueFolderAnswer(1, "/");
    HeadlessClick(DIALOG_SAVE1, IDC_BROWSE1);
    EXPECT_STREQ(g_gui_params.REPERTOIRE1, "/");

    // A path that cannot hold its separator in the buffer is refused whole.
    HeadlessQueueFolderAnswer(1, "/" + std::string(kGuiPathSize - 2, 'a'));
    ::testing::internal::CaptureStdout();
    HeadlessClick(DIALOG_SAVE1, IDC_BROWSE1);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("trop long"), std::string::npos);
    EXPECT_STREQ(g_gui_params.REPERTOIRE1, "/");

    HeadlessClick(DIALOG_SAVE1, IDC_BLACK_AND_WHITE);
    EXPECT_EQ(g_gui_params.black_and_white, 1);
}

TEST_F(Panels, DirectoriesDoNotMarkImagesStaleButAnglesDo)
{
    Start();
    ChooseStage(SAVE2);
    g_valid_limit = 12;
    HeadlessType(DIALOG_SAVE2, IDC_REPERTOIRE2, "x");
    EXPECT_STREQ(g_gui_params.REPERTOIRE2, "c:\\trot\\x");
    EXPECT_EQ(g_valid_limit, 12);

    ChooseStage(ROTATION);
    g_valid_limit = 12;
    HeadlessType(DIALOG_ROTATION, IDC_OFFSET_ANGLE, "5");
    EXPECT_EQ(g_gui_params.OFFSET_ANGLE, double(0.0000005f));  // "0.0000005", single precision
    EXPECT_EQ(g_valid_limit, ROTATION);
}

TEST_F(Panels, RealEditsReadLikePercentF)
{
    Start();
    ChooseStage(FILTER5);
    EXPECT_EQ(HeadlessControlText(DIALOG_FILTER5, IDC_VISION_ANGLE), "3.000000");
    HeadlessClearEdit(DIALOG_FILTER5, IDC_VISION_ANGLE);
    EXPECT_EQ(g_gui_params.VISION_ANGLE, 3.0);  // no number: unchanged
    HeadlessType(DIALOG_FILTER5, IDC_VISION_ANGLE, "2,5");
    EXPECT_EQ(g_gui_params.VISION_ANGLE, 2.0);
    HeadlessClearEdit(DIALOG_FILTER5, IDC_VISION_ANGLE);
    HeadlessType(DIALOG_FILTER5, IDC_VISION_ANGLE, "0.1");
    EXPECT_EQ(g_gui_params.VISION_ANGLE, double(0.1f));
}

TEST_F(Panels, SwitchingKeepsTheValidLimitAndRebuildsThePanel)
{
    Start();
    ChooseStage(BLUR);
    HeadlessClearEdit(DIALOG_BLUR, IDC_BLUR_RADIUS);
    HeadlessType(DIALOG_BLUR, IDC_BLUR_RADIUS, "7");
    g_valid_limit = 7;
    int created = HeadlessDialogsCreated();
    PlatformDialog* before = g_current_panel_window;

    ChooseStage(BLUR);  // the same stage again
    EXPECT_EQ(HeadlessDialogsCreated(), created + 1);
    EXPECT_NE(g_current_panel_window, before);
    EXPECT_EQ(HeadlessControlText(DIALOG_BLUR, IDC_BLUR_RADIUS), "7");
    EXPECT_EQ(g_valid_limit, 7);

    ChooseStage(CROP1);
    EXPECT_EQ(g_current_panel, CROP1);
    EXPECT_EQ(g_valid_limit, 7);
    EXPECT_EQ(HeadlessFindDialog(DIALOG_BLUR), nullptr);
}

}  // namespace
