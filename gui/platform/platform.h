// The window-system layer of nivelo_gui.
//
// The GUI's logic (main window procedure, renderer, panels, menu commands)
// reaches the window system only through the functions below.  Two backends
// implement them: platform_fltk.cpp (real windows, FLTK 1.3) and
// tests/gui/platform_headless.cpp (records every request and lets tests play the user,
// see platform_headless.h).  A backend holds no GUI logic: it builds what the
// resource tables describe, draws the display surface, and hands user actions
// to the GUI's procedures as the message codes below.
//
// Functions:
//   Metrics and screen  PlatformGetWorkArea, PlatformGetMetrics,
//                       PlatformDialogBaseUnits
//   Main window         PlatformCreateMainWindow, PlatformSetWindowTitle,
//                       PlatformShowMainWindow, PlatformDestroyMainWindow,
//                       PlatformSetTimer
//   Display surface     PlatformCreateSurface, PlatformPresentSurface,
//                       PlatformReleaseSurface
//   Scroll bars         PlatformSetScrollBar
//   Menu                PlatformCheckMenuItem, PlatformEnableMenuItem
//   Event loop          PlatformWaitEvents, PlatformPostQuit,
//                       PlatformQuitPosted
//   Dialogs             PlatformCreateDialog, PlatformDestroyDialog,
//                       PlatformDialogResource, PlatformShowDialogNow,
//                       PlatformHasControl, PlatformEnableControl,
//                       PlatformIsControlEnabled, PlatformSetEditText,
//                       PlatformSetControlText, PlatformGetControlText,
//                       PlatformSetCheck, PlatformGetCheck, PlatformMarkControl,
//                       PlatformClearList, PlatformAddListItem,
//                       PlatformListCount, PlatformSetListSelection,
//                       PlatformGetListSelection
//   Modal boxes         PlatformMessageBox, PlatformAskYesNo, PlatformAskChoice,
//                       PlatformFileDialog,
//                       PlatformChooseColour, PlatformChooseFolder
//   Input and redraw    PlatformRedrawDialogs, PlatformBlockInput,
//                       PlatformSetControlTooltip
//   Processes           PlatformExecutableDirectory, PlatformStartProcess,
//                       PlatformProcessEnded, PlatformKillProcess
//
// Everything runs on the GUI's one thread.  Results are 1 for success and 0
// for failure unless stated.  Texts are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Message codes delivered to the GUI's procedures.  The values are fixed
// numbers that the GUI's tables and tests use.

enum PlatformMessage {
    MSG_DESTROY = 0x0002,      // main window closed by the user
    MSG_SIZE = 0x0005,         // main window resized; wparam = client width | height << 16
    MSG_PAINT = 0x000F,        // window needs its surface shown again
    MSG_ACTIVATEAPP = 0x001C,  // application activated
    MSG_INITDIALOG = 0x0110,   // dialog built, its controls exist
    MSG_COMMAND = 0x0111,      // menu item chosen, or a control's notification
    MSG_TIMER = 0x0113,        // timer tick; wparam = timer id
    MSG_HSCROLL = 0x0114,      // horizontal bar; wparam = code | position << 16
    MSG_VSCROLL = 0x0115,      // vertical bar; same
};

// Control notifications (the code of MSG_COMMAND for a dialog control).
enum PlatformNotification {
    NOTIFY_CLICKED = 0,      // push button pressed, check box toggled
    NOTIFY_SELENDOK = 9,     // the user confirmed a choice in a list
    NOTIFY_CHANGE = 0x0300,  // an edit's text changed (typed or set)
    NOTIFY_RETURN = 0x0301,  // Return pressed in an edit
};

// The id under which a popup dialog hears that the user closed it (its
// close button, or Escape): a click of this id.
constexpr int CONTROL_ID_CLOSE = 2;

// Scroll request codes (low 16 bits of a scroll message's wparam).
enum ScrollCode {
    SCROLL_LINE_UP = 0,
    SCROLL_LINE_DOWN = 1,
    SCROLL_PAGE_UP = 2,
    SCROLL_PAGE_DOWN = 3,
    SCROLL_THUMB_POSITION = 4,  // thumb released; position in the high 16 bits
    SCROLL_THUMB_TRACK = 5,     // thumb dragged; position in the high 16 bits
};

