#include "gui/commands/conversion.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "core/support.h"
#include "gui/commands/conversion_targets.h"
#include "gui/panels/panel_resources.h"
#include "gui/panels/panel_values.h"
#include "gui/panels/panels.h"
#include "gui/platform/platform.h"
#include "gui/previews/run_nivelo.h"
#include "gui/settings/file_names.h"
#include "gui/settings/gui_params.h"

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

int ChooseInstead(App& app, OutputFolder* folder)
{
    std::string old = folder->value;
    ChooseFolder(folder->value);
    if (old == folder->value) return 0;
    // The panel that shows this folder follows (its change notification
    // reads it back).
    SetEditText(app.panels.window, folder->edit_id, folder->value);
    return 1;
}

// The value becomes a folder: a final separator, shown by the panel.
int MakeItAFolder(App& app, OutputFolder* folder)
{
    size_t length = std::strlen(folder->value);
    if (length + 2 > size_t(kTextSize)) {
        ReportError("Répertoire trop long (plus de %d caractères) : %s/\n", kTextSize - 2, folder->value);
        return 0;
    }
    folder->value[length] = kPathSeparator;
    folder->value[length + 1] = '\0';
    SetEditText(app.panels.window, folder->edit_id, folder->value);
    return 1;
}

// A value is a prefix joined to the result names.  A value without a final
// separator that names an existing folder was meant as that folder: it gets
// its separator, so that the results go into it and not beside it.  Any
// other value keeps its meaning ("sorties/lot_" names results "lot_page.tga"
// in sorties/); the folder it writes into must exist, or is created when the
// user agrees.
int EnsureExists(App& app, OutputFolder* folder)
{
    char resolved[kGuiPathSize];
    if (!ResolveFolder(app, resolved, folder->value)) return 0;
    size_t length = std::strlen(resolved);
    bool is_prefix = length > 0 && resolved[length - 1] != kPathSeparator;
    if (is_prefix && IsDirectory(resolved)) return MakeItAFolder(app, folder);
    // A resolved value always holds the start directory's separator.
    std::string parent(resolved, size_t(std::strrchr(resolved, kPathSeparator) + 1 - resolved));
    if (IsDirectory(parent.c_str())) return 1;
    std::string question = std::string("Le ") + folder->what + " " + parent + " n'existe pas.\n\nLe créer ?";
    return PlatformAskYesNo(kBoxTitle, question.c_str()) && MakeFolder(parent);
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

struct BatchCount {
    size_t converted = 0, skipped = 0, left = 0;
    int cancelled = 0;
    std::vector<std::string> failures;
};

std::string Summary(const App& app, const BatchCount& n, const std::vector<std::string>& folders)
{
    char head[160];
    std::snprintf(head, sizeof head, "%zu image%s convertie%s, %zu en échec", n.converted, n.converted > 1 ? "s" : "",
                  n.converted > 1 ? "s" : "", n.failures.size());
    std::string text = head;
    if (n.skipped > 0) text += ", " + std::to_string(n.skipped) + " passée(s) pour ne rien remplacer";
    if (n.cancelled) text += "\nConversion annulée : " + std::to_string(n.left) + " image(s) non traitée(s)";
    if (n.converted > 0) {
        text += "\n\nRésultats dans :";
        for (const std::string& folder : folders) text += "\n  " + folder;
    }
    for (const std::string& failure : n.failures)
        text += "\n\n" + (failure.back() == '\n' ? failure.substr(0, failure.size() - 1) : failure);
    text += "\n\nJournal : " + std::string(app.folders.work) + kLogName;
    return text;
}

// The output folders in use, resolved as the runs see them; an empty text
// for a save that is off.
std::vector<std::string> UsedFolders(const App& app)
{
    std::vector<std::string> folders;
    const char* values[2] = {app.params.REPERTOIRE1, app.params.REPERTOIRE2};
    int used[2] = {app.params.SAUVEGARDE1, app.params.SAUVEGARDE2};
    for (int i = 0; i < 2; i++) {
        char resolved[kGuiPathSize];
        folders.push_back(used[i] && ResolveFolder(app, resolved, values[i]) ? resolved : "");
    }
    return folders;
}

enum ReplaceAnswer { REPLACE_ALL = 0, SKIP_THOSE = 1, CANCEL_BATCH = 2 };

// One question for the whole batch, listing the files that would go.
int AskAboutExisting(const std::vector<std::string>& existing)
{
    const size_t shown = 8;
    std::string text = existing.size() > 1 ? "Ces fichiers existent déjà et seraient remplacés :\n"
                                            : "Ce fichier existe déjà et serait remplacé :\n";
    for (size_t i = 0; i < existing.size() && i < shown; i++) text += "\n  " + existing[i];
    if (existing.size() > shown) text += "\n  … et " + std::to_string(existing.size() - shown) + " autre(s)";
    text += "\n\nTout remplacer, passer les pages concernées, ou annuler la conversion ?";
    const char* buttons[] = {"Tout remplacer", "Passer ces pages", "Annuler"};
    return PlatformAskChoice(kBoxTitle, text.c_str(), buttons, 3, SKIP_THOSE, CANCEL_BATCH);
}

// The folders in the user's file manager, as a desktop opens them.
void OpenFolders(App& app, const std::vector<std::string>& folders)
{
    std::set<std::string> opened;
    for (const std::string& value : folders) {
        if (value.empty()) continue;
        std::string folder = value.substr(0, value.find_last_of(kPathSeparator) + 1);
        if (!opened.insert(folder).second) continue;
        std::string output = std::string(app.folders.work) + "xdg-open.txt";
        ProcessRequest request{"xdg-open", {folder}, output.c_str(), nullptr, nullptr};
        long pid;
        int error;
        if (PlatformStartProcess(&request, &pid, &error)) app.job.viewers.push_back(pid);
        else ReportError("Impossible d'ouvrir le répertoire %s avec xdg-open : %s\n", folder.c_str(),
                         std::strerror(error));
    }
}

void ShowSummary(App& app, const BatchCount& n, const std::vector<std::string>& used)
{
    std::vector<std::string> folders;
    for (const std::string& folder : used)
        if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    std::string text = Summary(app, n, folders);
    if (n.converted == 0) {
        PlatformMessageBox(MESSAGE_ERROR, kBoxTitle, text.c_str());
        return;
    }
    const char* buttons[] = {"Ouvrir les dossiers", "Fermer"};
    if (PlatformAskChoice(kBoxTitle, text.c_str(), buttons, 2, 1, 1) == 0) OpenFolders(app, folders);
}

}  // namespace

