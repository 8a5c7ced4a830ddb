#include "gui/previews/run_nivelo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/support.h"
#include "gui/panels/panel_values.h"
#include "gui/platform/platform.h"
#include "gui/settings/config_file.h"
#include "gui/settings/file_names.h"
#include "gui/views/scroll.h"

namespace {

const char kConfigName[] = "nivelo_gui_conf.txt";
const char kOutputName[] = "poil.txt";
const char kProgramName[] = "nivelo";

const ControlResource kWaitControls[] = {
    {IDC_WAIT_LINE1, CONTROL_LABEL, "Mise à jour des images", 7, 22, 133, 8, CONTROL_CENTERED},
    {IDC_WAIT_LINE2, CONTROL_LABEL, "Veuillez patienter", 7, 36, 133, 8, CONTROL_CENTERED},
    {IDC_WAIT_CANCEL, CONTROL_BUTTON, "Annuler", 48, 50, 51, 14, 0},
};
const DialogResource kWaitDialog = {DIALOG_WAIT, DIALOG_POPUP, "Mise à jour", 0, 0, 147, 70, kWaitControls, 3};

int WaitBoxProc(void* context, PlatformDialog*, int message, int id, int code)
{
    if (message != MSG_COMMAND || (id != IDC_WAIT_CANCEL && id != CONTROL_ID_CLOSE) || code != NOTIFY_CLICKED) return 0;
    static_cast<App*>(context)->job.cancel_requested = 1;
    return 1;
}

bool IsExecutableFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string FindOnSearchPath()
{
    const char* path = std::getenv("PATH");
    if (path == nullptr) return "";
    for (const char* start = path;; ) {
        const char* end = std::strchr(start, ':');
        size_t length = end != nullptr ? size_t(end - start) : std::strlen(start);
        // An empty entry is the current directory.
        std::string candidate = length == 0 ? std::string("./") : std::string(start, length) + "/";
        candidate += kProgramName;
        if (IsExecutableFile(candidate)) return candidate;
        if (end == nullptr) return "";
        start = end + 1;
    }
}

int BuildConfigPath(const App& app, char* path)
{
    // In the window's own folder: two windows started in one folder would
    // otherwise run nivelo on each other's settings.
    if (JoinPath(path, kConfigPathSize, app.folders.work, kConfigName)) return 1;
    ReportError("Chemin du fichier de configuration trop long (plus de %zu caractères): %s%s\n",
                kConfigPathSize - 1, app.folders.work, kConfigName);
    return 0;
}


int BuildCommand(const App& app, char* command, const char* config_path, int mask, const char* directory,
                 const char* name)
{
    if (FormatCommand(command, config_path, app.params.black_and_white, mask, directory, name,
                      RunOutputPath(app).c_str()))
        return 1;
    ReportError("Commande trop longue (plus de %zu caractères), nivelo n'est pas lancé pour %s%s\n",
                kCommandSize - 1, directory, name);
    return 0;
}

// Lets the message loop run until nivelo ends; "Annuler" or a close request
// ends it first.
int WaitForNivelo(RunningJob& job, long pid, int* exit_status)
{
    job.cancel_requested = 0;
    job.running = 1;
    PlatformBlockInput(1);
    int outcome = RUN_DONE, status = -1;
    auto start = std::chrono::steady_clock::now();
    long shown = 0;
    while (!PlatformProcessEnded(pid, &status)) {
        long seconds = long(std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count());
        if (seconds != shown && job.wait_box != nullptr) {
            // A long run must be seen to go on.
            std::string line = "Veuillez patienter : " + std::to_string(seconds) + " s";
            PlatformSetControlText(job.wait_box, IDC_WAIT_LINE2, line.c_str());
            shown = seconds;
        }
        if (job.cancel_requested || PlatformQuitPosted()) {
            PlatformKillProcess(pid);
            outcome = RUN_CANCELLED;
            break;
        }
        PlatformWaitEvents();
    }
    PlatformBlockInput(0);
    job.running = 0;
    *exit_status = status;
    return outcome;
}

// Runs nivelo with the argument words after the program name, in
// working_directory, its output into poil.txt headed by the command text.
// Returns a RunOutcome; RUN_DONE here only means that nivelo ended, with
// its exit status in *exit_status.
int StartNivelo(App& app, const char* command, const std::vector<std::string>& args, const char* working_directory,
                int* exit_status)
{
    *exit_status = -1;
    std::string program = FindNivelo(app);
    if (program.empty()) {
        ReportError("Programme nivelo introuvable : ni à côté de nivelo_gui, ni dans %s, ni dans le PATH\n",
                    app.folders.start);
        return RUN_FAILED;
    }
    std::string output = RunOutputPath(app);
    std::string header = std::string(command) + "\n";
    ProcessRequest request{program.c_str(), args, output.c_str(), header.c_str(), working_directory};
    // Whatever the GUI has buffered goes out before the child writes.
    std::fflush(nullptr);
    long pid;
    int error;
    if (PlatformStartProcess(&request, &pid, &error)) return WaitForNivelo(app.job, pid, exit_status);
    ReportError("Impossible de lancer %s (sortie dans %s) : %s\n", program.c_str(), output.c_str(),
                std::strerror(error));
    return RUN_FAILED;
}

// A run that ended without its "done." line: nivelo's own words say why.
void ReportFailedRun(const RunReport& report, const char* directory, const char* name)
{
    if (report.messages.empty())
        ReportError("nivelo s'est arrêté sans terminer %s%s, sans message\n", directory, name);
    else
        ReportError("nivelo n'a pas traité %s%s :\n%s", directory, name, report.messages.c_str());
}

std::vector<std::string> FlagWords(const GuiParameterSet& params, const char* config_path)
{
    std::vector<std::string> args{std::string("/c") + config_path};
    if (params.black_and_white) args.push_back("/b");
    return args;
}

// A missing stage image is reported when it is read; a stale one would be
// shown as the result of the new run.
void RemoveStageImages(const App& app, int mask)
{
    for (int k = 0; k < kStageImageCount; k++) {
        if (!(mask & (1 << k))) continue;
        std::string path = std::string(app.folders.work) + "save" + std::to_string(k) + ".tga";
        unlink(path.c_str());
    }
}

}  // namespace