enum ScrollBarId { SCROLL_BAR_HORIZONTAL = 0, SCROLL_BAR_VERTICAL = 1 };

// Main window procedure: the context given with the window, message, wparam.
// Returns 0.
typedef long (*WindowProcedure)(void* context, int message, uint32_t wparam);

// ---------------------------------------------------------------------------
// Resource tables: the menu and the dialogs described as data.

enum MenuEntryKind {
    MENU_POPUP = 1,      // starts a popup; the items up to the next popup belong to it
    MENU_ITEM = 2,
    MENU_SEPARATOR = 3,
};

enum MenuEntryFlags {
    MENU_CHECKED = 1,       // item carries a check mark at start
    MENU_RIGHT_ALIGNED = 2  // popup placed at the right end of the bar (help)
};

// Keys of menu shortcuts: a character, or one of these, with SHORTCUT_CTRL
// added for the Control key.  The menu shows each beside its item.
enum MenuShortcut {
    SHORTCUT_NONE = 0,
    SHORTCUT_F5 = 0x1005,
    SHORTCUT_CTRL = 0x10000,
};

struct MenuEntry {
    int kind;          // MenuEntryKind
    int id;            // command id of an item, 0 otherwise
    const char* text;  // shown text (no accelerator marks); null for separators
    int flags;         // MenuEntryFlags
    int shortcut;      // MenuShortcut; SHORTCUT_NONE for none
};

struct MenuResource {
    int id;
    const MenuEntry* entries;
    int count;
};

enum ControlKind {
    CONTROL_LABEL = 1,        // static text, wraps within its rectangle
    CONTROL_EDIT = 2,         // single-line edit, any text
    CONTROL_NUMBER_EDIT = 3,  // single-line edit refusing everything but digits
    CONTROL_CHECK_BOX = 4,    // auto check box
    CONTROL_BUTTON = 5,       // push button
    CONTROL_COMBO = 6,        // drop-down list (choice only, no typing)
    CONTROL_LIST_BOX = 7,     // list always open
    CONTROL_GROUP_BOX = 8,    // frame with a caption
};

enum ControlStyle {
    CONTROL_CENTERED = 1,  // label text centred instead of left-aligned
};

struct ControlResource {
    int id;            // control id; 0 (or -1) for controls the GUI never addresses
    int kind;          // ControlKind
    const char* text;  // label, caption or initial text; may be null
    int x, y, width, height;  // dialog units, relative to the dialog
    int style;         // ControlStyle flags
};

enum DialogStyle {
    DIALOG_CHILD = 0,     // child of the main window's client area, no caption
    DIALOG_POPUP = 1,     // own top-level window with a caption, centred on the screen, on top
};

struct DialogResource {
    int id;
    int style;            // DialogStyle
    const char* caption;  // popups only
    int x, y, width, height;  // dialog units; x, y relative to the main window's client area
    const ControlResource* controls;  // in tab order
    int count;
};

// Opaque dialog made from a DialogResource.
struct PlatformDialog;

// Dialog procedure: the context given with the dialog, dialog, message
// (MSG_INITDIALOG or MSG_COMMAND), control id and notification code (both 0
// for MSG_INITDIALOG).  Returns 1 when it handled the message, 0 otherwise.
typedef int (*DialogProcedure)(void* context, PlatformDialog* dialog, int message, int id, int code);

// ---------------------------------------------------------------------------
// Metrics and screen.

struct PlatformRect {
    int left, top, right, bottom;
};

// Sizes in pixels the main window's layout is computed from.
struct PlatformMetrics {
    int dialog_frame;   // thickness of the window frame (each side)
    int caption;        // height of the title bar
    int menu;           // height of the menu bar
    int hscroll_height; // height of the horizontal scroll bar
    int vscroll_width;  // width of the vertical scroll bar
};

// The desktop area not covered by panels or task bars, in screen pixels.
void PlatformGetWorkArea(PlatformRect* area);
void PlatformGetMetrics(PlatformMetrics* metrics);
// Pixels per 4 horizontal and per 8 vertical dialog units: a dialog unit
// rectangle (x, y, w, h) covers pixels x * base_x / 4, y * base_y / 8, ...
void PlatformDialogBaseUnits(int* base_x, int* base_y);

