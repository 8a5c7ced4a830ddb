// The two things nivelo wants from a JPEG's EXIF block (APP1 "Exif\0\0"
// followed by a TIFF structure): the orientation and the resolution of the
// first image directory.  Every offset is checked against the block before
// it is read; a malformed block gives what could be read, nothing more.
#pragma once

#include <cstddef>
#include <cstdint>

struct ExifFacts {
    unsigned orientation;  // 1 when absent
    double x_dpi, y_dpi;   // 0 when absent or meaningless
};

// data/size: the APP1 marker's content.  Returns 1 when it was an EXIF block.
int ParseExif(const uint8_t* data, size_t size, ExifFacts* facts);

// Dots per inch from a resolution value and a TIFF ResolutionUnit (2 inch,
// 3 centimetre; 1 or anything else says nothing of size): 0 unless the
// result is a plausible scan resolution.
double DotsPerInch(double value, unsigned unit);
