// Headless backend: keeps the window system's state in memory, records what
// the GUI asks for and lets a test play the user (platform_headless.h).
#include "tests/gui/platform_headless.h"

#include <cstring>
#include <deque>
#include <map>
#include <memory>

#include "core/support.h"
#include "gui/dialog_units.h"
#include "gui/process_posix.h"

struct HeadlessControl {
    const ControlResource* resource;
    std::string text;
    int checked = 0;
    int enabled = 1;
    std::vector<std::string> items;
    int selection = -1;
    std::string tooltip;
};

struct PlatformDialog {
    const DialogResource* resource;
    DialogProcedure procedure;
    std::vector<HeadlessControl> controls;
    int alive = 1;
    int drawn = 1;  // child dialogs: drawn over the surface since it was last presented
};

namespace {

struct FolderAnswer {
    int chosen;
    std::string path;
};
struct ColourAnswer {
    int chosen;
    uint32_t colour;
};

struct State {
    PlatformRect work_area = {0, 0, 1280, 1024};
    PlatformMetrics metrics = {3, 19, 19, 17, 17};
    int window_exists = 0;
    PlatformRect window_rect = {};
    std::string title;
    WindowProcedure procedure = nullptr;
    std::map<int, int> timers;
    int quit_posted = 0;
    HeadlessScrollBar bars[2] = {{0, 1, 0, 0}, {0, 1, 0, 0}};
    std::vector<MenuEntry> menu;
    std::map<int, int> checked;
    std::map<int, int> enabled;
    int present_count = 0;
    int presented_width = 0;
    int presented_height = 0;
    std::vector<uint8_t> presented;  // tightly packed B, G, R
    std::vector<std::unique_ptr<PlatformDialog>> dialogs;  // kept until reset, so stale handles stay readable
    int dialogs_created = 0;
    std::deque<std::function<void()>> actions;
    std::deque<std::vector<std::string>> file_answers;
    std::deque<ColourAnswer> colour_answers;
    std::deque<FolderAnswer> folder_answers;
    std::deque<int> question_answers;
    int input_blocked = 0;
    std::vector<HeadlessMessage> messages;
    std::vector<HeadlessFileDialogCall> file_dialogs;
    std::vector<HeadlessProcessRun> runs;
    int run_started = 1, run_status = 0, run_error = 0;
    int run_for_real = 0;
    std::function<void(const HeadlessProcessRun&)> stand_in;
};

State& HeadlessState()
{
    static State state;
    return state;
}

HeadlessControl* FindControl(const PlatformDialog* dialog, int id)
{
    if (dialog == nullptr || !dialog->alive || id == 0 || id == -1) return nullptr;
    for (const HeadlessControl& c : dialog->controls)
        if (c.resource->id == id) return const_cast<HeadlessControl*>(&c);
    return nullptr;
}

HeadlessControl* FindControlOf(int dialog_id, int id)
{
    return FindControl(HeadlessFindDialog(dialog_id), id);
}

void Notify(PlatformDialog* dialog, int id, int code)
{
    if (dialog->procedure != nullptr) dialog->procedure(dialog, MSG_COMMAND, id, code);
}

bool IsEdit(const HeadlessControl* c)
{
    return c->resource->kind == CONTROL_EDIT || c->resource->kind == CONTROL_NUMBER_EDIT;
}

// The user's actions on the main window and its child dialogs, refused while
// a run blocks them.
bool Accepts(const PlatformDialog* dialog)
{
    return !HeadlessState().input_blocked || (dialog != nullptr && dialog->resource->style == DIALOG_POPUP);
}

bool IsList(const HeadlessControl* c)
{
    return c->resource->kind == CONTROL_COMBO || c->resource->kind == CONTROL_LIST_BOX;
}

}  // namespace

// --- platform.h ----------------------------------------------------------

void PlatformGetWorkArea(PlatformRect* area) { *area = HeadlessState().work_area; }
void PlatformGetMetrics(PlatformMetrics* metrics) { *metrics = HeadlessState().metrics; }

