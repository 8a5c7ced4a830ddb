#include "gui/pages/thumbnails.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "core/image_facts.h"
#include "core/support.h"
#include "documents/load_document.h"
#include "tga/tga.h"

namespace {

// Nice value of the worker threads (Linux gives each thread its own), taken
// once the first screenful is made: those come at once, the rest give way to
// the window and to nivelo's previews.  A thread cannot take back a nice
// value it gave up without privileges, hence first normal, then nice.
constexpr int kWorkerNice = 10;
constexpr int kFirstThumbnails = 6;  // a strip's screenful

// 64-bit FNV-1a: a cache name for a page, stable across runs and machines.
uint64_t Fnv1a(const std::string& text)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

// Empty when the file cannot be examined (it will not be read either).
std::string CachePath(const std::string& folder, const ThumbnailJob& job)
{
    struct stat info;
    if (folder.empty() || stat(job.path.c_str(), &info) != 0) return "";
    std::string key = job.path + '\n' + std::to_string(job.page) + '\n' + std::to_string(info.st_size) + '\n' +
                      std::to_string(info.st_mtim.tv_sec) + '.' + std::to_string(info.st_mtim.tv_nsec);
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.tga", (unsigned long long)Fnv1a(key));
    return folder + name;
}

// Thumbnail pixels as a BGR image record, for SaveTGA.
int ReadCached(const std::string& path, ThumbnailResult* result)
{
    BITMAP image;
    if (path.empty() || access(path.c_str(), R_OK) != 0 || LoadTGA(path.c_str(), &image) != 1) return 0;
    int ok = image.type == PIXEL_BGR && image.width <= kThumbnailWidth && image.height <= kThumbnailHeight;
    if (ok) {
        result->width = image.width, result->height = image.height;
        result->pixels.assign(image.pixels, image.pixels + size_t(image.width) * image.height * 3);
    }
    BITMAP_Free(&image);
    return ok;
}

// Written under a temporary name and renamed: a reader never sees half a file.
void WriteCached(const std::string& path, const ThumbnailResult& result)
{
    if (path.empty()) return;
    BITMAP image;
    BITMAP_Init(&image, unsigned(result.width), unsigned(result.height), PIXEL_BGR);
    image.pixels = const_cast<uint8_t*>(result.pixels.data());
    std::string part = path + ".part";
    if (SaveTGA(part.c_str(), &image) == 1) std::rename(part.c_str(), path.c_str());
    else std::remove(part.c_str());
}

ThumbnailResult Make(const ThumbnailJob& job, const std::string& cache_folder)
{
    ThumbnailResult result{job.index, job.list_id, 0, 0, 0, {}};
    std::string held;
    HoldReports(&held);
    std::string cached = CachePath(cache_folder, job);
    if (ReadCached(cached, &result)) {
        result.ok = 1;
    } else {
        BITMAP page;
        ImageFacts facts;
        if (LoadDocumentPage(job.path.c_str(), job.page, &page, &facts) == 1) {
            result.ok = ScaleToThumbnail(&page, kThumbnailWidth, kThumbnailHeight, &result.pixels, &result.width,
                                         &result.height);
            BITMAP_Free(&page);
            if (result.ok) WriteCached(cached, result);
        }
    }
    HoldReports(nullptr);
    return result;
}

// The pending job to make next: in the visible range, then after it, then
// before it; lowest index first within each.
size_t NextJob(const ThumbnailWorkers& w)
{
    size_t best = 0;
    int best_rank = 3;
    for (size_t i = 0; i < w.pending.size(); i++) {
        size_t index = w.pending[i].index;
        int rank = index < w.first_wanted ? 2 : index <= w.last_wanted ? 0 : 1;
        if (rank < best_rank || (rank == best_rank && index < w.pending[best].index)) best = i, best_rank = rank;
    }
    return best;
}

void Work(ThumbnailWorkers* w)
{
    int niced = 0;
    std::unique_lock<std::mutex> hold(w->lock);
    for (;;) {
        w->wake.wait(hold, [w] { return w->stopping || !w->pending.empty(); });
        if (w->stopping) return;
        if (!niced && w->made >= kFirstThumbnails) {
            setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), kWorkerNice);  // a refusal leaves it at normal
            niced = 1;
        }
        size_t next = NextJob(*w);
        ThumbnailJob job = w->pending[next];
        w->pending.erase(w->pending.begin() + long(next));
        std::string cache = w->cache_folder;
        w->busy++;
        hold.unlock();
        ThumbnailResult result = Make(job, cache);
        hold.lock();
        w->busy--;
        w->made++;
        w->finished.push_back(std::move(result));
    }
}

}  // namespace

