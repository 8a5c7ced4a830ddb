#include "gui/commands/menu_commands.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "gui/commands/conversion.h"
#include "gui/commands/file_dialogs.h"
#include "gui/commands/resources.h"
#include "gui/commands/session.h"
#include "gui/panels/panel_resources.h"
#include "gui/panels/panel_values.h"
#include "gui/panels/panels.h"
#include "gui/previews/previews.h"
#include "gui/previews/run_nivelo.h"
#include "gui/settings/config_file.h"
#include "gui/settings/file_names.h"
#include "gui/views/display.h"
#include "gui/views/render.h"
#include "gui/views/scroll.h"

namespace {

const char kTitle[] = "Nivelo gui v1.0";

// A cancelled dialog changes nothing: the current image and its views stay.
void LoadImageCommand(App& app)
{
    char chosen[kGuiPathSize];
    FileDialog(app, chosen, FILE_OPEN_ONE, "Charger une image", kImageFilter, app.image.directory, app.image.name);
    if (chosen[0] != '\0') AcceptImage(app, chosen);
}

// The chosen file (full path into path) becomes the configuration name and
// folder; a cancelled dialog leaves them as they were, so that the next
// dialog, and the next start, still find them.
int ChooseConfig(App& app, int mode, const char* title, char* path)
{
    Folders& f = app.folders;
    FileDialog(app, path, mode, title, kConfigFilter, f.config_directory, f.config_name);
    if (path[0] == '\0') return 0;
    std::memcpy(f.config_name, path, kGuiPathSize);
    SplitPath(f.config_name, f.config_directory);
    return 1;
}

void LoadConfigCommand(App& app)
{
    char path[kGuiPathSize];
    if (!ChooseConfig(app, FILE_OPEN_ONE, "Charger un fichier de config", path)) return;
    ReadConfigFile(app.params, path);
    MarkSettingsSaved(app);
    // Refreshing the panel shown lowers the valid limit through its edits'
    // change notifications, as editing them would.
    FillPanel(app, app.panels.window, 0);
    if (app.display.image_loaded) FullRefresh(app);
}

// An existing file is replaced only when the user says so.
int MayWrite(const char* path)
{
    struct stat info;
    if (stat(path, &info) != 0) return 1;
    std::string question = std::string("Le fichier ") + path + " existe déjà.\n\nLe remplacer ?";
    return PlatformAskYesNo("Sauver Config...", question.c_str());
}

void SaveConfigCommand(App& app)
{
    char path[kGuiPathSize];
    if (!ValuesAccepted(app) || !ChooseConfig(app, FILE_SAVE, "Sauver un fichier de config", path) ||
        !MayWrite(path))
        return;
    const GuiParameterSet& p = app.params;
    if (WriteConfigFile(p, path, p.REPERTOIRE1, p.REPERTOIRE2)) MarkSettingsSaved(app);
}

// The conversion leaves the current image and its views alone.
void ConvertCommand(App& app)
{
    ConvertImages(app, FileDialogMany(app, "Choisir les images", kImageFilter, app.image.directory, app.image.name));
}

// What the open page needs to stay open while another is tried.
struct OpenPage {
    OpenImage image;
    int loaded, valid_limit;
    DetectedAngle angle;
};

void KeepPage(const App& app, OpenPage* page)
{
    page->image = app.image;
    page->loaded = app.display.image_loaded;
    page->valid_limit = app.valid_limit;
    page->angle = app.angle;
}

void BringBack(App& app, const OpenPage& page)
{
    app.image = page.image;
    app.display.image_loaded = page.loaded;
    app.valid_limit = page.valid_limit;
    app.angle = page.angle;
    RestoreStageImages(app);
    ShowImageTitle(app);
    PlatformSetControlText(app.panels.window, IDC_DETECTED_ANGLE, DetectedAngleText(app.angle).c_str());
    PlatformSetControlText(app.panels.window, IDC_ANGLE_NOTE, app.angle.note.c_str());
    UpdateScrollBars(app.display);
    RenderViews(app.display);
    ShowViewsState(app);
}

}  // namespace

