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

// Copies an argument into a text buffer of kTextSize bytes, refusing one
// that does not fit.
int CopyArgument(const char* source, char* destination, const char* what)
{
    if (std::strlen(source) >= size_t(kTextSize)) {
        std::printf("%s trop long (plus de 255 caractères): \"%s\"\n", what, source);
        return 0;
    }
    StripQuotes(source, destination);
    return 1;
}

// "/p" followed by a page number from 1 to 65536; anything else is refused.
int ParsePageNumber(const char* text, uint32_t* page)
{
    if (*text == '\0') return 0;
    uint32_t value = 0;
    for (const char* c = text; *c != '\0'; c++) {
        if (*c < '0' || *c > '9') return 0;
        value = value * 10 + uint32_t(*c - '0');
        if (value > 65536) return 0;
    }
    if (value == 0) return 0;
    *page = value - 1;
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
    if (letter == 'n' && arg[2] == '\0') return false;
    uint32_t page = 0;
    if (letter == 'p' && ParsePageNumber(arg + 2, &page)) return false;
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

void SetDefaultParameters()
{
    SetStartValues(BindKeys(&g_params, &g_params.fill_colour_given));
    g_params.fill_colour_given = 0;
}

int ReadParameterFile(const char* name, int required)
{
    int faults = 0;
    if (ReadConfigValues(name, BindKeys(&g_params, &g_params.fill_colour_given), &faults)) {
        if (faults == 0) return 1;
        std::printf("%s : %d ligne%s en faute, rien n'est traité ; corrigez le fichier de configuration\n", name,
                    faults, faults > 1 ? "s" : "");
        return 0;
    }
    if (!required) return 1;
    std::error_code error;
    if (std::filesystem::exists(name, error))
        std::printf("%s : le fichier de configuration ne peut pas être lu (ce n'est pas un fichier ordinaire)\n", name);
    else
        std::printf("%s : fichier de configuration introuvable ; vérifiez le nom donné après /c\n", name);
    return 0;
}

namespace {

bool IsHelp(const char* arg)
{
    return std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "/?") == 0;
}

// Reads one flag; COMMAND_RUN when it was one.
CommandOutcome ReadFlag(const char* arg, CommandLine* cmd, int* config_given)
{
    char letter = arg[1];
    if (letter == 'c') {
        if (!CopyArgument(arg + 2, cmd->config_name, "nom de fichier de configuration")) return COMMAND_USAGE;
        *config_given = 1;
    } else if (letter == 'f') {
        cmd->flag_f = 1;
    } else if (letter == 'b') {
        cmd->flag_b = 1;
    } else if (letter == 'd' && ParseStageMask(arg + 2, &cmd->stage_mask)) {
        cmd->preview = 1;
    } else if (letter == 'p' && ParsePageNumber(arg + 2, &cmd->page)) {
        cmd->page_given = 1;
    } else if (letter == 'n' && arg[2] == '\0') {
        cmd->list_names = 1;
    } else {
        ReportError("parametre inconnu: \"%s\"\n", arg);
        return COMMAND_USAGE;
    }
    return COMMAND_RUN;
}

}  // namespace

CommandOutcome ParseCommandLine(int argc, char** argv)
{
    SetDefaultParameters();
    CommandLine& cmd = g_command;
    cmd.images.clear();
    cmd.image_name[0] = '\0';
    std::strcpy(cmd.config_name, "config.txt");
    cmd.flag_f = 0;
    cmd.flag_b = 0;
    cmd.preview = 0;
    cmd.page = 0;
    cmd.page_given = 0;
    cmd.stage_mask = 0;
    cmd.list_names = 0;
    int config_given = 0;
    // An image name over 255 characters is a usage error, except for the
    // list (/n, which may come after it): there it is that image's fault,
    // so that one odd name among a thousand does not stop the whole list.
    const char* first_long = nullptr;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (IsHelp(arg)) return COMMAND_HELP;
        if (std::strncmp(arg, "--", 2) == 0 && arg[2] != '\0') {
            ReportError("parametre inconnu: \"%s\"\n", arg);
            return COMMAND_USAGE;
        }
        if (arg[0] == '/' && !IsAbsoluteImagePath(arg)) {
            CommandOutcome outcome = ReadFlag(arg, &cmd, &config_given);
            if (outcome != COMMAND_RUN) return outcome;
        } else if (std::strlen(arg) >= size_t(kTextSize)) {
            if (first_long == nullptr) first_long = arg;
            cmd.images.push_back(arg);
        } else {
            char name[kTextSize];
            CopyArgument(arg, name, "nom d'image");
            cmd.images.push_back(name);
        }
    }
    char unused[kTextSize];
    if (first_long != nullptr && !cmd.list_names && !CopyArgument(first_long, unused, "nom d'image"))
        return COMMAND_USAGE;
    if (!cmd.images.empty() && cmd.images[0].size() < size_t(kTextSize))
        std::strcpy(cmd.image_name, cmd.images[0].c_str());
    if (!ReadParameterFile(cmd.config_name, config_given)) return COMMAND_CONFIG;
    if (cmd.images.empty()) return COMMAND_USAGE;
    if (cmd.preview && cmd.list_names) {
        std::printf("/n liste les résultats ordinaires, /d n'en écrit pas : donnez l'un ou l'autre\n");
        return COMMAND_USAGE;
    }
    // The stage images of a preview have fixed names: a second page would
    // write over the first's.
    if (cmd.preview && cmd.images.size() > 1) {
        std::printf("un aperçu (/d) ne traite qu'une image, %zu ont été données\n", cmd.images.size());
        return COMMAND_USAGE;
    }
    return COMMAND_RUN;
}
