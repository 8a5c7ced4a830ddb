// Start-up sequence of nivelo_gui.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/support.h"
#include "gui/display.h"
#include "gui/file_names.h"
#include "gui/gui_defaults.h"
#include "gui/main_window.h"
#include "gui/menu_commands.h"
#include "gui/panels.h"
#include "gui/resources.h"
#include "gui/run_nivelo.h"

char g_start_directory[kGuiPathSize];
char g_work_directory[kGuiPathSize];

namespace {

const char kWorkDirectoryName[] = "nivelo_gui_work/";

// Start directory = the current one with a separator; the work directory
// under it is entered, or created when it does not exist yet (the current
// directory then stays the start directory).
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
    if (length + sizeof kWorkDirectoryName > sizeof g_work_directory) {
        ReportError("Répertoire courant trop long: %s\n", g_start_directory);
        return 0;
    }
    std::memcpy(g_work_directory, g_start_directory, length);
    std::memcpy(g_work_directory + length, kWorkDirectoryName, sizeof kWorkDirectoryName);
    if (chdir(g_work_directory) != 0) mkdir(g_work_directory, 0777);
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
    if (!CopyText(g_image_name, sizeof g_image_name, name.c_str())) {
        ReportError("Chemin trop long (plus de %zu caractères): %s\n", sizeof g_image_name - 1, name.c_str());
        return;
    }
    SplitPath(g_image_name, g_image_directory);
    AcceptImage();
}

}  // namespace

void ResizeViews(int width, int height)
{
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
    PlatformShowMainWindow();
    UpdateScrollBars();
    if (!CreatePanels()) return 0;

    if (argc > 1) OpenImageArgument(argv[1]);
    return 1;
}

int RunGui()
{
    while (PumpMessages()) {
    }
    DestroyPanels();
    PlatformDestroyMainWindow();
    // A large page leaves gigabytes of stage images; the next start makes
    // them anew anyway.
    DeleteStageImages();
    BITMAP_Free(&g_display.before);
    BITMAP_Free(&g_display.after);
    return 0;
}
