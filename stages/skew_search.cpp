// The precise skew search: the angle at which the row sums of a thresholded,
// reduced copy of the page change most sharply from row to row.  Text lines
// that lie along the rows give tall, narrow peaks in the row sums; any other
// angle smears them.
//
// Method:
//   - threshold from the page's own histogram (Otsu: the cut that best
//     separates ink from paper), so light print and grey paper both work,
//     made on the page evened for uneven light (ink_cut.h);
//   - the page reduced to cells of R pixels of a row, each holding its
//     count of dark pixels (R keeps the copy near 1000 cells wide; every
//     pixel row is kept, since the rows set the precision of the slope);
//   - the copy is sheared, not turned: column x moves by (x - centre) x
//     tan a pixel rows, which brings lines of slope tan a level exactly as
//     a turn would (rounded with a dither, see Shift);
//   - score(a) = sum over rows of (rowsum(i + 1) - rowsum(i))^2, in integers;
//   - a sweep of the whole range (and some way beyond, to tell a page that
//     lies beyond it) every 0.32 degree on a coarser copy of square cells
//     of 2R x 2R pixels, then a sweep every 0.04 degree around each of the
//     highest peaks of the sweep on the first copy, and the top of a
//     parabola fitted to the highest, to 0.01 degree.
// Angles are whole hundredths of a degree and ties go to the angle tried
// first, so the result does not depend on the machine.
//
// Each row's prefix sums make one run of columns that share a shift cost
// one addition a row, so a score costs (number of runs) x rows.  The
// counting and the scores of the angles are shared among the threads; each
// score is an integer of its own, so the result is the same for any number
// of threads.
#include "stages/skew_search.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "core/environment.h"
#include "core/support.h"
#include "stages/ink_cut.h"
#include "stages/parallel.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int32_t kSweepStep = 32;     // hundredths of a degree between the angles swept
constexpr int32_t kFineStep = 4;       // the same on the fine level, around the best of the sweep
constexpr int64_t kCellsAcross = 1000;  // the reduced copy is about this wide
constexpr int64_t kDitherColumns = 8;  // columns that share one rounding offset
constexpr int kCandidates = 3;         // peaks of the sweep looked at closely
constexpr int kFitSteps = 4;           // fine steps each side of the best that the parabola fits
constexpr int32_t kRefineReach = 2 * kSweepStep;  // how far the fine sweep looks from where it starts
// Ink and paper whose means differ by less than this (in sums of the three
// bytes, 0 to 765) are one and the same: a blank page.
constexpr int64_t kLeastContrast = 3 * 12;
// Lines must stand out.  The best score must be this many times the score of
// the worst angle (in 16ths: 1.5 times), which a photograph or noise does
// not reach; and this many times the dark pixels scored times the most a
// cell holds, where ink scattered at random gives about twice the pixels
// times the cell at any angle, and text lines of n cells across and h rows
// about 2 n / h times as much.
constexpr uint64_t kLeastPeak16 = 16 * 3 / 2;
constexpr uint64_t kLeastLines = 1;

struct Level {
    int64_t width = 0, height = 0;  // cells
    // Column-major prefix sums: prefix[x * (height + 2) + 1 + y] = dark pixels
    // in cells 0 ... x - 1 of row y, for x = 0 ... width, with an empty row
    // above and below each column.
    uint32_t* prefix = nullptr;
    // Differences of adjacent row sums of the sheared copy, one array for
    // each thread, with room for the largest shift either way.
    int64_t* steps = nullptr;
    int64_t reach = 0;  // the largest shift at the angles scored, in cell rows
    int64_t aspect = 1;  // cell rows that a slope of one moves across one cell column
    int threads = 1;
};

void FreeLevel(Level* level)
{
    FreeMemory(&level->prefix);
    FreeMemory(&level->steps);
}

