// LoadTiffLibrary (the first page) on arbitrary bytes.
#include "core/bitmap.h"
#include "formats/readers.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CapMemory();
    BITMAP image;
    ImageFacts facts;
    if (LoadTiffLibrary(fuzz::ScratchFile(data, size), 0, &image, &facts)) BITMAP_Free(&image);
    return 0;
}
