#include "gui/commands/session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui/settings/config_file.h"
#include "gui/settings/file_names.h"
#include "gui/settings/remembered.h"

namespace {

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

void ApplyRememberedSettings(App& app)
{
    RememberedSettings settings;
    if (!ReadRemembered(RememberedPath(), &settings)) return;
    Folders& f = app.folders;
    if (!settings.config.empty() && settings.config.size() < size_t(kGuiPathSize)) {
        char name[kGuiPathSize], directory[kGuiPathSize];
        std::memcpy(name, settings.config.c_str(), settings.config.size() + 1);
        // A configuration deleted since is simply not read.
        ReadConfigFile(app.params, name);
        SplitPath(name, directory);
        std::memcpy(f.config_name, name, sizeof name);
        std::memcpy(f.config_directory, directory, sizeof directory);
    }
    CopyInto(f.config_directory, sizeof f.config_directory, settings.config_folder);
    CopyInto(app.image.directory, sizeof app.image.directory, settings.image_folder);
    CopyInto(app.params.REPERTOIRE1, sizeof app.params.REPERTOIRE1, settings.results1);
    CopyInto(app.params.REPERTOIRE2, sizeof app.params.REPERTOIRE2, settings.results2);
}

void RememberSettings(const App& app)
{
    std::string path = RememberedPath();
    if (path.empty()) return;
    RememberedSettings settings;
    const Folders& f = app.folders;
    settings.image_folder = app.image.directory;
    settings.config_folder = f.config_directory;
    settings.results1 = app.params.REPERTOIRE1;
    settings.results2 = app.params.REPERTOIRE2;
    if (f.config_name[0] != '\0') settings.config = std::string(f.config_directory) + f.config_name;
    settings.width = app.session.client_width;
    settings.height = app.session.client_height;
    WriteRemembered(path, settings);
}

void MarkSettingsSaved(App& app) { app.session.saved_settings = ConfigText(app.params); }

int SettingsChanged(const App& app) { return ConfigText(app.params) != app.session.saved_settings; }
