// Prints what the orientation step sees on each page named: the turn it
// decides (or "-" when unsure) and the evidence, one line a page.  Used by
// bench/orientation.py to measure the step on real pages in four
// orientations.
//
//   orientation_probe <page.tif|page.tga>...
#include <cinttypes>
#include <cstdio>

#include "core/blit.h"
#include "core/support.h"
#include "stages/orientation.h"
#include "tga/tga.h"
#include "tiff/tiff.h"

namespace {

int Probe(const char* name)
{
    BITMAP* page = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    if (page == nullptr) return 0;
    OrientationResult found;
    int ok = (LoadTIFF(name, page) == 1 || LoadTGA(name, page) == 1) &&
             (page->type != PIXEL_INDEXED || BITMAP_Convert(&page, PIXEL_GREY)) && BITMAP_Convert(&page, PIXEL_BGR) &&
             FindOrientation(page, &found);
    if (ok) {
        const OrientationEvidence& e = found.evidence;
        std::printf("%s %s%d contrast %" PRId64 " sharp %" PRId64 " %" PRId64 " rows %" PRId64 " %" PRId64
                    " columns %" PRId64 " %" PRId64 "\n",
                    name, found.decided ? "" : "-", found.turn, e.contrast, e.row_sharpness, e.column_sharpness,
                    e.row_before, e.row_after, e.column_before, e.column_after);
    }
    BITMAP_Free(page);
    FreeMemory(&page);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    int status = 0;
    for (int i = 1; i < argc; i++)
        if (!Probe(argv[i])) status = 1;
    return status;
}
