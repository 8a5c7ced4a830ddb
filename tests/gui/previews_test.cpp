// Start-up, preview runs and the valid limit, the panels' edits, and runs
// that fail or are cancelled, with nivelo played by the stand-in.
#include "gui/settings/gui_params.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_testing;

TEST_F(GuiTest, StartUpAndThePreviewCommand)
{
    std::string work = app_.folders.work;
    EXPECT_EQ(work.rfind(start_ + "nivelo_gui_work/", 0), 0u);
    EXPECT_EQ(work.size(), start_.size() + 23);  // a short name: the command text holds it twice
    std::string conf = work + "nivelo_gui_conf.txt", log = work + "poil.txt";
    ASSERT_EQ(RunPreview(app_, "/scans/", "page1.tga", 4095), RUN_DONE);
    const HeadlessRun& run = g_headless.runs.back();
    EXPECT_EQ(run.program + "|" + run.output_path + "|" + run.working_directory, start_ + "nivelo|" + log + "|" + start_);
    EXPECT_EQ(run.args, (std::vector<std::string>{"/c" + conf, "/d4095", "/scans/page1.tga"}));
    EXPECT_EQ(run.popup_texts.at(0), "Mise à jour des images");  // the wait box is up during the run only
    EXPECT_EQ(HeadlessFindDialog(DIALOG_WAIT), nullptr);
    // The preview sends its results to the work directory only.
    EXPECT_NE(ReadFileBytes(conf).find("REPERTOIRE1=\"\"\nREPERTOIRE2=\"" + work + "\"\n"),
              std::string::npos);
    app_.params.black_and_white = 1;
    ASSERT_EQ(RunPreview(app_, "/scans/", "page1.tga", 4), RUN_DONE);
    EXPECT_EQ(g_headless.runs.back().args, (std::vector<std::string>{"/c" + conf, "/b", "/d4", "/scans/page1.tga"}));
}

// Each step: what the user does, the mask of the run it starts (-1: none),
// then the valid limit and the stage images shown.
TEST_F(GuiTest, ValidLimitAndMasksOfLoadsEditsSwitchesAndUpdates)
{
    enum { LOAD, STAGE, EDIT, UPDATE };
    int steps[][6] = {
        {LOAD, 0, 4095, 12, 0, 1},     {STAGE, 10, -1, 12, 10, 11},   {STAGE, 8, -1, 12, 3, 9},
        {STAGE, 1, -1, 12, 1, 2},      {EDIT, 0, -1, 1, 1, 2},        {STAGE, 5, 124, 6, 5, 6},
        {STAGE, 3, -1, 6, 3, 4},       {STAGE, 8, 896, 9, 3, 9},      {UPDATE, 0, 512, 9, 3, 9},
        {STAGE, 10, 3072, 11, 10, 11}, {UPDATE, 0, 2048, 11, 10, 11}, {STAGE, 0, -1, 11, 0, 1},
        {UPDATE, 0, 2, 1, 0, 1},
    };
    std::string page = MakePage();
    for (auto& s : steps) {
        size_t runs = Runs();
        if (s[0] == LOAD) LoadImage(page);
        if (s[0] == STAGE) ChooseStage(s[1]);
        if (s[0] == EDIT) PlatformSetEditText(app_.panels.window, IDC_BLUR_RADIUS, "5");
        if (s[0] == UPDATE) Update();
        SCOPED_TRACE(&s - steps);
        ASSERT_EQ(Runs(), runs + (s[2] >= 0));
        EXPECT_EQ(s[2] >= 0 ? MaskOf(g_headless.runs.back()) : -1, s[2]);
        EXPECT_EQ(app_.valid_limit, s[3]);
        ExpectPair(s[4], s[5]);
    }
    EXPECT_EQ(app_.params.BLUR_RADIUS, 5);
    EXPECT_TRUE(g_headless.messages.empty());
}

