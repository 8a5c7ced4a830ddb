// One page of the list: where it comes from, what is known of it, its
// thumbnail.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum PageStatus {
    PAGE_NOT_CONVERTED = 0,
    PAGE_CONVERTED = 1,
    PAGE_FAILED = 2,   // reason holds nivelo's messages
    PAGE_REFUSED = 3,  // cannot be read at all; reason says why; never run
};

enum ThumbnailState {
    THUMB_NONE = 0,    // not made yet
    THUMB_READY = 1,   // pixels hold it
    THUMB_FAILED = 2,  // the page could not be read
};

struct PageEntry {
    std::string path;         // full path of the file
    uint32_t page = 0;        // within the file, from 0
    uint32_t page_count = 1;  // pages in the file
    std::string name;         // shown: the file name, with " p. n" for a page of several
    int status = PAGE_NOT_CONVERTED;
    std::string reason;       // why refused or failed, lines ending with "\n"
    int angle_found = 0;
    double angle = 0.0;       // degrees, as nivelo printed it
    int selected = 0;
    int thumb_state = THUMB_NONE;
    int thumb_width = 0, thumb_height = 0;
    std::vector<uint8_t> thumb;  // B, G, R a pixel, rows top to bottom, no padding
};