void PlatformDialogBaseUnits(int* base_x, int* base_y)
{
    *base_x = kDialogBaseX;
    *base_y = kDialogBaseY;
}

int PlatformCreateMainWindow(const PlatformRect* rect, const MenuResource* menu, WindowProcedure procedure)
{
    State& s = HeadlessState();
    s.window_exists = 1;
    s.window_rect = *rect;
    s.procedure = procedure;
    s.menu.assign(menu->entries, menu->entries + menu->count);
    for (const MenuEntry& e : s.menu) {
        if (e.kind != MENU_ITEM) continue;
        s.checked[e.id] = (e.flags & MENU_CHECKED) != 0;
        s.enabled[e.id] = 1;
    }
    return 1;
}

void PlatformSetWindowTitle(const char* title) { HeadlessState().title = title; }
void PlatformShowMainWindow() {}

void PlatformDestroyMainWindow()
{
    State& s = HeadlessState();
    s.window_exists = 0;
    s.timers.clear();
    for (auto& d : s.dialogs) d->alive = 0;
}

void PlatformSetTimer(int id, int period_ms) { HeadlessState().timers[id] = period_ms; }

void PlatformPresentSurface(const PlatformSurface* surface)
{
    State& s = HeadlessState();
    if (surface->pixels == nullptr) return;
    s.present_count++;
    s.presented_width = surface->width;
    s.presented_height = surface->height;
    s.presented.resize(size_t(surface->width) * size_t(surface->height) * 3);
    for (int y = 0; y < surface->height; ++y)
        std::memcpy(s.presented.data() + size_t(y) * size_t(surface->width) * 3,
                    surface->pixels + size_t(y) * size_t(surface->pitch), size_t(surface->width) * 3);
    for (auto& d : s.dialogs)
        if (d->resource->style == DIALOG_CHILD) d->drawn = 0;
}

void PlatformRedrawDialogs()
{
    for (auto& d : HeadlessState().dialogs) d->drawn = 1;
}

void PlatformBlockInput(int blocked) { HeadlessState().input_blocked = blocked != 0; }

void PlatformSetScrollBar(int bar, int maximum, int page, int position)
{
    if (bar != SCROLL_BAR_HORIZONTAL && bar != SCROLL_BAR_VERTICAL) return;
    HeadlessScrollBar& b = HeadlessState().bars[bar];
    b.maximum = maximum;
    b.page = page;
    b.position = position;
    b.sets++;
}

void PlatformCheckMenuItem(int id, int checked) { HeadlessState().checked[id] = checked != 0; }
void PlatformEnableMenuItem(int id, int enabled) { HeadlessState().enabled[id] = enabled != 0; }

void PlatformWaitEvents()
{
    State& s = HeadlessState();
    if (!s.actions.empty()) {
        std::function<void()> action = std::move(s.actions.front());
        s.actions.pop_front();
        action();
    }
    if (s.procedure != nullptr)
        for (const auto& timer : s.timers) s.procedure(MSG_TIMER, uint32_t(timer.first));
}

void PlatformPostQuit(int) { HeadlessState().quit_posted = 1; }
int PlatformQuitPosted() { return HeadlessState().quit_posted; }

PlatformDialog* PlatformCreateDialog(const DialogResource* resource, DialogProcedure procedure)
{
    State& s = HeadlessState();
    auto dialog = std::make_unique<PlatformDialog>();
    dialog->resource = resource;
    dialog->procedure = procedure;
    for (int i = 0; i < resource->count; ++i) {
        HeadlessControl c;
        c.resource = &resource->controls[i];
        if (c.resource->kind != CONTROL_COMBO && c.resource->kind != CONTROL_LIST_BOX && c.resource->text != nullptr)
            c.text = c.resource->text;
        dialog->controls.push_back(c);
    }
    PlatformDialog* result = dialog.get();
    s.dialogs.push_back(std::move(dialog));
    s.dialogs_created++;
    if (procedure != nullptr) procedure(result, MSG_INITDIALOG, 0, 0);
    return result;
}

