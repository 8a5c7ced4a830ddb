// Skew detection: the grey working copy, the filter chain and, with /f, the
// filter images written into REPERTOIRE2 for tuning.
#include <cstring>

#include "batch/params.h"
#include "core/blit.h"
#include "core/support.h"
#include "stages/filters.h"
#include "stages/rotation.h"
#include "tga/tga.h"

namespace {

// REPERTOIRE2 followed by name, in a 256-byte buffer.  0 with a message when
// the path does not fit: that image is skipped.
int DebugPath(const char* name, char path[kTextSize])
{
    const char* directory = g_params.REPERTOIRE2;
    size_t directory_length = std::strlen(directory), name_length = std::strlen(name);
    if (directory_length + name_length >= size_t(kTextSize)) {
        ReportError("Chemin trop long, image de filtre non sauvée: %s%s\n", directory, name);
        return 0;
    }
    std::memcpy(path, directory, directory_length);
    std::memcpy(path + directory_length, name, name_length + 1);
    return 1;
}

// Writes the working copy as it is.  A failed write is reported by SaveTGA
// and otherwise ignored: the images are only for looking at.
void SaveFilterImage(const BITMAP* grey, const char* name)
{
    char path[kTextSize];
    if (DebugPath(name, path)) SaveTGA(path, grey);
}

// Writes a copy of the working copy in which the small marker values are
// shown as visible greys.
void SaveMappedFilterImage(const BITMAP* grey, const char* name, const uint8_t map[256])
{
    char path[kTextSize];
    if (!DebugPath(name, path)) return;
    BITMAP shown;
    if (!BITMAP_Create(&shown, grey->width, grey->height, PIXEL_GREY)) return;
    size_t count = size_t(grey->width) * grey->height;
    for (size_t i = 0; i < count; i++) shown.pixels[i] = map[grey->pixels[i]];
    SaveTGA(path, &shown);
    BITMAP_Free(&shown);
}

void IdentityMap(uint8_t map[256])
{
    for (int i = 0; i < 256; i++) map[i] = uint8_t(i);
}

}  // namespace

int DetectSkewAngle(const BITMAP* page, double* angle)
{
    BITMAP grey;
    if (!BITMAP_Create(&grey, page->width, page->height, PIXEL_GREY)) return 0;
    BITMAP_Blt(page, &grey, 0, 0);
    int debug = g_command.flag_f;
    uint8_t map[256];

    VerticalStepFilter(&grey);
    if (debug) SaveFilterImage(&grey, "nivelo_filtre1.tga");
    RunFilter(&grey);
    if (debug) SaveFilterImage(&grey, "nivelo_filtre2.tga");
    GapBridgeFilter(&grey);
    if (debug) {
        IdentityMap(map);
        map[1] = 128;  // bridges
        SaveMappedFilterImage(&grey, "nivelo_filtre3.tga", map);
    }
    LowerBorderFilter(&grey);
    if (debug) SaveFilterImage(&grey, "nivelo_filtre4.tga");
    *angle = LineAngleFilter(&grey, debug);
    if (debug) {
        IdentityMap(map);
        map[1] = 128;  // traced, not counted
        map[2] = 255;  // counted
        SaveMappedFilterImage(&grey, "nivelo_filtre5.tga", map);
    }
    BITMAP_Free(&grey);
    return 1;
}
