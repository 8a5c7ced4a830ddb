// Scroll bars, scroll requests and the zoom commands.
#include "gui/views/scroll.h"

#include "gui/views/display.h"
#include "gui/views/render.h"

namespace {

struct BarRange {
    uint32_t maximum;  // 0 when the whole image fits the page
    uint32_t page;
};

// Both bars collapse without an image and at full page.
int BarsActive(const DisplayState& d)
{
    return d.image_loaded && d.zoom_mode != ZOOM_FULL_PAGE;
}

BarRange GetBarRange(const DisplayState& d, int bar)
{
    uint32_t f = d.zoom_mode == ZOOM_50 ? 2 : 1;
    uint32_t extent, view;
    if (bar == SCROLL_BAR_HORIZONTAL) {
        extent = d.before.width > d.after.width ? d.before.width : d.after.width;
        view = uint32_t(d.view_width);
    } else {
        extent = d.before.height > d.after.height ? d.before.height : d.after.height;
        view = uint32_t(d.view_height);
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
void SetBar(const DisplayState& d, int bar, uint32_t* position)
{
    BarRange range = GetBarRange(d, bar);
    uint32_t limit = StepLimit(range);
    if (*position > limit) *position = limit;
    PlatformSetScrollBar(bar, int(range.maximum), int(range.page), int(*position));
}

}  // namespace

void UpdateScrollBars(DisplayState& d)
{
    if (!BarsActive(d)) {
        // The kept position is not touched: switching back finds it again.
        PlatformSetScrollBar(SCROLL_BAR_HORIZONTAL, 0, 1, 0);
        PlatformSetScrollBar(SCROLL_BAR_VERTICAL, 0, 1, 0);
        return;
    }
    SetBar(d, SCROLL_BAR_HORIZONTAL, &d.hpos);
    SetBar(d, SCROLL_BAR_VERTICAL, &d.vpos);
}

void OnScroll(DisplayState& d, int message, uint32_t request)
{
    if (d.zoom_mode == ZOOM_FULL_PAGE) return;
    int bar = message == MSG_HSCROLL ? SCROLL_BAR_HORIZONTAL : SCROLL_BAR_VERTICAL;
    uint32_t* position = bar == SCROLL_BAR_HORIZONTAL ? &d.hpos : &d.vpos;
    BarRange range = GetBarRange(d, bar);
    uint32_t limit = BarsActive(d) ? StepLimit(range) : 0;
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
    RenderViews(d);
    UpdateScrollBars(d);
}
