// LoadPage on arbitrary bytes: the choice of reader by content, and a page
// chosen by the last byte, so that later TIFF directories are reached too.
#include "core/bitmap.h"
#include "formats/formats.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CapMemory();
    BITMAP image;
    ImageFacts facts;
    uint32_t page = size > 0 ? data[size - 1] % 4 : 0;
    if (LoadPage(fuzz::ScratchFile(data, size), page, &image, &facts)) BITMAP_Free(&image);
    return 0;
}