void PlatformDestroyDialog(PlatformDialog** dialog)
{
    if (*dialog != nullptr) (*dialog)->alive = 0;
    *dialog = nullptr;
}

const DialogResource* PlatformDialogResource(const PlatformDialog* dialog)
{
    return dialog != nullptr ? dialog->resource : nullptr;
}

void PlatformShowDialogNow(PlatformDialog*) {}

int PlatformHasControl(const PlatformDialog* dialog, int id) { return FindControl(dialog, id) != nullptr; }

void PlatformEnableControl(PlatformDialog* dialog, int id, int enabled)
{
    if (HeadlessControl* c = FindControl(dialog, id)) c->enabled = enabled != 0;
}

int PlatformIsControlEnabled(const PlatformDialog* dialog, int id)
{
    HeadlessControl* c = FindControl(dialog, id);
    return c != nullptr && c->enabled;
}

void PlatformSetEditText(PlatformDialog* dialog, int id, const char* text)
{
    HeadlessControl* c = FindControl(dialog, id);
    if (c == nullptr || !IsEdit(c)) return;
    c->text = text;
    Notify(dialog, id, NOTIFY_CHANGE);
}

void PlatformSetControlText(PlatformDialog* dialog, int id, const char* text)
{
    if (HeadlessControl* c = FindControl(dialog, id)) c->text = text;
}

size_t PlatformGetControlText(const PlatformDialog* dialog, int id, char* buffer, size_t size)
{
    if (size == 0) return 0;
    buffer[0] = '\0';
    HeadlessControl* c = FindControl(dialog, id);
    if (c == nullptr) return 0;
    std::string line = c->text.substr(0, c->text.find('\n'));
    size_t length = line.size() < size - 1 ? line.size() : size - 1;
    // Never end inside a UTF-8 character.
    while (length > 0 && length < line.size() && (static_cast<unsigned char>(line[length]) & 0xC0) == 0x80)
        --length;
    std::memcpy(buffer, line.data(), length);
    buffer[length] = '\0';
    return length;
}

void PlatformSetControlTooltip(PlatformDialog* dialog, int id, const char* text)
{
    if (HeadlessControl* c = FindControl(dialog, id)) c->tooltip = text;
}

void PlatformSetCheck(PlatformDialog* dialog, int id, int checked)
{
    if (HeadlessControl* c = FindControl(dialog, id)) c->checked = checked != 0;
}

int PlatformGetCheck(const PlatformDialog* dialog, int id)
{
    HeadlessControl* c = FindControl(dialog, id);
    return c != nullptr && c->checked;
}

void PlatformClearList(PlatformDialog* dialog, int id)
{
    HeadlessControl* c = FindControl(dialog, id);
    if (c == nullptr || !IsList(c)) return;
    c->items.clear();
    c->selection = -1;
}

void PlatformAddListItem(PlatformDialog* dialog, int id, const char* text)
{
    HeadlessControl* c = FindControl(dialog, id);
    if (c != nullptr && IsList(c)) c->items.push_back(text);
}

int PlatformListCount(const PlatformDialog* dialog, int id)
{
    HeadlessControl* c = FindControl(dialog, id);
    return c != nullptr ? int(c->items.size()) : 0;
}

void PlatformSetListSelection(PlatformDialog* dialog, int id, int index)
{
    HeadlessControl* c = FindControl(dialog, id);
    if (c == nullptr || !IsList(c)) return;
    c->selection = index >= 0 && index < int(c->items.size()) ? index : -1;
}

int PlatformGetListSelection(const PlatformDialog* dialog, int id)
{
    HeadlessControl* c = FindControl(dialog, id);
    return c != nullptr ? c->selection : -1;
}

void PlatformMessageBox(int kind, const char* title, const char* text)
{
    HeadlessState().messages.push_back({kind, title, text});
}

