// The parameter set that the configuration file fills and the stages read.
#pragma once

#include <cstdint>

// Side bits shared by COTE_RECADRAGE and COTE_FOND.
enum SideBits : uint8_t {
    SIDE_TOP = 1,     // H
    SIDE_BOTTOM = 2,  // B
    SIDE_LEFT = 4,    // G
    SIDE_RIGHT = 8,   // D
};

constexpr int kTextSize = 256;  // 255 characters and the terminator

struct ParameterSet {
    int32_t DETECT_WIDTH;
    int32_t DETECT_DIFF;
    int32_t VISION_LIMIT1;
    int32_t VISION_LIMIT2;
    int32_t VISION_WIDTH1;
    int32_t VISION_WIDTH2;
    int32_t VISION_WIDTH3;
    double VISION_ANGLE;
    int32_t BLUR_RADIUS;
    int32_t BLUR_LIMIT;
    char REPERTOIRE1[kTextSize];
    char REPERTOIRE2[kTextSize];
    uint8_t COTE_RECADRAGE;
    uint8_t COTE_FOND;
    uint8_t RECADRAGE1;
    uint8_t FLOU;
    uint8_t SAUVEGARDE1;
    uint8_t ROTATION;
    uint8_t RECADRAGE2;
    uint8_t SAUVEGARDE2;
    // Preview keys written by nivelo_gui.
    double OFFSET_ANGLE;
    uint8_t fill_colour_given;  // COUL_REMPLISSAGE appeared in the file
    uint8_t fill_colour[3];     // red, green, blue
    // The precise skew search instead of the five filters' angle.
    uint8_t AFFINAGE;
    double AFFINAGE_PLAGE;  // half-range searched, in degrees
    // The scanner's ground left around the turned page takes the fill colour.
    uint8_t NETTOYAGE_BORDS;
    // The results' format, as written in the file (see ParseOutputFormat), and
    // the JPEG quality, 1 to 100.
    char FORMAT_SORTIE[kTextSize];
    int32_t QUALITE_JPEG;
    // Quarter turns found and undone before the skew is measured.
    uint8_t ORIENTATION;
};
