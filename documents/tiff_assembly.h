// A multi-page TIFF written one page at a time: each page is a directory
// with its own resolution, written and released before the next page is
// read.  Group 4 and JPEG pages keep their compressed data as they are;
// other black-and-white pages are encoded with Group 4, grey and colour with
// Deflate.  Written under a temporary name (core/output_file) like every
// result.
#pragma once

#include <tiffio.h>

#include "core/support.h"
#include "documents/page_image.h"

struct TiffAssembly {
    OutputFile out;
    TIFF* tif;
    uint32_t pages;
};

int BeginTiff(TiffAssembly* assembly, const char* path);
// `name` is the page file's, for messages.  Releases the page's pixels.
int AddTiffPage(TiffAssembly* assembly, const char* name, PageImage* page);
int FinishTiff(TiffAssembly* assembly);
void AbandonTiff(TiffAssembly* assembly);
