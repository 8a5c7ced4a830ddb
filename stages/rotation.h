// Skew detection and rotation.
#pragma once

#include <cstdint>

#include "core/bitmap.h"

// Detects the skew angle of *slot (printing it) and turns the page by it,
// filling uncovered corners with colour; 1, or 0 with *slot unchanged.
int RotationStage(BITMAP** slot, const uint8_t colour[3]);