void SetFileCommandDefaults(App& app)
{
    Folders& f = app.folders;
    app.image.name[0] = app.image.directory[0] = '\0';
    f.config_name[0] = f.config_directory[0] = '\0';
    f.last[0] = '\0';
    f.image_filter_index = f.config_filter_index = 0;
}

void ShowImageTitle(const App& app)
{
    std::string title = kTitle;
    if (app.image.name[0] != '\0') title += std::string(" - ") + app.image.name;
    PlatformSetWindowTitle(title.c_str());
}

// nivelo itself decides whether it reads the file, so that the GUI opens
// every format nivelo reads and its refusal gives the reader's own reason.
// The open page's stage images are set aside meanwhile; its views stay in
// memory.
void AcceptImage(App& app, const char* path)
{
    OpenImage chosen;
    if (!CopyText(chosen.name, sizeof chosen.name, path)) {
        ReportLongPath(path);
        return;
    }
    SplitPath(chosen.name, chosen.directory);
    OpenPage page;
    KeepPage(app, &page);
    app.image = chosen;
    SetStageImagesAside(app);
    app.display.image_loaded = 1;
    app.angle = DetectedAngle{};  // the last angle was another page's
    ShowImageTitle(app);
    if (FullRefresh(app) == RUN_DONE) {
        DropStageImagesSetAside(app);
        return;
    }
    if (!PlatformQuitPosted()) BringBack(app, page);
}

int ConfirmQuit(App& app)
{
    if (NiveloRunning(app) &&
        !PlatformAskYesNo("Quitter", "nivelo travaille encore sur une image.\n\nL'arrêter et quitter ?"))
        return 0;
    if (!SettingsChanged(app)) return 1;
    const char* buttons[] = {"Enregistrer...", "Quitter sans enregistrer", "Annuler"};
    int answer = PlatformAskChoice("Quitter",
                                   "Les réglages ont changé depuis leur dernier enregistrement.\n\n"
                                   "Les enregistrer avant de quitter ?",
                                   buttons, 3, 0, 2);
    if (answer != 0) return answer == 1;
    SaveConfigCommand(app);
    return !SettingsChanged(app);
}

void SetZoomMode(App& app, int mode)
{
    static const int items[3] = {ID_ZOOM_100, ID_ZOOM_50, ID_ZOOM_FULL_PAGE};
    for (int i = 0; i < 3; ++i) PlatformCheckMenuItem(items[i], i == mode);
    app.display.zoom_mode = mode;
    UpdateScrollBars(app.display);
    RenderViews(app.display);
}

void OnMenuCommand(App& app, int id)
{
    int zoom = app.display.zoom_mode;
    switch (id) {
    case ID_LOAD_IMAGE: LoadImageCommand(app); break;
    case ID_LOAD_CONFIG: LoadConfigCommand(app); break;
    case ID_SAVE_CONFIG: SaveConfigCommand(app); break;
    case ID_CONVERT: ConvertCommand(app); break;
    case ID_QUIT:
        if (ConfirmQuit(app)) ReleaseDisplay(app.display);
        break;
    case ID_ZOOM_100: SetZoomMode(app, ZOOM_100); break;
    case ID_ZOOM_50: SetZoomMode(app, ZOOM_50); break;
    case ID_ZOOM_FULL_PAGE: SetZoomMode(app, ZOOM_FULL_PAGE); break;
    // Zooming in goes from the full page to 50 % to 100 %.
    case ID_ZOOM_IN: SetZoomMode(app, zoom == ZOOM_FULL_PAGE ? ZOOM_50 : ZOOM_100); break;
    case ID_ZOOM_OUT: SetZoomMode(app, zoom == ZOOM_100 ? ZOOM_50 : ZOOM_FULL_PAGE); break;
    case ID_UPDATE_VIEWS: RunUpdateCommand(app); break;
    case ID_ABOUT: ShowAbout(); break;
    default: break;
    }
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
