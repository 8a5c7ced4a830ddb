// FLTK 1.3 backend of the platform layer: the main window with its menu bar,
// a drawing area showing the display surface, two scroll bars that report
// the GUI's scroll codes, dialogs built from resource tables, and the modal
// boxes.  Every FLTK header is included here only.
#include <sys/stat.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Color_Chooser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "core/support.h"
#include "gui/platform/dialog_units.h"
#include "gui/platform/platform.h"
#include "gui/platform/process_posix.h"

struct FltkControl {
    const ControlResource* resource;
    Fl_Widget* widget;
    PlatformDialog* dialog;
};

struct PlatformDialog {
    const DialogResource* resource;
    DialogProcedure procedure;
    void* context;
    Fl_Group* group;  // an Fl_Double_Window for popups
    std::vector<std::unique_ptr<FltkControl>> controls;
};

namespace {

constexpr int kMenuHeight = 25;
constexpr int kScrollBarSize = 16;
constexpr int kDialogFontSize = 10;

WindowProcedure g_procedure = nullptr;
void* g_context = nullptr;  // handed back with every message
int g_quit_posted = 0;

void Send(int message, uint32_t wparam)
{
    if (g_procedure != nullptr) g_procedure(g_context, message, wparam);
}

// --- main window ------------------------------------------------------------

void LayOutMainWindow();

class MainWindow : public Fl_Double_Window {
public:
    MainWindow(int x, int y, int w, int h) : Fl_Double_Window(x, y, w, h) {}
    int handle(int event) override
    {
        // FLTK closes a window on Escape by default; the main window must not.
        if (event == FL_SHORTCUT && Fl::event_key() == FL_Escape) return 0;
        return Fl_Double_Window::handle(event);
    }
    // Resized by the user or the window manager (maximised): the drawing
    // area and the bars follow, then the GUI lays out its views anew.
    void resize(int x, int y, int w, int h) override
    {
        bool sized = w != this->w() || h != this->h();
        Fl_Double_Window::resize(x, y, w, h);
        if (!sized) return;
        LayOutMainWindow();
        Send(MSG_SIZE, uint32_t(w & 0xFFFF) | uint32_t(h & 0xFFFF) << 16);
    }
};

void CloseCallback(Fl_Widget*, void*)
{
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    Send(MSG_DESTROY, 0);
}

// Shows the last presented surface; the surface is B, G, R and FLTK wants
// R, G, B, so each scanline is converted as it is drawn.
class SurfaceView : public Fl_Widget {
public:
    SurfaceView(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
    std::vector<uint8_t> pixels;  // B, G, R, rows back to back
    int width = 0;
    int height = 0;

    static void ConvertLine(void* data, int x, int y, int w, uchar* out)
    {
        const SurfaceView* view = static_cast<const SurfaceView*>(data);
        const uint8_t* in = view->pixels.data() + (size_t(y) * size_t(view->width) + size_t(x)) * 3;
        for (int i = 0; i < w; ++i) {
            out[3 * i] = in[3 * i + 2];
            out[3 * i + 1] = in[3 * i + 1];
            out[3 * i + 2] = in[3 * i];
        }
    }

    // Wheel (shift: sideways), arrow keys and Page Up/Down scroll as the
    // bars' arrows and troughs do, once a click has given the view the focus.
    int handle(int event) override
    {
        switch (event) {
        case FL_PUSH: take_focus(); return 1;
        case FL_FOCUS:
        case FL_UNFOCUS: return 1;
        case FL_MOUSEWHEEL: {
            int dx = Fl::event_dx(), dy = Fl::event_dy();
            bool sideways = dx != 0 || (Fl::event_state() & FL_SHIFT);
            int steps = dx != 0 ? dx : dy;
            for (int i = 0; i < (steps < 0 ? -steps : steps); i++)
                Send(sideways ? MSG_HSCROLL : MSG_VSCROLL, steps < 0 ? SCROLL_LINE_UP : SCROLL_LINE_DOWN);
            return steps != 0;
        }
        case FL_KEYBOARD:
            switch (Fl::event_key()) {
            case FL_Left: Send(MSG_HSCROLL, SCROLL_LINE_UP); return 1;
            case FL_Right: Send(MSG_HSCROLL, SCROLL_LINE_DOWN); return 1;
            case FL_Up: Send(MSG_VSCROLL, SCROLL_LINE_UP); return 1;
            case FL_Down: Send(MSG_VSCROLL, SCROLL_LINE_DOWN); return 1;
            case FL_Page_Up: Send(MSG_VSCROLL, SCROLL_PAGE_UP); return 1;
            case FL_Page_Down: Send(MSG_VSCROLL, SCROLL_PAGE_DOWN); return 1;
            default: return 0;
            }
        default: return Fl_Widget::handle(event);
        }
    }

    void draw() override
    {
        int shown_w = width < w() ? width : w();
        int shown_h = height < h() ? height : h();
        fl_push_clip(x(), y(), w(), h());
        if (shown_w > 0 && shown_h > 0) fl_draw_image(ConvertLine, this, x(), y(), shown_w, shown_h, 3);
        fl_color(fl_rgb_color(0xA0, 0xA0, 0xA0));
        if (shown_w < w()) fl_rectf(x() + shown_w, y(), w() - shown_w, h());
        if (shown_h < h()) fl_rectf(x(), y() + shown_h, shown_w, h() - shown_h);
        fl_pop_clip();
    }
};

// A scroll bar that moves only when the program sets its position: a click
// or drag becomes one of the scroll codes 0 to 5, sent to the procedure.
class ScrollBar : public Fl_Widget {
public:
    ScrollBar(int bar, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), bar_(bar) {}

    void Set(int maximum, int page, int position)
    {
        maximum_ = maximum > 0 ? maximum : 0;
        page_ = page > 0 ? page : 1;
        position_ = position > 0 ? position : 0;
        redraw();
    }

