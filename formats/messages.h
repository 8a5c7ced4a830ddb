// The French messages of the library-backed readers, one line each, naming
// the file.  Each prints and returns 0, so a reader can `return Refuse...`.
#pragma once

#include <cstdint>

// The library could not make sense of the file: what it said follows.
int RefuseDamaged(const char* name, const char* format, const char* library_said);
// A well-formed file of a kind nivelo does not handle.
int RefuseUnsupported(const char* name, const char* format, const char* what);
// Sides beyond what the image record holds, or an empty image.
int CheckPageSides(const char* name, uint64_t width, uint64_t height);
// The memory rule (core/memory_budget) for a page of the given type, with
// extra bytes of the reader's own; the message names the file.
int CheckPageBudget(const char* name, unsigned width, unsigned height, unsigned type, uint64_t extra);
// A file whose content is no image format nivelo reads.
int RefuseNotAnImage(const char* name, const char* other_format);

// The largest side the image record holds.
constexpr uint64_t kMostSide = 65535;
