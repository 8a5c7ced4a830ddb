#include "gui/commands/session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui/settings/config_file.h"
#include "gui/settings/file_names.h"
#include "gui/settings/gui_params.h"
#include "gui/app/main_window.h"
#include "gui/commands/menu_commands.h"
#include "gui/platform/platform.h"
#include "gui/settings/remembered.h"
#include "gui/commands/resources.h"
#include "gui/previews/run_nivelo.h"

namespace {

std::string g_saved_settings;

void CopyInto(char* buffer, size_t size, const std::string& text)
{
    if (!text.empty() && text.size() < size) std::memcpy(buffer, text.c_str(), text.size() + 1);
}

}  // namespace

void RememberedWindowSize(int* width, int* height)
{
    RememberedSettings settings;
    ReadRemembered(RememberedPath(), &settings);
    *width = settings.width;
    *height = settings.height;
}

void ApplyRememberedSettings()
{
    RememberedSettings settings;
    if (!ReadRemembered(RememberedPath(), &settings)) return;
    if (!settings.config.empty() && settings.config.size() < size_t(kGuiPathSize)) {
        char name[kGuiPathSize], directory[kGuiPathSize];
        std::memcpy(name, settings.config.c_str(), settings.config.size() + 1);
        // A configuration deleted since is simply not read.
        ReadConfigFile(name);
        SplitPath(name, directory);
        std::memcpy(g_config_name, name, sizeof name);
        std::memcpy(g_config_directory, directory, sizeof directory);
    }
    CopyInto(g_config_directory, sizeof g_config_directory, settings.config_folder);
    CopyInto(g_image_directory, sizeof g_image_directory, settings.image_folder);
    CopyInto(g_gui_params.REPERTOIRE1, sizeof g_gui_params.REPERTOIRE1, settings.results1);
    CopyInto(g_gui_params.REPERTOIRE2, sizeof g_gui_params.REPERTOIRE2, settings.results2);
}

void RememberSettings()
{
    std::string path = RememberedPath();
    if (path.empty()) return;
    RememberedSettings settings;
    settings.image_folder = g_image_directory;
    settings.config_folder = g_config_directory;
    settings.results1 = g_gui_params.REPERTOIRE1;
    settings.results2 = g_gui_params.REPERTOIRE2;
    if (g_config_name[0] != '\0') settings.config = std::string(g_config_directory) + g_config_name;
    MainWindowSize(&settings.width, &settings.height);
    WriteRemembered(path, settings);
}

void MarkSettingsSaved() { g_saved_settings = ConfigText(); }

int SettingsChanged() { return ConfigText() != g_saved_settings; }

int ConfirmQuit()
{
    if (NiveloRunning() &&
        !PlatformAskYesNo("Quitter", "nivelo travaille encore sur une image.\n\nL'arrêter et quitter ?"))
        return 0;
    if (!SettingsChanged()) return 1;
    const char* buttons[] = {"Enregistrer...", "Quitter sans enregistrer", "Annuler"};
    int answer = PlatformAskChoice("Quitter",
                                   "Les réglages ont changé depuis leur dernier enregistrement.\n\n"
                                   "Les enregistrer avant de quitter ?",
                                   buttons, 3, 0, 2);
    if (answer != 0) return answer == 1;
    OnMenuCommand(ID_SAVE_CONFIG);
    return !SettingsChanged();
}