    void draw() override
    {
        bool enabled = maximum_ > 0;
        fl_color(fl_darker(FL_BACKGROUND_COLOR));
        fl_rectf(x(), y(), w(), h());
        int t = Thick(), len = Length();
        Fl_Color arrow = enabled ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR);
        if (Horizontal()) {
            draw_box(FL_UP_BOX, x(), y(), t, t, FL_BACKGROUND_COLOR);
            draw_box(FL_UP_BOX, x() + len - t, y(), t, t, FL_BACKGROUND_COLOR);
            fl_draw_symbol("@4>", x() + 3, y() + 3, t - 6, t - 6, arrow);
            fl_draw_symbol("@6>", x() + len - t + 3, y() + 3, t - 6, t - 6, arrow);
        } else {
            draw_box(FL_UP_BOX, x(), y(), t, t, FL_BACKGROUND_COLOR);
            draw_box(FL_UP_BOX, x(), y() + len - t, t, t, FL_BACKGROUND_COLOR);
            fl_draw_symbol("@8>", x() + 3, y() + 3, t - 6, t - 6, arrow);
            fl_draw_symbol("@2>", x() + 3, y() + len - t + 3, t - 6, t - 6, arrow);
        }
        if (!enabled) return;
        int start, size;
        Thumb(&start, &size);
        if (Horizontal())
            draw_box(FL_UP_BOX, x() + start, y(), size, t, FL_BACKGROUND_COLOR);
        else
            draw_box(FL_UP_BOX, x(), y() + start, t, size, FL_BACKGROUND_COLOR);
    }

    int handle(int event) override
    {
        int p = Horizontal() ? Fl::event_x() - x() : Fl::event_y() - y();
        switch (event) {
        case FL_PUSH: {
            if (maximum_ <= 0) return 1;
            int start, size;
            Thumb(&start, &size);
            if (p < Thick()) Press(SCROLL_LINE_UP);
            else if (p >= Length() - Thick()) Press(SCROLL_LINE_DOWN);
            else if (p < start) Press(SCROLL_PAGE_UP);
            else if (p >= start + size) Press(SCROLL_PAGE_DOWN);
            else {
                dragging_ = 1;
                drag_offset_ = p - start;
                drag_position_ = position_;
            }
            return 1;
        }
        case FL_DRAG:
            if (dragging_) {
                int position = DragPosition(p);
                if (position != drag_position_) {
                    drag_position_ = position;
                    Request(SCROLL_THUMB_TRACK, position);
                }
            }
            return 1;
        case FL_RELEASE:
            Fl::remove_timeout(RepeatCallback, this);
            if (dragging_) {
                dragging_ = 0;
                Request(SCROLL_THUMB_POSITION, drag_position_);
            }
            return 1;
        default:
            return Fl_Widget::handle(event);
        }
    }

private:
    bool Horizontal() const { return bar_ == SCROLL_BAR_HORIZONTAL; }
    int Length() const { return Horizontal() ? w() : h(); }
    int Thick() const { return Horizontal() ? h() : w(); }
    int Limit() const { return maximum_ > page_ ? maximum_ - page_ : 0; }
    int Trough() const { return Length() - 2 * Thick() > 0 ? Length() - 2 * Thick() : 0; }

    // Thumb start (from the widget's start) and size along the bar; the
    // thumb runs from position 0 to maximum - page.
    void Thumb(int* start, int* size) const
    {
        int trough = Trough();
        int s = maximum_ > 0 ? int(int64_t(trough) * page_ / maximum_) : trough;
        if (s < 10) s = 10;
        if (s > trough) s = trough;
        int limit = Limit();
        int position = position_ < limit ? position_ : limit;
        *start = Thick() + (limit > 0 ? int(int64_t(trough - s) * position / limit) : 0);
        *size = s;
    }

    int DragPosition(int p) const
    {
        int start, size;
        Thumb(&start, &size);
        int span = Trough() - size;
        if (span <= 0) return 0;
        int64_t offset = p - drag_offset_ - Thick();
        if (offset < 0) offset = 0;
        if (offset > span) offset = span;
        return int(offset * Limit() / span);
    }

    void Request(int code, int position)
    {
        uint32_t wparam = uint32_t(code) | (uint32_t(position & 0xFFFF) << 16);
        Send(Horizontal() ? MSG_HSCROLL : MSG_VSCROLL, wparam);
    }

    // One request at once, then repeated while the button is held.
    void Press(int code)
    {
        repeat_code_ = code;
        Request(code, 0);
        Fl::remove_timeout(RepeatCallback, this);
        Fl::add_timeout(0.35, RepeatCallback, this);
    }

    static void RepeatCallback(void* data)
    {
        ScrollBar* bar = static_cast<ScrollBar*>(data);
        if (!Fl::event_state(FL_BUTTON1 | FL_BUTTON2 | FL_BUTTON3)) return;
        bar->Request(bar->repeat_code_, 0);
        Fl::repeat_timeout(0.05, RepeatCallback, data);
    }

