// The rows of the direct PNG reader: its zlib stream inflated into the
// page's buffer and the filters undone there.
//
// rows has exactly (width x channels + 1) x height bytes, each row to come
// after its filter code; on READ the first width x channels x height hold
// the finished page (UnfilterRowsInPlace's layout).  DECLINED, in silence,
// for a stream that does not inflate to exactly those bytes with its
// Adler-32 right, or a filter code PNG does not define.  FAILED after
// "Not enough memory".
//
// Inflating is one chain through the stream, and undoing the filters one
// chain down the rows, so with a second thread the two run side by side:
// ISA-L inflates slice after slice on a thread of its own while this one
// undoes the filters of the rows already there.  The rows are the same
// bytes either way.
#pragma once

#include <cstdint>

#include "formats/png_direct.h"

PngDirectResult InflateRows(const uint8_t* stream, uint64_t stream_bytes, uint8_t* rows, uint32_t width,
                            uint32_t height, unsigned channels);
