// Results that keep their source's own coded stream.
//
// A JPEG page or a G4 page that no stage changed would lose quality (JPEG)
// or grow (G4 coded again by another coder) for nothing if it were coded
// again.  The source's stream is kept aside when the page is loaded; at the
// save it is decoded afresh and compared with the final page, pixel for
// pixel, when the sides agree.  Only a stream that gives back exactly the
// final page is written in place of the result, so that the result shows
// what any other result would show.
#pragma once

#include <cstdint>
#include <string>

#include "core/bitmap.h"
#include "core/image_facts.h"

enum CodedKind : uint8_t {
    CODED_NONE,
    CODED_JPEG,  // a whole JPEG file
    CODED_G4,    // a CCITT G4 stream
};

struct CodedPage {
    CodedKind kind = CODED_NONE;
    std::string bytes;
    uint32_t width = 0, height = 0;  // of a G4 stream
    uint16_t photometric = 0;        // of a G4 stream: 0 a 1 bit is black, 1 it is white
    bool from_pdf = false;           // a JPEG taken out of a PDF, whose own density is no resolution
};

// The coded stream of page `page` of the named file when it is of the kind
// wanted: a JPEG file; a G4 TIFF page of one strip; a PDF page drawn as one
// DCT image, or as one G4 image whose rows do not start on bytes.  Silent;
// 0 when there is none.
int FindCodedPage(const char* name, uint32_t page, CodedKind wanted, CodedPage* coded);

// 1 when the stream decodes to exactly the final image (working B, G, R, or
// grey), sides included.  Silent.  The decode's messages are held: call it
// where reports are printed, not inside HoldReports.
int CodedPageMatches(const CodedPage& coded, const BITMAP* image);

// Writes the stream as the named result: a JPEG as it is (one taken out of
// a PDF marked with the page's resolution), a G4 stream as a TIFF file of
// one strip with the resolution (300 dots per inch when the scan declared
// none, as the black-and-white writers mark it).  1, or 0 after one message
// with no file left behind.
int WriteCodedPage(const char* name, const CodedPage& coded, const ImageFacts& facts);
