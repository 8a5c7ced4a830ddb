// A PDF in memory: its page count, then each of its first pages.
#include "core/bitmap.h"
#include "documents/pdf_reader.h"
#include "fuzz/fuzz_support.h"

namespace {
// Enough pages to reach every kind a seed holds, few enough for speed.
constexpr uint32_t kMostPages = 8;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CapMemory();
    PdfSource source = {"fuzz.pdf", data, size};
    uint32_t count = 0;
    if (!PdfPageCount(source, &count)) return 0;
    for (uint32_t page = 0; page < count && page < kMostPages; page++) {
        BITMAP image;
        ImageFacts facts;
        if (LoadPdfPage(source, page, &image, &facts)) BITMAP_Free(&image);
    }
    return 0;
}
