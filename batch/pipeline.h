// The body of nivelo: one image a run, through the fixed pipeline.
#pragma once

#include "core/bitmap.h"
#include "core/image_facts.h"

// Runs nivelo with its command line; the result is the exit status, always 0.
int RunNivelo(int argc, char** argv);

// Writes image into directory under the image's name (with "_p<n>" after
// it when /p chose a page) and the extension of FORMAT_SORTIE (".tif" with /b
// and TGA, ".tga" otherwise), marked with the scan's resolution from facts;
// grey or indexed sources and /b results are saved as a grey copy.
// Failures are reported by the writers.
void SaveStage(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts);

// SaveStage on a thread of its own, so that writing the intermediate result
// and waiting for the disk overlap the angle detection.  The image must stay
// unchanged until FinishSaveStage, which waits for the save (and does nothing
// when none is under way).  Where no thread can be had the save is made at once.
void StartSaveStage(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts);
void FinishSaveStage();

// Builds directory + image name with the extension replaced or appended.
// Returns 0, with a message, when the name does not fit 255 characters.
int BuildOutputName(const char* directory, const char* image_name, const char* extension, char* out);

// The image name with "_p<page + 1>" before its extension ("scan.tif", page
// 2: "scan_p3.tif").  Returns 0, with a message, when it does not fit 255
// characters.
int PageTaggedName(const char* image_name, uint32_t page, char* out);