int PrepareOutputFolders(App& app)
{
    GuiParameterSet& p = app.params;
    OutputFolder folders[2] = {
        {p.REPERTOIRE1, p.SAUVEGARDE1, "répertoire de \"Sauvegarde 1\"", IDC_REPERTOIRE1},
        {p.REPERTOIRE2, p.SAUVEGARDE2, "répertoire de \"Sauvegarde 2\"", IDC_REPERTOIRE2},
    };
    std::string defaults;
    for (const OutputFolder& f : folders)
        if (f.used && IsWindowsDefault(f.value)) defaults += std::string(defaults.empty() ? "" : " et ") + f.value;
    if (!defaults.empty()) {
        std::string text = "Répertoire de sortie encore celui par défaut, un chemin Windows : " + defaults +
                           ".\n\nChoisissez où écrire les images.";
        PlatformMessageBox(MESSAGE_INFORMATION, kBoxTitle, text.c_str());
        for (OutputFolder& f : folders)
            if (f.used && IsWindowsDefault(f.value) && !ChooseInstead(app, &f)) return 0;
    }
    for (OutputFolder& f : folders)
        if (f.used && !EnsureExists(app, &f)) return 0;
    return 1;
}

namespace {

enum ImageOutcome { NEXT_IMAGE = 1, STOP_AFTER = 0, STOP_BEFORE = -1 };

// One image of the batch under the wait box; its output goes to the log.
int ConvertOne(App& app, const std::string& path, size_t i, size_t count, const std::string& log, BatchCount* n)
{
    char name[kGuiPathSize], directory[kGuiPathSize];
    if (!CopyText(name, sizeof name, path.c_str())) {
        n->failures.push_back(path + " : chemin trop long");
        return NEXT_IMAGE;
    }
    SplitPath(name, directory);
    char progress[64];
    std::snprintf(progress, sizeof progress, "Conversion : image %zu / %zu", i + 1, count);
    OpenWaitBox(app, progress);
    RunReport report;
    std::remove(RunOutputPath(app).c_str());  // no output of an earlier image in this one's section
    int outcome = RunConversion(app, directory, name, &report);
    std::string section = ReadWholeFile(RunOutputPath(app));
    AppendToLog(log, path, section);
    if (outcome == RUN_FAILED && section.empty()) {
        // nivelo could not be started (already reported): the next image
        // would fail the same way.
        n->failures.push_back(path + " :\nnivelo n'a pas pu être lancé\n");
        return STOP_AFTER;
    }
    if (outcome == RUN_CANCELLED) {
        n->cancelled = 1;
        return STOP_BEFORE;
    }
    if (outcome == RUN_DONE) n->converted++;
    else n->failures.push_back(path + " :\n" + (report.messages.empty() ? "(pas de message de nivelo)\n" : report.messages));
    return NEXT_IMAGE;
}

}  // namespace

void ReapFolderViewers(App& app)
{
    std::vector<long>& viewers = app.job.viewers;
    int status;
    for (size_t i = viewers.size(); i-- > 0;)
        if (PlatformProcessEnded(viewers[i], &status)) viewers.erase(viewers.begin() + long(i));
}

void ConvertImages(App& app, const std::vector<std::string>& paths)
{
    if (paths.empty() || !ValuesAccepted(app) || !PrepareOutputFolders(app) || !ConfirmLongBlur(app.params)) return;
    std::vector<std::string> folders = UsedFolders(app);
    ConversionTargets targets = FindTargets(paths, folders, app.params.black_and_white);
    int skip = 0;
    if (!targets.existing.empty()) {
        int answer = AskAboutExisting(targets.existing);
        if (answer == CANCEL_BATCH) return;
        skip = answer == SKIP_THOSE;
    }
    std::string log = std::string(app.folders.work) + kLogName;
    std::ofstream(log, std::ios::binary | std::ios::trunc).close();

    BatchCount n;
    size_t count = paths.size(), i = 0;
    for (; i < count; i++) {
        if (skip && targets.replaces[i]) {
            n.skipped++;
            continue;
        }
        int next = ConvertOne(app, paths[i], i, count, log, &n);
        if (next == STOP_AFTER) i++;
        if (next != NEXT_IMAGE) break;
    }
    CloseWaitBox(app);
    if (PlatformQuitPosted()) return;
    n.left = count - i;
    ShowSummary(app, n, folders);
}
