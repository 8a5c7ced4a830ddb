// The PNG most scans are, read without libpng: 8-bit grey or RGB, not
// interlaced, no transparency.  The zlib stream is inflated into the
// page's own buffer and the rows are unfiltered there, forward in
// memory, so no second page-sized buffer is made.  The bytes are the very
// ones libpng gives (LoadPngLibrary, its plain twin, reached by LoadPNG when
// NIVELO_PLAIN=1) on every file both read.
//
// Anything else is declined in silence and left to libpng: other kinds,
// chunks out of the usual order, a CRC or Adler-32 that does not match, a
// stream that does not inflate to exactly the page, a filter code PNG does
// not define.  libpng then reads the file from the start, and its verdict on
// a damaged file is the one printed, so both paths refuse with one message.
#pragma once

#include "core/bitmap.h"
#include "core/image_facts.h"

enum PngDirectResult {
    PNG_DIRECT_DECLINED,  // silent, record empty: libpng's turn
    PNG_DIRECT_READ,      // the page is in record, its resolution in facts
    PNG_DIRECT_FAILED,    // after one message (unreadable file, memory), record empty
};

// record is initialised empty and facts cleared first.
PngDirectResult LoadPngDirect(const char* name, BITMAP* record, ImageFacts* facts);

// LoadPNG through libpng only.
int LoadPngLibrary(const char* name, BITMAP* record, ImageFacts* facts);
