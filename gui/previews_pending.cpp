// Placeholders until the preview runner lands: the update button and a
// stage switch show nothing new yet.
#include "gui/panels.h"

void RunUpdateCommand() {}
void RefreshPreviews() {}
