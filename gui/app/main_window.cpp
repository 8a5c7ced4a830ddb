// Main window procedure and message loop.
#include "gui/app/main_window.h"

#include "gui/commands/conversion.h"
#include "gui/commands/menu_commands.h"
#include "gui/views/display.h"
#include "gui/views/scroll.h"

int CreateMainWindow(App& app, const PlatformRect* rect, const MenuResource* menu)
{
    if (!PlatformCreateMainWindow(rect, menu, MainWindowProc, &app)) return 0;
    PlatformSetTimer(0, 20);
    return 1;
}

long MainWindowProc(void* context, int message, uint32_t wparam)
{
    App& app = *static_cast<App*>(context);
    switch (message) {
    case MSG_DESTROY:
        if (ConfirmQuit(app)) ReleaseDisplay(app.display);
        break;
    case MSG_SIZE:
        app.session.client_width = int(wparam & 0xFFFF);
        app.session.client_height = int(wparam >> 16);
        ResizeViews(app.display, app.session.client_width, app.session.client_height);
        break;
    case MSG_PAINT:
    case MSG_ACTIVATEAPP:
        PresentDisplay(app.display);
        break;
    case MSG_COMMAND:
        OnMenuCommand(app, int(wparam & 0xFFFF));
        break;
    case MSG_TIMER:
        if (wparam == 0) app.display.frame_flag = 1;
        ReapFolderViewers(app);
        break;
    case MSG_HSCROLL:
    case MSG_VSCROLL:
        OnScroll(app.display, message, wparam);
        break;
    default:
        break;
    }
    return 0;
}

int PumpMessages(App& app)
{
    app.display.frame_flag = 0;
    for (;;) {
        if (PlatformQuitPosted()) return 0;
        if (app.display.frame_flag) return 1;
        PlatformWaitEvents();
    }
}
