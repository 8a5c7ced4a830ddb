// Tooltips with each value's useful range, and the range nivelo accepts.
#pragma once

#include "gui/platform/platform.h"

void SetPanelTooltips(PlatformDialog* dialog);
