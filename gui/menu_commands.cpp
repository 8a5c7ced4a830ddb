#include "gui/menu_commands.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "gui/config_file.h"
#include "gui/conversion.h"
#include "gui/display.h"
#include "gui/file_names.h"
#include "gui/main_window.h"
#include "gui/panels.h"
#include "gui/previews.h"
#include "gui/resources.h"
#include "gui/run_nivelo.h"
#include "gui/run_report.h"
#include "tga/tga.h"
#include "tiff/tiff.h"

char g_image_name[kGuiPathSize];
char g_image_directory[kGuiPathSize];
char g_config_name[kGuiPathSize];
char g_config_directory[kGuiPathSize];

namespace {

const FileFilter kImageFilter[2] = {{"Targa Files (.tga)", "*.tga"}, {"Tiff Files (*.tif, *.tiff)", "*.tif;*.tiff"}};
const FileFilter kConfigFilter[2] = {{"Text Files (.txt)", "*.txt"}, {"All Files (*.*)", "*.*"}};

// The filter last chosen in each kind of dialog, and the folder last used.
int g_image_filter_index;
int g_config_filter_index;
char g_last_folder[kGuiPathSize];

const char kTitle[] = "Nivelo gui v1.0";

void ReportLongPath(const char* path)
{
    ReportError("Chemin trop long (plus de %d caractères): %s\n", kGuiPathSize - 1, path);
}

// A cancelled dialog changes nothing: the current image and its views stay.
void LoadImageCommand()
{
    char chosen[kGuiPathSize];
    FileDialog(chosen, FILE_OPEN_ONE, "Charger une image", kImageFilter, g_image_directory, g_image_name);
    if (chosen[0] == '\0') return;
    std::memcpy(g_image_name, chosen, sizeof chosen);
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

// An existing file is replaced only when the user says so.
int MayWrite(const char* path)
{
    struct stat info;
    if (stat(path, &info) != 0) return 1;
    std::string question = std::string("Le fichier ") + path + " existe déjà.\n\nLe remplacer ?";
    return PlatformAskYesNo("Sauver Config...", question.c_str());
}

void SaveConfigCommand()
{
    FileDialog(g_config_name, FILE_SAVE, "Sauver un fichier de config", kConfigFilter, g_config_directory,
               g_config_name);
    SplitPath(g_config_name, g_config_directory);
    char path[kGuiPathSize];
    if (g_config_name[0] == '\0' || !ConfigPath(path) || !MayWrite(path)) return;
    WriteConfigFile(path, g_gui_params.REPERTOIRE1, g_gui_params.REPERTOIRE2);
}

// The conversion leaves the current image and its views alone.
void ConvertCommand()
{
    ConvertImages(FileDialogMany("Choisir les images", kImageFilter, g_image_directory, g_image_name));
}

// Reads the file with the reader nivelo ends up using: the TIFF reader for a
// file that begins as a TIFF, the TGA reader for any other (the TIFF reader
// passes those on).  Only one reader tries, so a refused file gets one
// message: a TIFF the TIFF reader refused would only add a TGA complaint
// about alpha bits that hides the reason.
int CheckImageFile(const char* path)
{
    BITMAP check = {};
    int read = HasTiffSignature(path) ? LoadTIFF(path, &check) : LoadTGA(path, &check);
    BITMAP_Free(&check);
    return read;
}

}  // namespace

void SetFileCommandDefaults()
{
    g_image_name[0] = g_image_directory[0] = '\0';
    g_config_name[0] = g_config_directory[0] = '\0';
    g_last_folder[0] = '\0';
    g_image_filter_index = g_config_filter_index = 0;
}

// A refused or abandoned page is not the current image: the views of the
// page before it must not stay on screen as if they were its own.
static void LeaveNoImage(const std::string& title_end)
{
    g_image_name[0] = '\0';
    g_display.image_loaded = 0;
    PlatformSetWindowTitle((kTitle + title_end).c_str());
    UpdateScrollBars();
    RenderViews();
}

void ShowImageTitle()
{
    std::string title = kTitle;
    if (g_image_name[0] != '\0') title += std::string(" - ") + g_image_name;
    PlatformSetWindowTitle(title.c_str());
}

int HasTiffSignature(const char* path)
{
    unsigned char head[4] = {0, 0, 0, 0};
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return 0;
    size_t got = std::fread(head, 1, 4, file);
    std::fclose(file);
    if (got != 4) return 0;
    return (head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0) ||
           (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42);
}

void AcceptImage()
{
    char path[kGuiPathSize];
    // The file is read only to check it: the views show what nivelo writes.
    if (g_image_name[0] != '\0' && JoinPath(path, sizeof path, g_image_directory, g_image_name) &&
        CheckImageFile(path)) {
        g_display.image_loaded = 1;
        g_angle_known = 0;  // the last angle was another page's
        g_orientation = kNoOrientation;
        ShowImageTitle();
        if (FullRefresh() == RUN_CANCELLED && !PlatformQuitPosted())
            LeaveNoImage(std::string(" - aucune image (chargement de ") + g_image_name + " annulé)");
        return;
    }
    LeaveNoImage(std::string(" - aucune image (") + g_image_name + " refusée)");
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

namespace {

// Opens where the user worked last: the given folder, else the last one
// used, else the current image's; the name is proposed only when it is a file of that folder, so that
// no name left from another folder shows.  The filter last chosen stays.
int RunFileDialog(int mode, const char* title, const FileFilter* filters, const char* directory, const char* name,
                  std::vector<std::string>* paths)
{
    const char* folder = directory[0] != '\0' ? directory : g_last_folder[0] != '\0' ? g_last_folder : g_image_directory;
    char proposed[kGuiPathSize];
    struct stat info;
    bool keep = name[0] != '\0' && JoinPath(proposed, sizeof proposed, folder, name) &&
                stat(proposed, &info) == 0 && S_ISREG(info.st_mode);
    int* filter_index = filters == kConfigFilter ? &g_config_filter_index : &g_image_filter_index;
    int chosen = PlatformFileDialog(mode, title, filters, 2, filter_index, folder, keep ? name : "", paths);
    if (!chosen || paths->empty()) {
        paths->clear();
        return 0;
    }
    char last[kGuiPathSize];
    if (CopyText(last, sizeof last, paths->front().c_str())) SplitPath(last, g_last_folder);
    return 1;
}

}  // namespace

void FileDialog(char* buffer, int mode, const char* title, const FileFilter* filters, const char* directory,
                const char* name)
{
    std::vector<std::string> paths;
    int chosen = RunFileDialog(mode, title, filters, directory, name, &paths);
    buffer[0] = '\0';
    if (!chosen) return;
    if (!CopyText(buffer, kGuiPathSize, paths[0].c_str())) ReportLongPath(paths[0].c_str());
}

std::vector<std::string> FileDialogMany(const char* title, const FileFilter* filters, const char* directory,
                                        const char* name)
{
    std::vector<std::string> paths;
    RunFileDialog(FILE_OPEN_MANY, title, filters, directory, name, &paths);
    return paths;
}

void ShowAbout()
{
    // Lines broken by hand: the box does not wrap, and one long line would
    // make it as wide as the screen.
    PlatformMessageBox(MESSAGE_INFORMATION, "A propos de Nivelo gui",
                       "Nivelo gui v1.0\n\n"
                       "Règle les étapes de nivelo (recadrage, flou,\n"
                       "redressement) sur une page scannée, en montrant\n"
                       "l'image avant et après chaque étape,\n"
                       "puis convertit des lots d'images.");
}
