// Preview runs and the valid limit, with nivelo recorded and played by a
// stand-in (preview_fixture.h).
#include <cerrno>

#include "gui/previews.h"
#include "tests/gui/preview_fixture.h"

using namespace gui_testing;

namespace {

enum Stage { CROP1 = 0, BLUR = 1, SAVE1 = 2, FILTER1 = 3, FILTER3 = 5, ROTATION = 8, CROP2 = 9, SAVE2 = 10 };

TEST_F(PreviewTest, CommandTextIsBuiltAndTheRunTakesSeparateWords)
{
    std::string conf = start_ + "nivelo_gui_conf.txt";
    std::string log = start_ + "nivelo_gui_work/poil.txt";
    ASSERT_EQ(RunPreview("/scans/", "page1.tga", 4095), 1);
    ASSERT_EQ(Runs(), 1u);
    EXPECT_EQ(LastRun().program, start_ + "nivelo");
    EXPECT_EQ(LastRun().output_header, "nivelo /c\"" + conf + "\"  /d4095 /scans/page1.tga >" + log + "\n");
    EXPECT_EQ(LastRun().args, (std::vector<std::string>{"/c" + conf, "/d4095", "/scans/page1.tga"}));
    EXPECT_EQ(LastRun().output_path, log);
    EXPECT_EQ(LastRun().working_directory, start_);
    // The wait box was up during the run and is gone after it.
    EXPECT_EQ(LastRun().popup_texts, (std::vector<std::string>{"Mise à jour des images", "Veuillez patienter", "Annuler"}));
    EXPECT_EQ(HeadlessFindDialog(DIALOG_WAIT), nullptr);
    // The preview configuration sends results to the work directory only.
    std::string written = testing_support::ReadFileBytes(conf);
    EXPECT_NE(written.find("REPERTOIRE1=\"\"\nREPERTOIRE2=\"" + start_ + "nivelo_gui_work/\"\n"), std::string::npos);

    g_gui_params.black_and_white = 1;
    ASSERT_EQ(RunPreview("/scans/", "page1.tga", 4), 1);
    EXPECT_EQ(LastRun().output_header, "nivelo /c\"" + conf + "\" /b /d4 /scans/page1.tga >" + log + "\n");
    EXPECT_EQ(LastRun().args, (std::vector<std::string>{"/c" + conf, "/b", "/d4", "/scans/page1.tga"}));
}

TEST_F(PreviewTest, ImageAcceptedRunsAllTwelveThenSwitchesOnlyReadPairs)
{
    LoadImage(MakePage());
    ASSERT_EQ(Runs(), 1u);
    EXPECT_EQ(MaskOf(LastRun()), 4095);
    EXPECT_EQ(LastRun().args.back(), start_ + "page.tga");
    EXPECT_EQ(g_valid_limit, 12);
    EXPECT_TRUE(g_display.image_loaded);
    ExpectPair(0, 1);
    for (int stage : {SAVE2, ROTATION, FILTER1, CROP1}) {
        ChooseStage(stage);
        ExpectPair(stage == ROTATION ? 3 : stage, stage + 1);
    }
    EXPECT_EQ(Runs(), 1u);
    EXPECT_TRUE(HeadlessMessages().empty());
}

TEST_F(PreviewTest, ValidLimitTransitionsOfEditsSwitchesAndUpdates)
{
    LoadImage(MakePage());
    ChooseStage(BLUR);
    HeadlessClearEdit(DIALOG_BLUR, IDC_BLUR_RADIUS);
    HeadlessType(DIALOG_BLUR, IDC_BLUR_RADIUS, "5");
    EXPECT_EQ(g_valid_limit, BLUR);
    EXPECT_EQ(Runs(), 1u);  // editing runs nothing

    ChooseStage(FILTER3);  // images 2 to 6
    ASSERT_EQ(Runs(), 2u);
    EXPECT_EQ(MaskOf(LastRun()), 124);
    EXPECT_EQ(g_valid_limit, 6);
    ExpectPair(5, 6);
    ChooseStage(FILTER1);  // below the limit
    EXPECT_EQ(Runs(), 2u);
    ExpectPair(3, 4);

    ChooseStage(ROTATION);  // images 7 to 9
    EXPECT_EQ(MaskOf(LastRun()), 896);
    Update();
    EXPECT_EQ(MaskOf(LastRun()), 512);
    EXPECT_EQ(g_valid_limit, 9);
    ExpectPair(3, 9);

    ChooseStage(SAVE2);  // images 10 and 11
    EXPECT_EQ(MaskOf(LastRun()), 3072);
    EXPECT_EQ(g_valid_limit, 11);
    Update();
    EXPECT_EQ(MaskOf(LastRun()), 2048);
    ChooseStage(CROP1);
    Update();  // an update lowers a higher limit to the panel's after image
    EXPECT_EQ(MaskOf(LastRun()), 2);
    EXPECT_EQ(g_valid_limit, 1);
    EXPECT_TRUE(HeadlessMessages().empty());
}

TEST_F(PreviewTest, AFailedRunNeverShowsTheImagesOfAnEarlierOne)
{
    LoadImage(MakePage());
    ChooseStage(ROTATION);
    skipped_ = {9};  // this run writes no image 9; the earlier one must not be shown
    Update();
    ASSERT_EQ(HeadlessMessages().size(), 1u);
    EXPECT_EQ(HeadlessMessages()[0].text, "Could not open file " + start_ + "nivelo_gui_work/save9.tga\n");
    EXPECT_EQ(RightView(0, 0), BACKDROP_GREY);
}

}  // namespace
