// Scroll bars, scroll requests and the zoom commands.
#include "gui/views/display.h"
#include "gui/app/main_window.h"
#include "gui/commands/resources.h"

namespace {

struct BarRange {
    uint32_t maximum;  // 0 when the whole image fits the page
    uint32_t page;
};

// Both bars collapse without an image and at full page.
int BarsActive()
{
    return g_display.image_loaded && g_display.zoom_mode != ZOOM_FULL_PAGE;
}

BarRange GetBarRange(int bar)
{
    uint32_t f = g_display.zoom_mode == ZOOM_50 ? 2 : 1;
    uint32_t extent, view;
    if (bar == SCROLL_BAR_HORIZONTAL) {
        extent = g_display.before.width > g_display.after.width ? g_display.before.width : g_display.after.width;
        view = uint32_t(g_display.view_width);
    } else {
        extent = g_display.before.height > g_display.after.height ? g_display.before.height : g_display.after.height;
        view = uint32_t(g_display.view_height);
    }
    BarRange range;
    range.page = view * f;
    range.maximum = range.page < extent ? extent : 0;
    return range;
}

// The largest position at which the page still shows image: line and page
// steps and the thumb stop there.
uint32_t StepLimit(const BarRange& range)
{
    return range.maximum > range.page ? range.maximum - range.page : 0;
}

// The position never goes past the step limit: a position kept from 100 %
// would show a strip of black beyond the page's edge at 50 %.
void SetBar(int bar, uint32_t* position)
{
    BarRange range = GetBarRange(bar);
    uint32_t limit = StepLimit(range);
    if (*position > limit) *position = limit;
    PlatformSetScrollBar(bar, int(range.maximum), int(range.page), int(*position));
}

}  // namespace

void UpdateScrollBars()
{
    if (!BarsActive()) {
        // The kept position is not touched: switching back finds it again.
        PlatformSetScrollBar(SCROLL_BAR_HORIZONTAL, 0, 1, 0);
        PlatformSetScrollBar(SCROLL_BAR_VERTICAL, 0, 1, 0);
        return;
    }
    SetBar(SCROLL_BAR_HORIZONTAL, &g_display.hpos);
    SetBar(SCROLL_BAR_VERTICAL, &g_display.vpos);
}

void OnScroll(int message, uint32_t request)
{
    if (g_display.zoom_mode == ZOOM_FULL_PAGE) return;
    int bar = message == MSG_HSCROLL ? SCROLL_BAR_HORIZONTAL : SCROLL_BAR_VERTICAL;
    uint32_t* position = bar == SCROLL_BAR_HORIZONTAL ? &g_display.hpos : &g_display.vpos;
    BarRange range = GetBarRange(bar);
    uint32_t limit = BarsActive() ? StepLimit(range) : 0;
    // An arrow moves a tenth of the view, in source pixels: one pixel a
    // click would take a thousand clicks across a page.
    uint32_t line = range.page / 10 > 0 ? range.page / 10 : 1;
    uint32_t thumb = request >> 16;
    switch (request & 0xFFFF) {
    case SCROLL_LINE_UP:
        *position = *position > line ? *position - line : 0;
        break;
    case SCROLL_LINE_DOWN:
        if (*position < limit) *position = limit - *position > line ? *position + line : limit;
        break;
    case SCROLL_PAGE_UP:
        if (*position >= 100) *position -= 100;
        break;
    case SCROLL_PAGE_DOWN:
        // Whole steps only, as page up takes them.
        if (*position < limit && limit - *position >= 100) *position += 100;
        break;
    case SCROLL_THUMB_POSITION:
    case SCROLL_THUMB_TRACK:
        *position = thumb < limit ? thumb : limit;
        break;
    default:
        break;
    }
    RenderViews();
    UpdateScrollBars();
}

void SetZoomMode(int mode)
{
    static const int items[3] = {ID_ZOOM_100, ID_ZOOM_50, ID_ZOOM_FULL_PAGE};
    for (int i = 0; i < 3; ++i) PlatformCheckMenuItem(items[i], i == mode);
    g_display.zoom_mode = mode;
    UpdateScrollBars();
    RenderViews();
}

void SetDisplayDefaults()
{
    g_display.image_loaded = 0;
    g_display.zoom_mode = ZOOM_FULL_PAGE;
    BITMAP_Free(&g_display.before);
    BITMAP_Free(&g_display.after);
    BITMAP_Init(&g_display.before, 0, 0, 0);
    BITMAP_Init(&g_display.after, 0, 0, 0);
}
