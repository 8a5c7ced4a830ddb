#include "documents/load_document.h"

#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "documents/pdf_reader.h"
#include "formats/formats.h"
#include "formats/readers.h"

namespace {

// How far into a file a PDF header may start; readers accept some leading
// bytes (a mail header, a stray byte order mark) before it.
constexpr uint64_t kPdfHeaderWindow = 1024;
constexpr size_t kHeadBytes = kPdfHeaderWindow + 5;

// The kind of file: 1 PDF, 0 anything else, -1 after a message when the
// file cannot be opened.
int SniffPdf(const char* name, FileKind* kind)
{
    uint8_t head[kHeadBytes];
    size_t got = 0;
    if (!ReadFileHead(name, head, sizeof head, &got)) return -1;
    const char* other = nullptr;
    *kind = SniffKind(head, got, &other);
    return LooksLikePdf(head, got);
}

}  // namespace

int LooksLikePdf(const uint8_t* head, uint64_t size)
{
    const char* other = nullptr;
    FileKind kind = SniffKind(head, size, &other);
    if (kind == KIND_TIFF || kind == KIND_PNG || kind == KIND_JPEG) return 0;
    uint64_t last = size < kHeadBytes ? size : kHeadBytes;
    for (uint64_t at = 0; at + 5 <= last; at++)
        if (std::memcmp(head + at, "%PDF-", 5) == 0) return 1;
    return 0;
}

int LoadDocumentPage(const char* name, uint32_t page, BITMAP* record, ImageFacts* facts)
{
    BITMAP_Init(record, 0, 0, 0);
    ClearImageFacts(facts);
    FileKind kind = KIND_NONE;
    int pdf = SniffPdf(name, &kind);
    if (pdf < 0) return 0;
    if (pdf == 0) return LoadPage(name, page, record, facts);
    return LoadPdfPage(PdfSource{name, nullptr, 0}, page, record, facts);
}

int DocumentPageCount(const char* name, uint32_t* count)
{
    *count = 1;
    FileKind kind = KIND_NONE;
    int pdf = SniffPdf(name, &kind);
    if (pdf < 0) return 0;
    if (pdf == 1) return PdfPageCount(PdfSource{name, nullptr, 0}, count);
    if (kind == KIND_TIFF) return TiffPageCount(name, count);
    return 1;
}
