#include "gui/resources.h"

namespace {

const MenuEntry kMainMenuEntries[] = {
    {MENU_POPUP, 0, "Fichier", 0},
    {MENU_ITEM, ID_LOAD_IMAGE, "Charger Image...", 0},
    {MENU_SEPARATOR, 0, nullptr, 0},
    {MENU_ITEM, ID_LOAD_CONFIG, "Charger Config...", 0},
    {MENU_ITEM, ID_SAVE_CONFIG, "Sauver Config...", 0},
    {MENU_SEPARATOR, 0, nullptr, 0},
    {MENU_ITEM, ID_CONVERT, "Convertir...", 0},
    {MENU_SEPARATOR, 0, nullptr, 0},
    {MENU_ITEM, ID_QUIT, "Quitter", 0},
    {MENU_POPUP, 0, "Zoom", 0},
    {MENU_ITEM, ID_ZOOM_100, "100%", 0},
    {MENU_ITEM, ID_ZOOM_50, "50%", 0},
    {MENU_ITEM, ID_ZOOM_FULL_PAGE, "Pleine page", MENU_CHECKED},
    {MENU_POPUP, 0, "Aide", MENU_RIGHT_ALIGNED},
    {MENU_ITEM, ID_ABOUT, "A propos...", 0},
};

}  // namespace

const MenuResource g_main_menu = {ID_MENU_MAIN, kMainMenuEntries,
                                  int(sizeof kMainMenuEntries / sizeof kMainMenuEntries[0])};
