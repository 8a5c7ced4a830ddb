// Prints, for each page, the evidence the orientation step weighs and the
// turn it decides, one line a page, so that bench/orientation_wider.py
// can say which test stops an undecided page and by how much.
//
//   orient_evidence <file>...
#include <cstdio>

#include "core/bitmap.h"
#include "core/blit.h"
#include "core/support.h"
#include "formats/formats.h"
#include "stages/orientation.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: orient_evidence <file>...\n");
        return 2;
    }
    int failed = 0;
    for (int k = 1; k < argc; k++) {
        BITMAP* slot = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
        ImageFacts facts;
        if (slot == nullptr || LoadPage(argv[k], 0, slot, &facts) != 1) {
            FreeMemory(&slot);
            failed = 1;
            continue;
        }
        int converted = slot->type == PIXEL_BGR ||
                        (slot->type == PIXEL_INDEXED ? BITMAP_Convert(&slot, PIXEL_GREY) && BITMAP_Convert(&slot, PIXEL_BGR)
                                                    : BITMAP_Convert(&slot, PIXEL_BGR));
        OrientationResult r;
        if (!converted || !FindOrientation(slot, &r)) {
            BITMAP_Free(slot);
            FreeMemory(&slot);
            failed = 1;
            continue;
        }
        const OrientationEvidence& e = r.evidence;
        std::printf("%s %d %d %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld\n", argv[k],
                    r.decided, r.turn, (long long)e.contrast, (long long)e.row_sharpness, (long long)e.column_sharpness,
                    (long long)e.row_before, (long long)e.row_after, (long long)e.column_before,
                    (long long)e.column_after, (long long)e.row_runs, (long long)e.row_lone, (long long)e.column_runs,
                    (long long)e.column_lone, (long long)e.row_ink_lean, (long long)e.row_cores,
                    (long long)e.column_ink_lean, (long long)e.column_cores, (long long)e.row_height,
                    (long long)e.column_height, (long long)e.row_spread, (long long)e.column_spread);
        std::fflush(stdout);
        BITMAP_Free(slot);
        FreeMemory(&slot);
    }
    return failed;
}
