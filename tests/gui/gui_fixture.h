// Shared set-up of the headless GUI tests: a fresh platform, an empty
// display state and helpers to build views and images.
#pragma once

#include <gtest/gtest.h>

#include "core/bitmap.h"
#include "gui/display.h"
#include "gui/main_window.h"
#include "gui/menu_commands.h"
#include "tests/gui/platform_headless.h"
#include "gui/resources.h"

namespace gui_testing {

constexpr uint32_t kSentinel = 0x123456;  // painted outside the views to catch stray writes

inline PlatformRect WorkArea(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
inline PlatformMetrics ClassicMetrics() { return {3, 19, 19, 17, 17}; }

// Releases whatever the display state holds and starts from nothing.
inline void ResetDisplay()
{
    PlatformReleaseSurface(&g_display.surface);
    BITMAP_Free(&g_display.before);
    BITMAP_Free(&g_display.after);
    g_display = DisplayState{};
    HeadlessReset(WorkArea(0, 0, 1280, 1024), ClassicMetrics());
}

// Two views of the given size with two separator columns before each, on a
// surface painted with the sentinel colour and showing its separators.
inline void SetUpViews(int view_width, int view_height)
{
    g_display.left_view_x = 3;
    g_display.view_width = view_width;
    g_display.view_height = view_height;
    g_display.right_view_x = 3 + view_width + 2;
    ASSERT_EQ(PlatformCreateSurface(g_display.right_view_x + view_width + 3, view_height, &g_display.surface), 1);
    ClearImage(&g_display.surface, kSentinel);
    DrawSeparators();
    g_display.zoom_mode = ZOOM_FULL_PAGE;
}

// A BGR image whose every pixel has a colour derived from its position, so
// that any pixel read from the wrong place shows.
inline uint32_t PatternColour(int x, int y) { return uint32_t(x % 251 + 1) | uint32_t(y % 241 + 1) << 8 | 0x400000u; }

inline void MakePatternImage(BITMAP* image, unsigned width, unsigned height)
{
    BITMAP_Free(image);
    ASSERT_EQ(BITMAP_Create(image, width, height, PIXEL_BGR), 1);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) PutPixelColour(image, int(x), int(y), PatternColour(int(x), int(y)));
}

inline uint32_t LeftView(int j, int i) { return HeadlessPresentedPixel(g_display.left_view_x + j, i); }
inline uint32_t RightView(int j, int i) { return HeadlessPresentedPixel(g_display.right_view_x + j, i); }

// The main window with the GUI's own procedure, menu and handlers, so that
// menu choices and scroll requests reach them as in the program.
inline void OpenMainWindow()
{
    PlatformRect area = WorkArea(0, 0, 1280, 1024);
    ASSERT_EQ(CreateMainWindow(&area, &g_main_menu, OnMenuCommand, OnScroll), 1);
}

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDisplay();
        OpenMainWindow();
    }
    void TearDown() override { ResetDisplay(); }
};

}  // namespace gui_testing
