#include "gui/settings/gui_params.h"

GuiParameterSet g_gui_params;
