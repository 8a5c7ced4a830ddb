// Running nivelo from nivelo_gui: finding the program, the command it is
// given, the wait box, and the two kinds of run (preview and conversion).
//
// nivelo is started directly with its argument words, never through a shell,
// so that no character of an image path can change what runs.  Its console
// output goes to "poil.txt" in the work directory, headed by the command
// text, for the user to read.
#pragma once

#include <cstddef>
#include <string>

constexpr size_t kCommandSize = 256;     // command text, terminator included
constexpr size_t kConfigPathSize = 256;  // start directory + "nivelo_gui_conf.txt"

// Stage images: "save0.tga" to "save11.tga"; bit k of a mask asks for image k.
constexpr int kStageImageCount = 12;
constexpr int kAllStageImages = (1 << kStageImageCount) - 1;  // 4095

// The nivelo to run: the one next to the nivelo_gui executable, else the one
// in the start directory, else the first one on the search path.  Empty when
// there is none.
std::string FindNivelo();

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
};

// The wait box (dialog 118): shown and drawn before the caller blocks.
// line replaces its first text when not null.
void OpenWaitBox(const char* line);
void CloseWaitBox();

// One preview run: writes the configuration with the work directory as
// REPERTOIRE2, removes the stage images asked for (so that a failed run
// shows as missing images, never as stale ones), runs nivelo with /d<mask> on
// directory + name and waits, under the wait box, then UpdateScrollBars.
// Returns 1 when nivelo ran, 0 after a message when it could not be started
// (command too long, configuration not written, program missing).
int RunPreview(const char* directory, const char* name, int mask);

// One conversion run into the user's REPERTOIRE1 and REPERTOIRE2 (relative
// ones taken from the start directory).  nivelo runs in the image's
// directory on the bare name, since it names its results after the image
// name as given.  Returns 1 when nivelo ran, 0 after a message.
int RunConversion(const char* directory, const char* name);