    int bar_;
    int maximum_ = 0;
    int page_ = 1;
    int position_ = 0;
    int dragging_ = 0;
    int drag_offset_ = 0;
    int drag_position_ = 0;
    int repeat_code_ = 0;
};

MainWindow* g_window = nullptr;
SurfaceView* g_view = nullptr;
ScrollBar* g_bars[2] = {nullptr, nullptr};
Fl_Box* g_corner = nullptr;  // between the two bars
Fl_Menu_Bar* g_menu_bars[2] = {nullptr, nullptr};  // main, and the right-aligned help popup
int g_help_width = 0;
std::vector<Fl_Group*> g_child_groups;  // the child dialogs, drawn over the drawing area
std::vector<PlatformDialog*> g_popups;
bool g_input_blocked = false;

void ClosePopup(PlatformDialog* dialog)
{
    if (dialog->procedure != nullptr)
        dialog->procedure(dialog->context, dialog, MSG_COMMAND, CONTROL_ID_CLOSE, NOTIFY_CLICKED);
}

void PopupCloseCallback(Fl_Widget*, void* data) { ClosePopup(static_cast<PlatformDialog*>(data)); }

bool IsEscape(int event)
{
    return (event == FL_KEYBOARD || event == FL_SHORTCUT) && Fl::event_key() == FL_Escape;
}

void LayOutMainWindow()
{
    if (g_window == nullptr || g_view == nullptr) return;
    int width = g_window->w(), height = g_window->h();
    int view_w = width - kScrollBarSize > 1 ? width - kScrollBarSize : 1;
    int view_h = height - kMenuHeight - kScrollBarSize > 1 ? height - kMenuHeight - kScrollBarSize : 1;
    g_view->resize(0, kMenuHeight, view_w, view_h);
    g_bars[SCROLL_BAR_HORIZONTAL]->resize(0, kMenuHeight + view_h, view_w, kScrollBarSize);
    g_bars[SCROLL_BAR_VERTICAL]->resize(view_w, kMenuHeight, kScrollBarSize, view_h);
    g_corner->resize(view_w, kMenuHeight + view_h, kScrollBarSize, kScrollBarSize);
    g_menu_bars[0]->resize(0, 0, width - g_help_width, kMenuHeight);
    g_menu_bars[1]->resize(width - g_help_width, 0, g_help_width, kMenuHeight);
    g_window->redraw();
}

// While a run blocks the user's input, the main window gets no mouse or key
// event; its close request and the wait box's events still pass.
int DispatchEvent(int event, Fl_Window* window)
{
    if (g_input_blocked && window == g_window && IsEscape(event)) {
        // Escape cancels the run, wherever the focus is.
        std::vector<PlatformDialog*> popups = g_popups;
        for (PlatformDialog* popup : popups) ClosePopup(popup);
        return 1;
    }
    if (g_input_blocked && window == g_window) {
        switch (event) {
        case FL_PUSH:
        case FL_RELEASE:
        case FL_DRAG:
        case FL_MOUSEWHEEL:
        case FL_KEYBOARD:
        case FL_KEYUP:
        case FL_SHORTCUT:
        case FL_PASTE:
        case FL_DND_ENTER:
        case FL_DND_DRAG:
        case FL_DND_RELEASE:
            return 0;
        default:
            break;
        }
    }
    return Fl::handle_(event, window);
}
std::vector<Fl_Menu_Item> g_menu_items[2];

int FltkShortcut(int shortcut)
{
    if (shortcut == SHORTCUT_NONE) return 0;
    int key = shortcut & 0xFFFF;
    return ((shortcut & SHORTCUT_CTRL) ? FL_CTRL : 0) + (key == SHORTCUT_F5 ? FL_F + 5 : key);
}
std::map<int, int> g_menu_checked;

Fl_Menu_Item* FindMenuItem(int id)
{
    for (auto& items : g_menu_items)
        for (Fl_Menu_Item& item : items)
            if (item.text != nullptr && !(item.flags & FL_SUBMENU) && item.user_data_ == reinterpret_cast<void*>(intptr_t(id)))
                return &item;
    return nullptr;
}

void MenuCallback(Fl_Widget*, void* data)
{
    int id = int(reinterpret_cast<intptr_t>(data));
    // FLTK toggles a check item itself; the check marks belong to the program.
    if (Fl_Menu_Item* item = FindMenuItem(id)) {
        if (g_menu_checked[id]) item->set();
        else item->clear();
    }
    Send(MSG_COMMAND, uint32_t(id));
}

// Builds FLTK menu arrays from the resource: the right-aligned popups go to a
// second menu bar at the right end of the bar.
void BuildMenus(const MenuResource* menu)
{
    for (auto& items : g_menu_items) items.clear();
    int side = 0;
    bool open = false;
    for (int i = 0; i < menu->count; ++i) {
        const MenuEntry& e = menu->entries[i];
        if (e.kind == MENU_POPUP) {
            if (open) g_menu_items[side].push_back(Fl_Menu_Item{});
            side = (e.flags & MENU_RIGHT_ALIGNED) ? 1 : 0;
            g_menu_items[side].push_back(Fl_Menu_Item{e.text, 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0});
            open = true;
        } else if (e.kind == MENU_SEPARATOR) {
            if (!g_menu_items[side].empty()) g_menu_items[side].back().flags |= FL_MENU_DIVIDER;
        } else {
            int flags = (e.flags & MENU_CHECKED) ? FL_MENU_TOGGLE | FL_MENU_VALUE : 0;
            g_menu_checked[e.id] = (e.flags & MENU_CHECKED) != 0;
            g_menu_items[side].push_back(Fl_Menu_Item{e.text, FltkShortcut(e.shortcut), MenuCallback,
                                                      reinterpret_cast<void*>(intptr_t(e.id)), flags, 0, 0, 0, 0});
        }
    }
    if (open) g_menu_items[side].push_back(Fl_Menu_Item{});
    for (auto& items : g_menu_items) items.push_back(Fl_Menu_Item{});
}

// The menu item that carries this shortcut, as if it were chosen.
int RunItemOfShortcut(int shortcut)
{
    for (auto& items : g_menu_items)
        for (Fl_Menu_Item& item : items)
            if (item.text != nullptr && item.shortcut_ == shortcut && item.callback_ != nullptr) {
                MenuCallback(nullptr, item.user_data_);
                return 1;
            }
    return 0;
}

// Keys the menu bar does not see: Home and End move the views to the
// image's start and end wherever the focus is not in a field, and Ctrl+=
// zooms in as Ctrl++ does on keyboards where "+" takes Shift.
int GlobalKeys(int event)
{
    if (event != FL_SHORTCUT) return 0;
    int key = Fl::event_key();
    bool ctrl = Fl::event_state(FL_CTRL) != 0;
    if (ctrl && (key == '=' || key == FL_KP + '+')) return RunItemOfShortcut(FL_CTRL + '+');
    if (ctrl && key == FL_KP + '-') return RunItemOfShortcut(FL_CTRL + '-');
    if (ctrl || (key != FL_Home && key != FL_End)) return 0;
    uint32_t position = key == FL_Home ? 0 : 0xFFFF;  // the views clamp it to the image's end
    Send(MSG_HSCROLL, SCROLL_THUMB_POSITION | position << 16);
    Send(MSG_VSCROLL, SCROLL_THUMB_POSITION | position << 16);
    return 1;
}

int MenuWidth(const std::vector<Fl_Menu_Item>& items)
{
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    int width = 0;
    for (const Fl_Menu_Item& item : items)
        if (item.flags & FL_SUBMENU) width += int(fl_width(item.text)) + 16;
    return width;
}

// --- timers -------------------------------------------------------------------

struct Timer {
    int id;
    double period;
};
std::map<int, std::unique_ptr<Timer>> g_timers;

void TimerCallback(void* data)
{
    Timer* timer = static_cast<Timer*>(data);
    Fl::repeat_timeout(timer->period, TimerCallback, data);
    Send(MSG_TIMER, uint32_t(timer->id));
}

// --- dialogs ------------------------------------------------------------------

// An edit that takes digits only: FLTK's integer input also takes "-" and
// "0x1f", which a number edit must refuse.
class DigitsInput : public Fl_Input {
public:
    DigitsInput(int x, int y, int w, int h) : Fl_Input(x, y, w, h) {}
    int handle(int event) override
    {
        if ((event == FL_KEYBOARD || event == FL_PASTE) && !(Fl::event_state() & (FL_CTRL | FL_ALT | FL_META))) {
            const char* text = Fl::event_text();
            int length = Fl::event_length();
            bool printable = length > 0 && static_cast<unsigned char>(text[0]) >= 0x20 && text[0] != 0x7F;
            if (printable)
                for (int i = 0; i < length; ++i)
                    if (text[i] < '0' || text[i] > '9') return 1;  // swallowed
        }
        return Fl_Input::handle(event);
    }
};

FltkControl* FindControl(const PlatformDialog* dialog, int id)
{
    if (dialog == nullptr || id == 0 || id == -1) return nullptr;
    for (const auto& c : dialog->controls)
        if (c->resource->id == id) return c.get();
    return nullptr;
}

bool IsEdit(const FltkControl* c)
{
    return c->resource->kind == CONTROL_EDIT || c->resource->kind == CONTROL_NUMBER_EDIT;
}

void ControlCallback(Fl_Widget*, void* data)
{
    FltkControl* control = static_cast<FltkControl*>(data);
    int code = NOTIFY_CLICKED;
    switch (control->resource->kind) {
    case CONTROL_EDIT:
    case CONTROL_NUMBER_EDIT:
        code = Fl::event() == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)
                   ? NOTIFY_RETURN
                   : NOTIFY_CHANGE;
        break;
    case CONTROL_COMBO:
    case CONTROL_LIST_BOX:
        code = NOTIFY_SELENDOK;
        break;
    default:
        break;
    }
    PlatformDialog* dialog = control->dialog;
    if (dialog->procedure != nullptr)
        dialog->procedure(dialog->context, dialog, MSG_COMMAND, control->resource->id, code);
}

