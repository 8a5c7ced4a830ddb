#include "gui/pages/list_conversion.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "gui/platform/platform.h"
#include "gui/previews/run_report.h"

namespace {

std::string OutputPath(const ListRunSetup& setup, int slot)
{
    return setup.work_folder + "conversion" + std::to_string(slot) + ".txt";
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('/') + 1); }
std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The command as a user would type it, on the one line ReadRunReport skips.
std::string Heading(const ProcessRequest& request)
{
    std::string line = request.program;
    for (const std::string& word : request.args) line += " " + word;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = '?';
    return line + "\n";
}

void AppendToLog(const std::string& log, const std::string& page, const std::string& output)
{
    std::ifstream in(output, std::ios::binary);
    std::ostringstream section;
    section << in.rdbuf();
    std::string text = section.str();
    std::ofstream file(log, std::ios::binary | std::ios::app);
    file << "=== " << page << "\n" << text;
    if (!text.empty() && text.back() != '\n') file << "\n";
    file << "\n";
}

std::string Label(const PageEntry& e)
{
    return e.page_count > 1 ? e.path + " [page " + std::to_string(e.page + 1) + "]" : e.path;
}

int FreeSlot(const ListConversion& run)
{
    for (int slot = 0;; slot++) {
        bool used = false;
        for (const ListRun& r : run.running) used = used || r.slot == slot;
        if (!used) return slot;
    }
}

// Starts the page's run; 0 (the page failed, the conversion stops starting
// runs) when nivelo cannot be started.
int StartOne(ListConversion* run, size_t index, std::vector<PageEntry>* entries)
{
    PageEntry& e = (*entries)[index];
    int slot = FreeSlot(*run);
    std::string output = OutputPath(run->setup, slot), folder = FolderOf(e.path);
    // env gives this run alone its one thread; the window's own previews keep
    // every core.  nivelo runs in the page's folder on the bare name, since
    // it names its results after the name as given.
    ProcessRequest request{"env", {"NIVELO_THREADS=1", run->setup.program}, output.c_str(), nullptr,
                           folder.empty() ? nullptr : folder.c_str()};
    request.args.insert(request.args.end(), run->setup.flags.begin(), run->setup.flags.end());
    if (e.page_count > 1) request.args.push_back("/p" + std::to_string(e.page + 1));
    request.args.push_back(NameOf(e.path));
    std::string heading = Heading(request);
    request.output_header = heading.c_str();
    long pid;
    int error;
    if (PlatformStartProcess(&request, &pid, &error)) {
        run->running.push_back({index, pid, slot});
        return 1;
    }
    e.status = PAGE_FAILED;
    e.reason = "nivelo n'a pas pu être lancé : " + std::string(std::strerror(error)) + "\n";
    run->failures.push_back(Label(e) + " :\n" + e.reason);
    run->ended++;
    return 0;
}

void Finish(ListConversion* run, const ListRun& r, int exit_status, std::vector<PageEntry>* entries)
{
    PageEntry& e = (*entries)[r.entry];
    std::string output = OutputPath(run->setup, r.slot);
    AppendToLog(run->setup.log_path, Label(e), output);
    RunReport report = ReadRunReport(output);
    e.angle_found = report.angle_found;
    e.angle = report.angle;
    run->ended++;
    if (report.done && exit_status == 0) {
        e.status = PAGE_CONVERTED;
        e.reason.clear();
        run->converted++;
        return;
    }
    e.status = PAGE_FAILED;
    e.reason = report.messages.empty() ? "(pas de message de nivelo)\n" : report.messages;
    run->failures.push_back(Label(e) + " :\n" + e.reason);
}

}  // namespace

std::vector<size_t> PagesToConvert(const std::vector<PageEntry>& entries)
{
    std::vector<size_t> pages, selected;
    for (size_t i = 0; i < entries.size(); i++) {
        if (entries[i].status == PAGE_REFUSED) continue;
        pages.push_back(i);
        if (entries[i].selected) selected.push_back(i);
    }
    return selected.empty() ? pages : selected;
}

std::vector<std::string> TargetImages(const std::vector<PageEntry>& entries, const std::vector<size_t>& pages)
{
    std::vector<std::string> images;
    for (size_t i : pages) images.push_back(FolderOf(entries[i].path) + PageResultName(entries[i]));
    return images;
}

void StartListConversion(ListConversion* run, const ListRunSetup& setup, const std::vector<size_t>& pages,
                         std::vector<PageEntry>* entries)
{
    *run = ListConversion();
    run->setup = setup;
    run->queue = pages;
    run->start = std::chrono::steady_clock::now();
    for (size_t i : pages) {
        (*entries)[i].status = PAGE_NOT_CONVERTED;
        (*entries)[i].reason.clear();
        (*entries)[i].angle_found = 0;
    }
    StepListConversion(run, entries);
}

int StepListConversion(ListConversion* run, std::vector<PageEntry>* entries)
{
    for (size_t i = 0; i < run->running.size();) {
        int status;
        if (!PlatformProcessEnded(run->running[i].pid, &status)) {
            i++;
            continue;
        }
        ListRun ended = run->running[i];
        run->running.erase(run->running.begin() + long(i));
        Finish(run, ended, status, entries);
    }
    int jobs = run->setup.jobs > 0 ? run->setup.jobs : 1;
    while (!run->stopped && !run->cancelled && run->next < run->queue.size() && int(run->running.size()) < jobs)
        if (!StartOne(run, run->queue[run->next++], entries)) run->stopped = 1;
    return !run->running.empty() || (!run->stopped && !run->cancelled && run->next < run->queue.size());
}

void CancelListConversion(ListConversion* run, std::vector<PageEntry>*)
{
    for (const ListRun& r : run->running) PlatformKillProcess(r.pid);
    run->running.clear();
    run->cancelled = 1;
}

size_t PagesLeft(const ListConversion& run) { return run.queue.size() - run.ended; }

void ProgressLines(const ListConversion& run, double elapsed_seconds, std::string* line1, std::string* line2)
{
    size_t total = run.queue.size(), current = std::min(total, run.ended + (run.running.empty() ? 0 : 1));
    *line1 = "Conversion : page " + std::to_string(current) + " / " + std::to_string(total);
    char text[96];
    if (run.ended == 0) {
        std::snprintf(text, sizeof text, "%.0f s écoulées", elapsed_seconds);
    } else {
        double left = elapsed_seconds / double(run.ended) * double(total - run.ended);
        std::snprintf(text, sizeof text, "%.0f s écoulées, environ %.0f s restantes", elapsed_seconds, left);
    }
    *line2 = text;
}
