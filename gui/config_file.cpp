// The reading rules are nivelo's (lines of at most 255 characters, key
// upper-cased then looked up exactly, value parsed by type), so that a file
// means the same thing to both programs.
#include "gui/config_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "gui/gui_params.h"

namespace {

enum GuiValueType {
    GUI_INTEGER = 0,
    GUI_REAL = 1,
    GUI_TEXT = 2,  // a kGuiPathSize buffer
    GUI_SIDES = 3,
    GUI_YES_NO = 4,
    GUI_COLOUR = 5,  // "%d,%d,%d", red, green, blue
};

struct GuiKey {
    const char* key;
    GuiValueType type;
    void* value;
};

GuiParameterSet& P = g_gui_params;

// Lookup order.
const GuiKey kKeys[] = {
    {"DETECT_WIDTH", GUI_INTEGER, &P.DETECT_WIDTH},
    {"DETECT_DIFF", GUI_INTEGER, &P.DETECT_DIFF},
    {"VISION_LIMIT1", GUI_INTEGER, &P.VISION_LIMIT1},
    {"VISION_LIMIT2", GUI_INTEGER, &P.VISION_LIMIT2},
    {"VISION_WIDTH1", GUI_INTEGER, &P.VISION_WIDTH1},
    {"VISION_WIDTH2", GUI_INTEGER, &P.VISION_WIDTH2},
    {"VISION_WIDTH3", GUI_INTEGER, &P.VISION_WIDTH3},
    {"VISION_ANGLE", GUI_REAL, &P.VISION_ANGLE},
    {"BLUR_RADIUS", GUI_INTEGER, &P.BLUR_RADIUS},
    {"BLUR_LIMIT", GUI_INTEGER, &P.BLUR_LIMIT},
    {"REPERTOIRE1", GUI_TEXT, P.REPERTOIRE1},
    {"REPERTOIRE2", GUI_TEXT, P.REPERTOIRE2},
    {"COTE_RECADRAGE", GUI_SIDES, &P.COTE_RECADRAGE},
    {"COTE_FOND", GUI_SIDES, &P.COTE_FOND},
    {"OFFSET_ANGLE", GUI_REAL, &P.OFFSET_ANGLE},
    {"RECADRAGE1", GUI_YES_NO, &P.RECADRAGE1},
    {"FLOU", GUI_YES_NO, &P.FLOU},
    {"SAUVEGARDE1", GUI_YES_NO, &P.SAUVEGARDE1},
    {"ROTATION", GUI_YES_NO, &P.ROTATION},
    {"RECADRAGE2", GUI_YES_NO, &P.RECADRAGE2},
    {"SAUVEGARDE2", GUI_YES_NO, &P.SAUVEGARDE2},
    {"COUL_REMPLISSAGE", GUI_COLOUR, P.fill_colour},
    {"AFFINAGE", GUI_YES_NO, &P.AFFINAGE},
    {"AFFINAGE_PLAGE", GUI_REAL, &P.AFFINAGE_PLAGE},
};

constexpr int kLineSize = 256;  // 255 characters and the terminator

// One leading double quote, trailing blanks, then one trailing double quote
// removed, as nivelo does for its text values.
void StripQuotes(const char* source, char* destination)
{
    if (source[0] == '"') source++;
    size_t n = std::strlen(source);
    std::memmove(destination, source, n + 1);
    while (n > 0 && destination[n - 1] == ' ') destination[--n] = '\0';
    if (n > 0 && destination[n - 1] == '"') destination[--n] = '\0';
}

uint8_t ParseSides(const char* value)
{
    uint8_t sides = 0;
    for (const char* c = value; *c != '\0'; c++) {
        switch (*c) {
        case 'H': case 'h': sides |= 1; break;
        case 'B': case 'b': sides |= 2; break;
        case 'G': case 'g': sides |= 4; break;
        case 'D': case 'd': sides |= 8; break;
        default: break;
        }
    }
    return sides;
}

// "%d,%d,%d": each number read stores its low byte; parsing stops at the
// first number or comma missing, and the bytes after it keep their values.
void ParseColour(const char* value, uint8_t colour[3])
{
    const char* c = value;
    for (int i = 0; i < 3; i++) {
        if (i > 0) {
            if (*c != ',') return;
            c++;
        }
        int32_t number;
        if (!ParseInteger(c, &number, &c)) return;
        colour[i] = uint8_t(uint32_t(number) & 0xFF);
    }
}

void ParseValue(const GuiKey& entry, const char* value)
{
    switch (entry.type) {
    case GUI_INTEGER: ParseInteger(value, static_cast<int32_t*>(entry.value), nullptr); break;
    case GUI_REAL: {
        float number = 0.0f;  // unreadable gives 0.0, as in nivelo
        std::sscanf(value, "%f", &number);
        *static_cast<double*>(entry.value) = number;
        break;
    }
    case GUI_TEXT:
        // The value comes from a line of at most 255 characters: it fits.
        StripQuotes(value, static_cast<char*>(entry.value));
        break;
    case GUI_SIDES: *static_cast<uint8_t*>(entry.value) = ParseSides(value); break;
    case GUI_YES_NO: *static_cast<uint8_t*>(entry.value) = (value[0] == 'o' || value[0] == 'O'); break;
    case GUI_COLOUR:
        P.automatic_colour = 0;
        ParseColour(value, static_cast<uint8_t*>(entry.value));
        break;
    }
}

void ApplyLine(char* line)
{
    char* equals = std::strchr(line, '=');
    if (equals == nullptr) return;
    *equals = '\0';
    for (char* c = line; *c != '\0'; c++)
        if (*c >= 'a' && *c <= 'z') *c = char(*c - 'a' + 'A');
    for (const GuiKey& entry : kKeys) {
        if (std::strcmp(line, entry.key) == 0) {
            ParseValue(entry, equals + 1);
            return;
        }
    }
    std::printf("parametre inconnu \"%s\"\n", line);
}

void SkipRestOfLine(FILE* file)
{
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n') {
    }
}