int PixelsX(int units) { return DialogUnitsToPixelsX(units, kDialogBaseX); }
int PixelsY(int units) { return DialogUnitsToPixelsY(units, kDialogBaseY); }

Fl_Widget* MakeControl(const ControlResource* r, int x0, int y0)
{
    int x = x0 + PixelsX(r->x), y = y0 + PixelsY(r->y), w = PixelsX(r->width), h = PixelsY(r->height);
    const char* text = r->text != nullptr ? r->text : "";
    Fl_Widget* widget = nullptr;
    switch (r->kind) {
    case CONTROL_LABEL: {
        Fl_Box* box = new Fl_Box(FL_NO_BOX, x, y, w, h, nullptr);
        box->copy_label(text);
        int centred = (r->style & CONTROL_CENTERED) ? FL_ALIGN_TOP : FL_ALIGN_TOP_LEFT;
        box->align(Fl_Align(centred | FL_ALIGN_INSIDE | FL_ALIGN_WRAP));
        widget = box;
        break;
    }
    case CONTROL_EDIT:
    case CONTROL_NUMBER_EDIT: {
        Fl_Input* input = r->kind == CONTROL_EDIT ? new Fl_Input(x, y, w, h) : new DigitsInput(x, y, w, h);
        input->textsize(kDialogFontSize);
        input->value(text);
        input->when(FL_WHEN_CHANGED | FL_WHEN_ENTER_KEY_ALWAYS);
        widget = input;
        break;
    }
    case CONTROL_CHECK_BOX: {
        Fl_Check_Button* check = new Fl_Check_Button(x, y, w, h);
        check->copy_label(text);
        widget = check;
        break;
    }
    case CONTROL_BUTTON: {
        Fl_Button* button = new Fl_Button(x, y, w, h);
        button->copy_label(text);
        widget = button;
        break;
    }
    case CONTROL_COMBO: {
        // The resource's height is that of the opened list; the closed box
        // has the height of an edit.
        int closed = PixelsY(12);
        Fl_Choice* choice = new Fl_Choice(x, y, w, h < closed ? h : closed);
        choice->textsize(kDialogFontSize);
        // Reports a choice even when the entry shown is chosen again.
        choice->when(FL_WHEN_RELEASE_ALWAYS);
        widget = choice;
        break;
    }
    case CONTROL_LIST_BOX: {
        Fl_Hold_Browser* list = new Fl_Hold_Browser(x, y, w, h);
        list->format_char(0);
        list->textsize(kDialogFontSize);
        widget = list;
        break;
    }
    case CONTROL_GROUP_BOX:
    default: {
        Fl_Box* box = new Fl_Box(FL_ENGRAVED_FRAME, x, y, w, h, nullptr);
        box->copy_label(text);
        box->align(Fl_Align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE));
        widget = box;
        break;
    }
    }
    widget->labelsize(kDialogFontSize);
    return widget;
}

// Text for Fl_Menu_::add, which reads "/" as a submenu and "\" as an escape.
std::string MenuText(const char* text)
{
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') out.push_back('\\');
        out.push_back(*p);
        if (*p == '&') out.push_back('&');
    }
    return out;
}

// Fl_File_Chooser's filters: "Description (pattern)" separated by tabs; the
// whole text is what the list shows.  "*.tif;*.tiff" is written
// "*.{tif,tiff}".
std::string FilterText(const FileFilter* filters, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        if (i > 0) out += "\t";
        std::string pattern = filters[i].pattern, braces;
        for (size_t start = 0; start <= pattern.size();) {
            size_t end = pattern.find(';', start);
            if (end == std::string::npos) end = pattern.size();
            std::string one = pattern.substr(start, end - start);
            if (one.compare(0, 2, "*.") == 0 && one != "*.*") {
                if (!braces.empty()) braces += ',';
                braces.append(one, 2, std::string::npos);
            }
            start = end + 1;
        }
        bool several = braces.find(',') != std::string::npos;
        out += filters[i].description;
        out += " (";
        if (braces.empty()) out += "*";
        else out += several ? "*.{" + braces + "}" : "*." + braces;
        out += ")";
    }
    return out;
}

Fl_Window* WindowTitled(const char* title)
{
    for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w))
        if (w->label() != nullptr && std::strcmp(w->label(), title) == 0) return w;
    return nullptr;
}

Fl_File_Input* FindNameInput(Fl_Group* group)
{
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget* child = group->child(i);
        if (Fl_File_Input* input = dynamic_cast<Fl_File_Input*>(child)) return input;
        if (Fl_Group* inner = child->as_group())
            if (Fl_File_Input* input = FindNameInput(inner)) return input;
    }
    return nullptr;
}