// Sine and cosine from their Taylor series (|x| <= pi/4: twenty terms are
// far more than double precision needs), so only +, * and / are used.
double Tangent(double x)
{
    double sine = 0.0, cosine = 0.0;
    double term = x;
    for (int k = 1; k < 40; k += 2) {  // x^k / k!
        sine = sine + term;
        term = -term * x * x / double((k + 1) * (k + 2));
    }
    term = 1.0;
    for (int k = 0; k < 40; k += 2) {
        cosine = cosine + term;
        term = -term * x * x / double((k + 1) * (k + 2));
    }
    return sine / cosine;
}

size_t StepCount(const Level& level) { return size_t(level.height + 2 * level.reach + 2); }

// The largest shift, in cell rows, of a level `width` cells across whose
// cells are `aspect` times as wide as tall, at an angle of that tangent.
int64_t ReachAt(double tangent, int64_t aspect, int64_t width)
{
    return int64_t(tangent * double(aspect) * double(width) * 0.5) + 2;
}

// Builds a level from cell counts, its cells `aspect` times as wide as
// they are tall; 0 after "Not enough memory\n".
int MakeLevel(const uint16_t* counts, int64_t width, int64_t height, int64_t aspect, double range_tangent,
              int threads, Level* level)
{
    level->width = width;
    level->height = height;
    level->aspect = aspect;
    level->reach = ReachAt(range_tangent, aspect, width);
    level->threads = threads;
    int64_t column_size = height + 2;
    level->prefix =
        static_cast<uint32_t*>(AllocMemory((size_t(width) + 1) * size_t(column_size) * sizeof(uint32_t)));
    level->steps = static_cast<int64_t*>(AllocMemory(size_t(threads) * StepCount(*level) * sizeof(int64_t)));
    if (level->prefix == nullptr || level->steps == nullptr) return 0;
    uint32_t* prefix = level->prefix;
    std::memset(prefix, 0, size_t(column_size) * sizeof(uint32_t));
    for (int64_t x = 1; x <= width; x++) {  // the empty rows
        prefix[size_t(x) * size_t(column_size)] = 0;
        prefix[(size_t(x) + 1) * size_t(column_size) - 1] = 0;
    }
    // Each row's sums are its own, so the threads take bands of rows.
    // Within a band, blocks of columns, so that the rows of counts are read
    // in order while the columns of the prefix sums are written in order.
    constexpr int64_t kBlock = 32;
    RunInBands(height, threads, [&](int, int64_t first, int64_t end) {
        for (int64_t x0 = 0; x0 < width; x0 += kBlock) {
            int64_t x1 = x0 + kBlock < width ? x0 + kBlock : width;
            for (int64_t y = first; y < end; y++) {
                const uint16_t* row = counts + size_t(y) * size_t(width);
                uint32_t* out = prefix + size_t(x0) * size_t(column_size) + size_t(1 + y);
                uint32_t sum = *out;
                for (int64_t x = x0; x < x1; x++) {
                    sum += row[x];
                    out += column_size;
                    *out = sum;
                }
            }
        }
    });
    return 1;
}

// The row that column x moves to, relative to its own: (x + 0.5 -
// width / 2) x tangent, plus a fixed offset for each block of
// kDitherColumns columns, rounded.  Plain rounding would move no column at
// all near 0 degrees and blur the profile by up to a row elsewhere, which
// favours 0 over its neighbours.  The offset is the sum of two terms spread
// evenly from -0.5 to 0.5 over the blocks (an additive recurrence in two
// dimensions): a triangular dither, with which the rounding blurs the
// profile alike at every angle, and each column moves by its exact shift on
// average.  The score then varies smoothly with the angle.
int64_t Shift(int64_t x, int64_t width, double tangent)
{
    uint32_t block = uint32_t(x / kDitherColumns);
    double first = double(uint32_t(block * 3242174889u)) * (1.0 / 4294967296.0);  // 0 <= first < 1
    double second = double(uint32_t(block * 2447445414u)) * (1.0 / 4294967296.0);
    double offset = (double(x) + 0.5 - double(width) * 0.5) * tangent + (first + second - 0.5);
    int64_t whole = int64_t(offset);
    return double(whole) > offset ? whole - 1 : whole;  // floor
}

