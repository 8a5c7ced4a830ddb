// LoadPNG on arbitrary bytes, and its two readers against each other: on
// a file both take, the page and resolution must be the same, or the
// target aborts.  (A stream that only the direct reader's inflater lets
// through, its Adler-32 right, is read by that reader alone.)  The fuzzer's changes nearly
// always break a CRC, where both readers stop at once, so each input is
// also tried with its chunks' CRCs made right: what the chunks hold is
// then tested too.
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/bitmap.h"
#include "formats/png_direct.h"
#include "formats/readers.h"
#include "fuzz/fuzz_support.h"

namespace {

void CompareReaders(const char* name)
{
    BITMAP image, twin;
    ImageFacts facts, twin_facts;
    if (LoadPngDirect(name, &image, &facts) != PNG_DIRECT_READ) return;
    if (LoadPngLibrary(name, &twin, &twin_facts)) {
        if (twin.width != image.width || twin.height != image.height || twin.type != image.type ||
            twin_facts.x_dpi != facts.x_dpi || twin_facts.y_dpi != facts.y_dpi ||
            std::memcmp(twin.pixels, image.pixels, BITMAP_ByteSize(image.width, image.height, image.type)) != 0)
            std::abort();
        BITMAP_Free(&twin);
    }
    BITMAP_Free(&image);
}

std::vector<uint8_t> WithCrcsMended(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> b(data, data + size);
    for (size_t at = 8; b.size() >= 12 && at <= b.size() - 12;) {
        uint32_t length = uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
        if (length > b.size() - at - 12) break;
        uint32_t crc = uint32_t(crc32(0, &b[at + 4], uInt(length + 4)));
        for (int i = 0; i < 4; i++) b[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
        at += 12 + size_t(length);
    }
    return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CapMemory();
    const char* name = fuzz::ScratchFile(data, size);
    CompareReaders(name);
    BITMAP image;
    ImageFacts facts;
    if (LoadPNG(name, &image, &facts)) BITMAP_Free(&image);
    std::vector<uint8_t> mended = WithCrcsMended(data, size);
    CompareReaders(fuzz::ScratchFile(mended.data(), mended.size()));
    return 0;
}
