// Main window procedure, message loop and display surface.
#include "gui/app/main_window.h"

#include "gui/commands/conversion.h"
#include "gui/views/display.h"
#include "gui/commands/session.h"

namespace {

CommandHandler g_command_handler = nullptr;
ScrollHandler g_scroll_handler = nullptr;

}  // namespace

int CreateMainWindow(const PlatformRect* rect, const MenuResource* menu, CommandHandler command,
                     ScrollHandler scroll)
{
    g_command_handler = command;
    g_scroll_handler = scroll;
    if (!PlatformCreateMainWindow(rect, menu, MainWindowProc)) return 0;
    PlatformSetTimer(0, 20);
    return 1;
}

long MainWindowProc(int message, uint32_t wparam)
{
    switch (message) {
    case MSG_DESTROY:
        if (ConfirmQuit()) ReleaseDisplay();
        break;
    case MSG_SIZE:
        ResizeViews(int(wparam & 0xFFFF), int(wparam >> 16));
        break;
    case MSG_PAINT:
    case MSG_ACTIVATEAPP:
        PresentDisplay();
        break;
    case MSG_COMMAND:
        if (g_command_handler != nullptr) g_command_handler(int(wparam & 0xFFFF));
        break;
    case MSG_TIMER:
        if (wparam == 0) g_display.frame_flag = 1;
        ReapFolderViewers();
        break;
    case MSG_HSCROLL:
    case MSG_VSCROLL:
        if (g_scroll_handler != nullptr) g_scroll_handler(message, wparam);
        break;
    default:
        break;
    }
    return 0;
}

int CreateDisplaySurface(int width, int height)
{
    // A surface made before (a second start in one process) is replaced.
    PlatformReleaseSurface(&g_display.surface);
    return PlatformCreateSurface(width, height, &g_display.surface);
}

void PresentDisplay()
{
    PlatformPresentSurface(&g_display.surface);
    // The views' drawing area lies under the left strip: without this the
    // chooser, the panel and the update bar vanish behind the surface's grey.
    PlatformRedrawDialogs();
}

void ReleaseDisplay()
{
    PlatformReleaseSurface(&g_display.surface);
    PlatformPostQuit(0);
}

int PumpMessages()
{
    g_display.frame_flag = 0;
    for (;;) {
        if (PlatformQuitPosted()) return 0;
        if (g_display.frame_flag) return 1;
        PlatformWaitEvents();
    }
}
