#include "gui/gui_defaults.h"

#include "gui/display.h"
#include "gui/gui_params.h"
#include "gui/menu_commands.h"
#include "gui/panels.h"

void SetGuiDefaults()
{
    SetDisplayDefaults();
    SetGuiParameterDefaults();
    SetPanelDefaults();
    SetFileCommandDefaults();
}
