// Test side of the headless backend: what the GUI asked of the window system,
// and the user's part played by the test.
//
// The backend keeps everything in memory.  User actions are delivered at once
// to the GUI's procedures, as the window system would deliver them from its
// loop.  Modal boxes take their answer from a queue the test fills before the
// action that opens them; a box with no queued answer is cancelled (a message
// box is simply closed).  PlatformWaitEvents sends one timer tick per call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui/platform.h"

// Forgets everything (windows, dialogs, queued answers, records) and sets the
// work area and metrics that later calls report.
void HeadlessReset(const PlatformRect& work_area, const PlatformMetrics& metrics);

// --- the user -------------------------------------------------------------
void HeadlessChooseMenu(int id);                        // MSG_COMMAND to the main window
void HeadlessScroll(int bar, int code, int position);   // MSG_HSCROLL / MSG_VSCROLL
void HeadlessCloseMainWindow();                         // MSG_DESTROY
// Clicks a button or check box (a check box toggles first).  Nothing happens
// when the control is missing or disabled.
void HeadlessClick(int dialog_id, int control_id);
// Types text into an edit one key at a time, each accepted key followed by
// NOTIFY_CHANGE; a number edit refuses everything but digits.
void HeadlessType(int dialog_id, int control_id, const char* keys);
// Selects all of an edit's text and deletes it (one NOTIFY_CHANGE).
void HeadlessClearEdit(int dialog_id, int control_id);
// Picks entry index in a list and confirms it (NOTIFY_SELENDOK), even when it
// was already selected.
void HeadlessChooseListItem(int dialog_id, int control_id, int index);

// An action that PlatformWaitEvents performs, one per call, before its tick:
// lets a test act while the GUI runs its own message loop.
void HeadlessQueueAction(std::function<void()> action);

// Answers for the next modal boxes, used in order.
void HeadlessQueueFileAnswer(const std::vector<std::string>& paths);  // empty: cancel
void HeadlessQueueColourAnswer(int chosen, uint32_t colour);          // chosen 0: cancel
void HeadlessQueueFolderAnswer(int chosen, const std::string& path);
void HeadlessQueueQuestionAnswer(int yes);  // none queued: "Non"

// --- what the GUI asked for -----------------------------------------------
// Questions (PlatformAskYesNo) are recorded with the messages, of this kind.
constexpr int kHeadlessQuestion = 100;
struct HeadlessMessage {
    int kind;
    std::string title;
    std::string text;
};
struct HeadlessFileDialogCall {
    int mode;
    std::string title;
    std::vector<FileFilter> filters;
    std::string directory;
    std::string name;
    int filter_index;  // selected when it opened
};
struct HeadlessScrollBar {
    int maximum;
    int page;
    int position;
    int sets;  // number of PlatformSetScrollBar calls on this bar
};

const std::vector<HeadlessMessage>& HeadlessMessages();
const std::vector<HeadlessFileDialogCall>& HeadlessFileDialogs();
struct HeadlessProcessRun {
    std::string program;
    std::vector<std::string> args;
    std::string output_path;
    std::string output_header;
    std::string working_directory;
    std::vector<std::string> popup_texts;  // texts of the popup dialogs' controls shown during the run
    long pid;  // of a real run; runs that are only recorded end at once
};
const std::vector<HeadlessProcessRun>& HeadlessProcessRuns();
// Called for every recorded run that is not run for real, in place of the
// program (a test's stand-in that writes the files the program would).
void HeadlessSetProcessStandIn(std::function<void(const HeadlessProcessRun&)> stand_in);
// Exit status that recorded runs report (default 0); the process is not run.
void HeadlessSetProcessResult(int started, int exit_status, int error_number);
// Runs requested processes for real instead of recording only (the stand-in
// is then not called).
void HeadlessRunProcessesForReal(int yes);

int HeadlessMainWindowExists();
std::string HeadlessWindowTitle();
PlatformRect HeadlessMainWindowRect();
int HeadlessTimerPeriod(int id);  // 0 when not set
HeadlessScrollBar HeadlessGetScrollBar(int bar);
int HeadlessMenuChecked(int id);
// Menu texts in order, popups included, separators as "-".
std::vector<std::string> HeadlessMenuTexts();

// The display surface as last presented (PlatformPresentSurface copies it).
int HeadlessPresentCount();
int HeadlessSurfaceWidth();
int HeadlessSurfaceHeight();
// Colour value (red in bits 0-7) of a presented pixel; 0xFFFFFFFF outside.
uint32_t HeadlessPresentedPixel(int x, int y);
// What the screen shows at (x, y) of the client area: the presented surface,
// under the child dialogs drawn since it was presented, which show as
// kHeadlessDialogFace.
constexpr uint32_t kHeadlessDialogFace = 0xC8D0D4;
uint32_t HeadlessScreenPixel(int x, int y);
int HeadlessInputBlocked();
std::string HeadlessControlTooltip(int dialog_id, int control_id);

// Dialogs alive, by resource id (the newest when several).
PlatformDialog* HeadlessFindDialog(int dialog_id);
int HeadlessDialogCount();
int HeadlessDialogsCreated();  // ever created since the reset
std::string HeadlessControlText(int dialog_id, int control_id);
std::vector<std::string> HeadlessListItems(int dialog_id, int control_id);

// Where a dialog lies, in pixels of the main window's client area.
PlatformRect HeadlessDialogRect(int dialog_id);
