// Layout of the two views and the renderer for the three zoom modes.
#include "gui/views/display.h"
#include "gui/app/main_window.h"

DisplayState g_display = {};

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

void DrawSeparators()
{
    PlatformSurface* s = &g_display.surface;
    for (int y = 0; y < g_display.view_height; ++y) {
        PutPixelColour(s, g_display.left_view_x - 1, y, COLOUR_BLACK);
        PutPixelColour(s, g_display.left_view_x - 2, y, COLOUR_WHITE);
        PutPixelColour(s, g_display.right_view_x - 1, y, COLOUR_BLACK);
        PutPixelColour(s, g_display.right_view_x - 2, y, COLOUR_WHITE);
    }
}

namespace {

void FillView(int x0, uint32_t colour)
{
    FillRectangle(&g_display.surface, uint32_t(x0), 0, uint32_t(x0 + g_display.view_width - 1),
                  uint32_t(g_display.view_height - 1), colour);
}

// Full page: one scale for both views, taken from the before image.  All in
// unsigned 32-bit arithmetic with truncating divisions, as the scale must be
// the same integer steps on every machine.
void RenderFullPage()
{
    const BITMAP* before = &g_display.before;
    const BITMAP* after = &g_display.after;
    uint32_t vw = uint32_t(g_display.view_width), vh = uint32_t(g_display.view_height);
    uint32_t w0 = before->width, h0 = before->height, w1 = after->width, h1 = after->height;
    bool by_height = (vh * w0) / vw < h0;  // the before image is relatively taller than the view
    for (uint32_t i = 0; i < vh; ++i) {
        for (uint32_t j = 0; j < vw; ++j) {
            uint32_t x, y;
            if (by_height) {
                x = (j * h0) / vh;
                y = (i * h0) / vh;
            } else {
                x = (j * w0) / vw;
                y = (i * w0) / vw;
            }
            uint32_t left = x < w0 && y < h0 ? GetPixelColour(before, int(x), int(y)) : BACKDROP_GREY;
            uint32_t right = x < w1 && y < h1 ? GetPixelColour(after, int(x), int(y)) : BACKDROP_GREY;
            PutPixelColour(&g_display.surface, g_display.left_view_x + int(j), int(i), left);
            PutPixelColour(&g_display.surface, g_display.right_view_x + int(j), int(i), right);
        }
    }
}

// 100 % (a = 1) and 50 % (a = 2, every second pixel of every second row).
void RenderScaled(const BITMAP* image, int x0, uint32_t a)
{
    uint32_t vw = uint32_t(g_display.view_width), vh = uint32_t(g_display.view_height);
    uint32_t n = image->width / a < vw ? image->width / a : vw;
    uint32_t m = image->height / a < vh ? image->height / a : vh;
    uint32_t hpos = g_display.hpos, vpos = g_display.vpos;
    PlatformSurface* s = &g_display.surface;
    for (uint32_t i = 0; i < m; ++i)
        for (uint32_t j = 0; j < n; ++j)
            // Past the image's edge (once scrolled) the source pixel reads black.
            PutPixelColour(s, x0 + int(j), int(i), GetPixelColour(image, int(hpos + a * j), int(vpos + a * i)));
    uint32_t last_column = uint32_t(x0) + vw - 1;
    if (n != vw) FillRectangle(s, uint32_t(x0) + n, 0, last_column, m, BACKDROP_GREY);
    if (m != vh) FillRectangle(s, uint32_t(x0), m, last_column, vh, BACKDROP_GREY);
}

}  // namespace

void RenderViews()
{
    if (g_display.view_width > 0 && g_display.view_height > 0) {
        if (!g_display.image_loaded) {
            FillView(g_display.left_view_x, BACKDROP_GREY);
            FillView(g_display.right_view_x, BACKDROP_GREY);
        } else if (g_display.zoom_mode == ZOOM_FULL_PAGE) {
            RenderFullPage();
        } else {
            uint32_t a = g_display.zoom_mode == ZOOM_100 ? 1 : 2;
            RenderScaled(&g_display.before, g_display.left_view_x, a);
            RenderScaled(&g_display.after, g_display.right_view_x, a);
        }
    }
    PresentDisplay();
}
