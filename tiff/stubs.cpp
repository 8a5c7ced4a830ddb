// Placeholders until the TIFF codec lands: every file is "not TIFF".
#include <cstdio>

#include "core/support.h"
#include "tiff/tiff.h"

int LoadTIFF(const char* name, BITMAP* record)
{
    BITMAP_Init(record, 0, 0, 0);
    FILE* f = OpenFile(name, "rb");
    CloseFile(&f);
    return 0;
}

int SaveTIFF(const char*, const BITMAP*) { return 0; }
