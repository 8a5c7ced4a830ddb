// One image XObject of a PDF page into a page record, by the coding of its
// stream: DCT to the JPEG reader, CCITT fax to libtiff, the other standard
// filters decoded by qpdf and their samples converted.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "core/bitmap.h"

// Reads the image into record (sides as stored, not yet turned).  label
// names the file and page in messages; orientation (of the turn that will
// follow) counts in the memory asked of the machine.  1, or 0 after one
// message.  qpdf may throw; the caller catches.
int ReadPdfImage(QPDF& pdf, QPDFObjectHandle image, const char* label, unsigned orientation, BITMAP* record);