// The row sums of a run of columns moved by `shift` rows step by
// count(y) - count(y - 1) at row y + shift; the steps of all runs are
// summed, then squared.  Rows within the level's reach (the largest shift
// at the angles it scores) of the top and bottom are left out at every
// angle: there the page's own edges, cut slantwise by the shear, would
// score.  `thread` picks the thread's own array of steps.
uint64_t Score(const Level& level, int32_t hundredths, int thread)
{
    double tangent = TangentOfHundredths(hundredths) * double(level.aspect);
    int64_t width = level.width, height = level.height, reach = level.reach;
    int64_t column_size = height + 2;
    int64_t* own = level.steps + size_t(thread) * StepCount(level);
    std::memset(own, 0, StepCount(level) * sizeof(int64_t));
    int64_t first = 0, shift = Shift(0, width, tangent);
    for (int64_t x = 1; x <= width; x++) {
        int64_t next = x < width ? Shift(x, width, tangent) : shift + 1;
        if (next == shift) continue;
        // Columns first ... x - 1 move by `shift` rows; the count of row
        // y (from -1 to height) is right[y] - left[y].
        const uint32_t* left = level.prefix + size_t(first) * size_t(column_size);
        const uint32_t* right = level.prefix + size_t(x) * size_t(column_size);
        int64_t* steps = own + (reach + 1 + shift);
        int64_t above = 0;
        for (int64_t y = 0; y <= height; y++, steps++) {
            int64_t count = int64_t(right[y + 1]) - int64_t(left[y + 1]);
            *steps += count - above;
            above = count;
        }
        first = x;
        shift = next;
    }
    int64_t margin = reach < height / 4 ? reach : height / 4;
    uint64_t score = 0;
    for (int64_t j = reach + 1 + margin; j < reach + 1 + height - margin; j++) {
        int64_t step = own[j];
        score += uint64_t(step * step);
    }
    return score;
}

// Scores the angles angles[0 ... n - 1] into scores, on the level's threads.
void ScoreAll(const Level& level, const int32_t* angles, int64_t n, uint64_t* scores)
{
    RunInBands(n, level.threads, [&](int thread, int64_t first, int64_t end) {
        for (int64_t i = first; i < end; i++) scores[i] = Score(level, angles[i], thread);
    });
}

// Sweeps the coarse level from -outer to outer, through -limit and limit
// themselves; returns the best angle (the first of equal ones) and sets
// *worst to the lowest score.  0 after "Not enough memory\n".
int Sweep(const Level& coarse, int32_t limit, int32_t outer, int32_t* best, uint64_t* best_score,
          uint64_t* worst, int32_t candidates[kCandidates], int* candidate_count)
{
    int64_t most = 2 * int64_t(outer) / kSweepStep + 4;
    int32_t* angles = static_cast<int32_t*>(AllocMemory(size_t(most) * sizeof(int32_t)));
    uint64_t* scores = static_cast<uint64_t*>(AllocMemory(size_t(most) * sizeof(uint64_t)));
    if (angles == nullptr || scores == nullptr) {
        FreeMemory(&angles);
        FreeMemory(&scores);
        return 0;
    }
    int64_t n = 0;
    for (int32_t angle = -outer; angle <= outer && n < most;) {
        angles[n++] = angle;
        int32_t next = (angle + outer) / kSweepStep * kSweepStep - outer + kSweepStep;  // grid from -outer
        if (angle < -limit && next > -limit) next = -limit;
        if (angle < limit && next > limit) next = limit;
        if (angle < outer && next > outer) next = outer;
        angle = next > angle ? next : angle + 1;
    }
    ScoreAll(coarse, angles, n, scores);
    *best = -outer;
    *best_score = 0;
    *worst = UINT64_MAX;
    for (int64_t i = 0; i < n; i++) {
        if (scores[i] < *worst) *worst = scores[i];
        if (scores[i] > *best_score) {
            *best_score = scores[i];
            *best = angles[i];
        }
    }
    // The highest peaks within the range that come near the best (7/8 of its
    // score), highest first (the first of equal ones first).
    uint64_t heights[kCandidates];
    *candidate_count = 0;
    for (int64_t i = 0; i < n; i++) {
        if (angles[i] < -limit || angles[i] > limit || scores[i] * 8 < *best_score * 7) continue;
        if ((i > 0 && scores[i - 1] >= scores[i]) || (i + 1 < n && scores[i + 1] > scores[i])) continue;
        int at = *candidate_count;
        while (at > 0 && heights[at - 1] < scores[i]) at--;
        if (at >= kCandidates) continue;
        int last = *candidate_count < kCandidates ? *candidate_count : kCandidates - 1;
        for (int k = last; k > at; k--) {
            heights[k] = heights[k - 1];
            candidates[k] = candidates[k - 1];
        }
        heights[at] = scores[i];
        candidates[at] = angles[i];
        if (*candidate_count < kCandidates) (*candidate_count)++;
    }
    FreeMemory(&angles);
    FreeMemory(&scores);
    return 1;
}