// Fl_File_Chooser makes a name typed without a folder absolute with the
// process's current directory and puts it back with the cursor at the
// start, so that each key lands before the folder it inserted the time
// before ("mes_reglages" became ".../s.../e...").  The name field's own
// callback is run on a name already joined to the chooser's folder, with
// the cursor left after what was typed.
struct NameFieldFix {
    Fl_File_Chooser* chooser;
    Fl_Callback* original;
    void* original_data;
};

void NameFieldCallback(Fl_Widget* widget, void* data)
{
    NameFieldFix* fix = static_cast<NameFieldFix*>(data);
    Fl_File_Input* input = static_cast<Fl_File_Input*>(widget);
    const char* text = input->value();
    const char* folder = fix->chooser->directory();
    if (text[0] != '\0' && text[0] != '/' && text[0] != '~' && text[0] != '$' && folder != nullptr) {
        std::string joined = folder;
        if (joined.empty() || joined.back() != '/') joined += '/';
        int typed_end = input->position() + int(joined.size());
        joined += text;
        input->value(joined.c_str());
        input->position(typed_end, typed_end);
    }
    fix->original(widget, fix->original_data);
}

bool IsRegularFile(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

// --- metrics ------------------------------------------------------------------

void PlatformGetWorkArea(PlatformRect* area)
{
    fl_open_display();
    int x, y, w, h;
    Fl::screen_work_area(x, y, w, h, 0);
    *area = {x, y, x + w, y + h};
}

// The window manager puts its frame and title bar outside the window, so the
// layout counts neither.
void PlatformGetMetrics(PlatformMetrics* metrics)
{
    *metrics = {0, 0, kMenuHeight, kScrollBarSize, kScrollBarSize};
}

void PlatformDialogBaseUnits(int* base_x, int* base_y)
{
    *base_x = kDialogBaseX;
    *base_y = kDialogBaseY;
}

// --- main window ------------------------------------------------------------

int PlatformCreateMainWindow(const PlatformRect* rect, const MenuResource* menu, WindowProcedure procedure,
                             void* context)
{
    // FLTK's own file chooser: the GTK one stops FLTK's timers while open.
    Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
    Fl::scrollbar_size(kScrollBarSize);
    Fl::event_dispatch(DispatchEvent);
    Fl::add_handler(GlobalKeys);
    // The boxes speak French, as the rest of the interface.
    fl_close = "Fermer";
    fl_ok = "OK";
    fl_yes = "Oui";
    fl_no = "Non";
    fl_cancel = "Annuler";
    Fl_File_Chooser::filename_label = "Nom :";
    Fl_File_Chooser::show_label = "Types :";
    Fl_File_Chooser::all_files_label = "Tous les fichiers (*)";
    Fl_File_Chooser::existing_file_label = "Choisissez un fichier existant.";
    Fl_File_Chooser::new_directory_label = "Nouveau répertoire ?";
    Fl_File_Chooser::save_label = "Enregistrer";
    Fl_File_Chooser::preview_label = "Aperçu";
    Fl_File_Chooser::hidden_label = "Fichiers cachés";
    Fl_File_Chooser::favorites_label = "Favoris";
    Fl_File_Chooser::custom_filter_label = "Autre filtre...";
    Fl_File_Chooser::filesystems_label = "Systèmes de fichiers";
    g_procedure = procedure;
    g_context = context;
    int width = rect->right - rect->left, height = rect->bottom - rect->top;
    if (width < 64) width = 64;
    if (height < 64) height = 64;

    // The desktop entry names the program nivelo_gui: its windows carry
    // that class so that the desktop groups them under its icon.
    Fl_Window::default_xclass("nivelo_gui");
    Fl_Group::current(nullptr);
    g_window = new MainWindow(rect->left, rect->top, width, height);
    g_window->callback(CloseCallback);
    g_window->xclass("nivelo_gui");
    g_window->iconlabel("nivelo_gui");
    int view_h = height - kMenuHeight - kScrollBarSize;
    int view_w = width - kScrollBarSize;
    g_view = new SurfaceView(0, kMenuHeight, view_w, view_h);
    g_bars[SCROLL_BAR_HORIZONTAL] = new ScrollBar(SCROLL_BAR_HORIZONTAL, 0, kMenuHeight + view_h, view_w, kScrollBarSize);
    g_bars[SCROLL_BAR_VERTICAL] = new ScrollBar(SCROLL_BAR_VERTICAL, view_w, kMenuHeight, kScrollBarSize, view_h);
    g_corner = new Fl_Box(FL_FLAT_BOX, view_w, kMenuHeight + view_h, kScrollBarSize, kScrollBarSize, nullptr);

    BuildMenus(menu);
    int help_w = MenuWidth(g_menu_items[1]);
    g_help_width = help_w;
    g_menu_bars[0] = new Fl_Menu_Bar(0, 0, width - help_w, kMenuHeight);
    g_menu_bars[0]->menu(g_menu_items[0].data());
    g_menu_bars[1] = new Fl_Menu_Bar(width - help_w, 0, help_w, kMenuHeight);
    g_menu_bars[1]->menu(g_menu_items[1].data());
    if (help_w == 0) g_menu_bars[1]->hide();
    g_window->end();
    // No widget scales by itself: LayOutMainWindow places them at every size.
    g_window->resizable(nullptr);
    g_window->size_range(320, 240);
    return 1;
}

void PlatformSetWindowTitle(const char* title)
{
    if (g_window != nullptr) g_window->copy_label(title);
}

void PlatformShowMainWindow()
{
    if (g_window == nullptr) return;
    g_window->show();
    g_window->wait_for_expose();
    Fl::check();
    // A window manager puts its frame and title bar outside the window, so a
    // window the size of the work area would push its bottom scroll bar off
    // the screen: the window gives up what the decorations take, when it
    // would not fit with them.
    int extra_w = g_window->decorated_w() - g_window->w(), extra_h = g_window->decorated_h() - g_window->h();
    int sx, sy, sw, sh;
    Fl::screen_work_area(sx, sy, sw, sh, 0);
    int w = g_window->w() + extra_w > sw ? sw - extra_w : g_window->w();
    int h = g_window->h() + extra_h > sh ? sh - extra_h : g_window->h();
    if (w != g_window->w() || h != g_window->h()) g_window->resize(g_window->x(), g_window->y(), w, h);
}

void PlatformDestroyMainWindow()
{
    for (auto& timer : g_timers) Fl::remove_timeout(TimerCallback, timer.second.get());
    g_timers.clear();
    if (g_window == nullptr) return;
    g_window->hide();
    delete g_window;
    g_window = nullptr;
    g_view = nullptr;
    g_corner = nullptr;
    g_child_groups.clear();
    g_bars[0] = g_bars[1] = nullptr;
    g_menu_bars[0] = g_menu_bars[1] = nullptr;
    g_procedure = nullptr;
    g_context = nullptr;
}

void PlatformSetTimer(int id, int period_ms)
{
    auto it = g_timers.find(id);
    if (it != g_timers.end()) Fl::remove_timeout(TimerCallback, it->second.get());
    auto timer = std::make_unique<Timer>(Timer{id, period_ms / 1000.0});
    Fl::add_timeout(timer->period, TimerCallback, timer.get());
    g_timers[id] = std::move(timer);
}

// --- display surface --------------------------------------------------------

void PlatformPresentSurface(const PlatformSurface* surface)
{
    if (g_view == nullptr || surface->pixels == nullptr) return;
    g_view->width = surface->width;
    g_view->height = surface->height;
    g_view->pixels.resize(size_t(surface->width) * size_t(surface->height) * 3);
    for (int y = 0; y < surface->height; ++y)
        std::memcpy(g_view->pixels.data() + size_t(y) * size_t(surface->width) * 3,
                    surface->pixels + size_t(y) * size_t(surface->pitch), size_t(surface->width) * 3);
    g_view->redraw();
}

void PlatformRedrawDialogs()
{
    for (Fl_Group* group : g_child_groups) group->redraw();
}

void PlatformBlockInput(int blocked)
{
    g_input_blocked = blocked != 0;
}

void PlatformSetScrollBar(int bar, int maximum, int page, int position)
{
    if ((bar == SCROLL_BAR_HORIZONTAL || bar == SCROLL_BAR_VERTICAL) && g_bars[bar] != nullptr)
        g_bars[bar]->Set(maximum, page, position);
}

void PlatformCheckMenuItem(int id, int checked)
{
    g_menu_checked[id] = checked != 0;
    Fl_Menu_Item* item = FindMenuItem(id);
    if (item == nullptr) return;
    item->flags |= FL_MENU_TOGGLE;
    if (checked) item->set();
    else item->clear();
}

void PlatformEnableMenuItem(int id, int enabled)
{
    Fl_Menu_Item* item = FindMenuItem(id);
    if (item == nullptr) return;
    if (enabled) item->activate();
    else item->deactivate();
}

// --- event loop ---------------------------------------------------------------

// Waits for the next event or timer instead of polling, so that an idle GUI
// takes no processor time.
void PlatformWaitEvents()
{
    Fl::wait(0.020);
}

void PlatformPostQuit(int) { g_quit_posted = 1; }
int PlatformQuitPosted() { return g_quit_posted; }

// --- dialogs ------------------------------------------------------------------

PlatformDialog* PlatformCreateDialog(const DialogResource* resource, DialogProcedure procedure, void* context)
{
    auto dialog = std::make_unique<PlatformDialog>();
    dialog->resource = resource;
    dialog->procedure = procedure;
    dialog->context = context;
    int w = PixelsX(resource->width), h = PixelsY(resource->height);
    Fl_Group::current(nullptr);
    if (resource->style == DIALOG_POPUP) {
        int sx, sy, sw, sh;
        Fl::screen_work_area(sx, sy, sw, sh, 0);
        Fl_Double_Window* window = new Fl_Double_Window(sx + (sw - w) / 2, sy + (sh - h) / 2, w, h);
        window->copy_label(resource->caption != nullptr ? resource->caption : "");
        window->callback(PopupCloseCallback, dialog.get());  // the procedure decides
        window->set_non_modal();
        dialog->group = window;
    } else {
        if (g_window == nullptr) return nullptr;
        dialog->group = new Fl_Group(PixelsX(resource->x), kMenuHeight + PixelsY(resource->y), w, h);
        dialog->group->box(FL_DOWN_BOX);
    }
    int x0 = resource->style == DIALOG_POPUP ? 0 : dialog->group->x();
    int y0 = resource->style == DIALOG_POPUP ? 0 : dialog->group->y();
    for (int i = 0; i < resource->count; ++i) {
        auto control = std::make_unique<FltkControl>();
        control->resource = &resource->controls[i];
        control->dialog = dialog.get();
        control->widget = MakeControl(control->resource, x0, y0);
        control->widget->callback(ControlCallback, control.get());
        dialog->controls.push_back(std::move(control));
    }
    dialog->group->end();
    if (resource->style != DIALOG_POPUP) {
        g_window->add(dialog->group);  // on top of the drawing area
        g_child_groups.push_back(dialog->group);
    } else {
        g_popups.push_back(dialog.get());
    }

    PlatformDialog* result = dialog.release();
    if (procedure != nullptr) procedure(context, result, MSG_INITDIALOG, 0, 0);
    if (resource->style == DIALOG_POPUP) static_cast<Fl_Double_Window*>(result->group)->show();
    else result->group->redraw();
    return result;
}

void PlatformDestroyDialog(PlatformDialog** dialog)
{
    PlatformDialog* d = *dialog;
    *dialog = nullptr;
    if (d == nullptr) return;
    d->group->hide();
    for (size_t i = 0; i < g_child_groups.size(); ++i)
        if (g_child_groups[i] == d->group) g_child_groups.erase(g_child_groups.begin() + long(i));
    g_popups.erase(std::remove(g_popups.begin(), g_popups.end(), d), g_popups.end());
    if (d->group->parent() != nullptr) d->group->parent()->remove(d->group);
    // Deferred: the dialog may be destroyed from one of its own callbacks.
    Fl::delete_widget(d->group);
    if (g_window != nullptr) g_window->redraw();
    delete d;
}

const DialogResource* PlatformDialogResource(const PlatformDialog* dialog)
{
    return dialog != nullptr ? dialog->resource : nullptr;
}

void PlatformShowDialogNow(PlatformDialog* dialog)
{
    if (dialog == nullptr) return;
    if (dialog->resource->style == DIALOG_POPUP) {
        Fl_Double_Window* window = static_cast<Fl_Double_Window*>(dialog->group);
        window->show();
        window->wait_for_expose();
    }
    dialog->group->redraw();
    Fl::flush();
}

int PlatformHasControl(const PlatformDialog* dialog, int id) { return FindControl(dialog, id) != nullptr; }

void PlatformEnableControl(PlatformDialog* dialog, int id, int enabled)
{
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr) return;
    if (enabled) c->widget->activate();
    else c->widget->deactivate();
}