int PlatformAskYesNo(const char* title, const char* text)
{
    State& s = HeadlessState();
    s.messages.push_back({kHeadlessQuestion, title, text});
    if (s.question_answers.empty()) return 0;
    int yes = s.question_answers.front();
    s.question_answers.pop_front();
    return yes;
}

int PlatformFileDialog(int mode, const char* title, const FileFilter* filters, int filter_count,
                       int* filter_index, const char* directory, const char* name,
                       std::vector<std::string>* paths)
{
    State& s = HeadlessState();
    HeadlessFileDialogCall call;
    call.mode = mode;
    call.title = title != nullptr ? title : "";
    call.filters.assign(filters, filters + filter_count);
    call.directory = directory != nullptr ? directory : "";
    call.name = name != nullptr ? name : "";
    call.filter_index = *filter_index;
    s.file_dialogs.push_back(call);
    paths->clear();
    if (s.file_answers.empty()) return 0;
    *paths = s.file_answers.front();
    s.file_answers.pop_front();
    if (mode != FILE_OPEN_MANY && paths->size() > 1) paths->resize(1);
    return paths->empty() ? 0 : 1;
}

int PlatformChooseColour(uint32_t, uint32_t* chosen)
{
    State& s = HeadlessState();
    if (s.colour_answers.empty()) return 0;
    ColourAnswer answer = s.colour_answers.front();
    s.colour_answers.pop_front();
    if (answer.chosen) *chosen = answer.colour;
    return answer.chosen;
}

int PlatformChooseFolder(const char*, std::string* path)
{
    State& s = HeadlessState();
    if (s.folder_answers.empty()) return 0;
    FolderAnswer answer = s.folder_answers.front();
    s.folder_answers.pop_front();
    if (answer.chosen) *path = answer.path;
    return answer.chosen;
}

int PlatformStartProcess(const ProcessRequest* request, long* pid, int* error_number)
{
    State& s = HeadlessState();
    HeadlessProcessRun run;
    run.program = request->program;
    run.args = request->args;
    run.output_path = request->output_path != nullptr ? request->output_path : "";
    run.output_header = request->output_header != nullptr ? request->output_header : "";
    run.working_directory = request->working_directory != nullptr ? request->working_directory : "";
    for (const auto& dialog : s.dialogs)
        if (dialog->alive && dialog->resource->style == DIALOG_POPUP)
            for (const HeadlessControl& c : dialog->controls) run.popup_texts.push_back(c.text);
    run.pid = 0;
    if (s.run_for_real) {
        int started = StartProcessPosix(request, pid, error_number);
        run.pid = *pid;
        s.runs.push_back(run);
        return started;
    }
    s.runs.push_back(run);
    if (s.stand_in && s.run_started) s.stand_in(run);
    *pid = -1;  // recorded only: ended as soon as it is asked
    *error_number = s.run_error;
    return s.run_started;
}

int PlatformProcessEnded(long pid, int* exit_status)
{
    if (pid > 0) return ProcessEndedPosix(pid, exit_status);
    *exit_status = HeadlessState().run_status;
    return 1;
}

void PlatformKillProcess(long pid) { KillProcessPosix(pid); }

// --- platform_headless.h -------------------------------------------------

void HeadlessReset(const PlatformRect& work_area, const PlatformMetrics& metrics)
{
    State& s = HeadlessState();
    s = State();
    s.work_area = work_area;
    s.metrics = metrics;
}

void HeadlessChooseMenu(int id)
{
    State& s = HeadlessState();
    if (s.procedure != nullptr && s.enabled[id] && !s.input_blocked) s.procedure(MSG_COMMAND, uint32_t(id));
}

void HeadlessScroll(int bar, int code, int position)
{
    State& s = HeadlessState();
    if (s.procedure == nullptr || s.input_blocked) return;
    uint32_t request = uint32_t(code & 0xFFFF) | (uint32_t(position & 0xFFFF) << 16);
    s.procedure(bar == SCROLL_BAR_HORIZONTAL ? MSG_HSCROLL : MSG_VSCROLL, request);
}

