#include "tests/gui/platform_headless.h"

#include <algorithm>
#include <cstring>

#include "gui/previews/run_nivelo.h"

Headless g_headless;

namespace {

HeadlessControl* Find(const PlatformDialog* dialog, int id)
{
    if (dialog == nullptr || !dialog->alive || id <= 0) return nullptr;
    for (const HeadlessControl& c : dialog->controls)
        if (c.resource->id == id) return const_cast<HeadlessControl*>(&c);
    return nullptr;
}

// The control, or a blank one when the dialog lacks it: reads give nothing,
// writes are lost.
HeadlessControl& At(const PlatformDialog* dialog, int id)
{
    static HeadlessControl none;
    HeadlessControl* c = Find(dialog, id);
    return c != nullptr ? *c : (none = HeadlessControl{});
}

template <class T> bool Take(std::deque<T>& queue, T* answer)
{
    if (queue.empty()) return false;
    *answer = queue.front();
    queue.pop_front();
    return true;
}

// A user action on a control (a click, or the choice of a list's entry),
// then its notification.
void Act(int dialog_id, int id, int code, int index)
{
    PlatformDialog* d = HeadlessFindDialog(dialog_id);
    HeadlessControl* c = Find(d, id);
    if (c == nullptr || (g_headless.input_blocked && d->resource->style != DIALOG_POPUP)) return;
    if (code == NOTIFY_SELENDOK) c->selection = index;
    else c->checked ^= c->resource->kind == CONTROL_CHECK_BOX;
    d->procedure(d->context, d, MSG_COMMAND, id, code);
}

}  // namespace

void PlatformGetWorkArea(PlatformRect* area) { *area = {0, 0, 1280, 1024}; }
void PlatformGetMetrics(PlatformMetrics* metrics) { *metrics = {3, 19, 19, 17, 17}; }
int PlatformCreateMainWindow(const PlatformRect*, const MenuResource*, WindowProcedure procedure, void* context)
{
    g_headless.procedure = procedure, g_headless.context = context;
    return 1;
}
void PlatformSetWindowTitle(const char* title) { g_headless.title = title; }
void PlatformShowMainWindow() {}
void PlatformDestroyMainWindow() {}
void PlatformSetTimer(int, int) {}
void PlatformRedrawDialogs() { g_headless.dialogs_drawn = 1; }
void PlatformBlockInput(int blocked) { g_headless.input_blocked = blocked; }
void PlatformCheckMenuItem(int id, int checked) { g_headless.checked_zoom = checked ? id : g_headless.checked_zoom; }
void PlatformPostQuit(int) { g_headless.quit_posted = 1; }
int PlatformQuitPosted() { return g_headless.quit_posted; }
void PlatformShowDialogNow(PlatformDialog*) {}
void PlatformEnableControl(PlatformDialog*, int, int) {}
void PlatformSetControlTooltip(PlatformDialog*, int, const char*) {}
void PlatformMarkControl(PlatformDialog* dialog, int id, int refused) { At(dialog, id).marked = refused; }
int PlatformChooseColour(uint32_t, uint32_t*) { return 0; }
int PlatformChooseFolder(const char*, std::string* path) { return Take(g_headless.folder_answers, path); }
void PlatformKillProcess(long) { g_headless.running = 0, g_headless.kills++; }
int PlatformHasControl(const PlatformDialog* dialog, int id) { return Find(dialog, id) != nullptr; }
void PlatformSetControlText(PlatformDialog* dialog, int id, const char* text) { At(dialog, id).text = text; }
void PlatformSetCheck(PlatformDialog* dialog, int id, int checked) { At(dialog, id).checked = checked != 0; }
int PlatformGetCheck(const PlatformDialog* dialog, int id) { return At(dialog, id).checked; }
void PlatformAddListItem(PlatformDialog* dialog, int id, const char*) { At(dialog, id).items++; }
int PlatformGetListSelection(const PlatformDialog* dialog, int id) { return At(dialog, id).selection; }
void PlatformSetListSelection(PlatformDialog* dialog, int id, int index)
{
    HeadlessControl& c = At(dialog, id);
    c.selection = index < c.items ? index : -1;
}

void PlatformPresentSurface(const PlatformSurface* s)
{
    Headless& h = g_headless;
    h.presents++, h.dialogs_drawn = 0;
    h.width = s->width, h.height = s->height, h.pitch = s->pitch;
    h.presented.assign(s->pixels, s->pixels + size_t(s->pitch) * size_t(s->height));
}

void PlatformSetScrollBar(int bar, int maximum, int page, int position)
{
    int* b = g_headless.bars[bar == SCROLL_BAR_VERTICAL];
    b[0] = maximum, b[1] = page, b[2] = position;
}

