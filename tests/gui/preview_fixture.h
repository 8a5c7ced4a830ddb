// Set-up shared by the tests of previews and menu commands: nivelo_gui
// started headless in a scratch start directory, and a stand-in for nivelo
// that writes stage image k as a plain (20 + k) x (10 + k) image of its own
// colour, so that every view tells which stage image it shows.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "gui/menu_commands.h"
#include "gui/panel_resources.h"
#include "gui/panels.h"
#include "gui/run_nivelo.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

namespace gui_testing {

inline uint32_t StageColour(int k) { return uint32_t(10 + 20 * k) | uint32_t(200 - 10 * k) << 8 | 0x300000u; }

inline void WriteStageImage(int k)
{
    testing_support::TestImage image(20 + k, 10 + k, PIXEL_BGR);
    ClearImage(&image.bitmap, StageColour(k));
    std::string path = std::string(g_work_directory) + "save" + std::to_string(k) + ".tga";
    ASSERT_EQ(SaveTGA(path.c_str(), &image.bitmap), 1);
}

// The mask of a recorded run's /d word, or -1 without one.
inline int MaskOf(const HeadlessProcessRun& run)
{
    for (const std::string& word : run.args)
        if (word.size() > 2 && word.compare(0, 2, "/d") == 0) return std::stoi(word.substr(2));
    return -1;
}

class PreviewTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        saved_ = std::filesystem::current_path();
        std::filesystem::current_path(scratch_.path);
        char program[] = "nivelo_gui";
        char* argv[] = {program, nullptr};
        ASSERT_EQ(StartGui(1, argv), 1);
        start_ = g_start_directory;
        // A nivelo in the start directory, found there; the stand-in plays it.
        testing_support::WriteFileBytes(start_ + "nivelo", "#!/bin/sh\n");
        chmod((start_ + "nivelo").c_str(), 0755);
        HeadlessSetProcessStandIn([this](const HeadlessProcessRun& run) {
            int mask = MaskOf(run);
            for (int k = 0; k < kStageImageCount; k++)
                if (mask >= 0 && (mask & (1 << k)) && !skipped_.count(k)) WriteStageImage(k);
            // What nivelo prints: said_, then the line of a finished run.
            std::string image = run.args.empty() ? "" : run.args.back();
            std::string done = fails_.count(image) ? "" : image + " done.\n";
            testing_support::WriteFileBytes(run.output_path, run.output_header + said_ + done);
        });
    }
    void TearDown() override
    {
        DestroyPanels();
        std::filesystem::current_path(saved_);
        GuiTest::TearDown();
    }

    // A small TGA page in the start directory (or the given path).
    std::string MakePage(const std::string& name = "page.tga")
    {
        testing_support::TestImage page(64, 48, PIXEL_BGR);
        MakePatternImage(&page.bitmap, 64, 48);
        std::string path = name[0] == '/' ? name : start_ + name;
        EXPECT_EQ(SaveTGA(path.c_str(), &page.bitmap), 1);
        return path;
    }
    // "Charger Image..." answered with path.
    void LoadImage(const std::string& path)
    {
        HeadlessQueueFileAnswer({path});
        HeadlessChooseMenu(ID_LOAD_IMAGE);
    }
    void ChooseStage(int stage) { HeadlessChooseListItem(DIALOG_STAGE_CHOOSER, IDC_STAGE_CHOOSER, stage); }
    void Update() { HeadlessClick(DIALOG_UPDATE_BAR, IDC_UPDATE); }
    size_t Runs() const { return HeadlessProcessRuns().size(); }
    const HeadlessProcessRun& LastRun() const { return HeadlessProcessRuns().back(); }
    // The views show stage images before and after (by their sizes).
    void ExpectPair(int before, int after)
    {
        EXPECT_EQ(g_display.before.width, 20 + before);
        EXPECT_EQ(g_display.after.width, 20 + after);
        EXPECT_EQ(LeftView(0, 0), StageColour(before));
        EXPECT_EQ(RightView(0, 0), StageColour(after));
    }

    testing_support::ScratchDir scratch_;
    std::filesystem::path saved_;
    std::string start_;
    std::set<int> skipped_;  // stage images the stand-in fails to write
    std::string said_;  // printed by the stand-in before its "done." line
    std::set<std::string> fails_;  // images (last argument word) the stand-in gives no "done." line for
};

}  // namespace gui_testing
