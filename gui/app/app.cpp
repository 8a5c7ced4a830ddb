// Start-up sequence of nivelo_gui, and its end.
#include "gui/app/app.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/support.h"
#include "gui/app/gui_defaults.h"
#include "gui/app/main_window.h"
#include "gui/commands/menu_commands.h"
#include "gui/commands/resources.h"
#include "gui/commands/session.h"
#include "gui/panels/panels.h"
#include "gui/previews/previews.h"
#include "gui/settings/work_folder.h"
#include "gui/views/display.h"
#include "gui/views/scroll.h"

namespace {

// Start directory = the current one with a separator, unless the caller
// gave one (the tests, each in its own scratch folder); this window's own
// work folder is made under it.
int SetUpDirectories(Folders& f)
{
    if (f.start[0] == '\0' && getcwd(f.start, sizeof f.start) == nullptr) {
        ReportError("Répertoire courant inaccessible ou plus long que %zu caractères\n", sizeof f.start - 1);
        return 0;
    }
    size_t length = std::strlen(f.start);
    char last = length > 0 ? f.start[length - 1] : '\0';
    if (last != '/' && last != '\\') {
        if (length + 1 >= sizeof f.start) {
            ReportError("Répertoire courant trop long: %s\n", f.start);
            return 0;
        }
        f.start[length++] = '/';
        f.start[length] = '\0';
    }
    CloseWorkFolder(&f.work_folder);  // a second start with one record
    if (!OpenWorkFolder(f.start, &f.work_folder)) return 0;
    static_assert(sizeof f.work_folder.path == sizeof f.work);
    std::memcpy(f.work, f.work_folder.path, sizeof f.work);
    return 1;
}

// `nivelo_gui <image>` behaves as choosing that image with "Charger
// Image...", for file managers and scripts.  A relative name is taken from
// the start directory, since the current directory may already be the work
// directory.
void OpenImageArgument(App& app, const char* argument)
{
    std::string name = argument;
    if (!name.empty() && name[0] != '/') name = app.folders.start + name;
    // "../page.tif" as a folder "start/../" would confuse the file dialogs
    // that open there later.
    char resolved[PATH_MAX];
    if (realpath(name.c_str(), resolved) != nullptr) name = resolved;
    AcceptImage(app, name.c_str());
}

}  // namespace

int StartGui(App& app, int argc, char** argv)
{
    app.hooks.stage_chosen = RefreshPreviews;
    app.hooks.update_asked = RunUpdateCommand;
    app.hooks.values_edited = ValuesEdited;
    if (!SetUpDirectories(app.folders)) return 0;

    PlatformRect area;
    PlatformMetrics metrics;
    PlatformGetWorkArea(&area);
    // The size the window had when it was last closed, when it still fits.
    int width, height;
    RememberedWindowSize(&width, &height);
    if (width > 0 && width < area.right - area.left) area.right = area.left + width;
    if (height > 0 && height < area.bottom - area.top) area.bottom = area.top + height;
    app.session.client_width = area.right - area.left;
    app.session.client_height = area.bottom - area.top;
    PlatformGetMetrics(&metrics);
    if (!CreateMainWindow(app, &area, &g_main_menu)) return 0;
    ShowImageTitle(app);

    DisplayLayout layout;
    ComputeLayout(area, metrics, &layout);
    if (!MakeDisplaySurface(app.display, layout)) return 0;
    PresentDisplay(app.display);

    SetGuiDefaults(app);
    ApplyRememberedSettings(app);
    PlatformShowMainWindow();
    UpdateScrollBars(app.display);
    if (!CreatePanels(app)) return 0;
    // After the panels: filling them reads the reals back in single precision.
    MarkSettingsSaved(app);

    if (argc > 1) OpenImageArgument(app, argv[1]);
    return 1;
}

void EndWorkFolder(App& app)
{
    CloseWorkFolder(&app.folders.work_folder);
}

int RunGui(App& app)
{
    while (PumpMessages(app)) {
    }
    RememberSettings(app);
    DestroyPanels(app);
    PlatformDestroyMainWindow();
    // A large page leaves gigabytes of stage images; the next start makes
    // them anew anyway.
    EndWorkFolder(app);
    FreeDisplay(app.display);
    return 0;
}
