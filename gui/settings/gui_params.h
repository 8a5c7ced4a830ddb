// The GUI parameter set: the values nivelo_gui edits in its panels and
// writes into the configuration files that nivelo reads.
#pragma once

#include "config/grammar.h"  // ParseInteger
#include "core/params.h"

// Paths the GUI keeps (images, configuration files, its own directories);
// folder values live in the parameter set, kTextSize bytes.
constexpr int kGuiPathSize = 260;  // 259 characters and the terminator

// The separator that ends a directory value on this platform.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// nivelo's own record, so that a key is added in one place; REPERTOIRE1 and
// REPERTOIRE2 end with their separator.  fill_colour_given off is the
// panel's "Couleur Auto": no COUL_REMPLISSAGE is written and nivelo fills
// with the background it measures.
struct GuiParameterSet : ParameterSet {
    uint8_t black_and_white;  // 1: nivelo is started with /b
};

