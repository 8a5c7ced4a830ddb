// Which pixels of a page are ink, for the precise skew search: Otsu's cut
// on the page evened for uneven light (see ink_cut.cpp).
#pragma once

#include <cstdint>

#include "core/bitmap.h"

// Pixels are judged by b + g + r (0 ... 765).
struct InkCut {
    int64_t contrast = 0;   // distance between the means of ink and paper, before evening
    int64_t threshold = 0;  // ink: evened sums at or below it
    // The paper's level, the sum below which four fifths of the pixels lie:
    // the page's, and each tile's of `tile` x `tile` pixels, `across` tiles
    // a row of tiles and `down` rows of them.
    int64_t paper = 0;
    int64_t tile = 0, across = 0, down = 0;
    int64_t* levels = nullptr;
};

// Reads one pixel in eight of the page.  Returns 1, or 0 after
// "Not enough memory\n".
int MakeInkCut(const BITMAP* page, InkCut* cut);
void FreeInkCut(InkCut* cut);

// Counts ink pixels in cells of `reduction` pixels of one row (the last
// partial cell is left out) into counts, width cells a row, for rows
// first ... end - 1.  `dark` holds one pixel row's flags.
void CountInk(const BITMAP* page, const InkCut& cut, int64_t reduction, uint16_t* counts, int64_t width,
              int64_t first, int64_t end, uint8_t* dark);

// Marks in dark[0 ... width - 1] whether each pixel of row y is ink, judged
// exactly as CountInk judges it.
void MarkInkRow(const BITMAP* page, const InkCut& cut, int64_t y, uint8_t* dark);
