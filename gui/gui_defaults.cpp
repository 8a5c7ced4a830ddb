#include "gui/gui_defaults.h"

#include "gui/display.h"

void SetGuiDefaults()
{
    SetDisplayDefaults();
}
