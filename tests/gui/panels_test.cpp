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

    // The precise search: on at start, its range an edit like the others.
    EXPECT_EQ(g_gui_params.AFFINAGE, 1);
    EXPECT_EQ(HeadlessControlText(DIALOG_ROTATION, IDC_AFFINAGE_PLAGE), "10.000000");
    g_valid_limit = 12;
    HeadlessClick(DIALOG_ROTATION, IDC_AFFINAGE);
    EXPECT_EQ(g_gui_params.AFFINAGE, 0);
    EXPECT_EQ(g_valid_limit, ROTATION);
    g_valid_limit = 12;
    HeadlessClearEdit(DIALOG_ROTATION, IDC_AFFINAGE_PLAGE);
    HeadlessType(DIALOG_ROTATION, IDC_AFFINAGE_PLAGE, "4.5");
    EXPECT_EQ(g_gui_params.AFFINAGE_PLAGE, 4.5);
    EXPECT_EQ(g_valid_limit, ROTATION);
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
