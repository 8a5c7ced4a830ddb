// The GUI parameter set: the values nivelo_gui edits in its panels and
// writes into the configuration files that nivelo reads.
#pragma once

#include <cstdint>

#include "config/grammar.h"  // ParseInteger
#include "core/params.h"     // SideBits

constexpr int kGuiPathSize = 260;  // 259 characters and the terminator

// The separator that ends a directory value on this platform.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

struct GuiParameterSet {
    int32_t DETECT_WIDTH;
    int32_t DETECT_DIFF;
    int32_t VISION_LIMIT1;
    int32_t VISION_LIMIT2;
    int32_t VISION_WIDTH1;
    int32_t VISION_WIDTH2;
    int32_t VISION_WIDTH3;
    double VISION_ANGLE;  // degrees, single precision once read from a file or an edit
    int32_t BLUR_RADIUS;
    int32_t BLUR_LIMIT;
    char REPERTOIRE1[kGuiPathSize];  // ends with its separator
    char REPERTOIRE2[kGuiPathSize];
    uint8_t COTE_RECADRAGE;  // SideBits
    uint8_t COTE_FOND;
    double OFFSET_ANGLE;  // degrees
    uint8_t RECADRAGE1;   // yes/no stage switches, 1 or 0
    uint8_t FLOU;
    uint8_t SAUVEGARDE1;
    uint8_t ROTATION;
    uint8_t RECADRAGE2;
    uint8_t SAUVEGARDE2;
    uint8_t fill_colour[3];    // COUL_REMPLISSAGE: red, green, blue
    uint8_t automatic_colour;  // 1: no COUL_REMPLISSAGE is written, nivelo chooses
    uint8_t black_and_white;   // 1: nivelo is started with /b
    // The precise skew search.
    uint8_t AFFINAGE;
    double AFFINAGE_PLAGE;  // half-range searched, in degrees
};

extern GuiParameterSet g_gui_params;

// Start values of every key and of the two flags (in config_file.cpp,
// beside the grammar that gives most of them).
void SetGuiParameterDefaults();
