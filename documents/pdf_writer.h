// A PDF written front to back, one page at a time: each page's image, its
// drawing and its page object go out as soon as the page is read, and only
// their offsets are kept for the cross-reference table at the end, so the
// memory held does not grow with the page count.  The file is written under
// a temporary name (core/output_file) and appears under its own name only
// once complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/support.h"
#include "documents/page_image.h"

struct PdfWriter {
    OutputFile out;
    uint64_t offset;                 // bytes written so far
    std::vector<uint64_t> offsets;   // of each object by number; [0] unused
    uint32_t pages;
};

// Opens the file and writes the header, the catalogue and the document's
// information (title when not null, producer, creation date).
int BeginPdf(PdfWriter* pdf, const char* path, const char* title);
// One page, the image drawn over the whole of it: its size in points is its
// size in pixels / dots per inch × 72.  Takes the page's data, releasing its
// pixels as it compresses them.  `name` is the page file's, for messages.
int AddPdfPage(PdfWriter* pdf, const char* name, PageImage* page);
// The page tree, cross-reference table and trailer; then the rename.
int FinishPdf(PdfWriter* pdf);
// Removes the temporary file.
void AbandonPdf(PdfWriter* pdf);

// The PDF text string for `text` (UTF-8; a byte that is not part of a valid
// sequence stands for U+FFFD): a literal string when all of it is printable
// ASCII, else UTF-16BE with its byte-order mark, in hexadecimal.
std::string PdfTextString(const char* text);
// A length in points, to four decimals at most, without trailing zeros.
std::string PdfNumber(double value);
