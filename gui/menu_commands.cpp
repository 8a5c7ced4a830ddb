#include "gui/menu_commands.h"

#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "gui/config_file.h"
#include "gui/display.h"
#include "gui/file_names.h"
#include "gui/main_window.h"
#include "gui/panels.h"
#include "gui/previews.h"
#include "gui/resources.h"
#include "gui/run_nivelo.h"
#include "tga/tga.h"

char g_image_name[kGuiPathSize];
char g_image_directory[kGuiPathSize];
char g_config_name[kGuiPathSize];
char g_config_directory[kGuiPathSize];

namespace {

const FileFilter kImageFilter[2] = {{"Targa Files (.tga)", "*.tga"}, {"Tiff Files (*.tif)", "*.tif"}};
const FileFilter kConfigFilter[2] = {{"Text Files (.txt)", "*.txt"}, {"All Files (*.*)", "*.*"}};

void ReportLongPath(const char* path)
{
    ReportError("Chemin trop long (plus de %d caractères): %s\n", kGuiPathSize - 1, path);
}

void LoadImageCommand()
{
    FileDialog(g_image_name, FILE_OPEN_ONE, "Charger une image", kImageFilter, g_image_directory, g_image_name);
    SplitPath(g_image_name, g_image_directory);
    AcceptImage();
}

// The joined configuration path, or 0 after a message.
int ConfigPath(char* path)
{
    if (JoinPath(path, kGuiPathSize, g_config_directory, g_config_name)) return 1;
    ReportError("Chemin trop long (plus de %d caractères): %s%s\n", kGuiPathSize - 1, g_config_directory,
                g_config_name);
    return 0;
}

void LoadConfigCommand()
{
    FileDialog(g_config_name, FILE_OPEN_ONE, "Charger un fichier de config", kConfigFilter, g_config_directory,
               g_config_name);
    SplitPath(g_config_name, g_config_directory);
    char path[kGuiPathSize];
    if (g_config_name[0] == '\0' || !ConfigPath(path)) return;
    ReadConfigFile(path);
    // Refreshing the panel shown lowers the valid limit through its edits'
    // change notifications, as editing them would.
    FillPanel(g_current_panel_window, 0);
    if (g_display.image_loaded) FullRefresh();
}

void SaveConfigCommand()
{
    FileDialog(g_config_name, FILE_SAVE, "Sauver un fichier de config", kConfigFilter, g_config_directory,
               g_config_name);
    SplitPath(g_config_name, g_config_directory);
    char path[kGuiPathSize];
    if (g_config_name[0] == '\0' || !ConfigPath(path)) return;
    WriteConfigFile(path, g_gui_params.REPERTOIRE1, g_gui_params.REPERTOIRE2);
}

// One run of nivelo a chosen image, in order, each under the wait box with
// its progress.  A single file becomes the current image for later previews;
// the views are neither reloaded nor redrawn.
void ConvertCommand()
{
    std::vector<std::string> paths =
        FileDialogMany("Choisir les images", kImageFilter, g_image_directory, g_image_name);
    size_t count = paths.size();
    for (size_t i = 0; i < count; i++) {
        char name[kGuiPathSize], directory[kGuiPathSize];
        if (!CopyText(name, sizeof name, paths[i].c_str())) {
            ReportLongPath(paths[i].c_str());
            break;
        }
        SplitPath(name, directory);
        if (count == 1) {
            std::memcpy(g_image_name, name, sizeof name);
            std::memcpy(g_image_directory, directory, sizeof directory);
        }
        char progress[64];
        std::snprintf(progress, sizeof progress, "Conversion: image %zu / %zu", i + 1, count);
        OpenWaitBox(progress);
        // A run that could not start has said why; the next would say it again.
        if (!RunConversion(directory, name)) break;
    }
    CloseWaitBox();
}

}  // namespace

void SetFileCommandDefaults()
{
    g_image_name[0] = g_image_directory[0] = '\0';
    g_config_name[0] = g_config_directory[0] = '\0';
}

void AcceptImage()
{
    char path[kGuiPathSize];
    BITMAP check = {};
    // The file is read only to check it: the views show what nivelo writes.
    if (g_image_name[0] != '\0' && JoinPath(path, sizeof path, g_image_directory, g_image_name) &&
        LoadTGA(path, &check)) {
        BITMAP_Free(&check);
        g_display.image_loaded = 1;
        FullRefresh();
        return;
    }
    g_display.image_loaded = 0;
    UpdateScrollBars();
}

void OnMenuCommand(int id)
{
    switch (id) {
    case ID_LOAD_IMAGE: LoadImageCommand(); break;
    case ID_LOAD_CONFIG: LoadConfigCommand(); break;
    case ID_SAVE_CONFIG: SaveConfigCommand(); break;
    case ID_CONVERT: ConvertCommand(); break;
    case ID_QUIT: ReleaseDisplay(); break;
    case ID_ZOOM_100: SetZoomMode(ZOOM_100); break;
    case ID_ZOOM_50: SetZoomMode(ZOOM_50); break;
    case ID_ZOOM_FULL_PAGE: SetZoomMode(ZOOM_FULL_PAGE); break;
    case ID_ABOUT: ShowAbout(); break;
    default: break;
    }
}

void FileDialog(char* buffer, int mode, const char* title, const FileFilter* filters, const char* directory,
                const char* name)
{
    std::vector<std::string> paths;
    int chosen = PlatformFileDialog(mode, title, filters, 2, directory, name, &paths);
    buffer[0] = '\0';
    if (!chosen || paths.empty()) return;
    if (!CopyText(buffer, kGuiPathSize, paths[0].c_str())) ReportLongPath(paths[0].c_str());
}

std::vector<std::string> FileDialogMany(const char* title, const FileFilter* filters, const char* directory,
                                        const char* name)
{
    std::vector<std::string> paths;
    if (!PlatformFileDialog(FILE_OPEN_MANY, title, filters, 2, directory, name, &paths)) paths.clear();
    return paths;
}

void ShowAbout()
{
    PlatformMessageBox(MESSAGE_INFORMATION, "A propos de Nivelo gui",
                       "Nivelo gui v1.0\n\n"
                       "Règle les étapes de nivelo (recadrage, flou, redressement) sur une page scannée, "
                       "en montrant l'image avant et après chaque étape, puis convertit des lots d'images.");
}
