#include "batch/command_line.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "batch/params.h"
#include "core/support.h"

ParameterSet g_params;
CommandLine g_command;

namespace {

// Copies an argument into a text buffer, refusing one that does not fit.
int CopyArgument(const char* source, char* destination, const char* what)
{
    if (std::strlen(source) >= size_t(kTextSize)) {
        std::printf("%s trop long (plus de 255 caractères): \"%s\"\n", what, source);
        return 0;
    }
    StripQuotes(source, destination);
    return 1;
}

// On systems whose paths begin with "/", an absolute image path looks like a
// flag.  It is taken as the image when it names an existing file, or when it
// is not one of the flags and holds a further "/" (an absolute path that the
// loaders will then report as missing).
bool IsAbsoluteImagePath(const char* arg)
{
    std::error_code error;
    if (std::filesystem::is_regular_file(arg, error)) return true;
    char letter = arg[1];
    if (letter == 'c' || letter == 'f' || letter == 'b' || letter == 'd') return false;
    return std::strchr(arg + 1, '/') != nullptr;
}

// "/d" followed by a decimal mask of at most 4095; anything else is refused.
int ParseStageMask(const char* text, uint16_t* mask)
{
    if (*text == '\0') return 0;
    unsigned value = 0;
    for (const char* c = text; *c != '\0'; c++) {
        if (*c < '0' || *c > '9') return 0;
        value = value * 10 + unsigned(*c - '0');
        if (value > 4095) return 0;
    }
    *mask = uint16_t(value);
    return 1;
}

}  // namespace

ConfigBinding ParameterBinding(ParameterSet* p)
{
    ConfigBinding binding = {};
    binding.slot[KEY_DETECT_WIDTH] = &p->DETECT_WIDTH;
    binding.slot[KEY_DETECT_DIFF] = &p->DETECT_DIFF;
    binding.slot[KEY_VISION_LIMIT1] = &p->VISION_LIMIT1;
    binding.slot[KEY_VISION_LIMIT2] = &p->VISION_LIMIT2;
    binding.slot[KEY_VISION_WIDTH1] = &p->VISION_WIDTH1;
    binding.slot[KEY_VISION_WIDTH2] = &p->VISION_WIDTH2;
    binding.slot[KEY_VISION_WIDTH3] = &p->VISION_WIDTH3;
    binding.slot[KEY_VISION_ANGLE] = &p->VISION_ANGLE;
    binding.slot[KEY_BLUR_RADIUS] = &p->BLUR_RADIUS;
    binding.slot[KEY_BLUR_LIMIT] = &p->BLUR_LIMIT;
    binding.slot[KEY_REPERTOIRE1] = p->REPERTOIRE1;
    binding.slot[KEY_REPERTOIRE2] = p->REPERTOIRE2;
    binding.slot[KEY_COTE_RECADRAGE] = &p->COTE_RECADRAGE;
    binding.slot[KEY_COTE_FOND] = &p->COTE_FOND;
    binding.slot[KEY_OFFSET_ANGLE] = &p->OFFSET_ANGLE;
    binding.slot[KEY_RECADRAGE1] = &p->RECADRAGE1;
    binding.slot[KEY_FLOU] = &p->FLOU;
    binding.slot[KEY_SAUVEGARDE1] = &p->SAUVEGARDE1;
    binding.slot[KEY_ROTATION] = &p->ROTATION;
    binding.slot[KEY_RECADRAGE2] = &p->RECADRAGE2;
    binding.slot[KEY_SAUVEGARDE2] = &p->SAUVEGARDE2;
    binding.slot[KEY_COUL_REMPLISSAGE] = p->fill_colour;
    binding.colour_given = &p->fill_colour_given;
    return binding;
}

void SetDefaultParameters()
{
    SetStartValues(ParameterBinding(&g_params));
    g_params.fill_colour_given = 0;
}

void ReadParameterFile(const char* name) { ReadConfigValues(name, ParameterBinding(&g_params)); }

void ParseCommandLine(int argc, char** argv)
{
    SetDefaultParameters();
    CommandLine& cmd = g_command;
    cmd.image_name[0] = '\0';
    std::strcpy(cmd.config_name, "config.txt");
    cmd.flag_f = 0;
    cmd.flag_b = 0;
    cmd.preview = 0;
    cmd.stage_mask = 0;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (arg[0] == '/' && !IsAbsoluteImagePath(arg)) {
            char letter = arg[1];
            if (letter == 'c') {
                if (!CopyArgument(arg + 2, cmd.config_name, "nom de fichier de configuration")) {
                    cmd.image_name[0] = '\0';
                    return;
                }
            } else if (letter == 'f') {
                cmd.flag_f = 1;
            } else if (letter == 'b') {
                cmd.flag_b = 1;
            } else if (letter == 'd' && ParseStageMask(arg + 2, &cmd.stage_mask)) {
                cmd.preview = 1;
            } else {
                ReportError("parametre inconnu: \"%s\"\n", arg);
                cmd.image_name[0] = '\0';
                return;
            }
        } else if (!CopyArgument(arg, cmd.image_name, "nom d'image")) {
            cmd.image_name[0] = '\0';
            return;
        }
    }
    ReadParameterFile(cmd.config_name);
}
