// What nivelo said in its last run, read back from its console output: the
// line that ends a finished run ("<image> done."), the skew angle it printed
// and its own messages, for the error boxes and the conversion summary.
#pragma once

#include <string>

#include "gui/state/app.h"  // kNoOrientation

struct RunReport {
    int done;            // the run reached its "done." line
    int angle_found;     // a line held the skew angle alone
    double angle;        // degrees, as printed
    std::string messages;  // every other line but the command heading the file, each ending with "\n"
    int orientation = kNoOrientation;  // the quarter turn applied, or one of the two below
};

// Reads the output file written by a run (its first line is the command).
// A missing or unreadable file gives a report with nothing done and no
// message.
RunReport ReadRunReport(const std::string& output_path);
