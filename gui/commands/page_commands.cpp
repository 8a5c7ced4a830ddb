#include "gui/commands/page_commands.h"

#include <filesystem>

#include "gui/commands/menu_commands.h"
#include "gui/pages/drop_text.h"
#include "gui/pages/page_list.h"
#include "gui/pages/page_strip.h"
#include "gui/platform/platform.h"

namespace {

const char kListTitle[] = "Pages";

// The first readable page, or -1.
int FirstReadable(const std::vector<PageEntry>& pages) { return StepPage(pages, -1, 1); }

int Open(App& app, size_t index)
{
    const PageEntry& e = app.pages[index];
    return AcceptImage(app, e.path.c_str(), e.page, e.page_count > 1);
}

void SetCurrent(App& app, size_t index)
{
    size_t before = app.current_page;
    app.current_page = index;
    ShowStripItem(app, before);
    ShowStripItem(app, index);
    if (index < app.pages.size()) PlatformStripReveal(int(index));
}

}  // namespace

void OpenPaths(App& app, const std::vector<std::string>& paths, const std::string& folder)
{
    std::error_code error;
    if (paths.size() == 1 && !std::filesystem::is_directory(paths[0], error)) {
        // One image: nivelo decides, as it always has, and a refused one
        // leaves the window and its list as they were.
        if (!AcceptImage(app, paths[0].c_str())) return;
        app.pages = ListFiles(paths);
        app.pages_folder.clear();
        app.current_page = 0;
        ShowPageStrip(app);
        StartPageThumbnails(app);
        return;
    }
    std::vector<PageEntry> pages = ListFiles(paths);
    if (pages.empty()) {
        std::string text = "Aucune image que nivelo lit dans " + (folder.empty() ? std::string("ces fichiers") : folder) +
                           ".\n\nnivelo lit les fichiers TIFF, PNG, JPEG et TGA.";
        PlatformMessageBox(MESSAGE_INFORMATION, kListTitle, text.c_str());
        return;
    }
    int first = FirstReadable(pages);
    app.pages = std::move(pages);
    app.pages_folder = folder;
    app.current_page = app.pages.size();  // none until one is shown
    ShowPageStrip(app);
    StartPageThumbnails(app);
    if (first >= 0 && Open(app, size_t(first))) SetCurrent(app, size_t(first));
}

void OpenFolderCommand(App& app)
{
    std::string folder;
    if (!PlatformChooseFolder("Ouvrir un dossier de pages", &folder)) return;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    OpenPaths(app, {folder}, folder);
}

void OpenDroppedFiles(App& app)
{
    std::vector<std::string> paths = ParseDropText(PlatformDropText());
    if (paths.empty()) return;
    // One folder dropped is opened as "Ouvrir un dossier" would.
    std::error_code error;
    std::string folder;
    if (paths.size() == 1 && std::filesystem::is_directory(paths[0], error))
        folder = paths[0].back() == '/' ? paths[0] : paths[0] + '/';
    OpenPaths(app, paths, folder);
}

void MoveToPage(App& app, size_t index)
{
    if (index >= app.pages.size() || index == app.current_page) return;
    const PageEntry& e = app.pages[index];
    if (e.status == PAGE_REFUSED) {
        PlatformMessageBox(MESSAGE_ERROR, kListTitle, e.reason.c_str());
        return;
    }
    if (Open(app, index)) SetCurrent(app, index);
}

void StepPageCommand(App& app, int delta)
{
    if (app.pages.size() < 2) return;
    int from = app.current_page < app.pages.size() ? int(app.current_page) : (delta > 0 ? -1 : int(app.pages.size()));
    int to = StepPage(app.pages, from, delta);
    if (to != from && to >= 0) MoveToPage(app, size_t(to));
}

void StripClicked(App& app, uint32_t wparam)
{
    size_t index = wparam & ~kStripToggle;
    if (index >= app.pages.size()) return;
    if (wparam & kStripToggle) {
        app.pages[index].selected = !app.pages[index].selected;
        ShowStripItem(app, index);
        return;
    }
    MoveToPage(app, index);
}
