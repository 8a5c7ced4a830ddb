// Resource tables of nivelo_gui: the main menu (resource 101) and its ids.
#pragma once

#include "gui/platform/platform.h"

enum MenuIds {
    ID_MENU_MAIN = 101,
    ID_LOAD_IMAGE = 40002,
    ID_LOAD_CONFIG = 40004,
    ID_SAVE_CONFIG = 40005,
    ID_CONVERT = 40006,
    ID_QUIT = 40007,
    ID_ZOOM_100 = 40008,
    ID_ZOOM_50 = 40009,
    ID_ZOOM_FULL_PAGE = 40010,
    ID_ABOUT = 40012,
    ID_UPDATE_VIEWS = 40013,
    ID_ZOOM_IN = 40014,
    ID_ZOOM_OUT = 40015,
};

extern const MenuResource g_main_menu;
