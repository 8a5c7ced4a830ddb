#include "config/grammar.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/params.h"

const ConfigKey kConfigKeys[KEY_COUNT] = {
    {"DETECT_WIDTH", VALUE_INTEGER, "20"},
    {"DETECT_DIFF", VALUE_INTEGER, "25"},
    {"VISION_LIMIT1", VALUE_INTEGER, "64"},
    {"VISION_LIMIT2", VALUE_INTEGER, "3"},
    {"VISION_WIDTH1", VALUE_INTEGER, "16"},
    {"VISION_WIDTH2", VALUE_INTEGER, "16"},
    {"VISION_WIDTH3", VALUE_INTEGER, "128"},
    {"VISION_ANGLE", VALUE_REAL, "3.0"},
    {"BLUR_RADIUS", VALUE_INTEGER, "3"},
    {"BLUR_LIMIT", VALUE_INTEGER, "50"},
    {"REPERTOIRE1", VALUE_TEXT, "c:/t/"},
    {"REPERTOIRE2", VALUE_TEXT, "c:/trot/"},
    {"COTE_RECADRAGE", VALUE_SIDES, "BD"},
    {"COTE_FOND", VALUE_SIDES, "D"},
    // Written by nivelo_gui for its previews.
    {"OFFSET_ANGLE", VALUE_REAL, "0.0"},
    {"RECADRAGE1", VALUE_YES_NO, "O"},
    {"FLOU", VALUE_YES_NO, "O"},
    {"SAUVEGARDE1", VALUE_YES_NO, "O"},
    {"ROTATION", VALUE_YES_NO, "O"},
    {"RECADRAGE2", VALUE_YES_NO, "O"},
    {"SAUVEGARDE2", VALUE_YES_NO, "O"},
    // The precise skew search, off unless asked for.
    {"AFFINAGE", VALUE_YES_NO, "N"},
    {"AFFINAGE_PLAGE", VALUE_REAL, "10.0"},
    {"COUL_REMPLISSAGE", VALUE_COLOUR, "0,0,0"},
    // The scanner's ground around a turned page, left unless asked for.
    {"NETTOYAGE_BORDS", VALUE_YES_NO, "N"},
};

namespace {

constexpr int kLineSize = 256;  // 255 characters and the terminator

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

// "%d,%d,%d": each number read stores its low byte; parsing stops at the
// first number or comma missing, and the bytes after it keep their values.
// Returns how many numbers were read.
int ParseColour(const char* value, uint8_t colour[3])
{
    const char* c = value;
    for (int i = 0; i < 3; i++) {
        if (i > 0) {
            if (*c != ',') return i;
            c++;
        }
        int32_t number;
        if (!ParseInteger(c, &number, &c)) return i;
        colour[i] = uint8_t(uint32_t(number) & 0xFF);
    }
    return 3;
}

// Returns how many colour numbers were read, 0 for other types.
int ParseValue(ValueType type, const char* value, void* slot)
{
    switch (type) {
    case VALUE_INTEGER: ParseInteger(value, static_cast<int32_t*>(slot), nullptr); break;
    case VALUE_REAL: {
        float number = 0.0f;
        std::sscanf(value, "%f", &number);
        *static_cast<double*>(slot) = number;
        break;
    }
    case VALUE_TEXT:
        // The value comes from a line of at most 255 characters: it fits.
        StripQuotes(value, static_cast<char*>(slot));
        break;
    case VALUE_SIDES: *static_cast<uint8_t*>(slot) = ParseSides(value); break;
    case VALUE_YES_NO: *static_cast<uint8_t*>(slot) = (value[0] == 'o' || value[0] == 'O'); break;
    case VALUE_COLOUR: return ParseColour(value, static_cast<uint8_t*>(slot));
    }
    return 0;
}

// Applies one line (line feeds already removed).
void ApplyLine(char* line, const ConfigBinding& binding)
{
    char* equals = std::strchr(line, '=');
    if (equals == nullptr) return;
    *equals = '\0';
    for (char* c = line; *c != '\0'; c++)
        if (*c >= 'a' && *c <= 'z') *c = char(*c - 'a' + 'A');
    for (int k = 0; k < KEY_COUNT; k++) {
        if (std::strcmp(line, kConfigKeys[k].name) != 0) continue;
        if (binding.slot[k] == nullptr) return;
        int numbers = ParseValue(kConfigKeys[k].type, equals + 1, binding.slot[k]);
        if (numbers >= 1 && binding.colour_given != nullptr) *binding.colour_given = 1;
        return;
    }
    std::printf("paramètre inconnu \"%s\"\n", line);
}

// Skips the rest of a physical line whose first 255 characters were read.
void SkipRestOfLine(FILE* file)
{
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n') {
    }
}

}  // namespace

void SetStartValues(const ConfigBinding& binding)
{
    for (int k = 0; k < KEY_COUNT; k++) {
        if (binding.slot[k] == nullptr) continue;
        ParseValue(kConfigKeys[k].type, kConfigKeys[k].start_value, binding.slot[k]);
    }
}

int ReadConfigValues(const char* name, const ConfigBinding& binding)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error)) return 0;
    FILE* file = std::fopen(name, "r");
    if (file == nullptr) return 0;
    char line[kLineSize];
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
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
        ApplyLine(line, binding);
    }
    std::fclose(file);
    return 1;
}

void WriteConfigValue(FILE* file, ConfigKeyId key, const void* value)
{
    const char* name = kConfigKeys[key].name;
    const uint8_t* bytes = static_cast<const uint8_t*>(value);
    switch (kConfigKeys[key].type) {
    case VALUE_INTEGER: std::fprintf(file, "%s=%d\n", name, int(*static_cast<const int32_t*>(value))); break;
    case VALUE_REAL: std::fprintf(file, "%s=%f\n", name, *static_cast<const double*>(value)); break;
    case VALUE_TEXT: std::fprintf(file, "%s=\"%s\"\n", name, static_cast<const char*>(value)); break;
    case VALUE_SIDES:
        std::fprintf(file, "%s=%s%s%s%s\n", name, (*bytes & SIDE_TOP) ? "H" : "", (*bytes & SIDE_BOTTOM) ? "B" : "",
                     (*bytes & SIDE_LEFT) ? "G" : "", (*bytes & SIDE_RIGHT) ? "D" : "");
        break;
    case VALUE_YES_NO: std::fprintf(file, "%s=%c\n", name, *bytes ? 'O' : 'N'); break;
    case VALUE_COLOUR:
        std::fprintf(file, "%s=%u,%u,%u\n", name, unsigned(bytes[0]), unsigned(bytes[1]), unsigned(bytes[2]));
        break;
    }
}

void StripQuotes(const char* source, char* destination)
{
    if (source[0] == '"') source++;
    size_t n = std::strlen(source);
    std::memmove(destination, source, n + 1);
    while (n > 0 && destination[n - 1] == ' ') destination[--n] = '\0';
    if (n > 0 && destination[n - 1] == '"') destination[--n] = '\0';
}

int ParseInteger(const char* text, int32_t* value, const char** end)
{
    const char* c = text;
    while (*c == ' ' || (*c >= '\t' && *c <= '\r')) c++;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = *c++ == '-';
    if (*c < '0' || *c > '9') return 0;
    uint32_t number = 0;  // unsigned: wraps modulo 2^32 instead of overflowing
    for (; *c >= '0' && *c <= '9'; c++) number = number * 10u + uint32_t(*c - '0');
    if (negative) number = 0u - number;
    *value = int32_t(number);
    if (end != nullptr) *end = c;
    return 1;
}
