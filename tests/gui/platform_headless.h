// The headless window system the GUI's logic is tested on, its state all in
// g_headless.  User actions reach the GUI's procedures at once.  Modal boxes
// take their answers from queues the test fills first, and are cancelled
// when none is queued.  PlatformWaitEvents performs one queued action, then
// sends one timer tick.  No process is started: the stand-in plays nivelo.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/platform/platform.h"

struct HeadlessControl {
    const ControlResource* resource;
    std::string text;
    int checked = 0, selection = -1, items = 0, marked = 0;
};

struct PlatformDialog {
    const DialogResource* resource;
    DialogProcedure procedure;
    void* context;
    std::vector<HeadlessControl> controls;
    int alive = 1;
};

struct HeadlessRun {
    std::string program;
    std::vector<std::string> args;
    std::string output_path, output_header, working_directory;
    std::vector<std::string> popup_texts;  // the wait box's texts during the run
};

struct Headless {
    WindowProcedure procedure = nullptr;
    void* context = nullptr;
    std::string title;
    int quit_posted = 0, input_blocked = 0, checked_zoom = 0;
    int bars[2][3] = {};  // horizontal and vertical: maximum, page, position
    int presents = 0, dialogs_drawn = 1;  // drawn again since the last present
    int width = 0, height = 0, pitch = 0;
    std::vector<uint8_t> presented;  // the surface as last presented
    std::vector<std::unique_ptr<PlatformDialog>> dialogs;
    std::deque<std::function<void()>> actions;
    std::deque<std::vector<std::string>> file_answers;
    std::deque<std::string> folder_answers;
    std::deque<int> question_answers;
    std::vector<std::string> messages;      // texts of message boxes and questions
    std::vector<std::string> file_dialogs;  // "<directory>|<name>" each file dialog opened with
    std::vector<HeadlessRun> runs;
    std::function<void(const HeadlessRun&)> stand_in;  // plays nivelo
    // A run goes on while this is set: until it is killed, or until no
    // action is left to perform while it waits.
    int running = 0, kills = 0;
    int exit_status = 0;  // of every run
};
extern Headless g_headless;

void HeadlessReset();
PlatformDialog* HeadlessFindDialog(int dialog_id);
HeadlessControl* HeadlessFind(int dialog_id, int control_id);
// The user.  Menu commands and clicks outside popups are refused while a run
// blocks the window; a check box toggles before its notification; a list
// choice is confirmed even when already selected.
void HeadlessMenu(int id);
void HeadlessClick(int dialog_id, int control_id);
void HeadlessChoose(int dialog_id, int control_id, int index);
// Colour value (red in bits 0-7) of a presented pixel.
uint32_t HeadlessPixel(int x, int y);
