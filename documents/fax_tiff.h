// A CCITT fax stream taken out of another file, wrapped in the smallest
// TIFF file that holds it: one page, one strip, the stream's bytes as they
// are.  libtiff then decodes it as it decodes any fax TIFF, and the same
// file is a G4 TIFF result that carries a page over without coding it again.
#pragma once

#include <cstdint>
#include <string>

struct FaxLayout {
    uint32_t width, height;
    uint16_t compression;  // TIFF's codes: 2 CCITT RLE (1D, no EOL), 3 G3, 4 G4
    uint32_t t4_options;   // with 3: 1 for 2D coding, 0 for 1D
    uint16_t photometric;  // 0 (a 1 bit is black) or 1 (a 1 bit is white)
};

// The TIFF file (little-endian, classic) into *out, marked with the
// resolution when both are above 0.  0 when the stream passes the 4 GB a
// classic TIFF can address.
int BuildFaxTiff(const FaxLayout& layout, const uint8_t* data, uint64_t size, double x_dpi, double y_dpi,
                 std::string* out);
