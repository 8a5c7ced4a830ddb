// The valid limit's transitions:
//   switching to panel c >= limit   run for images limit + 1 .. c + 1, limit := c + 1
//   switching to panel c <  limit   no run
//   "Mettre à jour" on panel c      run for image c + 1, limit := c + 1
//   full refresh                    run for all twelve, limit := 12
// Edits lower the limit (panels.cpp).  Without an image there is nothing to
// run nivelo on: the views are only redrawn (grey).
#include "gui/previews/previews.h"

#include <cstdio>
#include <string>

#include "gui/views/display.h"
#include "gui/app/main_window.h"
#include "gui/commands/menu_commands.h"
#include "gui/panels/panel_resources.h"
#include "gui/panels/panels.h"
#include "gui/previews/run_nivelo.h"
#include "gui/previews/run_report.h"
#include "tga/tga.h"

namespace {

// Mask of the stage images first .. last, both included.
int StageMask(int first, int last)
{
    int mask = 0;
    for (int k = first; k <= last && k < kStageImageCount; k++)
        if (k >= 0) mask |= 1 << k;
    return mask;
}

// The Rotation panel shows the angle of the last run that printed one, and
// what nivelo said about it.
void ShowAngle()
{
    PlatformSetControlText(g_current_panel_window, IDC_DETECTED_ANGLE, DetectedAngleText().c_str());
    PlatformSetControlText(g_current_panel_window, IDC_ANGLE_NOTE, g_angle_note.c_str());
}

void ShowViews()
{
    RenderViews();
    ShowViewsState();
}

// A run removes the images it asks for before it starts: when it fails or
// is cancelled, the limit drops below the first of them.  A failed run
// turns the views grey (as a failed read does); a cancelled one leaves them
// showing what they showed, from the images already in memory.  A close
// request has released the display: nothing is drawn then.
void RunNotDone(int outcome, int first_image)
{
    int below = first_image - 1 < 0 ? 0 : first_image - 1;
    if (g_valid_limit > below) g_valid_limit = below;
    if (PlatformQuitPosted()) return;
    if (outcome != RUN_CANCELLED) g_display.image_loaded = 0;
    UpdateScrollBars();
    ShowViews();
}

int HaveImage() { return g_image_name[0] != '\0'; }

std::string StageImagePath(int k, const char* stem = "save")
{
    return std::string(g_work_directory) + stem + std::to_string(k) + ".tga";
}

const char kAsideStem[] = "avant";

int LoadStageImage(int k, BITMAP* image)
{
    std::string path = StageImagePath(k);
    BITMAP_Free(image);
    return LoadTGA(path.c_str(), image);
}

}  // namespace

void SetStageImagesAside()
{
    for (int k = 0; k < kStageImageCount; k++) std::rename(StageImagePath(k).c_str(), StageImagePath(k, kAsideStem).c_str());
}

void RestoreStageImages()
{
    for (int k = 0; k < kStageImageCount; k++) {
        // What the refused page's run left must not pass for the open page's.
        std::remove(StageImagePath(k).c_str());
        std::rename(StageImagePath(k, kAsideStem).c_str(), StageImagePath(k).c_str());
    }
}

void DropStageImagesSetAside()
{
    for (int k = 0; k < kStageImageCount; k++) std::remove(StageImagePath(k, kAsideStem).c_str());
}

int BeforeImageOf(int panel)
{
    // The rotation turns the result of "Sauvegarde 1", not the last filter image.
    return panel == 8 ? 3 : panel;
}

int AfterImageOf(int panel) { return panel + 1; }

void LoadStageImages()
{
    if (!LoadStageImage(BeforeImageOf(g_current_panel), &g_display.before))
        g_display.image_loaded = 0;
    else if (!LoadStageImage(AfterImageOf(g_current_panel), &g_display.after))
        g_display.image_loaded = 0;
    UpdateScrollBars();
}

void RefreshPreviews()
{
    if (!HaveImage()) {
        ShowViews();
        return;
    }
    int c = g_current_panel;
    if (c >= g_valid_limit) {
        int first = g_valid_limit + 1;
        int outcome = RunPreview(g_image_directory, g_image_name, StageMask(first, c + 1));
        ShowAngle();
        if (outcome != RUN_DONE) {
            RunNotDone(outcome, first);
            return;
        }
        g_valid_limit = c + 1;
    }
    LoadStageImages();
    ShowViews();
}

void RunUpdateCommand()
{
    if (!HaveImage()) {
        ShowViews();
        return;
    }
    int c = g_current_panel;
    g_valid_limit = c + 1;
    int outcome = RunPreview(g_image_directory, g_image_name, StageMask(c + 1, c + 1));
    ShowAngle();
    if (outcome != RUN_DONE) {
        RunNotDone(outcome, c + 1);
        return;
    }
    LoadStageImages();
    ShowViews();
}

int FullRefresh()
{
    int outcome = RunPreview(g_image_directory, g_image_name, kAllStageImages);
    ShowAngle();
    if (outcome != RUN_DONE) {
        RunNotDone(outcome, 0);
        return outcome;
    }
    g_valid_limit = kStageImageCount;
    LoadStageImages();
    ShowViews();
    return outcome;
}
