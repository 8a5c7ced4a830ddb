// The rows of the direct PNG reader (contract in png_inflate.h).
//
// ISA-L's inflate is used for its speed (on the A4 bench page about a
// fifth less time than libdeflate's) and because it stops where it is told
// and goes on from there, which a whole-buffer inflater cannot.  Between
// calls it keeps the last 32 KB it wrote in its own state (each call may be
// given a new buffer), and it sums the Adler-32 of a call's output before
// returning, so the bytes of a finished call are free to be rewritten.
// The inflater says how far it got under a lock after each slice, which
// also hands those bytes over to the thread that undoes the filters.
#include "formats/png_inflate.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/environment.h"
#include "core/support.h"
#include "formats/png_unfilter.h"

namespace {

constexpr uint32_t kSliceBytes = uint32_t(1) << 20;         // inflated between two reports of progress
constexpr uint64_t kMostBytes = UINT32_MAX;                // ISA-L counts its input and output in 32 bits
constexpr uint64_t kLeastSideBySide = uint64_t(4) << 20;   // below this a thread costs more than it saves
constexpr unsigned kLastFilter = 4;                        // Paeth, after None, Sub, Up and Average

enum InflateState { kInflating, kInflated, kBroken };

struct Stream {
    uint8_t* out;
    uint64_t out_size;
    inflate_state* isal;
};

// How far the inflater got, shared with the rows' side.
struct Progress {
    std::mutex lock;
    std::condition_variable moved;
    uint64_t done = 0;
    InflateState state = kInflating;
    bool abandoned = false;  // the rows' side gave up: stop
};

// One call of the inflater on up to a slice of output.
InflateState InflateSlice(Stream* s, uint64_t* done)
{
    inflate_state* st = s->isal;
    st->next_out = s->out + *done;
    st->avail_out = uint32_t(std::min<uint64_t>(kSliceBytes, s->out_size - *done));
    uint64_t before = *done;
    uint32_t in_before = st->avail_in;
    int said = isal_inflate(st);
    *done = uint64_t(st->next_out - s->out);
    if (said != ISAL_DECOMP_OK) return kBroken;
    if (st->block_state == ISAL_BLOCK_FINISH) return *done == s->out_size && st->avail_in == 0 ? kInflated : kBroken;
    // Nothing moved: the stream wants more room than the page, or more bytes than it has.
    if (*done == before && st->avail_in == in_before) return kBroken;
    return kInflating;
}

// The inflater's thread.
void InflateAll(Stream* s, Progress* p)
{
    uint64_t done = 0;
    InflateState state = kInflating;
    bool abandoned = false;
    while (state == kInflating && !abandoned) {
        state = InflateSlice(s, &done);
        std::lock_guard<std::mutex> hold(p->lock);
        p->done = done;
        p->state = state;
        abandoned = p->abandoned;
        p->moved.notify_one();
    }
}

bool CodesKnown(const uint8_t* rows, uint64_t stride, uint64_t first, uint64_t end)
{
    for (uint64_t y = first; y < end; y++)
        if (rows[y * stride] > kLastFilter) return false;
    return true;
}

// The rows' side: each time the inflater has gone far enough, the rows it
// left behind are finished.
PngDirectResult UnfilterAsInflated(Stream* s, Progress* p, uint32_t width, uint32_t height, unsigned channels,
                                   uint8_t* scratch)
{
    uint64_t stride = uint64_t(width) * channels + 1;
    for (uint64_t y = 0; y < height;) {
        uint64_t done;
        InflateState state;
        {
            std::unique_lock<std::mutex> hold(p->lock);
            p->moved.wait(hold, [&] { return p->state != kInflating || p->done >= (y + 1) * stride; });
            done = p->done;
            state = p->state;
        }
        if (state == kBroken) return PNG_DIRECT_DECLINED;
        uint64_t end = state == kInflated ? height : std::min<uint64_t>(height, done / stride);
        if (!CodesKnown(s->out, stride, y, end)) return PNG_DIRECT_DECLINED;
        UnfilterRowRange(s->out, width, channels, y, end, scratch);
        y = end;
    }
    // Every row may be there before the inflater has read the stream's end:
    // the Adler-32, and whether bytes follow the page.  The answer waits for
    // it, or it would hang on which thread ran first.
    std::unique_lock<std::mutex> hold(p->lock);
    p->moved.wait(hold, [&] { return p->state != kInflating; });
    return p->state == kInflated ? PNG_DIRECT_READ : PNG_DIRECT_DECLINED;
}

// Both sides on two threads.  False when no thread could be had, nothing done.
bool SideBySide(Stream* s, uint32_t width, uint32_t height, unsigned channels, uint8_t* scratch,
                PngDirectResult* result)
{
    Progress p;
    try {
        std::thread inflater(InflateAll, s, &p);
        *result = UnfilterAsInflated(s, &p, width, height, channels, scratch);
        if (*result != PNG_DIRECT_READ) {
            std::lock_guard<std::mutex> hold(p.lock);
            p.abandoned = true;
        }
        inflater.join();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace

PngDirectResult InflateRows(const uint8_t* stream, uint64_t stream_bytes, uint8_t* rows, uint32_t width,
                            uint32_t height, unsigned channels)
{
    uint64_t row = uint64_t(width) * channels, size = (row + 1) * height;
    if (size > kMostBytes || stream_bytes > kMostBytes) return PNG_DIRECT_DECLINED;
    // A row of zeros (the row above the first), then the unfiltering's own rows.
    uint8_t* scratch = static_cast<uint8_t*>(AllocZeroed(size_t(row * kUnfilterScratchRows)));
    inflate_state* isal = scratch == nullptr ? nullptr : static_cast<inflate_state*>(AllocMemory(sizeof(inflate_state)));
    PngDirectResult result = PNG_DIRECT_FAILED;
    if (isal != nullptr) {
        isal_inflate_init(isal);
        isal->crc_flag = ISAL_ZLIB;  // the zlib header read, the Adler-32 checked
        isal->next_in = const_cast<uint8_t*>(stream);
        isal->avail_in = uint32_t(stream_bytes);
        Stream s = {rows, size, isal};
        bool two = StageThreads() >= 2 && size >= kLeastSideBySide &&
                   SideBySide(&s, width, height, channels, scratch, &result);
        if (!two) {
            uint64_t done = 0;
            InflateState state = kInflating;
            while (state == kInflating) state = InflateSlice(&s, &done);
            result = state == kInflated && CodesKnown(rows, row + 1, 0, height) ? PNG_DIRECT_READ
                                                                                : PNG_DIRECT_DECLINED;
            if (result == PNG_DIRECT_READ) UnfilterRowRange(rows, width, channels, 0, height, scratch);
        }
    }
    FreeMemory(&isal);
    FreeMemory(&scratch);
    return result;
}
