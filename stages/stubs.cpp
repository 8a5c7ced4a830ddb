// Placeholders until the correction stages land.
#include "stages/background.h"
#include "stages/blur.h"
#include "stages/rotation.h"

void GetBackgroundColour(const BITMAP*, uint8_t colour[3]) { colour[0] = colour[1] = colour[2] = 0; }
int CropStage(BITMAP**, const uint8_t*) { return 1; }
int BlurStage(BITMAP**) { return 1; }
int RotationStage(BITMAP**, const uint8_t*) { return 1; }
