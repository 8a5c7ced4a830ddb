// Skew detection: the grey working copy, the filter chain and the filter
// images (with /f, and as stage images in a preview) written into REPERTOIRE2
// for tuning.
#include <cstdio>

#include "batch/params.h"
#include "core/blit.h"
#include "core/support.h"
#include "stages/filters.h"
#include "stages/rotation.h"
#include "stages/stage_images.h"

namespace {

// Filter k (1 to 5) shows as "nivelo_filtre<k>.tga" with /f and as stage
// image k + 3 in a preview.
struct FilterImages {
    int files;  // /f
    bool Wanted(int k) const { return files || StageImageWanted(k + 3); }
};

void SaveFilterImage(const FilterImages& show, int k, const BITMAP* image)
{
    if (show.files) {
        char name[32];
        std::snprintf(name, sizeof name, "nivelo_filtre%d.tga", k);
        SaveInRepertoire2(name, image);
    }
    SaveStageImage(k + 3, image);
}

// Shows a copy of the working copy in which the small marker values are
// visible greys.  When the copy cannot be made the image is skipped: the
// angle does not depend on it.
void SaveMappedFilterImage(const FilterImages& show, int k, const BITMAP* grey, const uint8_t map[256])
{
    BITMAP shown;
    if (!BITMAP_Create(&shown, grey->width, grey->height, PIXEL_GREY)) return;
    size_t count = size_t(grey->width) * grey->height;
    for (size_t i = 0; i < count; i++) shown.pixels[i] = map[grey->pixels[i]];
    SaveFilterImage(show, k, &shown);
    BITMAP_Free(&shown);
}

void IdentityMap(uint8_t map[256])
{
    for (int i = 0; i < 256; i++) map[i] = uint8_t(i);
}

}  // namespace

int DetectSkewAngle(const BITMAP* page, double* angle, int* measured)
{
    BITMAP grey;
    if (!BITMAP_Create(&grey, page->width, page->height, PIXEL_GREY)) return 0;
    BITMAP_Blt(page, &grey, 0, 0);
    FilterImages show = {g_command.flag_f};
    uint8_t map[256];

    VerticalStepFilter(&grey);
    if (show.Wanted(1)) SaveFilterImage(show, 1, &grey);
    RunFilter(&grey);
    if (show.Wanted(2)) SaveFilterImage(show, 2, &grey);
    GapBridgeFilter(&grey);
    if (show.Wanted(3)) {
        IdentityMap(map);
        map[1] = 128;  // bridges
        SaveMappedFilterImage(show, 3, &grey, map);
    }
    LowerBorderFilter(&grey);
    if (show.Wanted(4)) SaveFilterImage(show, 4, &grey);
    *angle = LineAngleFilter(&grey, show.Wanted(5), measured);
    if (show.Wanted(5)) {
        IdentityMap(map);
        map[1] = 128;  // traced, not counted
        map[2] = 255;  // counted
        SaveMappedFilterImage(show, 5, &grey, map);
    }
    BITMAP_Free(&grey);
    return 1;
}