int ScaleToThumbnail(const BITMAP* page, int width, int height, std::vector<uint8_t>* bgr, int* out_width,
                     int* out_height)
{
    uint64_t pw = page->width, ph = page->height;
    if (pw == 0 || ph == 0 || page->pixels == nullptr || width < 1 || height < 1) return 0;
    uint64_t w = pw, h = ph;
    if (pw > uint64_t(width) || ph > uint64_t(height)) {
        // The side that fills its box first sets the scale.
        if (pw * uint64_t(height) >= ph * uint64_t(width)) w = width, h = std::max<uint64_t>(1, ph * width / pw);
        else h = height, w = std::max<uint64_t>(1, pw * height / ph);
    }
    unsigned bytes = BITMAP_BytesPerPixel(page->type);
    bgr->assign(size_t(w * h * 3), 0);
    for (uint64_t ty = 0; ty < h; ty++) {
        uint64_t y0 = ty * ph / h, y1 = (ty + 1) * ph / h;
        for (uint64_t tx = 0; tx < w; tx++) {
            uint64_t x0 = tx * pw / w, x1 = (tx + 1) * pw / w, sum[3] = {0, 0, 0};
            for (uint64_t y = y0; y < y1; y++) {
                const uint8_t* row = page->pixels + (y * pw + x0) * bytes;
                for (uint64_t x = x0; x < x1; x++, row += bytes) {
                    uint8_t b, g, r;
                    if (page->type == PIXEL_INDEXED && page->palette != nullptr) {
                        const uint8_t* entry = page->palette + row[0] * 3;
                        r = entry[0], g = entry[1], b = entry[2];
                    } else if (page->type == PIXEL_RGB) {
                        r = row[0], g = row[1], b = row[2];
                    } else if (page->type == PIXEL_BGR) {
                        b = row[0], g = row[1], r = row[2];
                    } else {
                        r = g = b = row[0];
                    }
                    sum[0] += b, sum[1] += g, sum[2] += r;
                }
            }
            uint64_t n = (y1 - y0) * (x1 - x0);
            uint8_t* out = bgr->data() + (ty * w + tx) * 3;
            for (int c = 0; c < 3; c++) out[c] = uint8_t((sum[c] + n / 2) / n);
        }
    }
    *out_width = int(w), *out_height = int(h);
    return 1;
}

void StartThumbnails(ThumbnailWorkers* workers, const std::vector<PageEntry>& entries, const std::string& cache_folder, int count)
{
    if (!cache_folder.empty()) mkdir(cache_folder.c_str(), 0777);  // an existing one is fine; a failure only loses the cache
    std::lock_guard<std::mutex> hold(workers->lock);
    workers->list_id++;
    workers->pending.clear();
    workers->finished.clear();
    workers->cache_folder = cache_folder;
    workers->first_wanted = workers->last_wanted = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        const PageEntry& e = entries[i];
        if (e.thumb_state == THUMB_NONE && e.status != PAGE_REFUSED)
            workers->pending.push_back({i, workers->list_id, e.path, e.page});
    }
    for (int i = int(workers->threads.size()); i < std::max(1, count); i++)
        workers->threads.emplace_back(Work, workers);
    workers->wake.notify_all();
}

void WantThumbnails(ThumbnailWorkers* workers, size_t first, size_t last)
{
    std::lock_guard<std::mutex> hold(workers->lock);
    workers->first_wanted = first, workers->last_wanted = last;
}

size_t TakeThumbnails(ThumbnailWorkers* workers, std::vector<PageEntry>* entries)
{
    std::vector<ThumbnailResult> results;
    uint64_t id;
    {
        std::lock_guard<std::mutex> hold(workers->lock);
        results.swap(workers->finished);
        id = workers->list_id;
    }
    size_t taken = 0;
    for (ThumbnailResult& r : results) {
        if (r.list_id != id || r.index >= entries->size()) continue;
        PageEntry& e = (*entries)[r.index];
        e.thumb_state = r.ok ? THUMB_READY : THUMB_FAILED;
        e.thumb_width = r.width, e.thumb_height = r.height;
        e.thumb = std::move(r.pixels);
        taken++;
    }
    return taken;
}

int ThumbnailsPending(ThumbnailWorkers* workers)
{
    std::lock_guard<std::mutex> hold(workers->lock);
    return !workers->pending.empty() || workers->busy > 0 || !workers->finished.empty();
}

void StopThumbnails(ThumbnailWorkers* workers)
{
    {
        std::lock_guard<std::mutex> hold(workers->lock);
        workers->stopping = 1;
        workers->pending.clear();
    }
    workers->wake.notify_all();
    for (std::thread& t : workers->threads) t.join();
    workers->threads.clear();
    workers->stopping = 0;
}
