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
};

struct PlatformDialog {
    const DialogResource* resource;
    DialogProcedure procedure;
    std::vector<HeadlessControl> controls;
    int alive = 1;
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
    std::vector<HeadlessMessage> messages;
    std::vector<HeadlessFileDialogCall> file_dialogs;
    std::vector<HeadlessProcessRun> runs;
    int run_started = 1, run_status = 0, run_error = 0;
    int run_for_real = 0;
    std::function<void(const HeadlessProcessRun&)> stand_in;
};

State& S()
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

bool IsList(const HeadlessControl* c)
{
    return c->resource->kind == CONTROL_COMBO || c->resource->kind == CONTROL_LIST_BOX;
}

}  // namespace

// --- platform.h ----------------------------------------------------------

void PlatformGetWorkArea(PlatformRect* area) { *area = S().work_area; }
void PlatformGetMetrics(PlatformMetrics* metrics) { *metrics = S().metrics; }

void PlatformDialogBaseUnits(int* base_x, int* base_y)
{
    *base_x = kDialogBaseX;
    *base_y = kDialogBaseY;
}

int PlatformCreateMainWindow(const PlatformRect* rect, const MenuResource* menu, WindowProcedure procedure)
{
    State& s = S();
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

void PlatformSetWindowTitle(const char* title) { S().title = title; }
void PlatformShowMainWindow() {}

void PlatformDestroyMainWindow()
{
    State& s = S();
    s.window_exists = 0;
    s.timers.clear();
    for (auto& d : s.dialogs) d->alive = 0;
}

void PlatformSetTimer(int id, int period_ms) { S().timers[id] = period_ms; }

void PlatformPresentSurface(const PlatformSurface* surface)
{
    State& s = S();
    if (surface->pixels == nullptr) return;
    s.present_count++;
    s.presented_width = surface->width;
    s.presented_height = surface->height;
    s.presented.resize(size_t(surface->width) * size_t(surface->height) * 3);
    for (int y = 0; y < surface->height; ++y)
        std::memcpy(s.presented.data() + size_t(y) * size_t(surface->width) * 3,
                    surface->pixels + size_t(y) * size_t(surface->pitch), size_t(surface->width) * 3);
}

void PlatformSetScrollBar(int bar, int maximum, int page, int position)
{
    if (bar != SCROLL_BAR_HORIZONTAL && bar != SCROLL_BAR_VERTICAL) return;
    HeadlessScrollBar& b = S().bars[bar];
    b.maximum = maximum;
    b.page = page;
    b.position = position;
    b.sets++;
}

void PlatformCheckMenuItem(int id, int checked) { S().checked[id] = checked != 0; }
void PlatformEnableMenuItem(int id, int enabled) { S().enabled[id] = enabled != 0; }

void PlatformWaitEvents()
{
    State& s = S();
    if (!s.actions.empty()) {
        std::function<void()> action = std::move(s.actions.front());
        s.actions.pop_front();
        action();
    }
    if (s.procedure != nullptr)
        for (const auto& timer : s.timers) s.procedure(MSG_TIMER, uint32_t(timer.first));
}

void PlatformPostQuit(int) { S().quit_posted = 1; }
int PlatformQuitPosted() { return S().quit_posted; }

PlatformDialog* PlatformCreateDialog(const DialogResource* resource, DialogProcedure procedure)
{
    State& s = S();
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
    S().messages.push_back({kind, title, text});
}

int PlatformFileDialog(int mode, const char* title, const FileFilter* filters, int filter_count,
                       const char* directory, const char* name, std::vector<std::string>* paths)
{
    State& s = S();
    HeadlessFileDialogCall call;
    call.mode = mode;
    call.title = title != nullptr ? title : "";
    call.filters.assign(filters, filters + filter_count);
    call.directory = directory != nullptr ? directory : "";
    call.name = name != nullptr ? name : "";
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
    State& s = S();
    if (s.colour_answers.empty()) return 0;
    ColourAnswer answer = s.colour_answers.front();
    s.colour_answers.pop_front();
    if (answer.chosen) *chosen = answer.colour;
    return answer.chosen;
}

int PlatformChooseFolder(const char*, std::string* path)
{
    State& s = S();
    if (s.folder_answers.empty()) return 0;
    FolderAnswer answer = s.folder_answers.front();
    s.folder_answers.pop_front();
    if (answer.chosen) *path = answer.path;
    return answer.chosen;
}

int PlatformRunProcess(const ProcessRequest* request, int* exit_status, int* error_number)
{
    State& s = S();
    HeadlessProcessRun run;
    run.program = request->program;
    run.args = request->args;
    run.output_path = request->output_path != nullptr ? request->output_path : "";
    run.output_header = request->output_header != nullptr ? request->output_header : "";
    run.working_directory = request->working_directory != nullptr ? request->working_directory : "";
    for (const auto& dialog : s.dialogs)
        if (dialog->alive && dialog->resource->style == DIALOG_POPUP)
            for (const HeadlessControl& c : dialog->controls) run.popup_texts.push_back(c.text);
    s.runs.push_back(run);
    if (s.run_for_real) return RunProcessPosix(request, exit_status, error_number);
    if (s.stand_in && s.run_started) s.stand_in(run);
    *exit_status = s.run_status;
    *error_number = s.run_error;
    return s.run_started;
}

// --- platform_headless.h -------------------------------------------------

void HeadlessReset(const PlatformRect& work_area, const PlatformMetrics& metrics)
{
    State& s = S();
    s = State();
    s.work_area = work_area;
    s.metrics = metrics;
}

void HeadlessChooseMenu(int id)
{
    State& s = S();
    if (s.procedure != nullptr && s.enabled[id]) s.procedure(MSG_COMMAND, uint32_t(id));
}

void HeadlessScroll(int bar, int code, int position)
{
    State& s = S();
    if (s.procedure == nullptr) return;
    uint32_t request = uint32_t(code & 0xFFFF) | (uint32_t(position & 0xFFFF) << 16);
    s.procedure(bar == SCROLL_BAR_HORIZONTAL ? MSG_HSCROLL : MSG_VSCROLL, request);
}

void HeadlessClick(int dialog_id, int control_id)
{
    PlatformDialog* dialog = HeadlessFindDialog(dialog_id);
    HeadlessControl* c = FindControl(dialog, control_id);
    if (c == nullptr || !c->enabled) return;
    if (c->resource->kind == CONTROL_CHECK_BOX) c->checked = !c->checked;
    else if (c->resource->kind != CONTROL_BUTTON) return;
    Notify(dialog, control_id, NOTIFY_CLICKED);
}

void HeadlessType(int dialog_id, int control_id, const char* keys)
{
    PlatformDialog* dialog = HeadlessFindDialog(dialog_id);
    HeadlessControl* c = FindControl(dialog, control_id);
    if (c == nullptr || !c->enabled || !IsEdit(c)) return;
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
    if (c == nullptr || !c->enabled || !IsEdit(c)) return;
    c->text.clear();
    Notify(dialog, control_id, NOTIFY_CHANGE);
}

void HeadlessChooseListItem(int dialog_id, int control_id, int index)
{
    PlatformDialog* dialog = HeadlessFindDialog(dialog_id);
    HeadlessControl* c = FindControl(dialog, control_id);
    if (c == nullptr || !c->enabled || !IsList(c) || index < 0 || index >= int(c->items.size())) return;
    c->selection = index;
    Notify(dialog, control_id, NOTIFY_SELENDOK);
}

void HeadlessQueueAction(std::function<void()> action) { S().actions.push_back(std::move(action)); }
void HeadlessQueueFileAnswer(const std::vector<std::string>& paths) { S().file_answers.push_back(paths); }
void HeadlessQueueColourAnswer(int chosen, uint32_t colour) { S().colour_answers.push_back({chosen, colour}); }
void HeadlessQueueFolderAnswer(int chosen, const std::string& path) { S().folder_answers.push_back({chosen, path}); }

const std::vector<HeadlessMessage>& HeadlessMessages() { return S().messages; }
const std::vector<HeadlessFileDialogCall>& HeadlessFileDialogs() { return S().file_dialogs; }
const std::vector<HeadlessProcessRun>& HeadlessProcessRuns() { return S().runs; }

void HeadlessSetProcessResult(int started, int exit_status, int error_number)
{
    State& s = S();
    s.run_started = started;
    s.run_status = exit_status;
    s.run_error = error_number;
}

void HeadlessRunProcessesForReal(int yes) { S().run_for_real = yes; }
void HeadlessSetProcessStandIn(std::function<void(const HeadlessProcessRun&)> stand_in)
{
    S().stand_in = std::move(stand_in);
}

int HeadlessMainWindowExists() { return S().window_exists; }
std::string HeadlessWindowTitle() { return S().title; }
PlatformRect HeadlessMainWindowRect() { return S().window_rect; }

int HeadlessTimerPeriod(int id)
{
    auto it = S().timers.find(id);
    return it != S().timers.end() ? it->second : 0;
}

HeadlessScrollBar HeadlessGetScrollBar(int bar)
{
    return bar == SCROLL_BAR_VERTICAL ? S().bars[1] : S().bars[0];
}

int HeadlessMenuChecked(int id) { return S().checked[id]; }

std::vector<std::string> HeadlessMenuTexts()
{
    std::vector<std::string> texts;
    for (const MenuEntry& e : S().menu) texts.push_back(e.kind == MENU_SEPARATOR ? "-" : e.text);
    return texts;
}

int HeadlessPresentCount() { return S().present_count; }
int HeadlessSurfaceWidth() { return S().presented_width; }
int HeadlessSurfaceHeight() { return S().presented_height; }

uint32_t HeadlessPresentedPixel(int x, int y)
{
    State& s = S();
    if (x < 0 || y < 0 || x >= s.presented_width || y >= s.presented_height) return 0xFFFFFFFFu;
    const uint8_t* p = s.presented.data() + (size_t(y) * size_t(s.presented_width) + size_t(x)) * 3;
    return p[2] + 256u * p[1] + 65536u * p[0];
}

PlatformDialog* HeadlessFindDialog(int dialog_id)
{
    State& s = S();
    for (auto it = s.dialogs.rbegin(); it != s.dialogs.rend(); ++it)
        if ((*it)->alive && (*it)->resource->id == dialog_id) return it->get();
    return nullptr;
}

int HeadlessDialogCount()
{
    int count = 0;
    for (auto& d : S().dialogs) count += d->alive;
    return count;
}

int HeadlessDialogsCreated() { return S().dialogs_created; }

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
