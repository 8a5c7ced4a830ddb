#include "gui/conversion.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/support.h"
#include "gui/file_names.h"
#include "gui/gui_params.h"
#include "gui/main_window.h"
#include "gui/panel_resources.h"
#include "gui/panels.h"
#include "gui/platform.h"
#include "gui/run_nivelo.h"

namespace {

const char kLogName[] = "conversion.txt";
const char kBoxTitle[] = "Convertir...";

struct OutputFolder {
    char* value;       // in the parameter set
    int used;          // the conversion writes into it
    const char* what;  // for the messages
    int edit_id;       // the panel edit that shows it
};

bool IsDirectory(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes the folder and its missing parents; 0 after a message.
int MakeFolder(const std::string& path)
{
    for (size_t i = 1; i <= path.size(); i++) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            ReportError("Impossible de créer le répertoire %s : %s\n", part.c_str(), std::strerror(errno));
            return 0;
        }
    }
    if (IsDirectory(path.c_str())) return 1;
    ReportError("%s existe mais n'est pas un répertoire\n", path.c_str());
    return 0;
}

// Still the start values, written for Windows: on this system they would
// be folders named "c:\t\" in the start directory.
bool IsWindowsDefault(const char* folder)
{
    return std::strcmp(folder, "c:\\t\\") == 0 || std::strcmp(folder, "c:\\trot\\") == 0;
}

int ChooseInstead(OutputFolder* folder)
{
    std::string old = folder->value;
    ChooseFolder(folder->value);
    if (old == folder->value) return 0;
    // The panel that shows this folder follows (its change notification
    // reads it back).
    SetEditText(g_current_panel_window, folder->edit_id, folder->value);
    return 1;
}

int EnsureExists(const OutputFolder& folder)
{
    char resolved[kGuiPathSize];
    if (!ResolveFolder(resolved, folder.value)) return 0;
    if (IsDirectory(resolved)) return 1;
    std::string question = std::string("Le ") + folder.what + " " + resolved +
                           " n'existe pas.\n\nLe créer ?";
    if (!PlatformAskYesNo(kBoxTitle, question.c_str())) return 0;
    return MakeFolder(resolved);
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void AppendToLog(const std::string& log, const std::string& image, const std::string& section)
{
    std::ofstream file(log, std::ios::binary | std::ios::app);
    file << "=== " << image << "\n" << section;
    if (!section.empty() && section.back() != '\n') file << "\n";
    file << "\n";
}

std::string Summary(size_t converted, const std::vector<std::string>& failures, int cancelled, size_t left)
{
    char head[128];
    std::snprintf(head, sizeof head, "%zu image%s convertie%s, %zu en échec", converted, converted > 1 ? "s" : "",
                  converted > 1 ? "s" : "", failures.size());
    std::string text = head;
    if (cancelled) text += "\nConversion annulée : " + std::to_string(left) + " image(s) non traitée(s)";
    for (const std::string& failure : failures)
        text += "\n\n" + (failure.back() == '\n' ? failure.substr(0, failure.size() - 1) : failure);
    text += "\n\nJournal : " + std::string(g_work_directory) + kLogName;
    return text;
}

}  // namespace

int PrepareOutputFolders()
{
    OutputFolder folders[2] = {
        {g_gui_params.REPERTOIRE1, g_gui_params.SAUVEGARDE1, "répertoire de \"Sauvegarde 1\"", IDC_REPERTOIRE1},
        {g_gui_params.REPERTOIRE2, g_gui_params.SAUVEGARDE2, "répertoire de \"Sauvegarde 2\"", IDC_REPERTOIRE2},
    };
    std::string defaults;
    for (const OutputFolder& f : folders)
        if (f.used && IsWindowsDefault(f.value)) defaults += std::string(defaults.empty() ? "" : " et ") + f.value;
    if (!defaults.empty()) {
        std::string text = "Répertoire de sortie encore celui par défaut, un chemin Windows : " + defaults +
                           ".\n\nChoisissez où écrire les images.";
        PlatformMessageBox(MESSAGE_INFORMATION, kBoxTitle, text.c_str());
        for (OutputFolder& f : folders)
            if (f.used && IsWindowsDefault(f.value) && !ChooseInstead(&f)) return 0;
    }
    for (const OutputFolder& f : folders)
        if (f.used && !EnsureExists(f)) return 0;
    return 1;
}

void ConvertImages(const std::vector<std::string>& paths)
{
    if (paths.empty() || !PrepareOutputFolders() || !ConfirmLongBlur()) return;
    std::string log = std::string(g_work_directory) + kLogName;
    std::ofstream(log, std::ios::binary | std::ios::trunc).close();

    size_t converted = 0, count = paths.size(), i = 0;
    std::vector<std::string> failures;
    int cancelled = 0;
    for (; i < count; i++) {
        char name[kGuiPathSize], directory[kGuiPathSize];
        if (!CopyText(name, sizeof name, paths[i].c_str())) {
            failures.push_back(paths[i] + " : chemin trop long");
            continue;
        }
        SplitPath(name, directory);
        char progress[64];
        std::snprintf(progress, sizeof progress, "Conversion : image %zu / %zu", i + 1, count);
        OpenWaitBox(progress);
        RunReport report;
        std::remove(RunOutputPath().c_str());  // no output of an earlier image in this one's section
        int outcome = RunConversion(directory, name, &report);
        std::string section = ReadWholeFile(RunOutputPath());
        AppendToLog(log, paths[i], section);
        if (outcome == RUN_FAILED && section.empty()) {
            // nivelo could not be started (already reported): the next
            // image would fail the same way.
            failures.push_back(paths[i] + " :\nnivelo n'a pas pu être lancé\n");
            i++;
            break;
        }
        if (outcome == RUN_CANCELLED) {
            cancelled = 1;
            break;
        }
        if (outcome == RUN_DONE) converted++;
        else failures.push_back(paths[i] + " :\n" + (report.messages.empty() ? "(pas de message de nivelo)\n"
                                                                             : report.messages));
    }
    CloseWaitBox();
    if (PlatformQuitPosted()) return;
    PlatformMessageBox(failures.empty() && !cancelled ? MESSAGE_INFORMATION : MESSAGE_ERROR, kBoxTitle,
                       Summary(converted, failures, cancelled, count - i).c_str());
}
