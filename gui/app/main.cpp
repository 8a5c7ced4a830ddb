// Entry point of nivelo_gui: `nivelo_gui [image]`.
#include "gui/app/app.h"

int main(int argc, char** argv)
{
    App app;
    if (!StartGui(app, argc, argv)) return 1;
    return RunGui(app);
}