void PlatformWaitEvents()
{
    std::function<void()> action;
    if (Take(g_headless.actions, &action)) action();
    else g_headless.running = 0;
    g_headless.procedure(g_headless.context, MSG_TIMER, 0);
}

PlatformDialog* PlatformCreateDialog(const DialogResource* resource, DialogProcedure procedure, void* context)
{
    g_headless.dialogs.push_back(std::make_unique<PlatformDialog>());  // kept: stale handles stay readable
    PlatformDialog* d = g_headless.dialogs.back().get();
    d->resource = resource;
    d->procedure = procedure, d->context = context;
    for (int i = 0; i < resource->count; ++i) {
        const ControlResource* r = &resource->controls[i];
        bool list = r->kind == CONTROL_COMBO || r->kind == CONTROL_LIST_BOX;
        d->controls.push_back({r, !list && r->text != nullptr ? r->text : "", 0, -1, 0, 0});
    }
    procedure(context, d, MSG_INITDIALOG, 0, 0);
    return d;
}

void PlatformDestroyDialog(PlatformDialog** dialog)
{
    if (*dialog != nullptr) (*dialog)->alive = 0, *dialog = nullptr;
}

void PlatformSetEditText(PlatformDialog* dialog, int id, const char* text)
{
    if (HeadlessControl* c = Find(dialog, id))
        c->text = text, dialog->procedure(dialog->context, dialog, MSG_COMMAND, id, NOTIFY_CHANGE);
}

size_t PlatformGetControlText(const PlatformDialog* dialog, int id, char* buffer, size_t size)
{
    const std::string& text = At(dialog, id).text;
    size_t length = std::min({text.find('\n'), text.size(), size - 1});
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

void PlatformMessageBox(int, const char*, const char* text) { g_headless.messages.push_back(text); }

int PlatformAskYesNo(const char*, const char* text)
{
    g_headless.messages.push_back(text);
    int yes = 0;
    return Take(g_headless.question_answers, &yes) && yes;
}

// The queued answer is the index of the button pressed.
int PlatformAskChoice(const char*, const char* text, const char* const*, int count, int, int cancel_button)
{
    g_headless.messages.push_back(text);
    int answer = cancel_button;
    return Take(g_headless.question_answers, &answer) && answer >= 0 && answer < count ? answer : cancel_button;
}

int PlatformFileDialog(int mode, const char*, const FileFilter*, int, int*, const char* directory, const char* name,
                       std::vector<std::string>* paths)
{
    g_headless.file_dialogs.push_back(std::string(directory) + "|" + name);
    if (!Take(g_headless.file_answers, paths)) return 0;
    if (mode != FILE_OPEN_MANY) paths->resize(1);
    return 1;
}

int PlatformStartProcess(const ProcessRequest* request, long* pid, int*)
{
    auto text = [](const char* t) { return std::string(t != nullptr ? t : ""); };
    HeadlessRun run{request->program, request->args, request->output_path, text(request->output_header),
                    text(request->working_directory), {}};
    if (PlatformDialog* wait = HeadlessFindDialog(DIALOG_WAIT))
        for (const HeadlessControl& c : wait->controls) run.popup_texts.push_back(c.text);
    g_headless.runs.push_back(run);
    g_headless.stand_in(run);
    *pid = long(g_headless.runs.size());
    return 1;
}

int PlatformProcessEnded(long, int* exit_status) { return *exit_status = g_headless.exit_status, !g_headless.running; }

void HeadlessReset() { g_headless = Headless(); }

PlatformDialog* HeadlessFindDialog(int dialog_id)
{
    for (auto it = g_headless.dialogs.rbegin(); it != g_headless.dialogs.rend(); ++it)
        if ((*it)->alive && (*it)->resource->id == dialog_id) return it->get();
    return nullptr;
}

HeadlessControl* HeadlessFind(int dialog_id, int control_id) { return Find(HeadlessFindDialog(dialog_id), control_id); }

void HeadlessMenu(int id)
{
    if (!g_headless.input_blocked) g_headless.procedure(g_headless.context, MSG_COMMAND, uint32_t(id));
}

void HeadlessClick(int dialog_id, int control_id) { Act(dialog_id, control_id, NOTIFY_CLICKED, 0); }
void HeadlessChoose(int dialog_id, int control_id, int index) { Act(dialog_id, control_id, NOTIFY_SELENDOK, index); }

uint32_t HeadlessPixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= g_headless.width || y >= g_headless.height) return 0xFFFFFFFFu;
    const uint8_t* p = &g_headless.presented[size_t(y) * size_t(g_headless.pitch) + size_t(x) * 3];
    return p[2] + 256u * p[1] + 65536u * p[0];
}
