// Background colour of the scan and crop to content.
#pragma once

#include <cstdint>

#include "core/bitmap.h"

// Averages the side chosen by COTE_FOND into colour (pixel byte order).
void GetBackgroundColour(const BITMAP* image, uint8_t colour[3]);

int32_t FindTopEdge(const BITMAP* image, const uint8_t colour[3]);
int32_t FindBottomEdge(const BITMAP* image, const uint8_t colour[3]);
int32_t FindLeftEdge(const BITMAP* image, const uint8_t colour[3]);
int32_t FindRightEdge(const BITMAP* image, const uint8_t colour[3]);

// Replaces *slot by the inclusive rectangle; 1, or 0 with *slot unchanged.
int BITMAP_Cut(BITMAP** slot, int32_t left, int32_t top, int32_t right, int32_t bottom);

// Crops the sides of COTE_RECADRAGE to content; 1, or 0 with *slot unchanged.
int CropStage(BITMAP** slot, const uint8_t colour[3]);
