// Pages of scanned PDF files, through qpdf.
//
// A scanned page is one image drawn on the page (documents/pdf_content.h
// tells).  Its coded stream is taken out as it is and given to the reader
// of its coding: a DCT stream is a JPEG file for the JPEG reader, a CCITT
// fax stream becomes a one-strip TIFF for libtiff's fax decoder; other
// images (Flate, LZW, run-length, ASCII filters, with predictors) are
// decoded by qpdf and their samples converted by colour space
// (documents/pdf_samples.h).  JBIG2 and JPEG 2000 images are refused with
// a message that names their coding.
//
// The page's /Rotate (inherited from the page tree, quarter turns) is
// applied to the decoded image.  The resolution is the image's pixels over
// the page's size (its CropBox, else its MediaBox) in inches, each axis;
// it turns with the page.
//
// Every qpdf exception ends at these functions as one message; qpdf's
// warnings (about repaired files, mostly) are kept quiet.
#pragma once

#include <cstdint>

#include "core/bitmap.h"
#include "core/image_facts.h"
#include "documents/carry_over.h"

// A PDF file by name, or its bytes in memory (data not null) with a name
// for the messages.
struct PdfSource {
    const char* name;
    const uint8_t* data;
    uint64_t size;
};

// Reads page `page` (0 for the first) into record; facts get its
// resolution and the page count.  1, or 0 after one message that names the
// file and the page, with the record empty.
int LoadPdfPage(const PdfSource& source, uint32_t page, BITMAP* record, ImageFacts* facts);

// The pages of the file's page tree.  1, or 0 after one message.
int PdfPageCount(const PdfSource& source, uint32_t* count);

// The coded stream of the page's one image when it is of the kind wanted
// and the page shows it upright (no /Rotate); silent, 0 otherwise.
int PdfCodedPage(const PdfSource& source, uint32_t page, CodedKind wanted, CodedPage* coded);
