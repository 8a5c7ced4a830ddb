// The grammar is nivelo's own (config/grammar.h), so that a file means the
// same thing to both programs.
#include "gui/settings/config_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/grammar.h"
#include "core/support.h"
#include "gui/settings/gui_params.h"
#include "gui/platform/platform.h"

void SetGuiParameterDefaults(GuiParameterSet& p)
{
    SetStartValues(BindKeys(&p, nullptr));
#ifdef _WIN32
    // On Windows the GUI proposes Windows-style folders; elsewhere nivelo's
    // own start values, folders of this system.
    std::strcpy(p.REPERTOIRE1, "c:\\t\\");
    std::strcpy(p.REPERTOIRE2, "c:\\trot\\");
#endif
    p.fill_colour_given = 0;
    p.black_and_white = 0;
    // Someone tuning a page should see the best angle nivelo can find.
    p.AFFINAGE = 1;
}

void ReadConfigFile(GuiParameterSet& params, const char* name)
{
    ConfigBinding binding = BindKeys(&params, nullptr);
    uint8_t colour_given = 0;
    binding.colour_given = &colour_given;
    int faults = 0;
    std::string messages;
    if (!ReadConfigValues(name, binding, &faults, &messages)) return;
    params.fill_colour_given = colour_given;
    // One box for the whole file: its faulty lines changed nothing.
    if (faults > 0) PlatformMessageBox(MESSAGE_ERROR, "Charger Config...", messages.c_str());
}

namespace {

void WriteSet(const GuiParameterSet& params, FILE* file, const char* directory1, const char* directory2)
{
    // The binding is only read here.
    ConfigBinding binding = BindKeys(const_cast<GuiParameterSet*>(&params), nullptr);
    binding.slot[KEY_REPERTOIRE1] = const_cast<char*>(directory1);
    binding.slot[KEY_REPERTOIRE2] = const_cast<char*>(directory2);
    // Without COUL_REMPLISSAGE nivelo fills with the background it measures.
    if (!params.fill_colour_given) binding.slot[KEY_COUL_REMPLISSAGE] = nullptr;
    for (int k = 0; k < KEY_COUNT; k++)
        if (binding.slot[k] != nullptr) WriteConfigValue(file, ConfigKeyId(k), binding.slot[k]);
}

}  // namespace

std::string ConfigText(const GuiParameterSet& params)
{
    char* data = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&data, &size);
    if (file == nullptr) return "";
    WriteSet(params, file, params.REPERTOIRE1, params.REPERTOIRE2);
    std::fclose(file);
    std::string text(data, size);
    std::free(data);
    return text;
}

int WriteConfigFile(const GuiParameterSet& params, const char* name, const char* directory1,
                    const char* directory2)
{
    // Unreported, a failed write would leave nivelo reading an older file and
    // the user believing a configuration was saved.
    FILE* file = std::fopen(name, "w");
    if (file == nullptr) {
        ReportError("Impossible d'écrire le fichier de configuration %s\n", name);
        return 0;
    }
    WriteSet(params, file, directory1, directory2);
    int failed = std::ferror(file);
    if (std::fclose(file) != 0 || failed) {
        ReportError("Impossible d'écrire le fichier de configuration %s\n", name);
        return 0;
    }
    return 1;
}
