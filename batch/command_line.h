// Reading the command line and the configuration file into the parameter set.
#pragma once

// Value types of configuration keys (codes shared with nivelo_gui's files).
enum ValueType {
    VALUE_INTEGER = 0,  // "%d"; unreadable keeps the previous value
    VALUE_REAL = 1,     // "%f" into a float starting at 0, then widened
    VALUE_TEXT = 2,     // rest of the line through StripQuotes
    VALUE_SIDES = 3,    // letters H B G D, case-insensitive
    VALUE_YES_NO = 4,   // yes when the value begins with o or O
    VALUE_COLOUR = 5,   // "%d,%d,%d", low byte of each as red, green, blue
};

// Sets every default, reads the flags and the image name, then reads the
// configuration file.  An empty image name afterwards means: print usage.
void ParseCommandLine(int argc, char** argv);

// Sets the parameter set to its defaults.
void SetDefaultParameters();

// Reads key=value lines of the named file into the parameter set; a missing
// file leaves the values as they are, silently.
void ReadParameterFile(const char* name);

// Copies source to destination without one leading double quote, then
// without trailing blanks, then without one trailing double quote.
// destination must hold the whole source.
void StripQuotes(const char* source, char* destination);
