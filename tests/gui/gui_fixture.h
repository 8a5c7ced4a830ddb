// nivelo_gui started headless in a scratch start directory, with nivelo
// played by a stand-in that writes stage image k as a plain (20 + k) x
// (10 + k) image of its own colour, so that every view tells which stage
// image it shows.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "gui/app/app.h"
#include "gui/app/main_window.h"
#include "gui/commands/menu_commands.h"
#include "gui/commands/resources.h"
#include "gui/panels/panel_resources.h"
#include "gui/panels/panels.h"
#include "gui/previews/run_nivelo.h"
#include "gui/views/display.h"
#include "gui/views/pixels.h"
#include "gui/views/render.h"
#include "tests/gui/platform_headless.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

namespace gui_testing {
using namespace testing_support;

inline uint32_t StageColour(int k) { return uint32_t(10 + 20 * k) | uint32_t(200 - 10 * k) << 8 | 0x300000u; }

// The mask of a run's /d word (the one before the image), or -1.
inline int MaskOf(const HeadlessRun& run)
{
    const std::string& word = run.args.at(run.args.size() - 2);
    return word.compare(0, 2, "/d") == 0 ? std::stoi(word.substr(2)) : -1;
}

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (scratch_.path + "xdg").c_str(), 1);  // never the user's own
        ASSERT_EQ(Start(), 1);
        start_ = app_.folders.start;
        WriteFileBytes(start_ + "nivelo", "#!/bin/sh\n");  // found there; the stand-in plays it
        chmod((start_ + "nivelo").c_str(), 0755);
        g_headless.stand_in = [this](const HeadlessRun& run) {
            if (run.program != start_ + "nivelo") return;  // xdg-open
            if (refused_.count(run.args.back())) {
                WriteFileBytes(run.output_path, run.output_header + "Error reading file " + run.args.back() + "\n");
                return;
            }
            for (int k = 0; k < kStageImageCount; k++) {
                if (MaskOf(run) < 0 || !(MaskOf(run) >> k & 1) || skipped_.count(k)) continue;
                TestImage image(20 + k, 10 + k, PIXEL_BGR);
                ClearImage(&image.bitmap, StageColour(k));
                SaveTGA((std::string(app_.folders.work) + "save" + std::to_string(k) + ".tga").c_str(), &image.bitmap);
            }
            WriteFileBytes(run.output_path, run.output_header + said_ + (fails_ ? "" : run.args.back() + " done.\n"));
        };
    }
    void TearDown() override { End(); }
    // A fresh window in the scratch folder, as a new start of the program.
    int Start()
    {
        HeadlessReset();
        app_ = App{};
        std::snprintf(app_.folders.start, sizeof app_.folders.start, "%s", scratch_.path.c_str());
        char program[] = "nivelo_gui";
        char* argv[] = {program, nullptr};
        return StartGui(app_, 1, argv);
    }
    void End() { EndWorkFolder(app_), DestroyPanels(app_), FreeDisplay(app_.display); }
    uint32_t LeftView(int j, int i) const { return HeadlessPixel(app_.display.left_view_x + j, i); }
    uint32_t RightView(int j, int i) const { return HeadlessPixel(app_.display.right_view_x + j, i); }
    std::string MakePage(const std::string& name = "page.tga")  // a TGA page in the start directory
    {
        TestImage page(64, 48, PIXEL_BGR);
        return SaveTGA((start_ + name).c_str(), &page.bitmap) ? start_ + name : "";
    }
    void LoadImage(const std::string& path) { g_headless.file_answers.push_back({path}), HeadlessMenu(ID_LOAD_IMAGE); }
    void ChooseStage(int stage) { HeadlessChoose(DIALOG_STAGE_CHOOSER, IDC_STAGE_CHOOSER, stage); }
    void Update() { HeadlessClick(DIALOG_UPDATE_BAR, IDC_UPDATE); }
    size_t Runs() const { return g_headless.runs.size(); }
    void ExpectPair(int before, int after)  // the views show stage images before and after
    {
        EXPECT_EQ(LeftView(0, 0), StageColour(before));
        EXPECT_EQ(RightView(0, 0), StageColour(after));
    }

    ScratchDir scratch_;
    App app_;
    std::string start_;
    std::set<int> skipped_;  // stage images the stand-in fails to write
    std::string said_;       // printed by the stand-in before its "done." line
    int fails_ = 0;          // the stand-in ends without its "done." line
    std::set<std::string> refused_;  // images the stand-in cannot read
};

}  // namespace gui_testing
