#include "gui/commands/menu_commands.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "gui/settings/config_file.h"
#include "gui/commands/conversion.h"
#include "gui/views/display.h"
#include "gui/settings/file_names.h"
#include "gui/app/main_window.h"
#include "gui/panels/panel_resources.h"
#include "gui/panels/panels.h"
#include "gui/previews/previews.h"
#include "gui/commands/resources.h"
#include "gui/previews/run_nivelo.h"
#include "gui/previews/run_report.h"
#include "gui/commands/session.h"

char g_image_name[kGuiPathSize];
char g_image_directory[kGuiPathSize];
char g_config_name[kGuiPathSize];
char g_config_directory[kGuiPathSize];

namespace {

// The extensions of the formats nivelo reads: the "Images" filter is made
// from this list alone.
const char* const kImageExtensions[] = {"tga", "tif", "tiff", "png", "jpg", "jpeg"};

std::string ImagePattern()
{
    std::string pattern;
    for (const char* extension : kImageExtensions) pattern += std::string(pattern.empty() ? "" : ";") + "*." + extension;
    return pattern;
}

const std::string kImagePattern = ImagePattern();
const FileFilter kImageFilter[2] = {{"Images", kImagePattern.c_str()}, {"Tous les fichiers", "*"}};
// Every file first: a configuration saved without ".txt" must show.
const FileFilter kConfigFilter[2] = {{"Tous les fichiers", "*"}, {"Fichiers texte", "*.txt"}};

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
    if (chosen[0] != '\0') AcceptImage(chosen);
}

// The chosen file (full path into path) becomes the configuration name and
// folder; a cancelled dialog leaves them as they were, so that the next
// dialog, and the next start, still find them.
int ChooseConfig(int mode, const char* title, char* path)
{
    FileDialog(path, mode, title, kConfigFilter, g_config_directory, g_config_name);
    if (path[0] == '\0') return 0;
    std::memcpy(g_config_name, path, kGuiPathSize);
    SplitPath(g_config_name, g_config_directory);
    return 1;
}

void LoadConfigCommand()
{
    char path[kGuiPathSize];
    if (!ChooseConfig(FILE_OPEN_ONE, "Charger un fichier de config", path)) return;
    ReadConfigFile(path);
    MarkSettingsSaved();
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
    char path[kGuiPathSize];
    if (!ValuesAccepted() || !ChooseConfig(FILE_SAVE, "Sauver un fichier de config", path) || !MayWrite(path)) return;
    if (WriteConfigFile(path, g_gui_params.REPERTOIRE1, g_gui_params.REPERTOIRE2)) MarkSettingsSaved();
}

// The conversion leaves the current image and its views alone.
void ConvertCommand()
{
    ConvertImages(FileDialogMany("Choisir les images", kImageFilter, g_image_directory, g_image_name));
}

}  // namespace

void SetFileCommandDefaults()
{
    g_image_name[0] = g_image_directory[0] = '\0';
    g_config_name[0] = g_config_directory[0] = '\0';
    g_last_folder[0] = '\0';
    g_image_filter_index = g_config_filter_index = 0;
}

void ShowImageTitle()
{
    std::string title = kTitle;
    if (g_image_name[0] != '\0') title += std::string(" - ") + g_image_name;
    PlatformSetWindowTitle(title.c_str());
}

namespace {

// What the open page needs to stay open while another is tried.
struct OpenPage {
    char name[kGuiPathSize];
    char directory[kGuiPathSize];
    int loaded, valid_limit, angle_known, orientation;
    double angle;
    std::string angle_note;
};

void KeepPage(OpenPage* page)
{
    std::memcpy(page->name, g_image_name, sizeof page->name);
    std::memcpy(page->directory, g_image_directory, sizeof page->directory);
    page->loaded = g_display.image_loaded;
    page->valid_limit = g_valid_limit;
    page->angle_known = g_angle_known;
    page->orientation = g_orientation;
    page->angle = g_detected_angle;
    page->angle_note = g_angle_note;
}

void BringBack(const OpenPage& page)
{
    std::memcpy(g_image_name, page.name, sizeof page.name);
    std::memcpy(g_image_directory, page.directory, sizeof page.directory);
    g_display.image_loaded = page.loaded;
    g_valid_limit = page.valid_limit;
    g_angle_known = page.angle_known;
    g_orientation = page.orientation;
    g_detected_angle = page.angle;
    g_angle_note = page.angle_note;
    RestoreStageImages();
    ShowImageTitle();
    PlatformSetControlText(g_current_panel_window, IDC_DETECTED_ANGLE, DetectedAngleText().c_str());
    PlatformSetControlText(g_current_panel_window, IDC_ANGLE_NOTE, g_angle_note.c_str());
    UpdateScrollBars();
    RenderViews();
    ShowViewsState();
}

}  // namespace

// nivelo itself decides whether it reads the file, so that the GUI opens
// every format nivelo reads and its refusal gives the reader's own reason.
// The open page's stage images are set aside meanwhile; its views stay in
// memory.
void AcceptImage(const char* path)
{
    char name[kGuiPathSize], directory[kGuiPathSize];
    if (!CopyText(name, sizeof name, path)) {
        ReportLongPath(path);
        return;
    }
    SplitPath(name, directory);
    OpenPage page;
    KeepPage(&page);
    std::memcpy(g_image_name, name, sizeof name);
    std::memcpy(g_image_directory, directory, sizeof directory);
    SetStageImagesAside();
    g_display.image_loaded = 1;
    g_angle_known = 0;  // the last angle was another page's
    g_orientation = kNoOrientation;
    g_angle_note.clear();
    ShowImageTitle();
    if (FullRefresh() == RUN_DONE) {
        DropStageImagesSetAside();
        return;
    }
    if (!PlatformQuitPosted()) BringBack(page);
}

void OnMenuCommand(int id)
{
    switch (id) {
    case ID_LOAD_IMAGE: LoadImageCommand(); break;
    case ID_LOAD_CONFIG: LoadConfigCommand(); break;
    case ID_SAVE_CONFIG: SaveConfigCommand(); break;
    case ID_CONVERT: ConvertCommand(); break;
    case ID_QUIT:
        if (ConfirmQuit()) ReleaseDisplay();
        break;
    case ID_ZOOM_100: SetZoomMode(ZOOM_100); break;
    case ID_ZOOM_50: SetZoomMode(ZOOM_50); break;
    case ID_ZOOM_FULL_PAGE: SetZoomMode(ZOOM_FULL_PAGE); break;
    // Zooming in goes from the full page to 50 % to 100 %.
    case ID_ZOOM_IN: SetZoomMode(g_display.zoom_mode == ZOOM_FULL_PAGE ? ZOOM_50 : ZOOM_100); break;
    case ID_ZOOM_OUT: SetZoomMode(g_display.zoom_mode == ZOOM_100 ? ZOOM_50 : ZOOM_FULL_PAGE); break;
    case ID_UPDATE_VIEWS: RunUpdateCommand(); break;
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
