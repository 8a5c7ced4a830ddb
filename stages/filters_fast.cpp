// Fast twins of the skew filters that the plain loops make slow; each gives
// the bytes of its plain twin.
//
//   RunFilterFast          per row, the length of the run of non-zero pixels
//                          starting at each pixel, then for each pixel the
//                          nearest start of a long enough run: linear in the
//                          width instead of width x window x run.  Rows are
//                          independent: chunks of rows on threads.
//   GapBridgeFilterFast    skips to the next mark with memchr.  A row's
//                          result depends only on the marks (255) of its own
//                          and its neighbour rows, which the filter never
//                          changes: chunks of rows on threads.
//   LowerBorderFilterFast  a branch-free loop the compiler vectorises; it is
//                          memory-bound, one thread.
//   LineAngleFilterFast    lists each column's marks once, row by row
//                          (eight bytes without a mark passed at once), and
//                          visits only them (in the same column-major order,
//                          skipping those a trace has taken meanwhile),
//                          instead of reading the whole image column by
//                          column.  The traces are those of the plain filter.
//
// Filter 1 (VerticalStepFilter) is already a vectorised memory-speed loop.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "stages/filters.h"
#include "stages/degrees.h"
#include "stages/parallel.h"
#include "stages/trace_step.h"

namespace {

inline uint8_t* Row(BITMAP* grey, int64_t y) { return grey->pixels + size_t(y) * grey->width; }

void RunRow(uint8_t* row, int64_t width, int64_t window, int64_t run, int64_t starts, int32_t* next_start)
{
    if (starts <= 0 || window >= width) {  // no run can be looked for, or no pixel before the last window
        std::memset(row, 0, size_t(width));
        return;
    }
    int64_t last = window <= 0 ? width : width - window;  // pixels 0 ... last - 1 may be marked
    if (run <= 0) {  // an empty run is found at once
        std::memset(row, 255, size_t(last));
        std::memset(row + last, 0, size_t(width - last));
        return;
    }
    // next_start[p]: the first q >= p at which `run` non-zero pixels start,
    // or width.  Pixels x + l + i that the plain loop reads stay below
    // x + window - 1 < width, so runs are counted within the row.
    int64_t length = 0;  // non-zero pixels from p on
    int64_t next = width;
    for (int64_t p = width - 1; p >= 0; p--) {
        length = row[p] != 0 ? length + 1 : 0;
        if (length >= run) next = p;
        next_start[p] = int32_t(next);
    }
    for (int64_t x = 0; x < last; x++) row[x] = next_start[x] < x + starts ? 255 : 0;
    std::memset(row + last, 0, size_t(width - last));
}

bool ClosesGap(const uint8_t* above, const uint8_t* row, const uint8_t* below, int64_t x)
{
    return row[x] == 255 || (above != nullptr && above[x] == 255) || (below != nullptr && below[x] == 255);
}

void BridgeRowFast(BITMAP* grey, int64_t y, int64_t longest)
{
    int64_t width = grey->width, height = grey->height;
    uint8_t* row = Row(grey, y);
    const uint8_t* above = y > 0 ? Row(grey, y - 1) : nullptr;
    const uint8_t* below = y < height - 1 ? Row(grey, y + 1) : nullptr;
    int64_t x = 1;
    while (x < width) {
        // The plain loop passes over every x whose left neighbour is no mark.
        const void* mark = std::memchr(row + x - 1, 255, size_t(width - (x - 1)));
        if (mark == nullptr) return;
        x = static_cast<const uint8_t*>(mark) - row + 1;
        if (x >= width) return;
        if (row[x] != 0) {
            x++;
            continue;
        }
        int64_t k = 0;
        for (; k < longest; k++) {
            if (x + k >= width) return;  // the row ends inside the gap
            if (ClosesGap(above, row, below, x + k)) break;
        }
        if (k == longest) {
            x++;
            continue;
        }
        std::memset(row + x, 1, size_t(k));
        x += k + 2;
    }
}

}  // namespace

void RunFilterFast(BITMAP* grey, int threads, const ParameterSet& params)
{
    int64_t width = grey->width, height = grey->height;
    if (width == 0 || height == 0) return;
    int64_t window = params.VISION_WIDTH1, run = params.VISION_LIMIT2;
    int64_t starts = window - run;
    if (threads > height) threads = int(height);
    std::vector<int32_t> scratch(size_t(width) * size_t(threads < 1 ? 1 : threads));
    RunInBands(height, threads, [&](int thread, int64_t first, int64_t end) {
        int32_t* next_start = scratch.data() + size_t(thread) * size_t(width);
        for (int64_t y = first; y < end; y++) RunRow(Row(grey, y), width, window, run, starts, next_start);
    });
}

