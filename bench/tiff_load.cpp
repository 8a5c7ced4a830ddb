// Reads a TIFF file with LoadTIFF and nothing else, so that a whole process
// can be timed against libtiff's own tools on the same file.
//
//   tiff_load <file.tif>
#include <cstdio>

#include "core/bitmap.h"
#include "tiff/tiff.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tiff_load <file.tif>\n");
        return 2;
    }
    BITMAP image;
    if (LoadTIFF(argv[1], &image) != 1) return 1;
    BITMAP_Free(&image);
    return 0;
}