// Dark pixels of the coarse level in the rows that are scored.
uint64_t DarkScored(const Level& level)
{
    int64_t margin = level.reach < level.height / 4 ? level.reach : level.height / 4;
    const uint32_t* total = level.prefix + size_t(level.width) * size_t(level.height + 2);
    uint64_t dark = 0;
    for (int64_t y = margin; y < level.height - margin; y++) dark += total[1 + y];
    return dark;
}

// Cuts the level's reach to the shift at `farthest` (hundredths of a
// degree) when that is less.  The fine level scores only angles near the
// peaks of the sweep, so it need leave out only the rows that those angles
// can cut at the top and bottom.  The sweep's margin (about a fifth of the
// page each side at the default range) would throw away the headings,
// mastheads and first and last lines, and which of them a page kept would
// depend on where the scanner put it.
void NarrowReach(Level* level, int32_t farthest)
{
    int64_t reach = ReachAt(TangentOfHundredths(farthest), level->aspect, level->width);
    if (reach < level->reach) level->reach = reach;
}

// On the fine level: a sweep every kFineStep within a coarse step of start,
// carried on step by step while the best lies within kFitSteps of either
// end of what was scored, then the top of the parabola fitted by least
// squares to the best score and kFitSteps steps to either side of it.  Near
// its peak the score of a real page is flat to within a row of drift and has
// small bumps of its own; the fitted parabola finds the middle of the peak
// where the best single angle, or a parabola through three scores, would
// wander over it.
int32_t Refine(const Level& fine, int32_t start, int32_t limit, uint64_t* peak)
{
    constexpr int kSpan = 2 * kRefineReach / kFineStep + 1;  // start -+ kRefineReach
    constexpr int kFirst = kSpan / 4, kLast = kSpan - 1 - kSpan / 4;  // start -+ 1 coarse step
    int32_t base = start - kRefineReach;
    auto valid = [&](int i) {
        int32_t a = base + i * kFineStep;
        return i >= 0 && i < kSpan && a >= -limit && a <= limit;
    };
    uint64_t scores[kSpan] = {};
    int32_t angles[kSpan];
    int have[kSpan] = {};
    int64_t n = 0;
    for (int i = kFirst; i <= kLast; i++)
        if (valid(i)) angles[n++] = base + i * kFineStep;
    uint64_t first_scores[kSpan];
    ScoreAll(fine, angles, n, first_scores);
    for (int64_t k = 0; k < n; k++) {
        int i = (angles[k] - base) / kFineStep;
        scores[i] = first_scores[k];
        have[i] = 1;
    }
    auto get = [&](int i) {
        if (!have[i]) scores[i] = Score(fine, base + i * kFineStep, 0);
        have[i] = 1;
        return scores[i];
    };
    int lo = kSpan, hi = -1, best = -1;
    for (int i = kFirst; i <= kLast; i++) {
        if (!valid(i)) continue;
        lo = i < lo ? i : lo;
        hi = i;
        if (best < 0 || get(i) > get(best)) best = i;
    }
    *peak = 0;
    if (best < 0) return start < -limit ? -limit : start > limit ? limit : start;
    for (int moved = 1; moved;) {
        moved = 0;
        if (best - lo < kFitSteps && valid(lo - 1)) {
            moved = 1;
            if (get(--lo) > get(best)) best = lo;
        }
        if (hi - best < kFitSteps && valid(hi + 1)) {
            moved = 1;
            if (get(++hi) > get(best)) best = hi;
        }
    }
    int32_t angle = base + best * kFineStep;
    *peak = get(best);
    for (int i = best - kFitSteps; i <= best + kFitSteps; i++)
        if (!valid(i)) return angle;
    // y = a x^2 + b x + c over x = -kFitSteps ... kFitSteps; with x and
    // x^2 - mean(x^2) orthogonal, b and a are two plain quotients.
    double mean_square = 0.0;
    for (int x = -kFitSteps; x <= kFitSteps; x++) mean_square = mean_square + double(x * x);
    mean_square = mean_square / double(2 * kFitSteps + 1);
    double xy = 0.0, xx = 0.0, qy = 0.0, qq = 0.0;
    for (int x = -kFitSteps; x <= kFitSteps; x++) {
        double y = double(get(best + x)), q = double(x * x) - mean_square;
        xy = xy + double(x) * y;
        xx = xx + double(x * x);
        qy = qy + q * y;
        qq = qq + q * q;
    }
    double a = qy / qq, b = xy / xx;
    if (!(a < 0.0)) return angle;  // no peak to fit
    double offset = -b / (2.0 * a);
    if (offset > double(kFitSteps)) offset = double(kFitSteps);
    if (offset < -double(kFitSteps)) offset = -double(kFitSteps);
    double vertex = double(angle) + offset * double(kFineStep);
    int32_t found = int32_t(vertex < 0.0 ? vertex - 0.5 : vertex + 0.5);  // to the nearest hundredth
    return found < -limit ? -limit : found > limit ? limit : found;
}

