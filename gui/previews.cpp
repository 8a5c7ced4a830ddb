// The valid limit's transitions:
//   switching to panel c >= limit   run for images limit + 1 .. c + 1, limit := c + 1
//   switching to panel c <  limit   no run
//   "Mettre à jour" on panel c      run for image c + 1, limit := c + 1
//   full refresh                    run for all twelve, limit := 12
// Edits lower the limit (panels.cpp).  Without an image there is nothing to
// run nivelo on: the views are only redrawn (grey).
#include "gui/previews.h"

#include <string>

#include "gui/display.h"
#include "gui/main_window.h"
#include "gui/menu_commands.h"
#include "gui/panel_resources.h"
#include "gui/panels.h"
#include "gui/run_nivelo.h"
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
    RenderViews();
}

// The Rotation panel shows the angle (and the orientation) of the last run
// that printed one.
void ShowAngle()
{
    PlatformSetControlText(g_current_panel_window, IDC_DETECTED_ANGLE, DetectedAngleText().c_str());
}

int HaveImage() { return g_image_name[0] != '\0'; }

int LoadStageImage(int k, BITMAP* image)
{
    std::string path = std::string(g_work_directory) + "save" + std::to_string(k) + ".tga";
    BITMAP_Free(image);
    return LoadTGA(path.c_str(), image);
}

}  // namespace

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
        RenderViews();
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
    RenderViews();
}

void RunUpdateCommand()
{
    if (!HaveImage()) {
        RenderViews();
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
    RenderViews();
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
    RenderViews();
    return outcome;
}
