// Layout of the two views and the renderer for the three zoom modes.
#include "gui/views/render.h"

#include "gui/views/display.h"
#include "gui/views/pixels.h"

void DrawSeparators(DisplayState& d)
{
    PlatformSurface* s = &d.surface;
    for (int y = 0; y < d.view_height; ++y) {
        PutPixelColour(s, d.left_view_x - 1, y, COLOUR_BLACK);
        PutPixelColour(s, d.left_view_x - 2, y, COLOUR_WHITE);
        PutPixelColour(s, d.right_view_x - 1, y, COLOUR_BLACK);
        PutPixelColour(s, d.right_view_x - 2, y, COLOUR_WHITE);
    }
}

namespace {

void FillView(DisplayState& d, int x0, uint32_t colour)
{
    FillRectangle(&d.surface, uint32_t(x0), 0, uint32_t(x0 + d.view_width - 1),
                  uint32_t(d.view_height - 1), colour);
}

// Full page: one scale for both views, taken from the before image.  All in
// unsigned 32-bit arithmetic with truncating divisions, as the scale must be
// the same integer steps on every machine.
void RenderFullPage(DisplayState& d)
{
    const BITMAP* before = &d.before;
    const BITMAP* after = &d.after;
    uint32_t vw = uint32_t(d.view_width), vh = uint32_t(d.view_height);
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
            PutPixelColour(&d.surface, d.left_view_x + int(j), int(i), left);
            PutPixelColour(&d.surface, d.right_view_x + int(j), int(i), right);
        }
    }
}

// 100 % (a = 1) and 50 % (a = 2, every second pixel of every second row).
void RenderScaled(DisplayState& d, const BITMAP* image, int x0, uint32_t a)
{
    uint32_t vw = uint32_t(d.view_width), vh = uint32_t(d.view_height);
    uint32_t n = image->width / a < vw ? image->width / a : vw;
    uint32_t m = image->height / a < vh ? image->height / a : vh;
    uint32_t hpos = d.hpos, vpos = d.vpos;
    PlatformSurface* s = &d.surface;
    for (uint32_t i = 0; i < m; ++i)
        for (uint32_t j = 0; j < n; ++j)
            // Past the image's edge (once scrolled) the source pixel reads black.
            PutPixelColour(s, x0 + int(j), int(i), GetPixelColour(image, int(hpos + a * j), int(vpos + a * i)));
    uint32_t last_column = uint32_t(x0) + vw - 1;
    if (n != vw) FillRectangle(s, uint32_t(x0) + n, 0, last_column, m, BACKDROP_GREY);
    if (m != vh) FillRectangle(s, uint32_t(x0), m, last_column, vh, BACKDROP_GREY);
}

}  // namespace

void RenderViews(DisplayState& d)
{
    if (d.view_width > 0 && d.view_height > 0) {
        if (!d.image_loaded) {
            FillView(d, d.left_view_x, BACKDROP_GREY);
            FillView(d, d.right_view_x, BACKDROP_GREY);
        } else if (d.zoom_mode == ZOOM_FULL_PAGE) {
            RenderFullPage(d);
        } else {
            uint32_t a = d.zoom_mode == ZOOM_100 ? 1 : 2;
            RenderScaled(d, &d.before, d.left_view_x, a);
            RenderScaled(d, &d.after, d.right_view_x, a);
        }
    }
    PresentDisplay(d);
}
