// Without an image there is nothing to run nivelo on: the views are only
// redrawn (grey).
#include "gui/previews/previews.h"

#include <cstdio>
#include <string>

#include "gui/panels/panel_resources.h"
#include "gui/panels/panels.h"
#include "gui/previews/run_nivelo.h"
#include "gui/previews/staleness.h"
#include "gui/views/render.h"
#include "gui/views/scroll.h"
#include "tga/tga.h"

namespace {

// The Rotation panel shows the angle of the last run that printed one, and
// what nivelo said about it.
void ShowAngle(App& app)
{
    PlatformSetControlText(app.panels.window, IDC_DETECTED_ANGLE, DetectedAngleText(app.angle).c_str());
    PlatformSetControlText(app.panels.window, IDC_ANGLE_NOTE, app.angle.note.c_str());
}

void ShowViews(App& app)
{
    RenderViews(app.display);
    ShowViewsState(app);
}

// A run removes the images it asks for before it starts: when it fails or
// is cancelled, the limit drops below the first of them.  A failed run
// turns the views grey (as a failed read does); a cancelled one leaves them
// showing what they showed, from the images already in memory.  A close
// request has released the display: nothing is drawn then.
void RunNotDone(App& app, int outcome, int first_image)
{
    app.valid_limit = LimitAfterFailedRun(app.valid_limit, first_image);
    if (PlatformQuitPosted()) return;
    if (outcome != RUN_CANCELLED) app.display.image_loaded = 0;
    UpdateScrollBars(app.display);
    ShowViews(app);
}

int HaveImage(const App& app) { return app.image.name[0] != '\0'; }

std::string StageImagePath(const App& app, int k, const char* stem = "save")
{
    return std::string(app.folders.work) + stem + std::to_string(k) + ".tga";
}

const char kAsideStem[] = "avant";

int LoadStageImage(const App& app, int k, BITMAP* image)
{
    std::string path = StageImagePath(app, k);
    BITMAP_Free(image);
    return LoadTGA(path.c_str(), image);
}

// A run for the images of mask on the open image, and the angle it found.
int Run(App& app, int mask)
{
    int outcome = RunPreview(app, app.image.directory, app.image.name, mask);
    ShowAngle(app);
    return outcome;
}

}  // namespace

void SetStageImagesAside(const App& app)
{
    for (int k = 0; k < kStageImageCount; k++)
        std::rename(StageImagePath(app, k).c_str(), StageImagePath(app, k, kAsideStem).c_str());
}

void RestoreStageImages(const App& app)
{
    for (int k = 0; k < kStageImageCount; k++) {
        // What the refused page's run left must not pass for the open page's.
        std::remove(StageImagePath(app, k).c_str());
        std::rename(StageImagePath(app, k, kAsideStem).c_str(), StageImagePath(app, k).c_str());
    }
}

void DropStageImagesSetAside(const App& app)
{
    for (int k = 0; k < kStageImageCount; k++) std::remove(StageImagePath(app, k, kAsideStem).c_str());
}

void LoadStageImages(App& app)
{
    DisplayState& d = app.display;
    if (!LoadStageImage(app, BeforeImageOf(app.panels.current), &d.before))
        d.image_loaded = 0;
    else if (!LoadStageImage(app, AfterImageOf(app.panels.current), &d.after))
        d.image_loaded = 0;
    UpdateScrollBars(d);
}

void ShowViewsState(App& app)
{
    int stale = ViewsStale(app.display.image_loaded, app.valid_limit, app.panels.current);
    PlatformSetControlText(app.panels.update_bar, IDC_VIEWS_STATE, stale ? "Vues pas à jour" : "");
}

void ValuesEdited(App& app)
{
    app.valid_limit = LimitAfterEdit(app.valid_limit, app.panels.current);
    ShowViewsState(app);
}

void RefreshPreviews(App& app)
{
    if (!HaveImage(app)) {
        ShowViews(app);
        return;
    }
    int c = app.panels.current;
    if (c >= app.valid_limit) {
        int first = app.valid_limit + 1;
        int outcome = Run(app, StageMask(first, c + 1));
        if (outcome != RUN_DONE) {
            RunNotDone(app, outcome, first);
            return;
        }
        app.valid_limit = c + 1;
    }
    LoadStageImages(app);
    ShowViews(app);
}

void RunUpdateCommand(App& app)
{
    if (!HaveImage(app)) {
        ShowViews(app);
        return;
    }
    int c = app.panels.current;
    app.valid_limit = c + 1;
    int outcome = Run(app, StageMask(c + 1, c + 1));
    if (outcome != RUN_DONE) {
        RunNotDone(app, outcome, c + 1);
        return;
    }
    LoadStageImages(app);
    ShowViews(app);
}

int FullRefresh(App& app)
{
    int outcome = Run(app, kAllStageImages);
    if (outcome != RUN_DONE) {
        RunNotDone(app, outcome, 0);
        return outcome;
    }
    app.valid_limit = kStageImageCount;
    LoadStageImages(app);
    ShowViews(app);
    return outcome;
}
