// The display state of nivelo_gui: the 24-bit surface the views are drawn
// into, the layout of the two views, the before and after images, the zoom
// mode and the scroll position; and the pixel routines that work on images
// and on the surface alike.
#pragma once

#include <cstdint>

#include "core/bitmap.h"
#include "gui/platform/platform.h"

// Colour values: red in bits 0-7, green 8-15, blue 16-23.
constexpr uint32_t BACKDROP_GREY = 0xA0A0A0;
constexpr uint32_t COLOUR_WHITE = 0xFFFFFF;
constexpr uint32_t COLOUR_BLACK = 0x000000;

enum ZoomMode { ZOOM_100 = 0, ZOOM_50 = 1, ZOOM_FULL_PAGE = 2 };

// Where the views lie on the surface, from the work area and the metrics.
struct DisplayLayout {
    int surface_width;
    int surface_height;  // = view height
    int left_view_x;
    int right_view_x;
    int view_width;      // 0 when the work area is too narrow for any view
    int view_height;
};

struct DisplayState {
    PlatformSurface surface;
    int left_view_x;
    int right_view_x;
    int view_width;
    int view_height;
    BITMAP before;        // shown in the left view
    BITMAP after;         // shown in the right view
    int image_loaded;
    int zoom_mode;        // ZoomMode
    uint32_t hpos;        // scroll position in source pixels, shared by both views
    uint32_t vpos;
    int frame_flag;       // set by the 20 ms timer
};

extern DisplayState g_display;

// Pixel access.  Colour values as above; outside the image, on an indexed
// image or on an image without pixels: reads give black, writes do nothing.
uint32_t GetPixelColour(const BITMAP* image, int x, int y);
void PutPixelColour(BITMAP* image, int x, int y, uint32_t colour);
uint32_t GetPixelColour(const PlatformSurface* surface, int x, int y);
void PutPixelColour(PlatformSurface* surface, int x, int y, uint32_t colour);

// Every pixel from (x0, y0) to (x1, y1), both corners included; the bounds
// are compared as unsigned numbers, so a negative bound selects nothing
// before the image.  Nothing when x0 > x1 or y0 > y1.
void FillRectangle(BITMAP* image, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t colour);
void FillRectangle(PlatformSurface* surface, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1,
                   uint32_t colour);
void ClearImage(BITMAP* image, uint32_t colour);
void ClearImage(PlatformSurface* surface, uint32_t colour);

// Surface size and view columns for a work area.
void ComputeLayout(const PlatformRect& area, const PlatformMetrics& metrics, DisplayLayout* layout);
// The separator columns at the left of each view: black at x - 1, white at
// x - 2, over the whole height.  Drawn once; the renderer never touches them.
void DrawSeparators();

// Both views for the current zoom mode, then PresentDisplay.
void RenderViews();
// Range, page and position of both scroll bars; clamps the scroll position.
void UpdateScrollBars();
// A scroll request: message MSG_HSCROLL or MSG_VSCROLL, request = code in
// the low 16 bits, thumb position in the high 16 bits.
void OnScroll(int message, uint32_t request);
// Zoom menu commands 40008, 40009, 40010.
void SetZoomMode(int mode);

// Display defaults at start: zoom full page, no image, empty before and after.
void SetDisplayDefaults();
