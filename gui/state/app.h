// Everything one nivelo_gui window knows, in one record that each routine
// receives by reference: the open page, the parameter set, the display, the
// panels, which stage images are current, the running job, the folders and
// the session.  A test builds a fresh record for each case; two records never
// share anything but the window system.
//
// The jobs of the GUI rest on one another: platform, settings, this state,
// views, panels, previews, pages, commands, app.  A lower job never calls an
// upper one; where it must tell one that something happened, it calls the
// hook the application put into the record at start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "gui/platform/platform.h"
#include "gui/settings/gui_params.h"
#include "gui/settings/work_folder.h"

// No orientation line, and the line of a page left as it was.
constexpr int kNoOrientation = -2, kOrientationUnsure = -1;

// One page the window can show.  The page list fills these; until it does,
// the open image is the only page.
struct PageEntry {
    std::string path;
};

// The image chosen with "Charger Image..." (or the single file of a one-file
// conversion): file name and directory (ending with its separator), joined
// by concatenation.  Both empty when none is open.
struct OpenImage {
    char name[kGuiPathSize];
    char directory[kGuiPathSize];
};

// The 24-bit surface the views are drawn into, the layout of the two views,
// the before and after images, the zoom mode and the scroll position.
struct DisplayState {
    PlatformSurface surface;
    int left_view_x;
    int right_view_x;
    int view_width;
    int view_height;
    BITMAP before;        // shown in the left view
    BITMAP after;         // shown in the right view
    int image_loaded;
    int zoom_mode;        // ZoomMode (views/display.h)
    uint32_t hpos;        // scroll position in source pixels, shared by both views
    uint32_t vpos;
    int frame_flag;       // set by the 20 ms timer
};

// The left strip: the stage chooser, the panel of the stage shown (0 to 10,
// the chooser's entry index) and the update bar; each dialog null before the
// panels are made and after they are destroyed.
struct PanelState {
    int current;
    PlatformDialog* window;
    PlatformDialog* chooser;
    PlatformDialog* update_bar;
    int filling;                          // the set is being put into the controls
    std::map<int, std::string> refused;   // value fields of the panel shown: control id -> nivelo's reason
};

// The last detected skew angle, shown by the Rotation panel, with what
// nivelo said in that run, lines ending with "\n"; and the last orientation
// found (a RunReport's orientation).
struct DetectedAngle {
    int known;
    double angle;  // degrees, as printed
    std::string note;
    int orientation = kNoOrientation;
};

// The nivelo the window waits for, and the file managers it started.
struct RunningJob {
    PlatformDialog* wait_box;
    int cancel_requested;
    int running;
    std::vector<long> viewers;  // xdg-open processes not yet reaped
};

// Folders and names the window keeps, directories ending with their separator.
struct Folders {
    char start[kGuiPathSize];  // the current directory at start
    char work[kGuiPathSize];   // this window's work folder (work_folder.path)
    WorkFolder work_folder = {"", -1};
    char config_name[kGuiPathSize];  // the configuration last loaded or saved
    char config_directory[kGuiPathSize];
    char last[kGuiPathSize];  // the folder a file dialog last chose in
    int image_filter_index, config_filter_index;  // the filter last chosen in each kind of dialog
};

// One use of the window from start to quit.
struct Session {
    std::string saved_settings;  // the set as last loaded, saved or started with
    int client_width, client_height;  // the main window's client area, as last known
};

struct App;

// How a lower job tells an upper one; set by the application at start.
struct AppHooks {
    void (*stage_chosen)(App& app) = nullptr;   // a new stage panel is shown: bring its views up to date
    void (*update_asked)(App& app) = nullptr;   // "Mettre à jour", or Return in a value's field
    void (*values_edited)(App& app) = nullptr;  // a value that feeds the current stage changed
};

struct App {
    std::vector<PageEntry> pages;
    size_t current_page = 0;
    OpenImage image = {};
    GuiParameterSet params = {};
    DisplayState display = {};
    PanelState panels = {};
    // Stage images 0 to valid_limit (0 to 12) in the work folder are current.
    int valid_limit = 0;
    DetectedAngle angle = {};
    RunningJob job = {};
    Folders folders = {};
    Session session = {};
    AppHooks hooks;
};
