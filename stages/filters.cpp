// The five skew filters.  Filters 1, 2 and 4 read only the current pixel and
// pixels below it or to its right, which are not yet rewritten, so working in
// place gives the same result as reading an unchanged copy.
#include "stages/filters.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "stages/degrees.h"
#include "stages/parallel.h"
#include "stages/trace_step.h"

namespace {

inline uint8_t* Row(BITMAP* grey, int32_t y) { return grey->pixels + size_t(y) * grey->width; }

// True when the gap that starts at (x, y) is closed by a mark at column x + k,
// in the row or directly above or below it.  Bridges (1) do not close a gap.
bool ClosesGap(BITMAP* grey, int32_t x, int32_t y)
{
    if (Row(grey, y)[x] == 255) return true;
    if (y > 0 && Row(grey, y - 1)[x] == 255) return true;
    return y < int32_t(grey->height) - 1 && Row(grey, y + 1)[x] == 255;
}

// Bridges the gaps of row y.
void BridgeRow(BITMAP* grey, int32_t y, int32_t longest)
{
    int32_t width = grey->width;
    uint8_t* row = Row(grey, y);
    int32_t x = 1;
    while (x < width) {
        if (row[x] != 0 || row[x - 1] != 255) {
            x++;
            continue;
        }
        int32_t k = 0;
        for (; k < longest; k++) {
            if (x + k >= width) return;  // the row ends inside the gap
            if (ClosesGap(grey, x + k, y)) break;
        }
        if (k == longest || longest <= 0) {  // not closed within reach
            x++;
            continue;
        }
        for (int32_t i = 0; i < k; i++) row[x + i] = 1;
        x += k + 2;
    }
}

// Every pixel from itself and the pixel below it, by rule; the last row,
// which has nothing below it, becomes 0.
template <class Rule> void WithRowBelow(BITMAP* grey, Rule rule)
{
    int32_t width = grey->width, height = grey->height;
    for (int32_t y = 0; y + 1 < height; y++) {
        uint8_t* row = Row(grey, y);
        const uint8_t* below = Row(grey, y + 1);
        for (int32_t x = 0; x < width; x++) row[x] = rule(row[x], below[x]);
    }
    if (height > 0) std::memset(Row(grey, height - 1), 0, size_t(width));
}

}  // namespace

void VerticalStepFilter(BITMAP* grey, const ParameterSet& params)
{
    int32_t limit = params.VISION_LIMIT1;
    WithRowBelow(grey, [limit](uint8_t pixel, uint8_t below) -> uint8_t {
        return std::abs(pixel - below) >= limit ? 255 : 0;
    });
}

void RunFilter(BITMAP* grey, const ParameterSet& params)
{
    if (UseFastStages()) {
        RunFilterFast(grey, StageThreads(), params);
        return;
    }
    int64_t width = grey->width, height = grey->height;
    int64_t window = params.VISION_WIDTH1, run = params.VISION_LIMIT2;
    // Run starts l = 0 ... window - run - 1; the window so reaches x + window - 2.
    int64_t starts = window - run;
    for (int64_t y = 0; y < height; y++) {
        uint8_t* row = grey->pixels + size_t(y) * size_t(width);
        for (int64_t x = 0; x < width; x++) {
            uint8_t result = 0;
            if (x < width - window) {
                for (int64_t l = 0; l < starts && result == 0; l++) {
                    int64_t i = 0;
                    while (i < run && row[x + l + i] != 0) i++;
                    if (i >= run) result = 255;
                }
            }
            row[x] = result;
        }
    }
}

void GapBridgeFilter(BITMAP* grey, const ParameterSet& params)
{
    if (UseFastStages()) {
        GapBridgeFilterFast(grey, StageThreads(), params);
        return;
    }
    int32_t height = grey->height;
    int32_t longest = params.VISION_WIDTH2;
    for (int32_t y = 0; y < height; y++) BridgeRow(grey, y, longest);
}

void LowerBorderFilter(BITMAP* grey)
{
    if (UseFastStages()) {
        LowerBorderFilterFast(grey);
        return;
    }
    WithRowBelow(grey, [](uint8_t pixel, uint8_t below) -> uint8_t { return (pixel != 0 && below == 0) ? 255 : 0; });
}

double LineAngleFilter(BITMAP* grey, int mark_counted, const ParameterSet& params, int* counted)
{
    int any = 0;
    if (counted == nullptr) counted = &any;
    double fast_angle = 0.0;
    if (UseFastStages() && LineAngleFilterFast(grey, mark_counted, &fast_angle, params, counted)) return fast_angle;
    int32_t width = grey->width, height = grey->height;
    double total_length = 0.0, weighted_angle = 0.0;  // S and T
    for (int32_t x = 0; x < width; x++) {
        for (int32_t y = 0; y < height; y++) {
            if (Row(grey, y)[x] != 255) continue;
            int32_t cx = x, cy = y;
            Row(grey, y)[x] = 1;
            while (StepRight(grey, &cx, &cy, Accept::Marked)) Row(grey, cy)[cx] = 1;
            int32_t dx = cx - x, dy = y - cy;  // dy > 0: the trace ends higher
            if (dx < params.VISION_WIDTH3) continue;
            double angle = std::atan2(double(dy), double(dx)) * 180.0 / kPi;
            if (!(std::fabs(angle) < params.VISION_ANGLE)) continue;
            total_length = total_length + double(dx);
            weighted_angle = weighted_angle + angle * double(dx);
            if (!mark_counted) continue;
            cx = x, cy = y;
            Row(grey, y)[x] = 2;
            while (StepRight(grey, &cx, &cy, Accept::Traced)) Row(grey, cy)[cx] = 2;
        }
    }
    *counted = total_length != 0.0;
    return total_length == 0.0 ? 0.0 : weighted_angle / total_length;
}
