// The renderer in its three zoom modes, the scroll bars, scroll requests and
// zoom switching, driven through the headless platform.
#include "gui/display.h"
#include "gui/menu_commands.h"
#include "gui/resources.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_testing;

namespace {

// Separator columns and everything outside the views keep what was there.
void ExpectOnlyViewsWritten()
{
    for (int y = 0; y < g_display.view_height; y += 7) {
        EXPECT_EQ(HeadlessPresentedPixel(g_display.left_view_x - 1, y), COLOUR_BLACK);
        EXPECT_EQ(HeadlessPresentedPixel(g_display.left_view_x - 2, y), COLOUR_WHITE);
        EXPECT_EQ(HeadlessPresentedPixel(g_display.right_view_x - 1, y), COLOUR_BLACK);
        EXPECT_EQ(HeadlessPresentedPixel(g_display.right_view_x - 2, y), COLOUR_WHITE);
        EXPECT_EQ(HeadlessPresentedPixel(0, y), kSentinel);
        EXPECT_EQ(HeadlessPresentedPixel(g_display.right_view_x + g_display.view_width, y), kSentinel);
    }
}

void ExpectBarsCollapsed()
{
    for (int bar : {SCROLL_BAR_HORIZONTAL, SCROLL_BAR_VERTICAL}) {
        HeadlessScrollBar b = HeadlessGetScrollBar(bar);
        EXPECT_EQ(b.maximum, 0);
        EXPECT_EQ(b.page, 1);
        EXPECT_EQ(b.position, 0);
    }
}

// Pattern images before and after, loaded; the after image defaults to the
// before image's size.
void ShowImages(uint32_t width, uint32_t height, uint32_t after_width = 0, uint32_t after_height = 0)
{
    MakePatternImage(&g_display.before, width, height);
    MakePatternImage(&g_display.after, after_width ? after_width : width, after_height ? after_height : height);
    g_display.image_loaded = 1;
}

}  // namespace

using GuiRender = GuiTest;

TEST_F(GuiRender, FullPageScaleFollowsTheBeforeImagesHeight)
{
    SetUpViews(500, 800);
    ShowImages(400, 900);  // 800 * 400 / 500 = 640 < 900
    RenderViews();
    for (int i : {0, 1, 17, 400, 799})
        for (int j : {0, 3, 200, 355}) {
            EXPECT_EQ(LeftView(j, i), PatternColour(j * 900 / 800, i * 900 / 800)) << j << "," << i;
            EXPECT_EQ(RightView(j, i), PatternColour(j * 900 / 800, i * 900 / 800));
        }
    for (int j : {356, 499}) {
        EXPECT_EQ(LeftView(j, 0), BACKDROP_GREY);
        EXPECT_EQ(RightView(j, 799), BACKDROP_GREY);
    }
    ExpectOnlyViewsWritten();
    UpdateScrollBars();
    ExpectBarsCollapsed();
}

TEST_F(GuiRender, HundredPercentSmallImageSitsTopLeftOnGrey)
{
    SetUpViews(700, 900);
    ShowImages(300, 200);
    SetZoomMode(ZOOM_100);
    EXPECT_EQ(LeftView(0, 0), PatternColour(0, 0));
    EXPECT_EQ(LeftView(299, 199), PatternColour(299, 199));
    EXPECT_EQ(RightView(123, 45), PatternColour(123, 45));
    for (auto [j, i] : {std::pair{300, 0}, {699, 200}, {0, 200}, {699, 899}}) {
        EXPECT_EQ(LeftView(j, i), BACKDROP_GREY) << j << "," << i;
        EXPECT_EQ(RightView(j, i), BACKDROP_GREY);
    }
    ExpectOnlyViewsWritten();
    EXPECT_EQ(HeadlessGetScrollBar(SCROLL_BAR_HORIZONTAL).maximum, 0);
    EXPECT_EQ(HeadlessGetScrollBar(SCROLL_BAR_HORIZONTAL).page, 700);
    EXPECT_EQ(HeadlessGetScrollBar(SCROLL_BAR_VERTICAL).maximum, 0);
}

TEST_F(GuiRender, FiftyPercentTakesEverySecondPixelAndDoublesThePage)
{
    SetUpViews(300, 400);
    ShowImages(900, 950);
    SetZoomMode(ZOOM_50);
    for (auto [j, i] : {std::pair{0, 0}, {1, 1}, {299, 399}, {150, 7}}) {
        EXPECT_EQ(LeftView(j, i), PatternColour(2 * j, 2 * i));
        EXPECT_EQ(RightView(j, i), PatternColour(2 * j, 2 * i));
    }
    HeadlessScrollBar h = HeadlessGetScrollBar(SCROLL_BAR_HORIZONTAL), v = HeadlessGetScrollBar(SCROLL_BAR_VERTICAL);
    EXPECT_EQ(h.page, 600);
    EXPECT_EQ(h.maximum, 900);
    EXPECT_EQ(v.page, 800);
    EXPECT_EQ(v.maximum, 950);
    ExpectOnlyViewsWritten();
}

