// Thumbnails of the list's pages, made on worker threads so that the window
// never waits for a page to be read.
//
// The window hands the workers the list's pages and, as the strip scrolls,
// the range it shows; a worker always takes the next page in that range
// first, then those after it, then those before.  A worker reads the page
// with LoadDocumentPage, scales it down by averaging (integer arithmetic, so a
// thumbnail is the same bytes on every machine) and keeps the result in the
// cache folder as a TGA file named after the page's path, page number, size
// and modification time, so that opening the folder again costs no decoding.
// The window's timer collects finished thumbnails with TakeThumbnails.
//
// Past the first screenful, workers run at a lower priority than the window
// and nivelo's previews, which thus come nearly as fast as without thumbnails.  Reports of
// a page that cannot be read are held: the entry is marked, no box opens
// from a worker thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/bitmap.h"
#include "gui/pages/page_list.h"

// The box a thumbnail fits in, in pixels: an A4 page at its proportions.
constexpr int kThumbnailWidth = 90;
constexpr int kThumbnailHeight = 128;

// Scales a page of any pixel type down into BGR pixels that fit width x
// height (never scaled up), proportions kept, each pixel the rounded mean of
// the page pixels it covers.  Returns 1, or 0 for an empty page.
int ScaleToThumbnail(const BITMAP* page, int width, int height, std::vector<uint8_t>* bgr, int* out_width,
                     int* out_height);

struct ThumbnailJob {
    size_t index;      // in the list
    uint64_t list_id;  // the list it belongs to
    std::string path;
    uint32_t page;
};

struct ThumbnailResult {
    size_t index;
    uint64_t list_id;
    int ok;
    int width, height;
    std::vector<uint8_t> pixels;
};

struct ThumbnailWorkers {
    std::mutex lock;  // guards every field below but threads
    std::condition_variable wake;
    std::vector<ThumbnailJob> pending;
    std::vector<ThumbnailResult> finished;
    size_t first_wanted = 0, last_wanted = 0;  // the strip's visible range
    uint64_t list_id = 0;                      // results of older lists are dropped
    int stopping = 0;
    int busy = 0;  // pages being made
    int made = 0;  // since the workers started
    std::string cache_folder;  // ends with '/'; empty: no cache
    std::vector<std::thread> threads;
};

// Replaces the work with the entries that have no thumbnail yet.  The
// threads (count, at least 1) start on the first call; cache_folder (ending
// with '/') is made when missing.
void StartThumbnails(ThumbnailWorkers* workers, const std::vector<PageEntry>& entries, const std::string& cache_folder, int count);
// The strip shows entries first to last: those are made next.
void WantThumbnails(ThumbnailWorkers* workers, size_t first, size_t last);
// Moves the finished thumbnails of the current entries into them.
// Returns how many arrived (the strip is drawn again when any did).
size_t TakeThumbnails(ThumbnailWorkers* workers, std::vector<PageEntry>* entries);
// 1 while a thumbnail is still to come (waiting, being made or not yet taken).
int ThumbnailsPending(ThumbnailWorkers* workers);
// Ends the threads (each after the page it is reading).  Harmless when
// repeated or never started.
void StopThumbnails(ThumbnailWorkers* workers);
