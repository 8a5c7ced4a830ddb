#include "gui/pages/page_strip.h"

#include <algorithm>
#include <thread>

#include "gui/pages/page_list.h"
#include "gui/pages/thumbnails.h"
#include "gui/platform/platform.h"

namespace {

// Workers beside the window and the previews' nivelo: all cores but one,
// four at most (each holds a whole page while it reads it).
int WorkerCount()
{
    unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(cores > 1 ? cores - 1 : 1u, 1u, 4u));
}

bool Shown(const App& app) { return app.pages.size() >= 2; }

}  // namespace

void ShowStripItem(App& app, size_t index)
{
    if (!Shown(app) || index >= app.pages.size()) return;
    const PageEntry& e = app.pages[index];
    std::string status = PageStatusText(e);
    std::string tip = e.path + (e.page_count > 1 ? ", page " + std::to_string(e.page + 1) : "") +
                      (e.reason.empty() ? "" : "\n" + e.reason);
    while (!tip.empty() && tip.back() == '\n') tip.pop_back();
    StripItem item{e.thumb_state == THUMB_READY ? e.thumb.data() : nullptr,
                   e.thumb_width,
                   e.thumb_height,
                   e.name.c_str(),
                   status.c_str(),
                   tip.c_str(),
                   index == app.current_page,
                   e.selected,
                   e.status == PAGE_FAILED || e.status == PAGE_REFUSED};
    PlatformSetStripItem(int(index), &item);
}

void ShowPageStrip(App& app)
{
    if (!Shown(app)) {
        PlatformShowStrip(0);
        PlatformSetStripCount(0);
        return;
    }
    PlatformSetStripCount(int(app.pages.size()));
    for (size_t i = 0; i < app.pages.size(); i++) ShowStripItem(app, i);
    PlatformShowStrip(kStripWidth);
    if (app.current_page < app.pages.size()) PlatformStripReveal(int(app.current_page));
}

void StartPageThumbnails(App& app)
{
    if (!Shown(app)) return;
    if (app.thumbnails == nullptr)
        app.thumbnails = std::shared_ptr<ThumbnailWorkers>(new ThumbnailWorkers, [](ThumbnailWorkers* w) {
            StopThumbnails(w);
            delete w;
        });
    StartThumbnails(app.thumbnails.get(), app.pages, std::string(app.folders.work) + "vignettes/", WorkerCount());
    PollPages(app);
}

void PollPages(App& app)
{
    if (app.thumbnails == nullptr || !Shown(app)) return;
    int first, last;
    PlatformStripRange(&first, &last);
    if (last >= first) WantThumbnails(app.thumbnails.get(), size_t(first), size_t(last));
    std::vector<int> before;
    for (const PageEntry& e : app.pages) before.push_back(e.thumb_state);
    if (TakeThumbnails(app.thumbnails.get(), &app.pages) == 0) return;
    for (size_t i = 0; i < app.pages.size(); i++)
        if (app.pages[i].thumb_state != before[i]) ShowStripItem(app, i);
}