// Sums blocks of 2 cells across and `down` rows into one (the last partial
// blocks left out).
void ReduceCounts(const uint16_t* counts, int64_t width, int64_t height, int64_t down, uint16_t* reduced)
{
    int64_t reduced_width = width / 2, reduced_height = height / down;
    for (int64_t y = 0; y < reduced_height; y++) {
        uint16_t* out = reduced + size_t(y) * size_t(reduced_width);
        std::memset(out, 0, size_t(reduced_width) * sizeof(uint16_t));
        for (int64_t k = 0; k < down; k++) {
            const uint16_t* a = counts + size_t(y * down + k) * size_t(width);
            for (int64_t x = 0; x < reduced_width; x++) out[x] = uint16_t(out[x] + a[2 * x] + a[2 * x + 1]);
        }
    }
}

}  // namespace

double TangentOfHundredths(int32_t hundredths)
{
    return Tangent(double(hundredths) * (kPi / 18000.0));
}

int FindSkewPrecise(const BITMAP* page, double range, SkewSearchResult* result)
{
    *result = {0, 0, 0};
    double cut = !(range >= 0.01) ? 0.01 : range > 45.0 ? 45.0 : range;  // also a range that is no number
    int32_t limit = int32_t(cut * 100.0 + 0.5);
    // The fine copy keeps every pixel row: the slope is measured in rows, so
    // the rows set its precision, while cells of `reduction` pixels across
    // keep it near kCellsAcross wide.  The coarse copy has square cells of
    // 2 x reduction pixels a side.
    int64_t reduction = page->width / kCellsAcross > 1 ? page->width / kCellsAcross : 1;
    int64_t width = page->width / reduction, height = page->height;
    int64_t coarse_width = width / 2, coarse_height = height / (2 * reduction);
    if (coarse_width < 4 || coarse_height < 4) return 1;  // nothing that could hold a line of text

    InkCut ink_cut;
    if (!MakeInkCut(page, &ink_cut)) return 0;
    if (ink_cut.contrast < kLeastContrast) {
        FreeInkCut(&ink_cut);
        return 1;
    }

    // The sweep looks half as far again beyond the range, to tell a page
    // that lies beyond it from one that lies within.
    int32_t outer = limit + limit / 2 + 100 < 4500 ? limit + limit / 2 + 100 : 4500;
    double range_tangent = TangentOfHundredths(outer);
    uint16_t* counts = static_cast<uint16_t*>(AllocMemory(size_t(width) * size_t(height) * sizeof(uint16_t)));
    size_t coarse_cells = size_t(coarse_width) * size_t(coarse_height);
    uint16_t* half = static_cast<uint16_t*>(AllocMemory(coarse_cells * sizeof(uint16_t)));
    Level fine, coarse;
    int threads = UseFastStages() ? StageThreads() : 1;
    uint8_t* dark = static_cast<uint8_t*>(AllocMemory(size_t(threads) * size_t(width * reduction)));
    int ok = counts != nullptr && half != nullptr && dark != nullptr;
    if (ok) {
        RunInBands(height, threads, [&](int thread, int64_t first, int64_t end) {
            uint8_t* own = dark + size_t(thread) * size_t(width * reduction);
            CountInk(page, ink_cut, reduction, counts, width, first, end, own);
        });
        ReduceCounts(counts, width, height, 2 * reduction, half);
        ok = MakeLevel(counts, width, height, reduction, range_tangent, threads, &fine) &&
             MakeLevel(half, coarse_width, coarse_height, 1, range_tangent, threads, &coarse);
    }
    FreeMemory(&counts);
    FreeMemory(&half);
    FreeMemory(&dark);
    FreeInkCut(&ink_cut);
    if (ok) {
        uint64_t best_score = 0, worst = 0;
        int32_t start = 0, candidates[kCandidates];
        int candidate_count = 0;
        ok = Sweep(coarse, limit, outer, &start, &best_score, &worst, candidates, &candidate_count);
        uint64_t cell = uint64_t(4 * reduction * reduction);  // the most a coarse cell counts
        uint64_t ink = DarkScored(coarse);
        if (ok && best_score * 16 >= worst * kLeastPeak16 && best_score >= kLeastLines * ink * cell) {
            int beyond = start < -limit || start > limit;
            if (beyond) start = start < 0 ? -limit : limit;
            // Refine looks at most kRefineReach from where it starts: the
            // narrowed reach must cover it, or Score would write past its
            // steps.  One reach for all the peaks, so that their scores compare.
            int32_t farthest = start < 0 ? -start : start;
            for (int k = 0; k < candidate_count && !beyond; k++) {
                int32_t distance = candidates[k] < 0 ? -candidates[k] : candidates[k];
                farthest = distance > farthest ? distance : farthest;
            }
            NarrowReach(&fine, farthest + kRefineReach);
            uint64_t peak = 0;
            int32_t angle = Refine(fine, start, limit, &peak);
            // The coarse copy may rank two near peaks wrongly: the highest
            // peaks of the sweep are each looked at on the fine copy.
            for (int k = 0; k < candidate_count && !beyond; k++) {
                if (candidates[k] == start) continue;
                uint64_t other_peak = 0;
                int32_t other = Refine(fine, candidates[k], limit, &other_peak);
                if (other_peak > peak) {
                    peak = other_peak;
                    angle = other;
                }
            }
            *result = {angle, 1, beyond || angle == limit || angle == -limit};
        }
    }
    FreeLevel(&fine);
    FreeLevel(&coarse);
    return ok;
}