int PlatformIsControlEnabled(const PlatformDialog* dialog, int id)
{
    FltkControl* c = FindControl(dialog, id);
    return c != nullptr && c->widget->active();
}

void PlatformSetEditText(PlatformDialog* dialog, int id, const char* text)
{
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr || !IsEdit(c)) return;
    static_cast<Fl_Input*>(c->widget)->value(text);
    // Setting a value raises no callback in FLTK; the GUI expects the change
    // notification that replacing an edit's text gives.
    if (dialog->procedure != nullptr) dialog->procedure(dialog->context, dialog, MSG_COMMAND, id, NOTIFY_CHANGE);
}

void PlatformSetControlText(PlatformDialog* dialog, int id, const char* text)
{
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr) return;
    if (IsEdit(c)) static_cast<Fl_Input*>(c->widget)->value(text);
    else c->widget->copy_label(text);
    c->widget->redraw();
    if (c->widget->parent() != nullptr) c->widget->parent()->redraw();
}

size_t PlatformGetControlText(const PlatformDialog* dialog, int id, char* buffer, size_t size)
{
    if (size == 0) return 0;
    buffer[0] = '\0';
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr) return 0;
    const char* text = nullptr;
    if (IsEdit(c)) text = static_cast<Fl_Input*>(c->widget)->value();
    else if (c->resource->kind == CONTROL_COMBO) text = static_cast<Fl_Choice*>(c->widget)->text();
    else if (c->resource->kind == CONTROL_LIST_BOX) {
        Fl_Hold_Browser* list = static_cast<Fl_Hold_Browser*>(c->widget);
        text = list->value() > 0 ? list->text(list->value()) : nullptr;
    } else text = c->widget->label();
    if (text == nullptr) return 0;
    size_t length = std::strcspn(text, "\n");
    if (length > size - 1) {
        length = size - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return length;
}

