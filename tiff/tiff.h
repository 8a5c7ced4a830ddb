// TIFF reader (first image, strips) and black-and-white TIFF writer.
#pragma once

#include "core/bitmap.h"

// Reads the first image of a TIFF file into record; 1, or 0 with the record
// empty.  A file that is not TIFF gives 0 without a message.
int LoadTIFF(const char* name, BITMAP* record);

// Writes a grey image as an uncompressed 1-bit TIFF (value > 127 is white).
int SaveTIFF(const char* name, const BITMAP* image);
