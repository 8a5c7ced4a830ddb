// Start-up sequence of nivelo_gui.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/support.h"
#include "gui/views/display.h"
#include "gui/settings/file_names.h"
#include "gui/app/gui_defaults.h"
#include "gui/app/main_window.h"
#include "gui/commands/menu_commands.h"
#include "gui/panels/panels.h"
#include "gui/commands/resources.h"
#include "gui/previews/run_nivelo.h"
#include "gui/commands/session.h"
#include "gui/settings/work_folder.h"

char g_start_directory[kGuiPathSize];
char g_work_directory[kGuiPathSize];

namespace {

WorkFolder g_work_folder = {"", -1};
int g_client_width, g_client_height;

// Start directory = the current one with a separator; this window's own
// work folder is made under it.
int SetUpDirectories()
{
    if (getcwd(g_start_directory, sizeof g_start_directory) == nullptr) {
        ReportError("Répertoire courant inaccessible ou plus long que %zu caractères\n",
                    sizeof g_start_directory - 1);
        return 0;
    }
    size_t length = std::strlen(g_start_directory);
    char last = length > 0 ? g_start_directory[length - 1] : '\0';
    if (last != '/' && last != '\\') {
        if (length + 1 >= sizeof g_start_directory) {
            ReportError("Répertoire courant trop long: %s\n", g_start_directory);
            return 0;
        }
        g_start_directory[length++] = '/';
        g_start_directory[length] = '\0';
    }
    CloseWorkFolder(&g_work_folder);  // a second start in one process (the tests)
    if (!OpenWorkFolder(g_start_directory, &g_work_folder)) return 0;
    static_assert(sizeof g_work_folder.path == sizeof g_work_directory);
    std::memcpy(g_work_directory, g_work_folder.path, sizeof g_work_directory);
    return 1;
}

void ApplyLayout(const DisplayLayout& layout)
{
    g_display.left_view_x = layout.left_view_x;
    g_display.right_view_x = layout.right_view_x;
    g_display.view_width = layout.view_width;
    g_display.view_height = layout.view_height;
}

// `nivelo_gui <image>` behaves as choosing that image with "Charger
// Image...", for file managers and scripts.  A relative name is taken from
// the start directory, since the current directory may already be the work
// directory.
void OpenImageArgument(const char* argument)
{
    std::string name = argument;
    if (!name.empty() && name[0] != '/') name = g_start_directory + name;
    // "../page.tif" as a folder "start/../" would confuse the file dialogs
    // that open there later.
    char resolved[PATH_MAX];
    if (realpath(name.c_str(), resolved) != nullptr) name = resolved;
    AcceptImage(name.c_str());
}

}  // namespace

void MainWindowSize(int* width, int* height)
{
    *width = g_client_width;
    *height = g_client_height;
}

void ResizeViews(int width, int height)
{
    g_client_width = width;
    g_client_height = height;
    // Before start-up has made the surface, or once quitting released it,
    // there is nothing to follow.
    if (g_display.surface.pixels == nullptr) return;
    PlatformRect area = {0, 0, width, height};
    PlatformMetrics metrics;
    PlatformGetMetrics(&metrics);
    DisplayLayout layout;
    ComputeLayout(area, metrics, &layout);
    if (layout.surface_width == g_display.surface.width && layout.surface_height == g_display.surface.height)
        return;
    if (!CreateDisplaySurface(layout.surface_width, layout.surface_height)) return;
    ClearImage(&g_display.surface, BACKDROP_GREY);
    ApplyLayout(layout);
    DrawSeparators();
    UpdateScrollBars();
    RenderViews();
}

int StartGui(int argc, char** argv)
{
    if (!SetUpDirectories()) return 0;

    PlatformRect area;
    PlatformMetrics metrics;
    PlatformGetWorkArea(&area);
    // The size the window had when it was last closed, when it still fits.
    int width, height;
    RememberedWindowSize(&width, &height);
    if (width > 0 && width < area.right - area.left) area.right = area.left + width;
    if (height > 0 && height < area.bottom - area.top) area.bottom = area.top + height;
    g_client_width = area.right - area.left;
    g_client_height = area.bottom - area.top;
    PlatformGetMetrics(&metrics);
    if (!CreateMainWindow(&area, &g_main_menu, OnMenuCommand, OnScroll)) return 0;
    ShowImageTitle();

    DisplayLayout layout;
    ComputeLayout(area, metrics, &layout);
    if (!CreateDisplaySurface(layout.surface_width, layout.surface_height)) return 0;
    ClearImage(&g_display.surface, BACKDROP_GREY);
    ApplyLayout(layout);
    DrawSeparators();
    PresentDisplay();

    SetGuiDefaults();
    ApplyRememberedSettings();
    PlatformShowMainWindow();
    UpdateScrollBars();
    if (!CreatePanels()) return 0;
    // After the panels: filling them reads the reals back in single precision.
    MarkSettingsSaved();

    if (argc > 1) OpenImageArgument(argv[1]);
    return 1;
}

void EndWorkFolder()
{
    CloseWorkFolder(&g_work_folder);
}

int RunGui()
{
    while (PumpMessages()) {
    }
    RememberSettings();
    DestroyPanels();
    PlatformDestroyMainWindow();
    // A large page leaves gigabytes of stage images; the next start makes
    // them anew anyway.
    EndWorkFolder();
    BITMAP_Free(&g_display.before);
    BITMAP_Free(&g_display.after);
    return 0;
}
