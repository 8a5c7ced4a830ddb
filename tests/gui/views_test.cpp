// The renderer's three zoom modes, clipped fills, scroll requests and zoom
// switching.
#include "tests/gui/gui_fixture.h"

using namespace gui_testing;

namespace {

constexpr uint32_t kSentinel = 0x123456;  // outside the views, to catch stray writes

// Every pixel a colour of its own, so that a pixel read from the wrong place shows.
uint32_t PatternColour(int x, int y) { return uint32_t(x % 251 + 1) | uint32_t(y % 241 + 1) << 8 | 0x400000u; }
void MakePattern(BITMAP* image, int width, int height)
{
    BITMAP_Free(image);
    ASSERT_EQ(BITMAP_Create(image, unsigned(width), unsigned(height), PIXEL_BGR), 1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) PutPixelColour(image, x, y, PatternColour(x, y));
}

class Views : public GuiTest {
protected:
    // Views of this size, a separator pair before each, on a sentinel surface;
    // pattern images before and after.
    void Show(int view_width, int view_height, int w, int h, int after_w, int zoom)
    {
        DisplayLayout layout{5 + 2 * view_width + 3, view_height, 3, 5 + view_width, view_width, view_height};
        ASSERT_EQ(MakeDisplaySurface(app_.display, layout), 1);
        ClearImage(&app_.display.surface, kSentinel);
        DrawSeparators(app_.display);
        MakePattern(&app_.display.before, w, h);
        MakePattern(&app_.display.after, after_w, h);
        app_.display.image_loaded = 1;
        SetZoomMode(app_, zoom);
    }
};

}  // namespace

TEST_F(Views, EachZoomModeShowsTheRightSourcePixels)
{
    constexpr uint32_t G = BACKDROP_GREY, B = COLOUR_BLACK, P = 1;
    // View size, image size (and the after image's width), zoom, scroll
    // position; a view pixel (j, i) and the colours it shows, left and right,
    // P standing for the pattern's colour at (x, y).
    struct {
        int vw, vh, w, h, after_w, zoom, hpos, j, i;
        uint32_t left, right;
        int x, y;
    } cases[] = {
        // Full page of a tall image: both views at the before image's scale 900 / 800.
        {500, 800, 400, 900, 400, ZOOM_FULL_PAGE, 0, 355, 799, P, P, 399, 898},
        {500, 800, 400, 900, 400, ZOOM_FULL_PAGE, 0, 356, 0, G, G, 0, 0},
        // 100 %: a small image sits top left on grey.
        {700, 900, 300, 200, 300, ZOOM_100, 0, 299, 199, P, P, 299, 199},
        {700, 900, 300, 200, 300, ZOOM_100, 0, 0, 200, G, G, 0, 0},
        // 50 %: every second pixel of every second row.
        {300, 400, 900, 950, 900, ZOOM_50, 0, 150, 7, P, P, 300, 14},
        // Scrolled past the edge of the narrower after image: black.
        {400, 100, 600, 100, 500, ZOOM_100, 150, 350, 5, P, B, 500, 5},
    };
    for (const auto& c : cases) {
        Show(c.vw, c.vh, c.w, c.h, c.after_w, c.zoom);
        app_.display.hpos = uint32_t(c.hpos);
        RenderViews(app_.display);
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(LeftView(c.j, c.i), c.left == P ? PatternColour(c.x, c.y) : c.left);
        EXPECT_EQ(RightView(c.j, c.i), c.right == P ? PatternColour(c.x, c.y) : c.right);
        for (int y = 0; y < c.vh; y += 7) {
            EXPECT_EQ(LeftView(-1, y), COLOUR_BLACK);
            EXPECT_EQ(RightView(-2, y), COLOUR_WHITE);
            EXPECT_EQ(HeadlessPixel(0, y), kSentinel);
            EXPECT_EQ(RightView(c.vw, y), kSentinel);
        }
        EXPECT_EQ(g_headless.bars[0][1], c.zoom == ZOOM_FULL_PAGE ? 1 : c.vw * (c.zoom == ZOOM_50 ? 2 : 1));
        EXPECT_TRUE(g_headless.dialogs_drawn);  // the panels lie over the drawing area
    }
    // A fill's corners are both included, and one reaching the largest
    // coordinates ends, writing the image's last pixel only.
    TestImage grey(5, 4, PIXEL_GREY);
    FillRectangle(&grey.bitmap, 1, 1, 3, 2, 9);
    FillRectangle(&grey.bitmap, 4, 3, 0xFFFFFFFFu, 0xFFFFFFFFu, 8);
    for (int y = -1; y < 5; ++y)  // reads outside give black
        for (int x = -1; x < 6; ++x)
            EXPECT_EQ(GetPixelColour(&grey.bitmap, x, y), x == 4 && y == 3 ? 0x080808u : x > 0 && x < 4 && y > 0 && y < 3 ? 0x090909u : 0u);
}

// Image 1000 x 2000 in views of 300 x 400 at 100 %: steps stop at 700 and 1600.
TEST_F(Views, ScrollStepsStopAtTheLastFullPageAndZoomClampsThePosition)
{
    Show(300, 400, 1000, 2000, 1000, ZOOM_100);
    uint32_t cases[][4] = {
        {150, SCROLL_PAGE_UP, 0, 50},      {99, SCROLL_PAGE_UP, 0, 99},       {10, SCROLL_LINE_UP, 0, 0},
        {100, SCROLL_LINE_UP, 0, 60},      {1599, SCROLL_LINE_DOWN, 0, 1600}, {1600, SCROLL_LINE_DOWN, 0, 1600},
        {1500, SCROLL_PAGE_DOWN, 0, 1600}, {1501, SCROLL_PAGE_DOWN, 0, 1501}, {0, SCROLL_THUMB_TRACK, 1234, 1234},
        {0, SCROLL_THUMB_POSITION, 1900, 1600}, {77, 8, 0, 77},
    };
    for (auto& c : cases) {
        app_.display.vpos = c[0];
        MainWindowProc(&app_, MSG_VSCROLL, c[1] | c[2] << 16);
        EXPECT_EQ(app_.display.vpos, c[3]) << c[0] << " " << c[1];
    }
    EXPECT_EQ(g_headless.bars[1][0], 2000);
    EXPECT_EQ(g_headless.checked_zoom, ID_ZOOM_100);
    // Views of 600 x 900 at 50 %: the page (1200 x 1800) holds the whole width,
    // whose position drops to 0; the vertical one drops to the last full page.
    Show(600, 900, 1000, 2000, 1000, ZOOM_100);
    app_.display.hpos = 1000;
    app_.display.vpos = 1500;
    SetZoomMode(app_, ZOOM_50);
    EXPECT_EQ(app_.display.hpos, 0u);
    EXPECT_EQ(app_.display.vpos, 200u);
}