void HeadlessCloseMainWindow()
{
    State& s = HeadlessState();
    if (s.procedure != nullptr) s.procedure(MSG_DESTROY, 0);
}

void HeadlessClick(int dialog_id, int control_id)
{
    PlatformDialog* dialog = HeadlessFindDialog(dialog_id);
    HeadlessControl* c = FindControl(dialog, control_id);
    if (c == nullptr || !Accepts(dialog) || !c->enabled) return;
    if (c->resource->kind == CONTROL_CHECK_BOX) c->checked = !c->checked;
    else if (c->resource->kind != CONTROL_BUTTON) return;
    Notify(dialog, control_id, NOTIFY_CLICKED);
}

void HeadlessType(int dialog_id, int control_id, const char* keys)
{
    PlatformDialog* dialog = HeadlessFindDialog(dialog_id);
    HeadlessControl* c = FindControl(dialog, control_id);
    if (c == nullptr || !Accepts(dialog) || !c->enabled || !IsEdit(c)) return;
    for (const char* k = keys; *k != '\0'; ++k) {
        if (c->resource->kind == CONTROL_NUMBER_EDIT && (*k < '0' || *k > '9')) continue;
        c->text.push_back(*k);
        Notify(dialog, control_id, NOTIFY_CHANGE);
    }
}

void HeadlessClearEdit(int dialog_id, int control_id)
{
    PlatformDialog* dialog = HeadlessFindDialog(dialog_id);
    HeadlessControl* c = FindControl(dialog, control_id);
    if (c == nullptr || !Accepts(dialog) || !c->enabled || !IsEdit(c)) return;
    c->text.clear();
    Notify(dialog, control_id, NOTIFY_CHANGE);
}

void HeadlessChooseListItem(int dialog_id, int control_id, int index)
{
    PlatformDialog* dialog = HeadlessFindDialog(dialog_id);
    HeadlessControl* c = FindControl(dialog, control_id);
    if (c == nullptr || !Accepts(dialog) || !c->enabled || !IsList(c) || index < 0 || index >= int(c->items.size())) return;
    c->selection = index;
    Notify(dialog, control_id, NOTIFY_SELENDOK);
}

void HeadlessQueueAction(std::function<void()> action) { HeadlessState().actions.push_back(std::move(action)); }
void HeadlessQueueFileAnswer(const std::vector<std::string>& paths) { HeadlessState().file_answers.push_back(paths); }
void HeadlessQueueColourAnswer(int chosen, uint32_t colour) { HeadlessState().colour_answers.push_back({chosen, colour}); }
void HeadlessQueueFolderAnswer(int chosen, const std::string& path) { HeadlessState().folder_answers.push_back({chosen, path}); }
void HeadlessQueueQuestionAnswer(int yes) { HeadlessState().question_answers.push_back(yes); }

const std::vector<HeadlessMessage>& HeadlessMessages() { return HeadlessState().messages; }
const std::vector<HeadlessFileDialogCall>& HeadlessFileDialogs() { return HeadlessState().file_dialogs; }
const std::vector<HeadlessProcessRun>& HeadlessProcessRuns() { return HeadlessState().runs; }

void HeadlessSetProcessResult(int started, int exit_status, int error_number)
{
    State& s = HeadlessState();
    s.run_started = started;
    s.run_status = exit_status;
    s.run_error = error_number;
}

void HeadlessRunProcessesForReal(int yes) { HeadlessState().run_for_real = yes; }
void HeadlessSetProcessStandIn(std::function<void(const HeadlessProcessRun&)> stand_in)
{
    HeadlessState().stand_in = std::move(stand_in);
}

int HeadlessMainWindowExists() { return HeadlessState().window_exists; }
std::string HeadlessWindowTitle() { return HeadlessState().title; }
PlatformRect HeadlessMainWindowRect() { return HeadlessState().window_rect; }

int HeadlessTimerPeriod(int id)
{
    auto it = HeadlessState().timers.find(id);
    return it != HeadlessState().timers.end() ? it->second : 0;
}

