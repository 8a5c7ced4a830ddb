#include "gui/menu_commands.h"

#include "gui/display.h"
#include "gui/main_window.h"
#include "gui/resources.h"

void OnMenuCommand(int id)
{
    switch (id) {
    case ID_QUIT:
        ReleaseDisplay();
        break;
    case ID_ZOOM_100:
        SetZoomMode(ZOOM_100);
        break;
    case ID_ZOOM_50:
        SetZoomMode(ZOOM_50);
        break;
    case ID_ZOOM_FULL_PAGE:
        SetZoomMode(ZOOM_FULL_PAGE);
        break;
    default:
        break;
    }
}
