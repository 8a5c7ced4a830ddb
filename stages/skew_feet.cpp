// Feet lines.  The row profile's sharpness weighs every edge of the ink:
// the tops of letters, the edges of rules, frames and pictures, each by the
// square of its length.  A thick rule drawn a little askew, or two columns
// whose line grids do not match, can pull its peak off the lines of text.
// The feet of the letters are the straightest mark of a printed line: the
// type stood on one baseline.  So, near the profile's angle:
//   - the feet are the lowest cells of runs of ink down a column no taller
//     than a letter (rules give feet too; frames, pictures and borders give
//     runs too tall to count);
//   - the lines are the rows, at the current slope, where feet crowd far
//     above their average;
//   - on each line and in each column only the lowest foot counts (the
//     bottom of a bowl or of a crossbar lies above the baseline), and only
//     feet within a few rows of the line;
//   - one slope is fitted through all lines at once by least squares, each
//     line with its own height; the lines are found again at the new slope
//     and the slope fitted again.
#include "stages/skew_feet.h"

#include <cstddef>
#include <cstring>

#include "core/support.h"
#include "stages/skew_search.h"

namespace {

constexpr int kRounds = 3;
constexpr double kWindow = 2.5;  // rows either side of a line's middle that belong to it
constexpr int64_t kLeastFeet = 12;  // a line holds at least this many feet
constexpr int64_t kCrowding = 4;    // and this many times the feet of an average row

struct Foot {
    int32_t x, y;
};

struct LineSums {
    int64_t n, x, y, xx, xy;
};

// The angle, in hundredths of a degree, whose tangent is t.
double HundredthsOfTangent(double t)
{
    int32_t lo = -4500, hi = 4500;
    if (t <= TangentOfHundredths(lo)) return lo;
    if (t >= TangentOfHundredths(hi)) return hi;
    while (hi - lo > 1) {
        int32_t mid = lo + (hi - lo) / 2;
        if (TangentOfHundredths(mid) <= t) lo = mid;
        else hi = mid;
    }
    double a = TangentOfHundredths(lo), b = TangentOfHundredths(hi);
    return double(lo) + (t - a) / (b - a);
}

}  // namespace