void PlatformMarkControl(PlatformDialog* dialog, int id, int refused)
{
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr || !IsEdit(c)) return;
    Fl_Color colour = refused ? fl_rgb_color(0xFF, 0xC8, 0xC8) : FL_BACKGROUND2_COLOR;
    if (c->widget->color() == colour) return;
    c->widget->color(colour);
    c->widget->redraw();
}

void PlatformSetControlTooltip(PlatformDialog* dialog, int id, const char* text)
{
    FltkControl* c = FindControl(dialog, id);
    if (c != nullptr) c->widget->copy_tooltip(text);
}

void PlatformSetCheck(PlatformDialog* dialog, int id, int checked)
{
    FltkControl* c = FindControl(dialog, id);
    if (c != nullptr && c->resource->kind == CONTROL_CHECK_BOX)
        static_cast<Fl_Check_Button*>(c->widget)->value(checked != 0);
}

int PlatformGetCheck(const PlatformDialog* dialog, int id)
{
    FltkControl* c = FindControl(dialog, id);
    return c != nullptr && c->resource->kind == CONTROL_CHECK_BOX && static_cast<Fl_Check_Button*>(c->widget)->value();
}

void PlatformClearList(PlatformDialog* dialog, int id)
{
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr) return;
    if (c->resource->kind == CONTROL_COMBO) static_cast<Fl_Choice*>(c->widget)->clear();
    else if (c->resource->kind == CONTROL_LIST_BOX) static_cast<Fl_Hold_Browser*>(c->widget)->clear();
}

void PlatformAddListItem(PlatformDialog* dialog, int id, const char* text)
{
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr) return;
    if (c->resource->kind == CONTROL_COMBO) {
        Fl_Choice* choice = static_cast<Fl_Choice*>(c->widget);
        int selected = choice->value();
        choice->add(MenuText(text).c_str());
        choice->value(selected);  // adding must not select
    } else if (c->resource->kind == CONTROL_LIST_BOX) {
        static_cast<Fl_Hold_Browser*>(c->widget)->add(text);
    }
}

int PlatformListCount(const PlatformDialog* dialog, int id)
{
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr) return 0;
    if (c->resource->kind == CONTROL_COMBO) {
        int size = static_cast<Fl_Choice*>(c->widget)->size();
        return size > 0 ? size - 1 : 0;  // size() counts the terminating entry
    }
    if (c->resource->kind == CONTROL_LIST_BOX) return static_cast<Fl_Hold_Browser*>(c->widget)->size();
    return 0;
}

void PlatformSetListSelection(PlatformDialog* dialog, int id, int index)
{
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr) return;
    bool valid = index >= 0 && index < PlatformListCount(dialog, id);
    if (c->resource->kind == CONTROL_COMBO) static_cast<Fl_Choice*>(c->widget)->value(valid ? index : -1);
    else if (c->resource->kind == CONTROL_LIST_BOX) static_cast<Fl_Hold_Browser*>(c->widget)->value(valid ? index + 1 : 0);
}

int PlatformGetListSelection(const PlatformDialog* dialog, int id)
{
    FltkControl* c = FindControl(dialog, id);
    if (c == nullptr) return -1;
    if (c->resource->kind == CONTROL_COMBO) return static_cast<Fl_Choice*>(c->widget)->value();
    if (c->resource->kind == CONTROL_LIST_BOX) return static_cast<Fl_Hold_Browser*>(c->widget)->value() - 1;
    return -1;
}

// --- modal boxes --------------------------------------------------------------