HeadlessScrollBar HeadlessGetScrollBar(int bar)
{
    return bar == SCROLL_BAR_VERTICAL ? HeadlessState().bars[1] : HeadlessState().bars[0];
}

int HeadlessMenuChecked(int id) { return HeadlessState().checked[id]; }
int HeadlessMenuEnabled(int id) { return HeadlessState().enabled[id]; }

std::vector<std::string> HeadlessMenuTexts()
{
    std::vector<std::string> texts;
    for (const MenuEntry& e : HeadlessState().menu) texts.push_back(e.kind == MENU_SEPARATOR ? "-" : e.text);
    return texts;
}

int HeadlessPresentCount() { return HeadlessState().present_count; }
int HeadlessSurfaceWidth() { return HeadlessState().presented_width; }
int HeadlessSurfaceHeight() { return HeadlessState().presented_height; }

uint32_t HeadlessPresentedPixel(int x, int y)
{
    State& s = HeadlessState();
    if (x < 0 || y < 0 || x >= s.presented_width || y >= s.presented_height) return 0xFFFFFFFFu;
    const uint8_t* p = s.presented.data() + (size_t(y) * size_t(s.presented_width) + size_t(x)) * 3;
    return p[2] + 256u * p[1] + 65536u * p[0];
}

uint32_t HeadlessScreenPixel(int x, int y)
{
    State& s = HeadlessState();
    for (auto it = s.dialogs.rbegin(); it != s.dialogs.rend(); ++it) {
        const PlatformDialog& d = **it;
        if (!d.alive || d.resource->style != DIALOG_CHILD || !d.drawn) continue;
        const DialogResource* r = d.resource;
        int left = DialogUnitsToPixelsX(r->x, kDialogBaseX), top = DialogUnitsToPixelsY(r->y, kDialogBaseY);
        if (x >= left && y >= top && x < left + DialogUnitsToPixelsX(r->width, kDialogBaseX) &&
            y < top + DialogUnitsToPixelsY(r->height, kDialogBaseY))
            return kHeadlessDialogFace;
    }
    return HeadlessPresentedPixel(x, y);
}

int HeadlessInputBlocked() { return HeadlessState().input_blocked; }

std::string HeadlessControlTooltip(int dialog_id, int control_id)
{
    HeadlessControl* c = FindControlOf(dialog_id, control_id);
    return c != nullptr ? c->tooltip : std::string();
}

PlatformDialog* HeadlessFindDialog(int dialog_id)
{
    State& s = HeadlessState();
    for (auto it = s.dialogs.rbegin(); it != s.dialogs.rend(); ++it)
        if ((*it)->alive && (*it)->resource->id == dialog_id) return it->get();
    return nullptr;
}

int HeadlessDialogCount()
{
    int count = 0;
    for (auto& d : HeadlessState().dialogs) count += d->alive;
    return count;
}

int HeadlessDialogsCreated() { return HeadlessState().dialogs_created; }

std::string HeadlessControlText(int dialog_id, int control_id)
{
    HeadlessControl* c = FindControlOf(dialog_id, control_id);
    return c != nullptr ? c->text : std::string();
}

std::vector<std::string> HeadlessListItems(int dialog_id, int control_id)
{
    HeadlessControl* c = FindControlOf(dialog_id, control_id);
    return c != nullptr ? c->items : std::vector<std::string>();
}

PlatformRect HeadlessDialogRect(int dialog_id)
{
    PlatformDialog* d = HeadlessFindDialog(dialog_id);
    if (d == nullptr) return {0, 0, 0, 0};
    const DialogResource* r = d->resource;
    int left = DialogUnitsToPixelsX(r->x, kDialogBaseX), top = DialogUnitsToPixelsY(r->y, kDialogBaseY);
    return {left, top, left + DialogUnitsToPixelsX(r->width, kDialogBaseX),
            top + DialogUnitsToPixelsY(r->height, kDialogBaseY)};
}