std::string RunOutputPath(const App& app) { return std::string(app.folders.work) + kOutputName; }

// Output folders are relative to the start directory, as they were when the
// GUI ran nivelo from there; the conversion runs elsewhere.
int ResolveFolder(const App& app, char* resolved, const char* folder)
{
    if (folder[0] == '/') return CopyText(resolved, kGuiPathSize, folder);
    if (JoinPath(resolved, kGuiPathSize, app.folders.start, folder)) return 1;
    ReportError("Répertoire de sortie trop long (plus de %d caractères): %s%s\n", kGuiPathSize - 1,
                app.folders.start, folder);
    return 0;
}

int ConfirmLongBlur(const GuiParameterSet& params)
{
    if (!params.FLOU || params.BLUR_RADIUS <= kLongBlurRadius) return 1;
    char text[256];
    std::snprintf(text, sizeof text,
                  "Le flou de rayon %d peut durer plusieurs minutes : son temps croît comme le carré du rayon "
                  "(au-delà de %d, c'est très long).\n\nLancer quand même ?",
                  params.BLUR_RADIUS, kLongBlurRadius);
    return PlatformAskYesNo("Flou", text);
}

std::string FindNivelo(const App& app)
{
    std::string directory;
    if (PlatformExecutableDirectory(&directory) && IsExecutableFile(directory + kProgramName))
        return directory + kProgramName;
    std::string local = std::string(app.folders.start) + kProgramName;
    if (IsExecutableFile(local)) return local;
    return FindOnSearchPath();
}

