// What a reader learns about a page besides its pixels, carried to the
// writers: the scan's resolution and how many pages the file holds.
#pragma once

#include <cstdint>

struct ImageFacts {
    double x_dpi;         // dots per inch across; 0 when the file declares none
    double y_dpi;         // dots per inch down; 0 when the file declares none
    uint32_t page_count;  // pages in the file (1 for a single image)
};

inline void ClearImageFacts(ImageFacts* facts)
{
    facts->x_dpi = 0.0;
    facts->y_dpi = 0.0;
    facts->page_count = 1;
}
