#include "gui/commands/resources.h"

namespace {

const MenuEntry kMainMenuEntries[] = {
    {MENU_POPUP, 0, "Fichier", 0, 0},
    {MENU_ITEM, ID_LOAD_IMAGE, "Charger Image...", 0, SHORTCUT_CTRL + 'o'},
    {MENU_ITEM, ID_UPDATE_VIEWS, "Mettre à jour", 0, SHORTCUT_F5},
    {MENU_SEPARATOR, 0, nullptr, 0, 0},
    {MENU_ITEM, ID_LOAD_CONFIG, "Charger Config...", 0, 0},
    {MENU_ITEM, ID_SAVE_CONFIG, "Sauver Config...", 0, SHORTCUT_CTRL + 's'},
    {MENU_SEPARATOR, 0, nullptr, 0, 0},
    {MENU_ITEM, ID_CONVERT, "Convertir...", 0, 0},
    {MENU_SEPARATOR, 0, nullptr, 0, 0},
    {MENU_ITEM, ID_QUIT, "Quitter", 0, SHORTCUT_CTRL + 'q'},
    {MENU_POPUP, 0, "Zoom", 0, 0},
    {MENU_ITEM, ID_ZOOM_IN, "Zoom avant", 0, SHORTCUT_CTRL + '+'},
    {MENU_ITEM, ID_ZOOM_OUT, "Zoom arrière", 0, SHORTCUT_CTRL + '-'},
    {MENU_SEPARATOR, 0, nullptr, 0, 0},
    {MENU_ITEM, ID_ZOOM_100, "100%", 0, 0},
    {MENU_ITEM, ID_ZOOM_50, "50%", 0, 0},
    {MENU_ITEM, ID_ZOOM_FULL_PAGE, "Pleine page", MENU_CHECKED, 0},
    {MENU_POPUP, 0, "Aide", MENU_RIGHT_ALIGNED, 0},
    {MENU_ITEM, ID_ABOUT, "A propos...", 0, 0},
};

}  // namespace

const MenuResource g_main_menu = {ID_MENU_MAIN, kMainMenuEntries,
                                  int(sizeof kMainMenuEntries / sizeof kMainMenuEntries[0])};
