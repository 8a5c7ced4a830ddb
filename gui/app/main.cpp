// Entry point of nivelo_gui: `nivelo_gui [image]`.
#include "gui/app/main_window.h"

int main(int argc, char** argv)
{
    if (!StartGui(argc, argv)) return 1;
    return RunGui();
}