TEST_F(GuiTest, PanelEditsReachTheParameterSet)
{
    GuiParameterSet& p = app_.params;
    app_.valid_limit = 12;
    HeadlessClick(DIALOG_CROP1, IDC_SIDE_TOP);  // B and D at start
    EXPECT_EQ(p.COTE_RECADRAGE, SIDE_TOP | SIDE_BOTTOM | SIDE_RIGHT);
    EXPECT_EQ(app_.valid_limit, 0);
    HeadlessChoose(DIALOG_CROP1, IDC_COTE_FOND, 2);
    HeadlessClick(DIALOG_CROP1, IDC_RECADRAGE1);
    EXPECT_EQ(p.COTE_FOND, SIDE_LEFT);
    EXPECT_EQ(p.RECADRAGE1, 0);
    ChooseStage(8);
    app_.valid_limit = 12;
    HeadlessClick(DIALOG_ROTATION, IDC_AFFINAGE);
    PlatformSetEditText(app_.panels.window, IDC_OFFSET_ANGLE, "0.5");
    EXPECT_EQ(p.AFFINAGE, 0);
    EXPECT_EQ(p.OFFSET_ANGLE, 0.5);
    EXPECT_EQ(app_.valid_limit, 8);
    ChooseStage(10);  // the folders change no stage image
    g_headless.folder_answers.push_back("/tmp/sortie");
    HeadlessClick(DIALOG_SAVE2, IDC_BROWSE2);
    EXPECT_STREQ(p.REPERTOIRE2, "/tmp/sortie/");
    EXPECT_EQ(HeadlessFind(DIALOG_SAVE2, IDC_REPERTOIRE2)->text, "/tmp/sortie/");
    EXPECT_EQ(app_.valid_limit, 8);
    // The ground is painted at the second crop: its result is stale, the
    // turned page before it is not.
    ChooseStage(9);
    app_.valid_limit = 12;
    HeadlessClick(DIALOG_CROP2, IDC_NETTOYAGE_BORDS);
    EXPECT_EQ(p.NETTOYAGE_BORDS, 1);
    EXPECT_EQ(app_.valid_limit, 9);
}

TEST_F(GuiTest, FailedRunsShowNiveloOwnWordsAndNoEarlierImage)
{
    LoadImage(MakePage());
    ChooseStage(8);
    skipped_ = {9};  // this run writes no image 9; the earlier one must not be shown
    Update();
    EXPECT_EQ(RightView(0, 0), BACKDROP_GREY);
    said_ = "p.tga: alpha not supported\n";
    fails_ = 1;
    LoadImage(MakePage("p.tga"));
    std::string work = app_.folders.work;
    EXPECT_EQ(g_headless.messages, (std::vector<std::string>{"Could not open file " + work + "save9.tga\n",
                                                             "nivelo n'a pas traité " + start_ + "p.tga :\n" + said_}));
    EXPECT_FALSE(app_.display.image_loaded);
    EXPECT_EQ(LeftView(0, 0), BACKDROP_GREY);
}

// A long blur is asked about first; "Annuler" or closing the window ends
// the nivelo that runs and leaves the views as they were.
TEST_F(GuiTest, LongBlursAreAskedAboutAndRunsCanBeCancelled)
{
    LoadImage(MakePage());
    ChooseStage(1);
    PlatformSetEditText(app_.panels.window, IDC_BLUR_RADIUS, "999");
    Update();  // "Non"
    EXPECT_EQ(Runs(), 1u);
    PlatformSetEditText(app_.panels.window, IDC_BLUR_RADIUS, "3");
    for (int close : {0, 1}) {
        g_headless.actions.push_back([this, close] {
            HeadlessMenu(ID_ZOOM_100);  // refused during a run
            if (close) g_headless.procedure(&app_, MSG_DESTROY, 0);
            else HeadlessClick(DIALOG_WAIT, IDC_WAIT_CANCEL);
        });
        g_headless.running = 1;
        g_headless.question_answers = {1, 1};  // stop nivelo and quit; without saving the settings
        Update();
        EXPECT_EQ(g_headless.kills, 1 + close);
        EXPECT_EQ(app_.display.zoom_mode, ZOOM_FULL_PAGE);
        EXPECT_EQ(app_.valid_limit, 1);  // image 2 was asked for and is gone
    }
    ExpectPair(1, 2);
    EXPECT_EQ(PumpMessages(app_), 0);
}
