#include "batch/command_line.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "batch/params.h"
#include "core/support.h"

namespace {

struct KeyEntry {
    const char* key;
    ValueType type;
    void* value;
};

// Lookup order of the keys, as the configuration files are documented.
const KeyEntry kKeys[] = {
    {"DETECT_WIDTH", VALUE_INTEGER, &g_params.DETECT_WIDTH},
    {"DETECT_DIFF", VALUE_INTEGER, &g_params.DETECT_DIFF},
    {"VISION_LIMIT1", VALUE_INTEGER, &g_params.VISION_LIMIT1},
    {"VISION_LIMIT2", VALUE_INTEGER, &g_params.VISION_LIMIT2},
    {"VISION_WIDTH1", VALUE_INTEGER, &g_params.VISION_WIDTH1},
    {"VISION_WIDTH2", VALUE_INTEGER, &g_params.VISION_WIDTH2},
    {"VISION_WIDTH3", VALUE_INTEGER, &g_params.VISION_WIDTH3},
    {"VISION_ANGLE", VALUE_REAL, &g_params.VISION_ANGLE},
    {"BLUR_RADIUS", VALUE_INTEGER, &g_params.BLUR_RADIUS},
    {"BLUR_LIMIT", VALUE_INTEGER, &g_params.BLUR_LIMIT},
    {"REPERTOIRE1", VALUE_TEXT, g_params.REPERTOIRE1},
    {"REPERTOIRE2", VALUE_TEXT, g_params.REPERTOIRE2},
    {"COTE_RECADRAGE", VALUE_SIDES, &g_params.COTE_RECADRAGE},
    {"COTE_FOND", VALUE_SIDES, &g_params.COTE_FOND},
    {"RECADRAGE1", VALUE_YES_NO, &g_params.RECADRAGE1},
    {"FLOU", VALUE_YES_NO, &g_params.FLOU},
    {"SAUVEGARDE1", VALUE_YES_NO, &g_params.SAUVEGARDE1},
    {"ROTATION", VALUE_YES_NO, &g_params.ROTATION},
    {"RECADRAGE2", VALUE_YES_NO, &g_params.RECADRAGE2},
    {"SAUVEGARDE2", VALUE_YES_NO, &g_params.SAUVEGARDE2},
    // Written by nivelo_gui for its previews.
    {"OFFSET_ANGLE", VALUE_REAL, &g_params.OFFSET_ANGLE},
    {"COUL_REMPLISSAGE", VALUE_COLOUR, g_params.fill_colour},
    // The precise skew search.
    {"AFFINAGE", VALUE_YES_NO, &g_params.AFFINAGE},
    {"AFFINAGE_PLAGE", VALUE_REAL, &g_params.AFFINAGE_PLAGE},
};

uint8_t ParseSides(const char* value)
{
    uint8_t sides = 0;
    for (const char* c = value; *c != '\0'; c++) {
        switch (*c) {
        case 'H': case 'h': sides |= SIDE_TOP; break;
        case 'B': case 'b': sides |= SIDE_BOTTOM; break;
        case 'G': case 'g': sides |= SIDE_LEFT; break;
        case 'D': case 'd': sides |= SIDE_RIGHT; break;
        default: break;
        }
    }
    return sides;
}

void ParseValue(const KeyEntry& entry, const char* value)
{
    switch (entry.type) {
    case VALUE_INTEGER: {
        int number;
        if (std::sscanf(value, "%d", &number) == 1) *static_cast<int32_t*>(entry.value) = number;
        break;
    }
    case VALUE_REAL: {
        float number = 0.0f;
        std::sscanf(value, "%f", &number);
        *static_cast<double*>(entry.value) = number;
        break;
    }
    case VALUE_TEXT:
        // The value comes from a line of at most 255 characters: it fits.
        StripQuotes(value, static_cast<char*>(entry.value));
        break;
    case VALUE_SIDES: *static_cast<uint8_t*>(entry.value) = ParseSides(value); break;
    case VALUE_YES_NO: *static_cast<uint8_t*>(entry.value) = (value[0] == 'o' || value[0] == 'O'); break;
    case VALUE_COLOUR: {
        // Values that cannot be read keep the colour bytes they had.
        int rgb[3];
        int count = std::sscanf(value, "%d,%d,%d", &rgb[0], &rgb[1], &rgb[2]);
        uint8_t* colour = static_cast<uint8_t*>(entry.value);
        for (int i = 0; i < count; i++) colour[i] = uint8_t(rgb[i] & 0xFF);
        if (count >= 1) g_params.fill_colour_given = 1;
        break;
    }
    }
}

// Applies one configuration line (line feeds already removed).
void ApplyLine(char* line)
{
    char* equals = std::strchr(line, '=');
    if (equals == nullptr) return;
    *equals = '\0';
    for (char* c = line; *c != '\0'; c++)
        if (*c >= 'a' && *c <= 'z') *c = char(*c - 'a' + 'A');
    for (const KeyEntry& entry : kKeys) {
        if (std::strcmp(line, entry.key) == 0) {
            ParseValue(entry, equals + 1);
            return;
        }
    }
    std::printf("paramètre inconnu \"%s\"\n", line);
}

void TrimLineEnd(char* line)
{
    size_t n = std::strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
}

// Skips the rest of a physical line whose first 255 characters were read.
void SkipRestOfLine(FILE* file)
{
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n') {
    }
}

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

void StripQuotes(const char* source, char* destination)
{
    if (source[0] == '"') source++;
    size_t n = std::strlen(source);
    std::memmove(destination, source, n + 1);
    while (n > 0 && destination[n - 1] == ' ') destination[--n] = '\0';
    if (n > 0 && destination[n - 1] == '"') destination[--n] = '\0';
}

void ReadParameterFile(const char* name)
{
    // A device or a pipe is no configuration file (and /dev/zero would never
    // end): it is treated as missing.
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error)) return;
    FILE* file = std::fopen(name, "r");
    if (file == nullptr) return;
    char line[kTextSize];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        size_t n = std::strlen(line);
        if (n == sizeof line - 1 && line[n - 1] != '\n' && !std::feof(file)) {
            // Cutting the line would store a truncated value, a directory
            // above all: refuse the whole line instead.
            SkipRestOfLine(file);
            char* equals = std::strchr(line, '=');
            if (equals == nullptr) continue;
            *equals = '\0';
            std::printf("ligne trop longue pour la clé \"%s\" dans %s (plus de 255 caractères), ignorée\n",
                        line, name);
            continue;
        }
        TrimLineEnd(line);
        ApplyLine(line);
    }
    std::fclose(file);
}

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
