// The display's surface and layout, from start-up through every resize to quit.
#include "gui/views/display.h"

#include "gui/views/pixels.h"
#include "gui/views/render.h"
#include "gui/views/scroll.h"

void ComputeLayout(const PlatformRect& area, const PlatformMetrics& m, DisplayLayout* layout)
{
    // The work area's bottom coordinate itself, not its height: the window
    // starts at the area's top, so a non-zero top leaves rows hidden below.
    int height = area.bottom - 2 * m.dialog_frame - m.caption - m.menu - m.hscroll_height - 1;
    layout->surface_width = area.right > 0 ? area.right : 1;
    layout->surface_height = height > 0 ? height : 1;
    layout->view_height = layout->surface_height;

    int left = area.left + 201;  // the strip of the parameter panels
    int right = area.right - 2 * m.dialog_frame - m.vscroll_width;
    if ((right - left) % 2 != 0) left -= 1;
    int view_width = (right - left) / 2 - 1;
    // A work area too narrow for the panels and two views leaves the views
    // empty rather than negative.
    layout->view_width = view_width > 0 ? view_width : 0;
    layout->left_view_x = left;
    layout->right_view_x = left + layout->view_width + 2;
}

int MakeDisplaySurface(DisplayState& d, const DisplayLayout& layout)
{
    // A surface made before (a resize, or a second start in one process) is
    // replaced.
    PlatformReleaseSurface(&d.surface);
    if (!PlatformCreateSurface(layout.surface_width, layout.surface_height, &d.surface)) return 0;
    ClearImage(&d.surface, BACKDROP_GREY);
    d.left_view_x = layout.left_view_x;
    d.right_view_x = layout.right_view_x;
    d.view_width = layout.view_width;
    d.view_height = layout.view_height;
    DrawSeparators(d);
    return 1;
}

void PresentDisplay(DisplayState& d)
{
    PlatformPresentSurface(&d.surface);
    // The views' drawing area lies under the left strip: without this the
    // chooser, the panel and the update bar vanish behind the surface's grey.
    PlatformRedrawDialogs();
}

void ReleaseDisplay(DisplayState& d)
{
    PlatformReleaseSurface(&d.surface);
    PlatformPostQuit(0);
}

void ResizeViews(DisplayState& d, int width, int height)
{
    if (d.surface.pixels == nullptr) return;
    PlatformRect area = {0, 0, width, height};
    PlatformMetrics metrics;
    PlatformGetMetrics(&metrics);
    DisplayLayout layout;
    ComputeLayout(area, metrics, &layout);
    if (layout.surface_width == d.surface.width && layout.surface_height == d.surface.height) return;
    if (!MakeDisplaySurface(d, layout)) return;
    UpdateScrollBars(d);
    RenderViews(d);
}

void SetDisplayDefaults(DisplayState& d)
{
    d.image_loaded = 0;
    d.zoom_mode = ZOOM_FULL_PAGE;
    BITMAP_Free(&d.before);
    BITMAP_Free(&d.after);
    BITMAP_Init(&d.before, 0, 0, 0);
    BITMAP_Init(&d.after, 0, 0, 0);
}

void FreeDisplay(DisplayState& d)
{
    PlatformReleaseSurface(&d.surface);
    BITMAP_Free(&d.before);
    BITMAP_Free(&d.after);
}
