// LoadPNG on arbitrary bytes, and its two readers against each other: a
// file the direct reader takes must be one libpng takes, with the same
// page and resolution, or the target aborts.
#include <cstdlib>
#include <cstring>

#include "core/bitmap.h"
#include "formats/png_direct.h"
#include "formats/readers.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CapMemory();
    const char* name = fuzz::ScratchFile(data, size);
    BITMAP image, twin;
    ImageFacts facts, twin_facts;
    if (LoadPngDirect(name, &image, &facts) == PNG_DIRECT_READ) {
        if (!LoadPngLibrary(name, &twin, &twin_facts) || twin.width != image.width || twin.height != image.height ||
            twin.type != image.type || twin_facts.x_dpi != facts.x_dpi ||
            std::memcmp(twin.pixels, image.pixels, BITMAP_ByteSize(image.width, image.height, image.type)) != 0)
            std::abort();
        BITMAP_Free(&twin);
        BITMAP_Free(&image);
    }
    if (LoadPNG(name, &image, &facts)) BITMAP_Free(&image);
    return 0;
}
