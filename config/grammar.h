// The configuration grammar that nivelo reads and nivelo_gui reads and
// writes: key=value lines of at most 255 characters, the key upper-cased and
// looked up exactly, the value parsed by the key's type.  Each program keeps
// the values in its own record and names where each key lives (a binding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Value types of the keys.  A value that does not follow its type's
// grammar, or a number outside its key's range, is refused.
enum ValueType {
    VALUE_INTEGER = 0,  // decimal integer
    VALUE_REAL = 1,     // decimal number, kept in single precision then widened
    VALUE_TEXT = 2,     // the rest of the line through StripQuotes
    VALUE_SIDES = 3,    // letters H B G D, case-insensitive
    VALUE_YES_NO = 4,   // o/n, oui/non, yes/no, y, 1/0, in any case; empty is no
    VALUE_COLOUR = 5,   // three integers "r,g,b" from 0 to 255
    VALUE_WORD = 6,     // one of the key's words, in any case, kept as typed
};

// The keys, in the order nivelo_gui writes them.
enum ConfigKeyId {
    KEY_DETECT_WIDTH, KEY_DETECT_DIFF, KEY_VISION_LIMIT1, KEY_VISION_LIMIT2, KEY_VISION_WIDTH1,
    KEY_VISION_WIDTH2, KEY_VISION_WIDTH3, KEY_VISION_ANGLE, KEY_BLUR_RADIUS, KEY_BLUR_LIMIT,
    KEY_REPERTOIRE1, KEY_REPERTOIRE2, KEY_COTE_RECADRAGE, KEY_COTE_FOND, KEY_OFFSET_ANGLE,
    KEY_RECADRAGE1, KEY_FLOU, KEY_SAUVEGARDE1, KEY_ROTATION, KEY_RECADRAGE2, KEY_SAUVEGARDE2,
    KEY_AFFINAGE, KEY_AFFINAGE_PLAGE, KEY_COUL_REMPLISSAGE, KEY_NETTOYAGE_BORDS, KEY_FORMAT_SORTIE,
    KEY_QUALITE_JPEG, KEY_ORIENTATION,
    KEY_COUNT
};

struct ConfigKey {
    const char* name;
    ValueType type;
    const char* start_value;  // as it would be written in a file
    double low, high;         // the accepted numbers (each of a colour's three)
    const char* words;        // VALUE_WORD: the accepted words, separated by "|"
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
    static_assert(KEY_COUNT == 28, "every key is bound below, in the order of ConfigKeyId");
    return {{&p->DETECT_WIDTH, &p->DETECT_DIFF, &p->VISION_LIMIT1, &p->VISION_LIMIT2, &p->VISION_WIDTH1,
             &p->VISION_WIDTH2, &p->VISION_WIDTH3, &p->VISION_ANGLE, &p->BLUR_RADIUS, &p->BLUR_LIMIT,
             p->REPERTOIRE1, p->REPERTOIRE2, &p->COTE_RECADRAGE, &p->COTE_FOND, &p->OFFSET_ANGLE,
             &p->RECADRAGE1, &p->FLOU, &p->SAUVEGARDE1, &p->ROTATION, &p->RECADRAGE2, &p->SAUVEGARDE2,
             &p->AFFINAGE, &p->AFFINAGE_PLAGE, p->fill_colour, &p->NETTOYAGE_BORDS, p->FORMAT_SORTIE,
             &p->QUALITE_JPEG, &p->ORIENTATION},
            colour_given};
}

// Sets every bound value to its start value; colour_given is left alone.
void SetStartValues(const ConfigBinding& binding);

// Parses one value of key (blanks around it allowed) into slot, laid out as
// the binding's slot for the key.  Returns 1 when the value is valid; 0
// otherwise, with slot untouched and a French reason in why (the key, what
// was typed and what is accepted, with the range).  Both programs check
// values with it, so that the GUI refuses exactly what nivelo refuses.
int ParseConfigValue(ConfigKeyId key, const char* text, void* slot, char* why, size_t why_size);

// Reads key=value lines of the named file into the bound values.  Blanks
// around the key and the value, a carriage return before the line feed and
// a byte-order mark are allowed; a line without "=", or whose first
// character other than a blank is "#", is a comment.  Each
// faulty line (unknown key, invalid value, longer than 255 characters) is
// reported once with the file name and line number and counted in *faults;
// reports go to messages when it is given, else to standard output.  A
// faulty line changes no value.  Returns 0 without a word when the file is
// missing or not a regular file (a device or a pipe could never end), 1
// when it was read.
int ReadConfigValues(const char* name, const ConfigBinding& binding, int* faults = nullptr,
                     std::string* messages = nullptr);

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