// ---------------------------------------------------------------------------
// Main window.  There is one; it covers the given screen rectangle (frame and
// caption included), carries the menu, a drawing area showing the display
// surface from the client area's top-left corner, a horizontal and a vertical
// scroll bar.  The procedure receives MSG_COMMAND (wparam = menu item id),
// MSG_HSCROLL/MSG_VSCROLL, MSG_TIMER, MSG_PAINT, MSG_ACTIVATEAPP and
// MSG_DESTROY, each with context.  The window ignores Escape.
int PlatformCreateMainWindow(const PlatformRect* rect, const MenuResource* menu,
                             WindowProcedure procedure, void* context);
void PlatformSetWindowTitle(const char* title);
void PlatformShowMainWindow();
// Closes the window and every dialog; MSG_DESTROY is not sent.
void PlatformDestroyMainWindow();
// Sends MSG_TIMER with this id to the main window procedure every period.
void PlatformSetTimer(int id, int period_ms);

// ---------------------------------------------------------------------------
// Display surface: 24-bit, bytes B, G, R a pixel, rows top to bottom, each
// row pitch bytes long (3 x width rounded up to a multiple of 4).
struct PlatformSurface {
    int width;
    int height;
    int pitch;
    uint8_t* pixels;  // null when there is no surface
};

// Allocates the surface (contents undefined); 0 when it cannot.
int PlatformCreateSurface(int width, int height, PlatformSurface* surface);
// Copies the whole surface to the drawing area at (0, 0) (clipped to it).
// The drawing area repaints exposed parts from this copy by itself, so a
// backend may never send MSG_PAINT.  The drawing area lies under the child
// dialogs: drawing it covers them until PlatformRedrawDialogs.
void PlatformPresentSurface(const PlatformSurface* surface);
// Draws every child dialog again over the drawing area.
void PlatformRedrawDialogs();
// Releases the pixels; the record becomes empty.  Harmless when empty.
void PlatformReleaseSurface(PlatformSurface* surface);

// ---------------------------------------------------------------------------
// Scroll bars: range 0 to maximum, page, position.  A bar whose maximum is 0
// is shown inactive.  The user's requests come back as scroll messages; the
// bar's position changes only through this call.
void PlatformSetScrollBar(int bar, int maximum, int page, int position);

// Menu items by command id.
void PlatformCheckMenuItem(int id, int checked);
void PlatformEnableMenuItem(int id, int enabled);

// ---------------------------------------------------------------------------
// Event loop.  Handles every pending event; when none is pending, waits until
// the next event or timer tick and handles it.  Never waits longer than the
// shortest timer period.
void PlatformWaitEvents();
// Asks the loop to end: PlatformQuitPosted becomes 1.
void PlatformPostQuit(int exit_code);
int PlatformQuitPosted();

// While blocked, the menu, the scroll bars, the drawing area and the child
// dialogs take no input from the user; popups and the main window's close
// request still arrive, and Escape anywhere closes the popups (their
// procedures hear CONTROL_ID_CLOSE).
void PlatformBlockInput(int blocked);

// ---------------------------------------------------------------------------
// Dialogs.  PlatformCreateDialog builds the dialog and its controls from the
// resource, sends MSG_INITDIALOG to the procedure, shows the dialog and
// returns it (null when it cannot be built); the procedure hears every
// message with context.  Child dialogs sit in the main window's client area;
// popups are centred on the screen and stay on top.
// Every control routine does nothing (or returns 0, -1 or an empty text)
// when the dialog has no control with that id.
PlatformDialog* PlatformCreateDialog(const DialogResource* resource, DialogProcedure procedure, void* context);
// Destroys the dialog and sets the variable to null; harmless on null.
void PlatformDestroyDialog(PlatformDialog** dialog);
const DialogResource* PlatformDialogResource(const PlatformDialog* dialog);
// Shows the dialog and makes sure it is drawn on the screen before returning
// (for a box that must be seen before the thread blocks).
void PlatformShowDialogNow(PlatformDialog* dialog);

int PlatformHasControl(const PlatformDialog* dialog, int id);
void PlatformEnableControl(PlatformDialog* dialog, int id, int enabled);
int PlatformIsControlEnabled(const PlatformDialog* dialog, int id);