int FitFeetLines(const uint16_t* counts, int64_t width, int64_t height, int64_t reduction, int32_t start,
                 double* found)
{
    int64_t tallest = height / 40 > 3 ? height / 40 : 3;
    int32_t* run = static_cast<int32_t*>(AllocZeroed(size_t(width) * sizeof(int32_t)));
    if (run == nullptr) return -1;
    // Feet in reading order, so that a later foot of a column lies lower.
    size_t capacity = 0, n = 0;
    Foot* feet = nullptr;
    for (int64_t y = 0; y < height; y++) {
        const uint16_t* row = counts + size_t(y) * size_t(width);
        for (int64_t x = 0; x < width; x++) {
            if (2 * int64_t(row[x]) >= reduction) {
                run[x]++;
                continue;
            }
            if (run[x] > 0 && run[x] <= tallest && run[x] < y) {  // a run cut by the top is no letter's
                if (n == capacity) {
                    size_t more = capacity == 0 ? 4096 : 2 * capacity;
                    Foot* grown = static_cast<Foot*>(AllocMemory(more * sizeof(Foot)));
                    if (grown == nullptr) {
                        FreeMemory(&feet);
                        FreeMemory(&run);
                        return -1;
                    }
                    if (n > 0) std::memcpy(grown, feet, n * sizeof(Foot));
                    FreeMemory(&feet);
                    feet = grown;
                    capacity = more;
                }
                feet[n++] = {int32_t(x), int32_t(y - 1)};
            }
            run[x] = 0;
        }
    }
    FreeMemory(&run);
    double slope = -TangentOfHundredths(start) * double(reduction);  // rows a cell column
    double centre = double(width) * 0.5;
    int64_t pad = int64_t((slope < 0 ? -slope : slope) * centre) + 2;
    int64_t rows = height + 2 * pad;
    int64_t* hist = static_cast<int64_t*>(AllocMemory(size_t(rows) * sizeof(int64_t)));
    int32_t* line_of = static_cast<int32_t*>(AllocMemory(size_t(rows) * sizeof(int32_t)));
    double* middle = static_cast<double*>(AllocMemory(size_t(rows) * sizeof(double)));
    LineSums* sums = static_cast<LineSums*>(AllocMemory(size_t(rows) * sizeof(LineSums)));
    Foot* lowest = static_cast<Foot*>(AllocMemory(size_t(width) * sizeof(Foot)));
    int32_t* lowest_line = static_cast<int32_t*>(AllocMemory(size_t(width) * sizeof(int32_t)));
    int result = hist && line_of && middle && sums && lowest && lowest_line ? 0 : -1;
    double fitted = slope;
    for (int round = 0; round < kRounds && result >= 0; round++) {
        // Row of each foot at the current slope, counted from -pad.
        auto row_of = [&](const Foot& f) { return double(f.y) - fitted * (double(f.x) + 0.5 - centre) + double(pad); };
        std::memset(hist, 0, size_t(rows) * sizeof(int64_t));
        int64_t counted = 0;
        for (size_t i = 0; i < n; i++) {
            double r = row_of(feet[i]);
            if (r >= 0.0 && r < double(rows)) {
                hist[int64_t(r)]++;
                counted++;
            }
        }
        // Lines: rows whose three-row sum is the highest within the window
        // (the first of equal ones) and crowded.
        int64_t lines = 0;
        for (int64_t i = 0; i < rows; i++) line_of[i] = -1;
        int64_t reach = int64_t(2.0 * kWindow) + 1;
        for (int64_t i = 1; i + 1 < rows; i++) {
            int64_t here = hist[i - 1] + hist[i] + hist[i + 1];
            if (here < kLeastFeet || here * height < kCrowding * 3 * counted) continue;
            int top = 1;
            for (int64_t j = i - reach; j <= i + reach && top; j++) {
                if (j < 1 || j + 1 >= rows || j == i) continue;
                int64_t there = hist[j - 1] + hist[j] + hist[j + 1];
                if (there > here || (there == here && j < i)) top = 0;
            }
            if (!top) continue;
            // The line's middle: the mean row of its three rows' feet.
            middle[lines] = double(i) + 0.5 + double(hist[i + 1] - hist[i - 1]) / double(here);
            for (int64_t j = i - reach; j <= i + reach; j++)
                if (j >= 0 && j < rows && double(j) + 0.5 >= middle[lines] - kWindow &&
                    double(j) + 0.5 <= middle[lines] + kWindow && line_of[j] < 0)
                    line_of[j] = int32_t(lines);
            lines++;
        }
        if (lines < 2) break;
        std::memset(sums, 0, size_t(lines) * sizeof(LineSums));
        for (int64_t x = 0; x < width; x++) lowest_line[x] = -1;
        auto flush = [&](int64_t x) {
            if (lowest_line[x] < 0) return;
            LineSums& s = sums[lowest_line[x]];
            int64_t fx = lowest[x].x, fy = lowest[x].y;
            s.n++;
            s.x += fx;
            s.y += fy;
            s.xx += fx * fx;
            s.xy += fx * fy;
            lowest_line[x] = -1;
        };
        for (size_t i = 0; i < n; i++) {
            double r = row_of(feet[i]);
            if (!(r >= 0.0 && r < double(rows))) continue;
            int32_t line = line_of[int64_t(r)];
            if (line < 0) continue;
            int64_t x = feet[i].x;
            if (lowest_line[x] != line) flush(x);
            lowest[x] = feet[i];
            lowest_line[x] = line;
        }
        for (int64_t x = 0; x < width; x++) flush(x);
        // Each line's own spread, pooled: slope = sum Sxy / sum Sxx.
        double sxy = 0.0, sxx = 0.0;
        int64_t used = 0;
        for (int64_t l = 0; l < lines; l++) {
            const LineSums& s = sums[l];
            if (s.n < kLeastFeet) continue;
            used++;
            sxy = sxy + double(s.n * s.xy - s.x * s.y) / double(s.n);
            sxx = sxx + double(s.n * s.xx - s.x * s.x) / double(s.n);
        }
        if (used < 2 || !(sxx > 0.0)) break;
        fitted = sxy / sxx;
        result = 1;
    }
    if (result == 1) *found = HundredthsOfTangent(-fitted / double(reduction));
    FreeMemory(&feet);
    FreeMemory(&hist);
    FreeMemory(&line_of);
    FreeMemory(&middle);
    FreeMemory(&sums);
    FreeMemory(&lowest);
    FreeMemory(&lowest_line);
    return result;
}
