// Refusing images the machine cannot hold.
//
// Linux promises memory it does not have, so a huge image declared by a small
// file would not fail at allocation but later, taking the machine down.  The
// readers therefore compare what a run will need for an image with the
// physical memory before they create it.
#pragma once

#include <cstdint>

// Bytes of physical memory; UINT64_MAX when unknown.  The environment
// variable NIVELO_MEMORY_LIMIT (a byte count) takes its place when set.
uint64_t PhysicalMemory();

// Bytes a run needs for a width x height image loaded as type: the loaded
// image, the working colour image and the stage's new image (3 bytes a pixel
// each), the grey working copy, plus extra (a reader's strip buffers).
uint64_t RunMemoryNeed(unsigned width, unsigned height, unsigned type, uint64_t extra);

// 1 when that need fits the physical memory; otherwise prints
// "Not enough memory\n" and returns 0.
int CheckImageBudget(unsigned width, unsigned height, unsigned type, uint64_t extra);
