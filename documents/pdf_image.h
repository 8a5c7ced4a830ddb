// One image XObject of a PDF page into a page record, by the coding of its
// stream: DCT to the JPEG reader, CCITT fax to libtiff, the other standard
// filters decoded by qpdf and their samples converted.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "core/bitmap.h"
#include "documents/carry_over.h"

// Reads the image into record (sides as stored, not yet turned).  label
// names the file and page in messages; orientation (of the turn that will
// follow) counts in the memory asked of the machine.  1, or 0 after one
// message.  qpdf may throw; the caller catches.
int ReadPdfImage(QPDF& pdf, QPDFObjectHandle image, const char* label, unsigned orientation, BITMAP* record);

// The image's coded stream, all filters before its coding undone, when its
// coding is the kind wanted: DCT for CODED_JPEG, CCITT G4 whose rows do not
// start on bytes for CODED_G4 (a TIFF cannot say they do).  Silent; 0
// otherwise.
int TakeCodedStream(QPDF& pdf, QPDFObjectHandle image, CodedKind wanted, CodedPage* coded);