namespace {

struct BoxAnswer {
    Fl_Window* window;
    int index;
};

// The button's index is its argument; the answer hangs on its window.
void BoxButtonCallback(Fl_Widget* button, long index)
{
    BoxAnswer* answer = static_cast<BoxAnswer*>(button->window()->user_data());
    answer->index = int(index);
    answer->window->hide();
}

void BoxCloseCallback(Fl_Widget* window, void*) { window->hide(); }

// A modal box of text above a row of buttons, as wide as its longest line
// but never wider than the screen: longer lines wrap (a long path would
// otherwise push the buttons off the screen).
int RunBox(const char* title, const char* text, const char* const* buttons, int count, int default_button,
           int cancel_button)
{
    fl_open_display();
    int sx, sy, sw, sh;
    Fl::screen_work_area(sx, sy, sw, sh, 0);
    const int margin = 14, button_h = 27, gap = 8;
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    int widths[3] = {0, 0, 0}, row = 0;
    for (int i = 0; i < count && i < 3; i++) {
        widths[i] = int(fl_width(buttons[i])) + 28;
        if (widths[i] < 90) widths[i] = 90;
        row += widths[i] + (i > 0 ? gap : 0);
    }
    int most = sw - 40 - 2 * margin;
    if (most < 200) most = 200;
    int tw = 0, th = 0;
    fl_measure(text, tw, th, 0);
    if (tw > most) {
        tw = most, th = 0;
        fl_measure(text, tw, th, 0);
    }
    tw += 8, th += 4;  // a label aligned to a side is drawn 3 pixels in
    int w = (tw > row ? tw : row) + 2 * margin;
    if (th > sh - 120) th = sh - 120;
    int h = th + button_h + 3 * margin;

    BoxAnswer answer = {nullptr, cancel_button};
    Fl_Group::current(nullptr);
    Fl_Double_Window window(sx + (sw - w) / 2, sy + (sh - h) / 3, w, h);
    answer.window = &window;
    window.copy_label(title);
    // The window owns and deletes its children.
    Fl_Box* message = new Fl_Box(margin, margin, w - 2 * margin, th);
    message->label(text);
    message->align(Fl_Align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP));
    Fl_Button* focus = nullptr;
    for (int i = 0, x = w - margin - row; i < count && i < 3; x += widths[i] + gap, i++) {
        int y = h - margin - button_h;
        Fl_Button* button = i == default_button ? new Fl_Return_Button(x, y, widths[i], button_h)
                                                : new Fl_Button(x, y, widths[i], button_h);
        button->label(buttons[i]);
        button->callback(BoxButtonCallback, long(i));
        if (i == default_button) focus = button;
    }
    window.end();
    window.callback(BoxCloseCallback, &answer);  // Escape and the close button
    window.set_modal();
    window.show();
    if (focus != nullptr) focus->take_focus();
    while (window.shown()) Fl::wait();
    return answer.index;
}

// Also on the standard error, for whoever started the program from a
// terminal or a script: the box's text can be read there after it closes.
void EchoBox(const char* title, const char* text)
{
    size_t length = std::strlen(text);
    std::fprintf(stderr, "%s: %s%s", title, text, length > 0 && text[length - 1] == '\n' ? "" : "\n");
}

}  // namespace

void PlatformMessageBox(int, const char* title, const char* text)
{
    EchoBox(title, text);
    const char* close[] = {fl_close};
    RunBox(title, text, close, 1, 0, 0);
}

int PlatformAskYesNo(const char* title, const char* text)
{
    const char* buttons[] = {"Oui", "Non"};
    return RunBox(title, text, buttons, 2, 1, 1) == 0;
}

int PlatformAskChoice(const char* title, const char* text, const char* const* buttons, int count,
                      int default_button, int cancel_button)
{
    EchoBox(title, text);
    return RunBox(title, text, buttons, count, default_button, cancel_button);
}

int PlatformFileDialog(int mode, const char* title, const FileFilter* filters, int filter_count,
                       int* filter_index, const char* directory, const char* name,
                       std::vector<std::string>* paths)
{
    paths->clear();
    int type = mode == FILE_SAVE ? Fl_File_Chooser::CREATE
               : mode == FILE_OPEN_MANY ? Fl_File_Chooser::MULTI : Fl_File_Chooser::SINGLE;
    std::string folder = directory != nullptr && directory[0] != '\0' ? directory : ".";
    std::string filter = FilterText(filters, filter_count);
    Fl_Group::current(nullptr);
    Fl_File_Chooser chooser(folder.c_str(), filter.c_str(), type, title);
    chooser.ok_label(mode == FILE_SAVE ? "Enregistrer" : "Ouvrir");
    chooser.filter_value(*filter_index >= 0 && *filter_index < filter_count ? *filter_index : 0);
    if (name != nullptr && name[0] != '\0') chooser.value((name[0] == '/' ? std::string(name) : folder + name).c_str());
    chooser.show();
    NameFieldFix fix = {&chooser, nullptr, nullptr};
    Fl_Window* window = WindowTitled(title);
    if (Fl_File_Input* input = window != nullptr ? FindNameInput(window) : nullptr) {
        fix.original = input->callback();
        fix.original_data = input->user_data();
        input->callback(NameFieldCallback, &fix);
    }
    while (chooser.shown()) Fl::wait();
    int chosen = chooser.count();
    if (chosen <= 0 || chooser.value() == nullptr) return 0;
    if (chooser.filter_value() < filter_count) *filter_index = chooser.filter_value();
    for (int i = 1; i <= chosen; ++i) {
        const char* path = chooser.value(i);
        if (path == nullptr || path[0] == '\0') continue;
        // Open modes take existing files only.
        if (mode != FILE_SAVE && !IsRegularFile(path)) continue;
        paths->push_back(path);
    }
    return paths->empty() ? 0 : 1;
}

int PlatformChooseColour(uint32_t initial, uint32_t* chosen)
{
    uchar r = uchar(initial), g = uchar(initial >> 8), b = uchar(initial >> 16);
    if (!fl_color_chooser("Couleur", r, g, b, 1)) return 0;
    *chosen = uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
    return 1;
}

int PlatformChooseFolder(const char* title, std::string* path)
{
    Fl_Native_File_Chooser chooser;
    chooser.type(Fl_Native_File_Chooser::BROWSE_DIRECTORY);
    chooser.title(title);
    if (chooser.show() != 0) return 0;
    const char* chosen = chooser.filename();
    if (chosen == nullptr || chosen[0] == '\0') return 0;
    *path = chosen;
    return 1;
}

int PlatformStartProcess(const ProcessRequest* request, long* pid, int* error_number)
{
    return StartProcessPosix(request, pid, error_number);
}

int PlatformProcessEnded(long pid, int* exit_status) { return ProcessEndedPosix(pid, exit_status); }

void PlatformKillProcess(long pid) { KillProcessPosix(pid); }
