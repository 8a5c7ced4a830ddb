#include "config/grammar.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/params.h"

// Where results go when the configuration says nothing: the folders of the
// original Windows program there, folders of the current one elsewhere.
#ifdef _WIN32
#define NIVELO_FIRST_FOLDER "c:/t/"
#define NIVELO_SECOND_FOLDER "c:/trot/"
#else
#define NIVELO_FIRST_FOLDER "out/intermediaire/"
#define NIVELO_SECOND_FOLDER "out/final/"
#endif

// The ranges keep each number where its stage means something by it: a
// length of at least one pixel, a difference of colour that a pixel can
// show, a blur that ends in a run's time, an angle a page can be turned by.
const ConfigKey kConfigKeys[KEY_COUNT] = {
    {"DETECT_WIDTH", VALUE_INTEGER, "20", 1, 65535, nullptr},
    {"DETECT_DIFF", VALUE_INTEGER, "25", 0, 255, nullptr},
    {"VISION_LIMIT1", VALUE_INTEGER, "64", 0, 255, nullptr},
    {"VISION_LIMIT2", VALUE_INTEGER, "3", 1, 65535, nullptr},
    {"VISION_WIDTH1", VALUE_INTEGER, "16", 1, 65535, nullptr},
    {"VISION_WIDTH2", VALUE_INTEGER, "16", 0, 65535, nullptr},
    {"VISION_WIDTH3", VALUE_INTEGER, "128", 0, 65535, nullptr},
    {"VISION_ANGLE", VALUE_REAL, "3.0", 0, 90, nullptr},
    {"BLUR_RADIUS", VALUE_INTEGER, "3", 0, 1000, nullptr},
    {"BLUR_LIMIT", VALUE_INTEGER, "50", 0, 765, nullptr},
    {"REPERTOIRE1", VALUE_TEXT, NIVELO_FIRST_FOLDER, 0, 0, nullptr},
    {"REPERTOIRE2", VALUE_TEXT, NIVELO_SECOND_FOLDER, 0, 0, nullptr},
    {"COTE_RECADRAGE", VALUE_SIDES, "BD", 0, 0, nullptr},
    {"COTE_FOND", VALUE_SIDES, "D", 0, 0, nullptr},
    // Written by nivelo_gui for its previews.
    {"OFFSET_ANGLE", VALUE_REAL, "0.0", -180, 180, nullptr},
    {"RECADRAGE1", VALUE_YES_NO, "O", 0, 0, nullptr},
    {"FLOU", VALUE_YES_NO, "O", 0, 0, nullptr},
    {"SAUVEGARDE1", VALUE_YES_NO, "O", 0, 0, nullptr},
    {"ROTATION", VALUE_YES_NO, "O", 0, 0, nullptr},
    {"RECADRAGE2", VALUE_YES_NO, "O", 0, 0, nullptr},
    {"SAUVEGARDE2", VALUE_YES_NO, "O", 0, 0, nullptr},
    // The precise skew search, off unless asked for.
    {"AFFINAGE", VALUE_YES_NO, "N", 0, 0, nullptr},
    {"AFFINAGE_PLAGE", VALUE_REAL, "10.0", 0.01, 45, nullptr},
    {"COUL_REMPLISSAGE", VALUE_COLOUR, "0,0,0", 0, 255, nullptr},
    // The scanner's ground around a turned page, left unless asked for.
    {"NETTOYAGE_BORDS", VALUE_YES_NO, "N", 0, 0, nullptr},
    // The format of the results and the JPEG quality.
    {"FORMAT_SORTIE", VALUE_WORD, "TGA", 0, 0, "TGA|PNG|JPEG|TIFF|JPG|TIF"},
    {"QUALITE_JPEG", VALUE_INTEGER, "90", 1, 100, nullptr},
    // Pages turned by a quarter turn put the right way up, off unless asked for.
    {"ORIENTATION", VALUE_YES_NO, "N", 0, 0, nullptr},
};