TEST_F(GuiRender, ScrolledPastTheEdgeOfTheNarrowerImageShowsBlack)
{
    SetUpViews(400, 100);
    ShowImages(600, 100, 500, 100);
    g_display.zoom_mode = ZOOM_100;
    g_display.hpos = 150;
    RenderViews();
    EXPECT_EQ(LeftView(0, 5), PatternColour(150, 5));
    EXPECT_EQ(LeftView(399, 5), PatternColour(549, 5));
    EXPECT_EQ(RightView(349, 5), PatternColour(499, 5));
    for (int j : {350, 399}) EXPECT_EQ(RightView(j, 5), COLOUR_BLACK);
    ExpectOnlyViewsWritten();
}

// Image 1000 x 2000 in views of 300 x 400 at 100 %: maxima 1000 and 2000,
// steps stop at maximum - page = 700 and 1600.
class GuiScroll : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        SetUpViews(300, 400);
        ShowImages(1000, 2000);
        SetZoomMode(ZOOM_100);
    }
    uint32_t AfterVertical(uint32_t start, int code, int thumb = 0)
    {
        g_display.vpos = start;
        HeadlessScroll(SCROLL_BAR_VERTICAL, code, thumb);
        return g_display.vpos;
    }
};

TEST_F(GuiScroll, LineAndPageStepsStopAtTheLastFullPage)
{
    EXPECT_EQ(AfterVertical(150, SCROLL_PAGE_UP), 50u);
    EXPECT_EQ(AfterVertical(99, SCROLL_PAGE_UP), 99u);
    // An arrow moves a tenth of the view: 40 rows, 30 columns.
    EXPECT_EQ(AfterVertical(10, SCROLL_LINE_UP), 0u);
    EXPECT_EQ(AfterVertical(100, SCROLL_LINE_UP), 60u);
    EXPECT_EQ(AfterVertical(10, SCROLL_LINE_DOWN), 50u);
    EXPECT_EQ(AfterVertical(1599, SCROLL_LINE_DOWN), 1600u);
    EXPECT_EQ(AfterVertical(1600, SCROLL_LINE_DOWN), 1600u);
    EXPECT_EQ(AfterVertical(1500, SCROLL_PAGE_DOWN), 1600u);
    EXPECT_EQ(AfterVertical(1501, SCROLL_PAGE_DOWN), 1501u);
    EXPECT_EQ(AfterVertical(0, SCROLL_THUMB_TRACK, 1234), 1234u);
    EXPECT_EQ(AfterVertical(0, SCROLL_THUMB_POSITION, 1900), 1600u);
    EXPECT_EQ(AfterVertical(77, 8), 77u);  // unknown code
    g_display.hpos = 650;
    HeadlessScroll(SCROLL_BAR_HORIZONTAL, SCROLL_PAGE_DOWN, 0);
    EXPECT_EQ(g_display.hpos, 650u);
    HeadlessScroll(SCROLL_BAR_HORIZONTAL, SCROLL_LINE_DOWN, 0);
    EXPECT_EQ(g_display.hpos, 680u);
}

TEST_F(GuiScroll, ZoomSwitchKeepsThePositionAndClampsItToTheNewMaximum)
{
    g_display.hpos = 600;
    g_display.vpos = 1500;
    SetZoomMode(ZOOM_FULL_PAGE);
    ExpectBarsCollapsed();
    EXPECT_EQ(g_display.hpos, 600u);
    SetZoomMode(ZOOM_100);
    EXPECT_EQ(HeadlessGetScrollBar(SCROLL_BAR_HORIZONTAL).position, 600);
    EXPECT_EQ(HeadlessGetScrollBar(SCROLL_BAR_VERTICAL).position, 1500);

    // Views of 600 x 900 at 50 %: the horizontal page (1200) holds the whole
    // width, so that bar collapses and its position drops to 0; the vertical
    // page (1800) does not, and the position kept from 100 % drops to the
    // last full page (200): further down the views would show black.
    PlatformReleaseSurface(&g_display.surface);
    SetUpViews(600, 900);
    g_display.hpos = 1000;
    g_display.vpos = 1500;
    SetZoomMode(ZOOM_50);
    EXPECT_EQ(g_display.hpos, 0u);
    EXPECT_EQ(g_display.vpos, 200u);
    EXPECT_EQ(HeadlessGetScrollBar(SCROLL_BAR_VERTICAL).maximum, 2000);
    EXPECT_NE(LeftView(0, 899), COLOUR_BLACK);
}
