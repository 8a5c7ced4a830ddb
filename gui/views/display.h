// The display of nivelo_gui: the surface the two views are drawn into, its
// layout in the main window's client area, and its life from start to quit.
#pragma once

#include <cstdint>

#include "gui/platform/platform.h"
#include "gui/state/app.h"

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

// Surface size and view columns for a work area.
void ComputeLayout(const PlatformRect& area, const PlatformMetrics& metrics, DisplayLayout* layout);
// A surface of the layout's size, grey, with the layout's views and their
// separators.  Returns 1, or 0 when the surface cannot be made.
int MakeDisplaySurface(DisplayState& d, const DisplayLayout& layout);
// Shows the surface, then the left strip over it.
void PresentDisplay(DisplayState& d);
// Releases the surface and ends the message loop; harmless when repeated.
void ReleaseDisplay(DisplayState& d);
// The client area became width x height: the views and the surface follow
// it.  Nothing before start-up made the surface, or once quitting released it.
void ResizeViews(DisplayState& d, int width, int height);
// Display defaults at start: zoom full page, no image, empty before and after.
void SetDisplayDefaults(DisplayState& d);
// Frees the surface and both images.
void FreeDisplay(DisplayState& d);