int FormatCommand(char* buffer, const char* config_path, int black_and_white, int mask, const char* directory,
                  const char* name, const char* output_path)
{
    const char* flag_b = black_and_white ? "/b" : "";
    int length;
    if (mask >= 0)
        length = std::snprintf(buffer, kCommandSize, "nivelo /c\"%s\" %s /d%d %s%s >%s", config_path, flag_b, mask,
                               directory, name, output_path);
    else
        length = std::snprintf(buffer, kCommandSize, "nivelo /c\"%s\" %s %s%s >%s", config_path, flag_b, directory,
                               name, output_path);
    if (length >= 0 && size_t(length) < kCommandSize) return 1;
    buffer[0] = '\0';
    return 0;
}

int NiveloRunning(const App& app) { return app.job.running; }

void OpenWaitBox(App& app, const char* line)
{
    PlatformDialog*& box = app.job.wait_box;
    if (box == nullptr) box = PlatformCreateDialog(&kWaitDialog, WaitBoxProc, &app);
    if (box == nullptr) return;  // a run without its box is still a run
    if (line != nullptr) PlatformSetControlText(box, IDC_WAIT_LINE1, line);
    PlatformShowDialogNow(box);
}

void CloseWaitBox(App& app)
{
    PlatformDestroyDialog(&app.job.wait_box);
}

int RunPreview(App& app, const char* directory, const char* name, int mask)
{
    char config_path[kConfigPathSize];
    char command[kCommandSize];
    if (!BuildConfigPath(app, config_path) || !BuildCommand(app, command, config_path, mask, directory, name))
        return RUN_FAILED;
    // Nothing runs on the set while a field shows another value; the views
    // stay, out of date.
    if (!ValuesAccepted(app)) return RUN_CANCELLED;
    // Stage images from 2 on come after the blur.
    if ((mask >> 2) != 0 && !ConfirmLongBlur(app.params)) return RUN_CANCELLED;

    // nivelo would read an older file: no run without this one.
    if (!WriteConfigFile(app.params, config_path, "", app.folders.work)) return RUN_FAILED;
    OpenWaitBox(app, nullptr);
    RemoveStageImages(app, mask);
    std::vector<std::string> args = FlagWords(app.params, config_path);
    args.push_back("/d" + std::to_string(mask));
    // Without an image nivelo only prints its usage; an empty word would be
    // taken as an empty image name.
    std::string image = std::string(directory) + name;
    if (!image.empty()) args.push_back(image);
    int status;
    int outcome = StartNivelo(app, command, args, app.folders.start, &status);
    CloseWaitBox(app);
    if (outcome == RUN_DONE) {
        RunReport report = ReadRunReport(RunOutputPath(app));
        if (report.angle_found) {
            app.angle.known = 1;
            app.angle.angle = report.angle;
            app.angle.note = report.messages;
        }
        if (report.orientation != kNoOrientation) app.angle.orientation = report.orientation;
        if (!report.done) {
            ReportFailedRun(report, directory, name);
            outcome = RUN_FAILED;
        }
    }
    UpdateScrollBars(app.display);
    return outcome;
}

int RunConversion(App& app, const char* directory, const char* name, RunReport* report)
{
    *report = RunReport{0, 0, 0.0, ""};
    char config_path[kConfigPathSize];
    char command[kCommandSize];
    char folder1[kGuiPathSize], folder2[kGuiPathSize];
    if (!BuildConfigPath(app, config_path) || !BuildCommand(app, command, config_path, -1, directory, name))
        return RUN_FAILED;
    if (!ResolveFolder(app, folder1, app.params.REPERTOIRE1) || !ResolveFolder(app, folder2, app.params.REPERTOIRE2))
        return RUN_FAILED;

    if (!WriteConfigFile(app.params, config_path, folder1, folder2)) return RUN_FAILED;
    std::vector<std::string> args = FlagWords(app.params, config_path);
    args.push_back(name);
    int status;
    int outcome = StartNivelo(app, command, args, directory[0] != '\0' ? directory : app.folders.start, &status);
    if (outcome != RUN_DONE) return outcome;
    *report = ReadRunReport(RunOutputPath(app));
    // nivelo ends its "done." line also when a result could not be written
    // (the scan itself as target, a full disk): its exit status tells.
    return report->done && status == 0 ? RUN_DONE : RUN_FAILED;
}
