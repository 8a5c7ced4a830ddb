// Truevision TGA reader and writer, the working file format of nivelo.
#pragma once

#include "core/bitmap.h"

// Reads a colour-mapped (type 1), true-colour (type 4) or grey (type 2) TGA
// file, plain or run-length encoded.  Returns 1, or 0 with a message printed
// and the record empty.
int LoadTGA(const char* name, BITMAP* record);

// Writes an image of type 1, 2 or 4 as an uncompressed top-down TGA file.
// Returns 1, or 0 with a message printed.
int SaveTGA(const char* name, const BITMAP* image);
