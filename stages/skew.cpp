// Skew detection: the grey working copy, the filter chain, and the filter
// images handed to the caller for people to look at.
#include "core/blit.h"
#include "core/support.h"
#include "stages/filters.h"
#include "stages/rotation.h"

namespace {

bool Wanted(const FilterImageSink& show, int k) { return show.wanted && show.save && show.wanted(k); }

// Shows a copy of the working copy in which the small marker values are
// visible greys.  When the copy cannot be made the image is skipped: the
// angle does not depend on it.
void SaveMappedFilterImage(const FilterImageSink& show, int k, const BITMAP* grey, const uint8_t map[256])
{
    BITMAP shown;
    if (!BITMAP_Create(&shown, grey->width, grey->height, PIXEL_GREY)) return;
    size_t count = size_t(grey->width) * grey->height;
    for (size_t i = 0; i < count; i++) shown.pixels[i] = map[grey->pixels[i]];
    show.save(k, &shown);
    BITMAP_Free(&shown);
}

void IdentityMap(uint8_t map[256])
{
    for (int i = 0; i < 256; i++) map[i] = uint8_t(i);
}

}  // namespace

int DetectSkewAngle(const BITMAP* page, double* angle, const ParameterSet& params, const FilterImageSink& show, int* measured)
{
    BITMAP grey;
    if (!BITMAP_Create(&grey, page->width, page->height, PIXEL_GREY)) return 0;
    BITMAP_Blt(page, &grey, 0, 0);
    uint8_t map[256];

    VerticalStepFilter(&grey, params);
    if (Wanted(show, 1)) show.save(1, &grey);
    RunFilter(&grey, params);
    if (Wanted(show, 2)) show.save(2, &grey);
    GapBridgeFilter(&grey, params);
    if (Wanted(show, 3)) {
        IdentityMap(map);
        map[1] = 128;  // bridges
        SaveMappedFilterImage(show, 3, &grey, map);
    }
    LowerBorderFilter(&grey);
    if (Wanted(show, 4)) show.save(4, &grey);
    *angle = LineAngleFilter(&grey, Wanted(show, 5), params, measured);
    if (Wanted(show, 5)) {
        IdentityMap(map);
        map[1] = 128;  // traced, not counted
        map[2] = 255;  // counted
        SaveMappedFilterImage(show, 5, &grey, map);
    }
    BITMAP_Free(&grey);
    return 1;
}
