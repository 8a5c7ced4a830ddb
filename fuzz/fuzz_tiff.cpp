// LoadTIFF on arbitrary bytes.
#include "core/bitmap.h"
#include "fuzz/fuzz_support.h"
#include "tiff/tiff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CapMemory();
    BITMAP image;
    if (LoadTIFF(fuzz::ScratchFile(data, size), &image)) BITMAP_Free(&image);
    return 0;
}