void GapBridgeFilterFast(BITMAP* grey, int threads, const ParameterSet& params)
{
    int64_t longest = params.VISION_WIDTH2;
    if (longest <= 0 || grey->width == 0) return;  // no gap can be closed
    RunInBands(grey->height, threads, [&](int, int64_t first, int64_t end) {
        for (int64_t y = first; y < end; y++) BridgeRowFast(grey, y, longest);
    });
}

void LowerBorderFilterFast(BITMAP* grey)
{
    int64_t width = grey->width, height = grey->height;
    for (int64_t y = 0; y + 1 < height; y++) {
        uint8_t* row = Row(grey, y);
        const uint8_t* below = Row(grey, y + 1);
        for (int64_t x = 0; x < width; x++) row[x] = uint8_t(-int(row[x] != 0) & -int(below[x] == 0));
    }
    if (height > 0) std::memset(Row(grey, height - 1), 0, size_t(width));
}

namespace {

// Calls found(x) for each x with row[x] == 255, in increasing order.  Marks
// are sparse: eight bytes without one are passed over with one test.
template <class Found>
inline void ForEachMark(const uint8_t* row, int32_t width, const Found& found)
{
    constexpr uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        uint64_t word;
        std::memcpy(&word, row + x, 8);
        uint64_t inverse = ~word;  // a zero byte where a mark is
        if (((inverse - kOnes) & ~inverse & kHighs) == 0) continue;
        for (int32_t k = x; k < x + 8; k++)
            if (row[k] == 255) found(k);
    }
    for (; x < width; x++)
        if (row[x] == 255) found(x);
}

}  // namespace

int LineAngleFilterFast(BITMAP* grey, int mark_counted, double* angle, const ParameterSet& params, int* counted)
{
    int32_t width = grey->width, height = grey->height;
    // The marks of each column, by rows (compressed: column x's rows are
    // rows[first[x]] ... rows[first[x + 1] - 1]).
    std::vector<uint32_t> first(size_t(width) + 1, 0);
    for (int32_t y = 0; y < height; y++) ForEachMark(Row(grey, y), width, [&first](int32_t x) { first[size_t(x) + 1]++; });
    for (int32_t x = 0; x < width; x++) first[size_t(x) + 1] += first[size_t(x)];
    uint64_t marks = first[size_t(width)];
    // Not AllocMemory: without the list the plain filter does the work, so a
    // failure here is no error to report.
    uint16_t* rows = static_cast<uint16_t*>(std::malloc(size_t(marks == 0 ? 1 : marks) * sizeof(uint16_t)));
    if (rows == nullptr) return 0;
    {
        std::vector<uint32_t> fill(first.begin(), first.end() - 1);
        for (int32_t y = 0; y < height; y++)
            ForEachMark(Row(grey, y), width, [&fill, rows, y](int32_t x) { rows[fill[size_t(x)]++] = uint16_t(y); });
    }
    double total_length = 0.0, weighted_angle = 0.0;  // S and T, summed in the plain order
    for (int32_t x = 0; x < width; x++) {
        for (uint32_t m = first[size_t(x)]; m < first[size_t(x) + 1]; m++) {
            int32_t y = rows[m];
            if (Row(grey, y)[x] != 255) continue;  // taken by an earlier trace
            int32_t cx = x, cy = y;
            Row(grey, y)[x] = 1;
            while (StepRight(grey, &cx, &cy, Accept::Marked)) Row(grey, cy)[cx] = 1;
            int32_t dx = cx - x, dy = y - cy;
            if (dx < params.VISION_WIDTH3) continue;
            double a = std::atan2(double(dy), double(dx)) * 180.0 / kPi;
            if (!(std::fabs(a) < params.VISION_ANGLE)) continue;
            total_length = total_length + double(dx);
            weighted_angle = weighted_angle + a * double(dx);
            if (!mark_counted) continue;
            cx = x, cy = y;
            Row(grey, y)[x] = 2;
            while (StepRight(grey, &cx, &cy, Accept::Traced)) Row(grey, cy)[cx] = 2;
        }
    }
    std::free(rows);
    *angle = total_length == 0.0 ? 0.0 : weighted_angle / total_length;
    *counted = total_length != 0.0;
    return 1;
}
