// TIFF reader (first image, strips) and black-and-white TIFF writer.
#pragma once

#include "core/bitmap.h"

// Reads the first image of a TIFF file into record; 1, or 0 with the record
// empty.  A file that is not TIFF gives 0 without a message.
int LoadTIFF(const char* name, BITMAP* record);

// Writes a grey image as an uncompressed 1-bit TIFF (value > 127 is white),
// marked 300 dots per inch.
int SaveTIFF(const char* name, const BITMAP* image);
// The same, marked with the scan's resolution (a value of 0 or less: 300).
int SaveTIFFAt(const char* name, const BITMAP* image, double x_dpi, double y_dpi);