namespace {

constexpr int kLineSize = 256;  // 255 characters and the terminator

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Letters of the sides; blanks and commas between them are allowed.
int ParseSides(const char* value, uint8_t* sides)
{
    uint8_t found = 0;
    for (const char* c = value; *c != '\0'; c++) {
        switch (*c) {
        case 'H': case 'h': found |= SIDE_TOP; break;
        case 'B': case 'b': found |= SIDE_BOTTOM; break;
        case 'G': case 'g': found |= SIDE_LEFT; break;
        case 'D': case 'd': found |= SIDE_RIGHT; break;
        case ' ': case '\t': case ',': break;
        default: return 0;
        }
    }
    *sides = found;
    return 1;
}

// ASCII letters compared without regard to case.
bool SameWord(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; a++, b++) {
        char x = *a >= 'A' && *a <= 'Z' ? char(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? char(*b - 'A' + 'a') : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

// One of the words of a "|"-separated list, in any case.
int ParseWord(const char* value, const char* words, char* slot)
{
    for (const char* w = words; w != nullptr && *w != '\0';) {
        const char* end = std::strchr(w, '|');
        size_t n = end == nullptr ? std::strlen(w) : size_t(end - w);
        char word[32];
        if (n < sizeof word) {
            std::memcpy(word, w, n);
            word[n] = '\0';
            if (SameWord(value, word)) {
                std::strcpy(slot, value);  // shorter than the line it came from
                return 1;
            }
        }
        w = end == nullptr ? w + n : end + 1;
    }
    return 0;
}

int ParseYesNo(const char* value, uint8_t* yes)
{
    static const char* const kYes[] = {"o", "oui", "y", "yes", "1"};
    static const char* const kNo[] = {"", "n", "non", "no", "0"};
    for (const char* word : kYes)
        if (SameWord(value, word)) return *yes = 1, 1;
    for (const char* word : kNo)
        if (SameWord(value, word)) return *yes = 0, 1;
    return 0;
}

// A whole decimal integer within [low, high]; the digits are counted so
// that no value, however long, can overflow before the range refuses it.
int ParseWholeInteger(const char* text, double low, double high, int32_t* value)
{
    const char* c = text;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = *c++ == '-';
    if (*c < '0' || *c > '9') return 0;
    int64_t number = 0;
    for (; *c >= '0' && *c <= '9'; c++) {
        number = number * 10 + (*c - '0');
        if (number > 1000000000) number = 1000000000;  // far beyond any range
    }
    if (*c != '\0') return 0;
    if (negative) number = -number;
    if (double(number) < low || double(number) > high) return 0;
    *value = int32_t(number);
    return 1;
}

// A decimal number read as "%f" reads it, into a float then widened, so that
// a value means the same as it always has; a comma, letters, "nan" or "inf"
// are refused rather than read in part.
int ParseWholeReal(const char* text, double low, double high, double* value)
{
    bool digit = false;
    for (const char* c = text; *c != '\0'; c++) {
        if (*c >= '0' && *c <= '9') digit = true;
        else if (std::strchr("+-.eE", *c) == nullptr) return 0;
    }
    if (!digit) return 0;
    char* end = nullptr;
    float number = std::strtof(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(number)) return 0;
    // Compared as read: 0.01 in single precision lies just below 0.01.
    if (number < float(low) || number > float(high)) return 0;
    *value = number;
    return 1;
}

// "r,g,b", blanks allowed around each number.
int ParseColour(const char* value, double low, double high, uint8_t colour[3])
{
    uint8_t read[3];
    const char* c = value;
    for (int i = 0; i < 3; i++) {
        char number[16];
        size_t n = 0;
        while (IsBlank(*c)) c++;
        while (*c != '\0' && *c != ',' && !IsBlank(*c) && n + 1 < sizeof number) number[n++] = *c++;
        number[n] = '\0';
        while (IsBlank(*c)) c++;
        if (*c != (i < 2 ? ',' : '\0')) return 0;
        if (i < 2) c++;
        int32_t component;
        if (!ParseWholeInteger(number, low, high, &component)) return 0;
        read[i] = uint8_t(component);
    }
    std::memcpy(colour, read, 3);
    return 1;
}

// What a key accepts, in words, for the messages.
std::string Accepted(const ConfigKey& key)
{
    char range[96];
    switch (key.type) {
    case VALUE_INTEGER:
        std::snprintf(range, sizeof range, "un nombre entier de %g à %g", key.low, key.high);
        return range;
    case VALUE_REAL:
        std::snprintf(range, sizeof range, "un nombre de %g à %g (point décimal)", key.low, key.high);
        return range;
    case VALUE_SIDES: return "des côtés parmi H (haut), B (bas), G (gauche), D (droite)";
    case VALUE_YES_NO: return "O ou N (oui/non, yes/no, 1/0)";
    case VALUE_COLOUR: return "trois nombres de 0 à 255 : rouge,vert,bleu";
    case VALUE_WORD: {
        std::string words = key.words;
        for (char& c : words)
            if (c == '|') c = ',';
        return "l'un de " + words;
    }
    case VALUE_TEXT: break;
    }
    return "un texte";
}

// The text without the blanks around it, in a buffer of kLineSize bytes;
// 0 when it does not fit.
int Trim(const char* text, char* out)
{
    while (IsBlank(*text)) text++;
    size_t n = std::strlen(text);
    while (n > 0 && IsBlank(text[n - 1])) n--;
    if (n >= size_t(kLineSize)) return 0;
    std::memcpy(out, text, n);
    out[n] = '\0';
    return 1;
}

void Report(std::string* messages, const char* file, int line, const std::string& what)
{
    char where[kLineSize + 32];
    std::snprintf(where, sizeof where, "%s, ligne %d : ", file, line);
    std::string text = where + what + "\n";
    if (messages != nullptr)
        *messages += text;
    else
        std::fputs(text.c_str(), stdout);
}

// Applies one line (line feeds already removed); 0 after reporting a fault.
int ApplyLine(char* line, const ConfigBinding& binding, const char* file, int number, std::string* messages)
{
    char* equals = std::strchr(line, '=');
    if (equals == nullptr) return 1;
    // A comment may well show a key=value example: "#" marks it whole.
    const char* first = line;
    while (IsBlank(*first)) first++;
    if (*first == '#') return 1;
    *equals = '\0';
    char key[kLineSize];
    Trim(line, key);
    for (char* c = key; *c != '\0'; c++)
        if (*c >= 'a' && *c <= 'z') *c = char(*c - 'a' + 'A');
    for (int k = 0; k < KEY_COUNT; k++) {
        if (std::strcmp(key, kConfigKeys[k].name) != 0) continue;
        if (binding.slot[k] == nullptr) return 1;
        char why[kLineSize + 160];
        if (!ParseConfigValue(ConfigKeyId(k), equals + 1, binding.slot[k], why, sizeof why)) {
            Report(messages, file, number, why);
            return 0;
        }
        if (kConfigKeys[k].type == VALUE_COLOUR && binding.colour_given != nullptr) *binding.colour_given = 1;
        return 1;
    }
    Report(messages, file, number, std::string("paramètre inconnu \"") + key + "\"");
    return 0;
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
    char why[kLineSize + 160];
    for (int k = 0; k < KEY_COUNT; k++) {
        if (binding.slot[k] == nullptr) continue;
        ParseConfigValue(ConfigKeyId(k), kConfigKeys[k].start_value, binding.slot[k], why, sizeof why);
    }
}

int ParseConfigValue(ConfigKeyId id, const char* text, void* slot, char* why, size_t why_size)
{
    const ConfigKey& key = kConfigKeys[id];
    char value[kLineSize];
    if (!Trim(text, value)) {
        if (why != nullptr && why_size > 0)
            std::snprintf(why, why_size, "valeur refusée pour %s : plus de %d caractères", key.name, kLineSize - 1);
        return 0;
    }
    int ok = 0;
    switch (key.type) {
    case VALUE_INTEGER: ok = ParseWholeInteger(value, key.low, key.high, static_cast<int32_t*>(slot)); break;
    case VALUE_REAL: ok = ParseWholeReal(value, key.low, key.high, static_cast<double*>(slot)); break;
    case VALUE_TEXT:
        // The value comes from a line of at most 255 characters: it fits.
        StripQuotes(value, static_cast<char*>(slot));
        ok = 1;
        break;
    case VALUE_SIDES: ok = ParseSides(value, static_cast<uint8_t*>(slot)); break;
    case VALUE_YES_NO: ok = ParseYesNo(value, static_cast<uint8_t*>(slot)); break;
    case VALUE_COLOUR: ok = ParseColour(value, key.low, key.high, static_cast<uint8_t*>(slot)); break;
    case VALUE_WORD: {
        char word[kLineSize];
        StripQuotes(value, word);  // as a text value would be written
        ok = ParseWord(word, key.words, static_cast<char*>(slot));
        break;
    }
    }
    if (!ok && why != nullptr && why_size > 0)
        std::snprintf(why, why_size, "valeur \"%s\" refusée pour %s : il faut %s", value, key.name,
                      Accepted(key).c_str());
    return ok;
}

int ReadConfigValues(const char* name, const ConfigBinding& binding, int* faults, std::string* messages)
{
    if (faults != nullptr) *faults = 0;
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error)) return 0;
    FILE* file = std::fopen(name, "r");
    if (file == nullptr) return 0;
    char line[kLineSize];
    int bad = 0;
    for (int number = 1; std::fgets(line, sizeof line, file) != nullptr; number++) {
        size_t n = std::strlen(line);
        if (n == sizeof line - 1 && line[n - 1] != '\n' && !std::feof(file)) {
            // Cutting the line would store a truncated value, a directory
            // above all: refuse the whole line instead.
            SkipRestOfLine(file);
            Report(messages, name, number, "ligne trop longue (plus de 255 caractères)");
            bad++;
            continue;
        }
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
        // Editors on Windows may begin a UTF-8 file with a byte-order mark.
        char* start = line;
        if (number == 1 && std::strncmp(start, "\xEF\xBB\xBF", 3) == 0) start += 3;
        if (!ApplyLine(start, binding, name, number, messages)) bad++;
    }
    std::fclose(file);
    if (faults != nullptr) *faults = bad;
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
    case VALUE_WORD: std::fprintf(file, "%s=%s\n", name, static_cast<const char*>(value)); break;
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
