// Images written into REPERTOIRE2 for people to look at: the filter images of
// /f and the stage images of a preview run (/d<mask>), which nivelo_gui reads
// back to show a stage before and after.
//
// Stage images, "save0.tga" to "save11.tga":
//   0 the page in the working type, before the first crop
//   1 after the first crop          2 after the blur
//   3 as the intermediate save writes it
//   4-8 the five skew filters' images, as /f writes them
//   9 after the rotation            10 after the second crop
//   11 as the final save writes it
#pragma once

#include "core/bitmap.h"
#include "stages/rotation.h"

// True when the run is a preview that asked for stage image k.
bool StageImageWanted(int k);

// Writes image as REPERTOIRE2 followed by name.  A path that does not fit 255
// characters, or that is the scan itself, is skipped with a message; a failed
// write is reported by the writer.  Either way the run goes on, and the
// image is counted as an unwritten result.
void SaveInRepertoire2(const char* name, const BITMAP* image);

// Writes stage image k when it was asked for.
void SaveStageImage(int k, const BITMAP* image);

// The filter images this run asks for: filter k as "nivelo_filtre<k>.tga"
// with /f, and as stage image k + 3 in a preview.
FilterImageSink FilterImagesOfRun();
