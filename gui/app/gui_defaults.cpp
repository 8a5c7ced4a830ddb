#include "gui/app/gui_defaults.h"

#include "gui/commands/menu_commands.h"
#include "gui/panels/panels.h"
#include "gui/settings/config_file.h"
#include "gui/views/display.h"

void SetGuiDefaults(App& app)
{
    SetDisplayDefaults(app.display);
    SetGuiParameterDefaults(app.params);
    SetPanelDefaults(app);
    SetFileCommandDefaults(app);
}