void WriteSides(FILE* file, const char* key, uint8_t sides)
{
    std::fprintf(file, "%s=%s%s%s%s\n", key, (sides & 1) ? "H" : "", (sides & 2) ? "B" : "",
                 (sides & 4) ? "G" : "", (sides & 8) ? "D" : "");
}

char YesNo(uint8_t value)
{
    return value ? 'O' : 'N';
}

}  // namespace

void ReadConfigFile(const char* name)
{
    FILE* file = std::fopen(name, "r");
    if (file == nullptr) return;
    P.automatic_colour = 1;
    char line[kLineSize];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        size_t n = std::strlen(line);
        if (n == sizeof line - 1 && line[n - 1] != '\n' && !std::feof(file)) {
            // Reading the rest as a line of its own would store a cut value
            // (a directory above all): the whole line is refused, as nivelo
            // refuses it.
            SkipRestOfLine(file);
            char* equals = std::strchr(line, '=');
            if (equals == nullptr) continue;
            *equals = '\0';
            std::printf("ligne trop longue pour la clé \"%s\" dans %s (plus de 255 caractères), ignorée\n",
                        line, name);
            continue;
        }
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
        ApplyLine(line);
    }
    std::fclose(file);
}

int WriteConfigFile(const char* name, const char* directory1, const char* directory2)
{
    // Unreported, a failed write would leave nivelo reading an older file and
    // the user believing a configuration was saved.
    FILE* file = std::fopen(name, "w");
    if (file == nullptr) {
        ReportError("Impossible d'écrire le fichier de configuration %s\n", name);
        return 0;
    }
    std::fprintf(file, "DETECT_WIDTH=%d\n", P.DETECT_WIDTH);
    std::fprintf(file, "DETECT_DIFF=%d\n", P.DETECT_DIFF);
    std::fprintf(file, "VISION_LIMIT1=%d\n", P.VISION_LIMIT1);
    std::fprintf(file, "VISION_LIMIT2=%d\n", P.VISION_LIMIT2);
    std::fprintf(file, "VISION_WIDTH1=%d\n", P.VISION_WIDTH1);
    std::fprintf(file, "VISION_WIDTH2=%d\n", P.VISION_WIDTH2);
    std::fprintf(file, "VISION_WIDTH3=%d\n", P.VISION_WIDTH3);
    std::fprintf(file, "VISION_ANGLE=%f\n", P.VISION_ANGLE);
    std::fprintf(file, "BLUR_RADIUS=%d\n", P.BLUR_RADIUS);
    std::fprintf(file, "BLUR_LIMIT=%d\n", P.BLUR_LIMIT);
    std::fprintf(file, "REPERTOIRE1=\"%s\"\n", directory1);
    std::fprintf(file, "REPERTOIRE2=\"%s\"\n", directory2);
    WriteSides(file, "COTE_RECADRAGE", P.COTE_RECADRAGE);
    WriteSides(file, "COTE_FOND", P.COTE_FOND);
    std::fprintf(file, "OFFSET_ANGLE=%f\n", P.OFFSET_ANGLE);
    std::fprintf(file, "RECADRAGE1=%c\n", YesNo(P.RECADRAGE1));
    std::fprintf(file, "FLOU=%c\n", YesNo(P.FLOU));
    std::fprintf(file, "SAUVEGARDE1=%c\n", YesNo(P.SAUVEGARDE1));
    std::fprintf(file, "ROTATION=%c\n", YesNo(P.ROTATION));
    std::fprintf(file, "RECADRAGE2=%c\n", YesNo(P.RECADRAGE2));
    std::fprintf(file, "SAUVEGARDE2=%c\n", YesNo(P.SAUVEGARDE2));
    std::fprintf(file, "AFFINAGE=%c\n", YesNo(P.AFFINAGE));
    std::fprintf(file, "AFFINAGE_PLAGE=%f\n", P.AFFINAGE_PLAGE);
    if (!P.automatic_colour)
        std::fprintf(file, "COUL_REMPLISSAGE=%u,%u,%u\n", unsigned(P.fill_colour[0]), unsigned(P.fill_colour[1]),
                     unsigned(P.fill_colour[2]));
    int failed = std::ferror(file);
    if (std::fclose(file) != 0 || failed) {
        ReportError("Impossible d'écrire le fichier de configuration %s\n", name);
        return 0;
    }
    return 1;
}