// Replaces the whole text of an edit and then sends NOTIFY_CHANGE, as typing
// over the whole selection would.
void PlatformSetEditText(PlatformDialog* dialog, int id, const char* text);
// Sets the text of a label, button, check box or group box; no notification.
void PlatformSetControlText(PlatformDialog* dialog, int id, const char* text);
// Copies the control's text (first line) into buffer, cut to size - 1 bytes
// at a character boundary, terminated.  Returns the number of bytes copied.
size_t PlatformGetControlText(const PlatformDialog* dialog, int id, char* buffer, size_t size);

// Marks an edit whose text is refused (a tinted background), or unmarks it.
void PlatformMarkControl(PlatformDialog* dialog, int id, int refused);

// Text shown when the pointer rests on the control.
void PlatformSetControlTooltip(PlatformDialog* dialog, int id, const char* text);

void PlatformSetCheck(PlatformDialog* dialog, int id, int checked);
int PlatformGetCheck(const PlatformDialog* dialog, int id);

// Lists (combo and list box).  Selection -1 means nothing selected.
void PlatformClearList(PlatformDialog* dialog, int id);
void PlatformAddListItem(PlatformDialog* dialog, int id, const char* text);
int PlatformListCount(const PlatformDialog* dialog, int id);
void PlatformSetListSelection(PlatformDialog* dialog, int id, int index);
int PlatformGetListSelection(const PlatformDialog* dialog, int id);

// ---------------------------------------------------------------------------
// Modal boxes.  Each returns when the user has answered.

// Every box is at most as wide as the screen: long lines are wrapped.
enum MessageBoxKind { MESSAGE_ERROR = 1, MESSAGE_INFORMATION = 2 };
void PlatformMessageBox(int kind, const char* title, const char* text);
// A question with the buttons "Oui" and "Non"; 1 for "Oui", 0 for "Non" or a
// closed box.  Return answers "Non": nothing is done by a key pressed in haste.
int PlatformAskYesNo(const char* title, const char* text);
// A question with count (1 to 3) buttons, left to right.  Return presses
// button default_button; Escape or closing the box gives cancel_button.
// Returns the index of the button pressed.
int PlatformAskChoice(const char* title, const char* text, const char* const* buttons, int count,
                      int default_button, int cancel_button);

struct FileFilter {
    const char* description;  // e.g. "Targa Files (.tga)"
    const char* pattern;      // e.g. "*.tga"
};

enum FileDialogMode {
    FILE_OPEN_ONE = 0,   // an existing file
    FILE_SAVE = 1,       // any name in an existing folder; no replace question, no extension added
    FILE_OPEN_MANY = 2,  // one or more existing files
};

// Runs a file dialog opening in directory (null or empty: the current one)
// with name proposed (null or empty: none).  *filter_index (0-based) is the
// filter selected when it opens, and receives the one last chosen.  Returns
// 1 with the chosen full paths in paths (one for modes 0 and 1), or 0 when
// cancelled.
int PlatformFileDialog(int mode, const char* title, const FileFilter* filters, int filter_count,
                       int* filter_index, const char* directory, const char* name,
                       std::vector<std::string>* paths);

// Colour chooser; colour values hold red in bits 0-7, green 8-15, blue
// 16-23.  Returns 1 with the choice in chosen, 0 when cancelled.
int PlatformChooseColour(uint32_t initial, uint32_t* chosen);

// Folder chooser.  Returns 1 with the chosen folder's path (no trailing
// separator added), 0 when cancelled.
int PlatformChooseFolder(const char* title, std::string* path);

// ---------------------------------------------------------------------------
// Processes.

// Directory of the running executable, ending with its separator; 0 when
// unknown.
int PlatformExecutableDirectory(std::string* directory);

struct ProcessRequest {
    const char* program;            // path or bare name (looked up in the search path)
    std::vector<std::string> args;  // argument words after the program name
    const char* output_path;        // standard output and error go here (replaced)
    const char* output_header;      // written at the top of the output file; may be null
    const char* working_directory;  // null: the current one
};

// Starts the program without a shell and returns at once: 1 with its process
// id, or 0 with the system's error number when it could not be started
// (output file, missing program).
int PlatformStartProcess(const ProcessRequest* request, long* pid, int* error_number);
// 1 once the process has ended (it is then reaped; exit status -1 when it did
// not exit normally), 0 while it runs.
int PlatformProcessEnded(long pid, int* exit_status);
// Ends the process at once and reaps it.
void PlatformKillProcess(long pid);
