// Converting the pages of the list: one nivelo process a page, as many at
// once as the machine has cores, each on one thread (NIVELO_THREADS=1) —
// nivelo-batch's rule, since several pages at once go faster than one page
// on several threads.  The window keeps answering: StepListConversion is
// called from the window's timer, reaps the runs that ended, sets their
// pages' status and starts the next ones.
//
// A run is done when nivelo printed its "done." line and its exit status
// says every result was written (a full disk, or the scan itself as target,
// still prints "done.").  Each run's console output is appended to the log,
// one section a page, in the order the runs end.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "gui/pages/page_list.h"

struct ListRunSetup {
    std::string program;             // nivelo, as found
    std::vector<std::string> flags;  // "/c<configuration>", and "/b" when asked
    std::string work_folder;         // ends with '/': the runs' console outputs go here
    std::string log_path;            // every run's output, appended
    int jobs = 1;                    // runs at once
};

struct ListRun {
    size_t entry;
    long pid;
    int slot;  // its console output is "conversion<slot>.txt" in the work folder
};

struct ListConversion {
    ListRunSetup setup;
    std::vector<size_t> queue;  // entries to run, in list order
    size_t next = 0;            // first of queue not started
    std::vector<ListRun> running;
    size_t ended = 0, converted = 0, skipped = 0;
    std::vector<std::string> failures;  // "<path> :\n<what nivelo said>", each ending with "\n"
    int cancelled = 0;
    int stopped = 0;  // nivelo could not be started: nothing more is started
    std::chrono::steady_clock::time_point start;
};

// The pages "Convertir" runs: the selected ones, or every page when none is
// selected; refused pages are left out (they cannot be read).
std::vector<size_t> PagesToConvert(const std::vector<PageEntry>& entries);

// Each page as FindTargets takes it: its folder and the name nivelo gives
// its results, so that a page of a multi-page file has its own target.
std::vector<std::string> TargetImages(const std::vector<PageEntry>& entries, const std::vector<size_t>& pages);

// Begins the conversion of pages (indexes into entries); every one of them is
// marked not converted until its run ends.  Starts the first runs.
void StartListConversion(ListConversion* run, const ListRunSetup& setup, const std::vector<size_t>& pages,
                         std::vector<PageEntry>* entries);
// Reaps the runs that ended, setting their pages' status, and starts the
// next.  Returns 1 while runs remain, 0 once the conversion is over.
int StepListConversion(ListConversion* run, std::vector<PageEntry>* entries);
// "Annuler": ends the runs under way; their pages and those not started stay
// not converted.
void CancelListConversion(ListConversion* run, std::vector<PageEntry>* entries);
// Pages neither run nor skipped when the conversion ended.
size_t PagesLeft(const ListConversion& run);

// The progress lines of the wait box: "Conversion : page 3 / 20" and
// "12 s écoulées, environ 40 s restantes" (the second once a page has ended).
void ProgressLines(const ListConversion& run, double elapsed_seconds, std::string* line1, std::string* line2);
