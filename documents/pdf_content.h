// What a PDF page draws, told from its content streams: the one image a
// scanned page is, or why the page is something else.
//
// The page's operators are followed, and those of the form XObjects it
// draws (scanners and OCR programs often wrap the scan in one).  State
// operators (q, Q, cm, colours, clipping, graphics states) draw nothing and
// are passed over.  Text drawn in render mode 3 is invisible (the text
// layer OCR programs lay over a scan) and is passed over too.  A path
// painted before the image is a background the image covers; one painted
// after it draws over the scan.
#pragma once

#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

struct PageDrawing {
    QPDFObjectHandle image;  // the last image XObject drawn
    unsigned images = 0;     // image XObjects drawn
    unsigned inline_images = 0;
    unsigned text = 0;       // visible text showing operators
    unsigned drawn_after = 0;  // paths or shadings painted after an image
    unsigned too_deep = 0;   // forms nested past what is followed
    unsigned too_big = 0;    // content past what a page may parse
    uint64_t parsed = 0;     // content bytes parsed so far
};

// Follows the page's contents into *found.  qpdf throws on content it
// cannot parse at all; the caller catches.
void FindPageDrawing(QPDFPageObjectHelper& page, PageDrawing* found);
