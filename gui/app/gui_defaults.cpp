#include "gui/app/gui_defaults.h"

#include "gui/views/display.h"
#include "gui/settings/gui_params.h"
#include "gui/commands/menu_commands.h"
#include "gui/panels/panels.h"

void SetGuiDefaults()
{
    SetDisplayDefaults();
    SetGuiParameterDefaults();
    SetPanelDefaults();
    SetFileCommandDefaults();
}
