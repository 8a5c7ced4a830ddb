#include "gui/settings/remembered.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/support.h"

namespace {

struct TextKey {
    const char* name;
    std::string RememberedSettings::*value;
};

const TextKey kTextKeys[] = {
    {"DOSSIER_IMAGES", &RememberedSettings::image_folder}, {"DOSSIER_CONFIGS", &RememberedSettings::config_folder},
    {"REPERTOIRE1", &RememberedSettings::results1},        {"REPERTOIRE2", &RememberedSettings::results2},
    {"CONFIG", &RememberedSettings::config},
};

int ReadSize(const std::string& text)
{
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && *end == '\0' && value > 0 && value < 100000 ? int(value) : 0;
}

}  // namespace

std::string RememberedPath()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    // The XDG base directory rules ignore a relative XDG_CONFIG_HOME.
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/nivelo/nivelo_gui.txt";
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/nivelo/nivelo_gui.txt";
    return "";
}

int ReadRemembered(const std::string& path, RememberedSettings* settings)
{
    std::ifstream file(path);
    if (!file) return 0;
    std::string line;
    while (std::getline(file, line)) {
        size_t equal = line.find('=');
        if (equal == std::string::npos) continue;
        std::string key = line.substr(0, equal), value = line.substr(equal + 1);
        for (const TextKey& k : kTextKeys)
            if (key == k.name) settings->*k.value = value;
        if (key == "LARGEUR") settings->width = ReadSize(value);
        if (key == "HAUTEUR") settings->height = ReadSize(value);
    }
    return 1;
}

int WriteRemembered(const std::string& path, const RememberedSettings& settings)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    std::string text;
    for (const TextKey& k : kTextKeys) {
        const std::string& value = settings.*k.value;
        // A name with a line break cannot be written as one line: left out.
        if (value.find_first_of("\r\n") == std::string::npos) text += std::string(k.name) + "=" + value + "\n";
    }
    if (settings.width > 0 && settings.height > 0)
        text += "LARGEUR=" + std::to_string(settings.width) + "\nHAUTEUR=" + std::to_string(settings.height) + "\n";
    // Written beside, then renamed: a crash never leaves half a file, and
    // two windows closing at once each write a whole one.
    std::string temporary = path + "." + std::to_string(getpid());
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << text;
        file.close();
        if (file && std::rename(temporary.c_str(), path.c_str()) == 0) return 1;
    }
    ReportError("Impossible d'enregistrer les préférences dans %s : %s\n", path.c_str(), std::strerror(errno));
    std::remove(temporary.c_str());
    return 0;
}
