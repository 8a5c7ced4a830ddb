// A page of any document or image a user has: scanned PDF files here, every
// other file through the image readers (formats/formats.h), unchanged.
//
// A file is a PDF when "%PDF-" begins it or, as PDF readers allow, comes
// within its first 1024 bytes (some producers put a few bytes first), unless
// the file begins with the signature of an image format nivelo reads: an
// image whose metadata happens to quote "%PDF-" stays an image.
#pragma once

#include <cstdint>

#include "core/bitmap.h"
#include "core/image_facts.h"

// Reads page `page` (0 for the first) of the named file into record, with
// its resolution and the file's page count in facts.  Returns 1, or 0 after
// one message with the record empty.
int LoadDocumentPage(const char* name, uint32_t page, BITMAP* record, ImageFacts* facts);

// Pages of the named file: a PDF's page tree, a TIFF file's directories, 1
// for any other file (which LoadDocumentPage would read or refuse).  1, or
// 0 after one message when the file cannot be opened or is a PDF or TIFF
// file its library cannot follow.
int DocumentPageCount(const char* name, uint32_t* count);

// 1 when the first `size` bytes of a file make it a PDF for LoadDocumentPage.
int LooksLikePdf(const uint8_t* head, uint64_t size);
