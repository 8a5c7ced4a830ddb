// Running nivelo from nivelo_gui: finding the program, the command it is
// given, the wait box, and the two kinds of run (preview and conversion).
//
// nivelo is started directly with its argument words, never through a shell,
// so that no character of an image path can change what runs.  Its console
// output goes to "poil.txt" in the work directory, headed by the command
// text; the GUI reads it back for nivelo's messages and the skew angle.
//
// The window keeps answering while nivelo works: the run waits in the
// message loop, with the user's input to the main window blocked, until
// nivelo ends, the wait box's "Annuler" is pressed or the window is closed.
// The last two end that nivelo process.
#pragma once

#include <cstddef>
#include <string>

#include "gui/previews/run_report.h"
#include "gui/previews/staleness.h"
#include "gui/settings/gui_params.h"
#include "gui/state/app.h"

constexpr size_t kCommandSize = 256;     // command text, terminator included
constexpr size_t kConfigPathSize = 256;  // work directory + "nivelo_gui_conf.txt"


// The nivelo to run: the one next to the nivelo_gui executable, else the one
// in the start directory, else the first one on the search path.  Empty when
// there is none.
std::string FindNivelo(const App& app);

// The command text, in the form a user would type it:
//   nivelo /c"<config>" <"/b" or nothing> /d<mask> <directory><name> ><output>
// without the "/d<mask>" field when mask < 0 (a conversion).  buffer holds
// kCommandSize bytes.  Returns 1, or 0 with the buffer empty when the text
// does not fit.
int FormatCommand(char* buffer, const char* config_path, int black_and_white, int mask, const char* directory,
                  const char* name, const char* output_path);

enum WaitBoxIds {
    DIALOG_WAIT = 118,
    IDC_WAIT_LINE1 = 1201,  // "Mise à jour des images", or the conversion's progress
    IDC_WAIT_LINE2 = 1202,  // "Veuillez patienter"
    IDC_WAIT_CANCEL = 1203, // "Annuler": ends the nivelo that runs
};

// How a run ended.
enum RunOutcome {
    RUN_FAILED = 0,     // not started, or ended without its "done." line (reported)
    RUN_DONE = 1,
    RUN_CANCELLED = 2,  // "Annuler", the window closed, or a long blur declined
};

// Blur radii above this make a run last minutes: asked before running.
constexpr int kLongBlurRadius = 50;
// Asks before a run that blurs with a radius above kLongBlurRadius; 1 when
// the run may go on (always when no such blur is asked for).
int ConfirmLongBlur(const GuiParameterSet& params);

// The wait box (dialog 118): shown and drawn before the caller blocks.
// line replaces its first text when not null.
void OpenWaitBox(App& app, const char* line);
void CloseWaitBox(App& app);

// One preview run: writes the configuration with the work directory as
// REPERTOIRE2, removes the stage images asked for (so that a failed run
// shows as missing images, never as stale ones), runs nivelo with /d<mask> on
// directory + name under the wait box, then UpdateScrollBars.  A run
// without its "done." line is reported with nivelo's own messages; a skew
// angle it printed becomes the detected angle.  Returns a RunOutcome.
int RunPreview(App& app, const char* directory, const char* name, int mask);

// 1 while the GUI waits for a nivelo it started.
int NiveloRunning(const App& app);

// One conversion run into the user's REPERTOIRE1 and REPERTOIRE2 (relative
// ones taken from the start directory), under the wait box the caller opened.
// nivelo runs in the image's directory on the bare name, since it names its
// results after the image name as given.  A run is done when it printed its
// "done." line and its exit status says every result was written.  Returns a RunOutcome; report gets
// what nivelo said (a failure to start is reported at once and left empty).
int RunConversion(App& app, const char* directory, const char* name, RunReport* report);

// poil.txt in the work directory.
std::string RunOutputPath(const App& app);
// Output folder as a conversion uses it: a relative one is taken from the
// start directory.  kGuiPathSize bytes; 0 after a message when too long.
int ResolveFolder(const App& app, char* resolved, const char* folder);
