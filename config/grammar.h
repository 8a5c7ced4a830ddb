// The configuration grammar that nivelo reads and nivelo_gui reads and
// writes: key=value lines of at most 255 characters, the key upper-cased and
// looked up exactly, the value parsed by the key's type.  Each program keeps
// the values in its own record and names where each key lives (a binding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Value types of the keys.
enum ValueType {
    VALUE_INTEGER = 0,  // decimal, modulo 2^32; unreadable keeps the previous value
    VALUE_REAL = 1,     // "%f" into a float starting at 0, then widened
    VALUE_TEXT = 2,     // rest of the line through StripQuotes
    VALUE_SIDES = 3,    // letters H B G D, case-insensitive
    VALUE_YES_NO = 4,   // yes when the value begins with o or O
    VALUE_COLOUR = 5,   // "%d,%d,%d", low byte of each as red, green, blue
};

// The keys, in the order nivelo_gui writes them.
enum ConfigKeyId {
    KEY_DETECT_WIDTH, KEY_DETECT_DIFF, KEY_VISION_LIMIT1, KEY_VISION_LIMIT2, KEY_VISION_WIDTH1,
    KEY_VISION_WIDTH2, KEY_VISION_WIDTH3, KEY_VISION_ANGLE, KEY_BLUR_RADIUS, KEY_BLUR_LIMIT,
    KEY_REPERTOIRE1, KEY_REPERTOIRE2, KEY_COTE_RECADRAGE, KEY_COTE_FOND, KEY_OFFSET_ANGLE,
    KEY_RECADRAGE1, KEY_FLOU, KEY_SAUVEGARDE1, KEY_ROTATION, KEY_RECADRAGE2, KEY_SAUVEGARDE2,
    KEY_AFFINAGE, KEY_AFFINAGE_PLAGE, KEY_COUL_REMPLISSAGE, KEY_NETTOYAGE_BORDS,
    KEY_COUNT
};

struct ConfigKey {
    const char* name;
    ValueType type;
    const char* start_value;  // as it would be written in a file
};
extern const ConfigKey kConfigKeys[KEY_COUNT];

// Where a program keeps each key's value: int32_t, double, a text buffer
// of at least 256 bytes, uint8_t (sides, yes/no) or uint8_t[3] (colour).
// colour_given, when set, becomes 1 once a colour line reads a number.
struct ConfigBinding {
    void* slot[KEY_COUNT];
    uint8_t* colour_given;
};

// The binding of a record whose members are named after the keys (the
// colour being fill_colour), as both programs' parameter sets are.
template <class Record> ConfigBinding BindKeys(Record* p, uint8_t* colour_given)
{
    static_assert(KEY_COUNT == 25, "every key is bound below, in the order of ConfigKeyId");
    return {{&p->DETECT_WIDTH, &p->DETECT_DIFF, &p->VISION_LIMIT1, &p->VISION_LIMIT2, &p->VISION_WIDTH1,
             &p->VISION_WIDTH2, &p->VISION_WIDTH3, &p->VISION_ANGLE, &p->BLUR_RADIUS, &p->BLUR_LIMIT,
             p->REPERTOIRE1, p->REPERTOIRE2, &p->COTE_RECADRAGE, &p->COTE_FOND, &p->OFFSET_ANGLE,
             &p->RECADRAGE1, &p->FLOU, &p->SAUVEGARDE1, &p->ROTATION, &p->RECADRAGE2, &p->SAUVEGARDE2,
             &p->AFFINAGE, &p->AFFINAGE_PLAGE, p->fill_colour, &p->NETTOYAGE_BORDS},
            colour_given};
}

// Sets every bound value to its start value; colour_given is left alone.
void SetStartValues(const ConfigBinding& binding);

// Reads key=value lines of the named file into the bound values.  A line
// longer than 255 characters is refused whole, with a message naming the
// key and the file; an unknown key is reported and skipped.  Returns 0
// without a word when the file is missing or not a regular file (a device
// or a pipe could never end), 1 when it was read.
int ReadConfigValues(const char* name, const ConfigBinding& binding);

// Writes "KEY=value\n" for one key from a value laid out as its slot is.
void WriteConfigValue(FILE* file, ConfigKeyId key, const void* value);

// Copies source to destination without one leading double quote, then
// without trailing blanks, then without one trailing double quote.
// destination must hold the whole source.
void StripQuotes(const char* source, char* destination);

// Reads a decimal integer as C "%d" does (leading blanks, optional sign,
// digits) but without undefined overflow: the number is taken modulo 2^32,
// so a value keeps the low bits of what was typed.  Returns 1 and sets
// *value and *end (after the digits) when a digit was found; 0 otherwise,
// with *value untouched.
int ParseInteger(const char* text, int32_t* value, const char** end);
