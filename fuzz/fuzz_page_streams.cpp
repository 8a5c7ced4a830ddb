// The JPEG frame and PNG layout scanners of nivelo-assemble on arbitrary
// bytes.  The PNG scanner rearranges its buffer, so it gets a copy.
#include <cstring>
#include <vector>

#include "documents/page_streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    JpegFrame frame;
    if (ScanJpeg(data, size, &frame)) (void)(JpegPassable(frame) + JpegFitsTiff(frame));
    std::vector<uint8_t> copy(data, data + size);
    PngLayout layout;
    if (ScanPng(copy.data(), copy.size(), &layout) && PngPassable(layout)) {
        // The gathered stream lies inside the buffer.
        if (layout.data_offset > size || layout.data_size > size - layout.data_offset) __builtin_trap();
    }
    return 0;
}
