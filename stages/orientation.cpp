// The orientation of a page: which quarter turn brings its text lines
// across the page and the tops of its letters up.
//
// Method:
//   - ink from the ink cut of the precise skew search (ink_cut.h), so that
//     uneven light and dark borders are not taken for print; a cell is the
//     mean of a block of R x R pixels, R keeping the shorter side near 1200
//     cells, so that a cell is the same size both ways and neither axis is
//     favoured;
//   - the cells summed into profiles along pieces of kStrip cells: for each
//     piece of kStrip cell columns, the ink of each of its rows (the row
//     profiles), and for each piece of kStrip cell rows, the ink of each of
//     its columns.  kPieces pieces side by side make a strip, taken at the
//     slope (of a few tried) at which its profile changes most sharply,
//     sum of (p(i + 1) - p(i))^2: so a page skewed by a few degrees keeps
//     its lines apart in every strip;
//   - nothing is laid out from one edge of the page (the cells, the strips)
//     nor read in one direction only (the cores), so that a page fed by any
//     quarter turn shows the same evidence, mirrored: a bilevel page read
//     pixel by pixel exactly, others (and pages read in blocks, whose cells
//     are no longer bilevel) but for the ink cut's tiles.  Otherwise a page
//     near a bound is decided in some orientations and not in others;
//   - each line piece of a strip is cut into its core (the x-height band:
//     the profile at least half its peak, across a dip in its middle) and
//     the zones an x-height wide on either side.  Latin print has far more
//     ascenders (b d f h k l t, capitals, accents, dots) than descenders
//     (g j p q y), so on an upright line the zone above the core holds more
//     ink.  Each line piece whose two zones differ clearly gives one vote,
//     if its core has about the height most cores of the page share (the
//     page's x-height: headings, blocks of pictures and thick rules have
//     other heights and no ascenders) and if the run of ink it sits in is
//     not ruled (staves and the rules of forms darken nearly every cell of
//     a strip on a thin line; print leaves paper between its letters, and
//     where its letters run together, in a soft scan or in old print whose
//     ink has spread, it fills the strip only at its x-line and base line,
//     inside a band that stays more than half full over the x-height);
//   - the lines run along the axis whose votes lean far to one side; across
//     the lines, the "cores" are letters and words, whose two sides are
//     more alike, so its votes lean less.  (The sharpness of the profiles
//     alone does not tell the axes apart reliably: tables, rules and
//     columns of a catalogue make the profiles across the lines the sharper
//     ones on some real pages; it only vetoes an axis far smoother than the
//     other.)
//   - a turn only when the votes are many and lopsided far beyond chance
//     along one axis and clearly less so along the other (or the runs of
//     ink show the lines apart along that axis and run together across it),
//     when the ink of the zones leans the same way as the votes, when the
//     runs of ink along the lines are mostly single lines, when the lean
//     is spread across the page, not held by one column of it, and when
//     no cue says the lines run the other way.  A wrong turn costs far
//     more than none, so anything short of that leaves the page as it is.
//   - the layout of the lines (flush at the side where reading starts,
//     ragged at the other, paragraphs indented) is not taken as a second
//     cue to let through pages whose votes fall a little short: justified
//     print shows it on a line or two a page, no more than chance gives; a
//     right-to-left script and right-aligned figures show it reversed; and
//     a page of printed music, which must be left alone, showed it leaning
//     the same way as its votes.
// Every score is an integer sum; the threads each take whole strips of rows,
// so the sums, and the answer, are the same for any number of threads.
#include "stages/orientation.h"

#include <cstddef>
#include <cstring>

#include "core/environment.h"
#include "core/support.h"
#include "stages/ink_cut.h"
#include "stages/parallel.h"

namespace {

constexpr int64_t kCellsAcross = 1200;  // cells along the page's shorter side, about
// Profiles are summed over pieces of kStrip cells, and kPieces pieces side
// by side make a strip (256 pixels at 300 dpi), long enough to hold a few
// letters of every line.
constexpr int64_t kStrip = 32;
constexpr int64_t kPieces = 4;
// Slopes tried, in cells a piece (3 cells in 32: about 5 degrees), and the
// reach of the largest shift of a strip's last piece.
constexpr int64_t kSlopes[] = {0, -1, 1, -2, 2, -3, 3};
constexpr int64_t kReach = 3 * (kPieces - 1);
// Ink and paper whose means differ by less than this (in sums of the three
// bytes) are one: a blank page, as for the skew search.
constexpr int64_t kLeastContrast = 3 * 12;
// A core thinner than this (in cells) is a rule, a staff line or noise,
// not the x-height of print.
constexpr int64_t kLeastCore = 3;
// A line piece votes when its core is within kHeightRange / (kHeightRange
// - 1) of the median height of the axis's cores (1.5 times either way: a
// caption or a footnote still counts, a heading twice the size does not);
// when its run is not ruled (see Ruled: an entry with ink in at least
// (kRuleShare8 - 1) / kRuleShare8 of the strip's cells, 7 in 8, is full:
// a rule or a staff line reaches it, print only where its letters run
// together); and when one zone
// holds more than kZoneRatio16 / 16 times the other's ink (1.5 times): a
// piece whose zones are alike says nothing.
constexpr int64_t kHeightRange = 3;
constexpr int64_t kRuleShare8 = 8;
constexpr int64_t kZoneRatio16 = 24;
// The lines run along the axis whose votes lean most to one side, in
// multiples of a fair coin's spread (the votes' difference over the square
// root of their number).  That axis is taken when at least kLeastVotes line
// pieces voted along it, its larger side has at least kVoteRatio4 / 4 times
// the votes of the smaller (1.75 times) and leans kLeastSpreads spreads or
// more (a fair coin goes that far once in 30,000 pages); and when the other
// axis, across the letters, leans at most kOtherShare3 / 3 as far in
// spreads.  Across the lines the pieces are letters and words, whose sides
// may differ too (italics lean, words start with capitals), but on nearly
// every page of print measured by less than two thirds of the lines' own
// lean (an italic page leaned more: see kApart).  With 30 votes, 4 spreads
// asks for 26 on one side, which the exact count of a fair coin's outcomes
// also puts near once in 30,000; fewer votes are two or three lines of
// print, too few for a count of letters to mean much.  Pages of music
// leaned at most 3 spreads (one scanned at half its resolution), and those
// that leaned more than 2 had at most 27 votes, so two bounds keep them
// out, not one.  The bound is not lower though print blurred, faded or
// scanned at half its resolution, and a page of twelve italic lines, leaned
// 3.5 to 4: at 3.5 a page of a manual rendered at 150 dpi, options in
// typewriter type over lines of capitals, was turned upside down by 3.8.
// At 40 votes, a Fraktur page blurred or scanned at half its resolution (32
// to 38 votes, 4.2 to 5.5 spreads) was left.
constexpr int64_t kLeastVotes = 30;
constexpr int64_t kVoteRatio4 = 7;
constexpr int64_t kLeastSpreads = 4;
constexpr int64_t kOtherShare3 = 2;
// The other axis may lean further when a second cue says which axis the
// lines run along.  Print keeps its lines apart with paper, so along the
// lines nearly every run of ink of a strip holds one line piece; across
// them a strip spans several lines whose letters fill each other's gaps, so
// most runs hold several.  The axes are told apart when the share of runs
// holding more than one piece is at least kApart times larger across than
// along, over at least kLeastVotes runs each way.  When this cue says the
// lines run the other way than the votes do (capitals and figures, whose
// letters lean more than their lines), no turn is made.
constexpr int64_t kApart = 3;
// For the same reason no turn is made along an axis where fewer than
// 1 / kLeastLone of the runs hold a single line piece: there the "lines"
// run into each other from one end of the page to the other, as the grains
// of a texture do (a tiled stone texture leaned 15 spreads one way, with
// no run of one piece in 18).  Print measured at least a third (a title
// page halved to 75 dpi, whose lines touch here and there), save one old
// print of 217 by 293 pixels, with 3 runs in all, left as it is.
constexpr int64_t kLeastLone = 4;
// Nor is a turn made along an axis whose profiles are less than
// kSharpnessShare5 / 5 as sharp as the other's: there the sharp lines run
// the other way (the staves of music, the rules of a form) and the lopsided
// votes come from something else than print.  Print measured no less than
// two thirds as sharp (0.68, a page of an old print as published); music a
// sixth; a page of a manual rendered at 150 dpi, whose lines in typewriter
// type left too few pieces of the prose's height to vote, a half, and its
// letters, read across, leaned it a quarter turn the wrong way.
constexpr int64_t kSharpnessShare5 = 3;
// Nor when the ink of the zones does not lean the votes' way by at least
// 1 / kInkShare of the ink of the cores: the votes count pieces, this
// weighs them, and both must agree.  Latin print in small letters leaned
// at least 1 / 41 (ascenders fill part of the zone above); capitals and
// figures at most 1 / 175 either way, Cyrillic 1 / 140.  Capitals fill the
// core from its top to the base line and leave both zones nearly empty,
// save the commas and the tails of Q and J below the line, which turned a
// page set in capitals upside down; Cyrillic has as many descenders as
// ascenders.  The stray ink a skewed scan smears into both zones alike
// cancels in the difference.
constexpr int64_t kInkShare = 64;
// Nor when the lean rests on one column of the page: the votes outside the
// two strips that lean most (a column may straddle two) must still lean the
// same way by at least 1 / kSpreadShare of the whole lean.  In print every
// strip across a column holds letters of the same kind, so the lean is
// spread over the page's width.  A list of words in capitals, set beside a
// narrow column of "Yes (C/S)", has no ascenders at all: its lean, the tails
// of the brackets and slashes below the line, came from that one column,
// the same word repeated down the page, and read the page upside down by 4
// to 6 spreads (8 pages of a published manual rendered at 300 dpi, 15 of
// their 32 images turned the wrong way).  Without their two leading strips
// those pages leaned at most 1 / 33 of their lean their way.  The pages of
// print turned leaned at least 1 / 7 (a table of contents), 1 / 13 at half
// their resolution; the print this leaves as it is fills two or three
// strips: old prints halved to less than 450 pixels across, a short index.
constexpr int64_t kSpreadShare = 16;

// Profiles of `strips` pieces, each `length` long: sums[s * length + i].
// Piece s covers cells s kStrip - offset ... (s + 1) kStrip - offset - 1
// of the `span` cells across it: the strips are centred on the page, so
// that a page turned by 180 degrees is cut into the same strips, mirrored,
// and its evidence does not hang on which edge the cutting started from.
struct Profiles {
    int64_t strips = 0, length = 0, span = 0, offset = 0;
    int32_t* sums = nullptr;
};

// The pieces and the offset of profiles across `span` cells: whole strips
// of kPieces pieces, the one to spare split between both ends.
void Lay(Profiles* profiles, int64_t length, int64_t span)
{
    int64_t strip = kStrip * kPieces, strips = (span + strip - 1) / strip;
    *profiles = {strips * kPieces, length, span, (strips * strip - span) / 2, nullptr};
}

// The cells of piece s that lie on the page: first ... end - 1.
void PieceCells(const Profiles& profiles, int64_t s, int64_t* first, int64_t* end)
{
    int64_t a = s * kStrip - profiles.offset, b = a + kStrip;
    *first = a < 0 ? 0 : a > profiles.span ? profiles.span : a;
    *end = b < *first ? *first : b > profiles.span ? profiles.span : b;
}

struct Votes {
    int64_t sharpness = 0, before = 0, after = 0;
    int64_t runs = 0, lone = 0;  // runs of ink with line pieces, and with one
    int64_t ink_lean = 0, cores = 0;  // ink before the cores less ink after, and in them
    int64_t height = 0;               // the median height of the cores, in cells
    int64_t spread = 0;               // the lean outside the two strips leaning most (see kSpreadShare)
};

// One line piece: its core's height, the ink of its two zones and of its
// core, and the strip it lies in.
struct Piece {
    int32_t height, before, after, core, strip;
};

// Room for the pieces of every strip of one axis: a kept core is at least
// kLeastCore entries long and followed by an entry outside it.
struct Pieces {
    Piece* at = nullptr;
    int64_t count = 0;
};

int64_t Sum(const int32_t* p, int64_t first, int64_t end)
{
    int64_t total = 0;
    for (int64_t i = first; i < end; i++) total += p[i];
    return total;
}

// The line pieces of one run of non-empty entries p[first ... end - 1]
// whose highest entry is top, added to *pieces.  The zone beside a core
// reaches an x-height out, but never past half-way to the next core of the
// run.
void CutRun(const int32_t* p, int64_t first, int64_t end, int32_t top, int32_t strip, Pieces* pieces)
{
    // A line's x-height band is heaviest at its top and its base line
    // (serifs, bowls, the strokes of e, a, z), and its middle may sink
    // below half the peak: a core goes on across such a dip while the dip
    // stays above a quarter of the peak and is shorter than the longer of
    // the two parts it joins, so that one line is one piece, not two thin
    // ones.  Each dip is judged by its two neighbours alone, so the cores
    // are the same whichever end the line is read from: upside down, a
    // line must give the same pieces, mirrored.
    int32_t core = (top + 1) / 2;
    int64_t previous_end = first;  // where the zone before may start
    int64_t i = first;
    while (i < end) {
        if (p[i] < core) {
            i++;
            continue;
        }
        int64_t a = i;
        while (i < end && p[i] >= core) i++;
        for (int64_t part = i - a;;) {  // across a dip of the band, to where it rises again
            int64_t j = i;
            while (j < end && p[j] < core && p[j] * 4 >= top) j++;
            if (j == end || j == i || p[j] < core) break;
            int64_t k = j;
            while (k < end && p[k] >= core) k++;
            if (j - i >= part && j - i >= k - j) break;
            part = k - j;
            i = k;
        }
        int64_t b = i, height = b - a;
        int64_t next = b;  // the next core's start, or the run's end
        while (next < end && p[next] < core) next++;
        int64_t low = a - height > previous_end ? a - height : previous_end;
        int64_t high = next < end ? b + (next - b) / 2 : end;
        if (high > b + height) high = b + height;
        previous_end = next < end ? b + (next - b + 1) / 2 : end;
        if (height < kLeastCore) continue;
        pieces->at[pieces->count++] = {int32_t(height), int32_t(Sum(p, low, a)), int32_t(Sum(p, b, high)), int32_t(Sum(p, a, b)), strip};
    }
}

// The two strips that lean most one way, by how far they lean.
struct Leaders {
    int64_t first = 0, second = 0;
};
void Keep(Leaders* leaders, int64_t lean)
{
    if (lean > leaders->first) {
        leaders->second = leaders->first;
        leaders->first = lean;
    } else if (lean > leaders->second) {
        leaders->second = lean;
    }
}

// 1 when a core `height` cells high is near the x-height most pieces share
// (the median height, within kHeightRange): a heading, a rule thick with
// ink or a block of a picture has a core of another height, and its zones
// say nothing of the print's ascenders.
int NearMedian(int64_t height, int64_t median)
{
    return height * kHeightRange >= median * (kHeightRange - 1) && height * (kHeightRange - 1) <= median * kHeightRange;
}

// The votes of the pieces whose core is near the median height.  The
// pieces come strip after strip, so each strip's own lean is summed as they
// pass.
void Tally(const Pieces& pieces, int64_t longest, int32_t* counts, Votes* votes)
{
    if (pieces.count == 0) return;
    for (int64_t h = 0; h <= longest; h++) counts[h] = 0;
    for (int64_t k = 0; k < pieces.count; k++) counts[pieces.at[k].height]++;
    int64_t median = 0;
    for (int64_t seen = 0; seen * 2 < pieces.count; median++) seen += counts[median];
    median--;  // the lower median: the height at which half the pieces are reached
    votes->height = median;
    // Each strip's votes before less after, and the two strips that lean
    // most each way.
    Leaders towards_before, towards_after;
    int64_t lean = 0;
    for (int64_t k = 0; k < pieces.count; k++) {
        const Piece& piece = pieces.at[k];
        int64_t before = piece.before, after = piece.after;
        if (NearMedian(piece.height, median)) {
            votes->ink_lean += before - after;
            votes->cores += piece.core;
            int up = before * 16 > after * kZoneRatio16, down = after * 16 > before * kZoneRatio16;
            votes->before += up;
            votes->after += down;
            lean += up - down;
        }
        if (k + 1 == pieces.count || pieces.at[k + 1].strip != piece.strip) {
            Keep(&towards_before, lean);
            Keep(&towards_after, -lean);
            lean = 0;
        }
    }
    const Leaders& leaders = votes->before >= votes->after ? towards_before : towards_after;
    int64_t gap = votes->before >= votes->after ? votes->before - votes->after : votes->after - votes->before;
    votes->spread = gap - leaders.first - leaders.second;
}

// 1 when the run p[first ... end - 1], of a strip `cells` wide and whose
// highest entry is top, is ruled.  Its bands are its stretches of entries
// at least half full.  A rule, a line of a staff, the edge of a box or of a
// picture is a band full from side to side, thin, and rules come in sets
// apart from each other.  A line of print whose letters run together (a
// soft scan, old print whose ink has spread, bold type) is one band as
// thick as its x-height, full only at its x-line and its base line, where
// the serifs and the strokes of the letters join, and less than full
// between them, where words part.  So a run is ruled when full entries lie
// in more than one band, or in a band thinner than kLeastCore, or in a band
// with more than two stretches of them (a staff seen whole), or in a band
// at least half of whose entries are full (a thick rule, a black bar).
// Without any full entry a run is print.  The test reads the run from both
// ends alike, so a page turned by 180 degrees is judged the same.
int Ruled(const int32_t* p, int64_t first, int64_t end, int32_t top, int64_t cells)
{
    if (top * kRuleShare8 < cells * (kRuleShare8 - 1)) return 0;
    int64_t bands = 0;
    for (int64_t i = first; i < end;) {
        if (p[i] * 2 < cells) {
            i++;
            continue;
        }
        int64_t a = i, stretches = 0, full = 0;
        for (int was = 0; i < end && p[i] * 2 >= cells; i++) {
            int is = p[i] * kRuleShare8 >= cells * (kRuleShare8 - 1);
            stretches += is && !was;
            full += is;
            was = is;
        }
        if (stretches == 0) continue;
        if (++bands > 1 || stretches > 2 || i - a < kLeastCore || full * 2 >= i - a) return 1;
    }
    return 0;
}

// Entry i of the profile of strip s taken at a slope of `slope` cells a
// piece: piece k of the strip moved by k x slope, the whole moved by kReach
// so that every index is at least 0.  Entries beyond a piece's ends are 0.
int32_t Sheared(const Profiles& profiles, int64_t s, int64_t slope, int64_t i)
{
    int32_t sum = 0;
    for (int64_t k = 0; k < kPieces && s * kPieces + k < profiles.strips; k++) {
        int64_t at = i - kReach + k * slope;
        if (at >= 0 && at < profiles.length) sum += profiles.sums[size_t(s * kPieces + k) * size_t(profiles.length) + size_t(at)];
    }
    return sum;
}

// The sharpness and the votes of every strip, each strip taken at the
// slope, among those tried, that makes its profile sharpest: a page skewed
// by a few degrees smears a strip's lines into each other unless its pieces
// are moved back into line.  `profile` has room for length + 2 kReach + 1
// entries, `pieces` for every line piece of the axis.
Votes Score(const Profiles& profiles, int32_t* profile, Pieces* pieces)
{
    Votes votes;
    int64_t length = profiles.length + 2 * kReach;
    pieces->count = 0;
    for (int64_t s = 0; s * kPieces < profiles.strips; s++) {
        int64_t first_cell = 0, end_cell = 0, unused = 0;  // the cells of the strip on the page
        PieceCells(profiles, s * kPieces, &first_cell, &unused);
        PieceCells(profiles, s * kPieces + kPieces - 1, &unused, &end_cell);
        int64_t best = -1, best_slope = 0;
        for (int64_t slope : kSlopes) {  // the first of equals: the straightest
            int64_t sharpness = 0, last = 0;
            for (int64_t i = 0; i < length; i++) {
                int64_t value = Sheared(profiles, s, slope, i);
                sharpness += (value - last) * (value - last);
                last = value;
            }
            sharpness += last * last;
            if (sharpness > best) best = sharpness, best_slope = slope;
        }
        votes.sharpness += best;
        for (int64_t i = 0; i < length; i++) profile[i] = Sheared(profiles, s, best_slope, i);
        int64_t i = 0;
        while (i < length) {
            if (profile[i] == 0) {
                i++;
                continue;
            }
            int64_t first = i;
            int32_t top = 0;
            for (; i < length && profile[i] != 0; i++) top = profile[i] > top ? profile[i] : top;
            if (Ruled(profile, first, i, top, end_cell - first_cell)) continue;
            int64_t had = pieces->count;
            CutRun(profile, first, i, top, int32_t(s), pieces);
            votes.runs += pieces->count > had;
            votes.lone += pieces->count == had + 1;
        }
    }
    Tally(*pieces, length, profile, &votes);
    return votes;
}

// The row profiles (pieces of kStrip cell columns) and the column profiles
// (pieces of kStrip cell rows) of the ink of every cell.  0 after "Not
// enough memory\n".
int MakeProfiles(const BITMAP* page, const InkCut& cut, Profiles* rows, Profiles* columns)
{
    int64_t width = page->width, height = page->height;
    Lay(rows, height, width);
    Lay(columns, width, height);
    int threads = UseFastStages() ? StageThreads() : 1;
    // At most 65535 cells a side, so no product below can overflow.
    rows->sums = static_cast<int32_t*>(AllocZeroed(size_t(rows->strips) * size_t(height) * sizeof(int32_t)));
    columns->sums = static_cast<int32_t*>(AllocZeroed(size_t(columns->strips) * size_t(width) * sizeof(int32_t)));
    uint8_t* dark = static_cast<uint8_t*>(AllocMemory(size_t(threads) * size_t(width)));
    if (rows->sums == nullptr || columns->sums == nullptr || dark == nullptr) {
        FreeMemory(&dark);
        return 0;
    }
    // A thread takes whole pieces of rows, so each column sum is one thread's.
    RunInBands(columns->strips, threads, [&](int thread, int64_t first, int64_t end) {
        uint8_t* own = dark + size_t(thread) * size_t(width);
        int64_t y0 = 0, y1 = 0, unused = 0;
        PieceCells(*columns, first, &y0, &unused);
        PieceCells(*columns, end - 1, &unused, &y1);
        for (int64_t y = y0; y < y1; y++) {
            MarkInkRow(page, cut, y, own);
            int32_t* column = columns->sums + size_t((y + columns->offset) / kStrip) * size_t(width);
            for (int64_t x = 0; x < width; x++) column[x] += own[x];
            for (int64_t s = 0; s < rows->strips; s++) {
                int64_t x0 = 0, x1 = 0;
                PieceCells(*rows, s, &x0, &x1);
                int32_t n = 0;
                for (int64_t x = x0; x < x1; x++) n += own[x];
                rows->sums[size_t(s) * size_t(height) + size_t(y)] = n;
            }
        }
    });
    FreeMemory(&dark);
    return 1;
}

// The square of an axis's lean in spreads, as a fraction.
struct Lean {
    int64_t gap2 = 0, votes = 0;  // (most - least)^2 and most + least
};
Lean LeanOf(int64_t before, int64_t after)
{
    int64_t gap = before > after ? before - after : after - before;
    return {gap * gap, before + after};
}

// 1 when `lean` (sides before and after) is far more than `other`: see
// kLeastVotes; `apart` lifts the bound on the other axis (see kApart).
// Votes are at most a few million, so no product overflows.
int Decisive(int64_t before, int64_t after, int64_t other_before, int64_t other_after, int apart)
{
    int64_t most = before > after ? before : after, least = before > after ? after : before;
    Lean lean = LeanOf(before, after), other = LeanOf(other_before, other_after);
    return lean.votes >= kLeastVotes && most * 4 >= least * kVoteRatio4 &&
           lean.gap2 >= kLeastSpreads * kLeastSpreads * lean.votes &&
           (apart || other.gap2 * lean.votes * 9 <= lean.gap2 * other.votes * kOtherShare3 * kOtherShare3);
}

// 1 when the runs of ink along one axis hold far fewer line pieces each than
// those across it: see kApart.
int Apart(int64_t runs, int64_t lone, int64_t other_runs, int64_t other_lone)
{
    return runs >= kLeastVotes && other_runs >= kLeastVotes && (other_runs - other_lone) * runs >= kApart * (runs - lone) * other_runs;
}

// One axis's share of the evidence.
struct Axis {
    int64_t before, after, sharpness, ink_lean, cores, runs, lone, spread;
};

// 1 when the lines run along `axis` and lean far enough to turn the page:
// see kLeastVotes to kInkShare.
int Takes(const Axis& axis, const Axis& other)
{
    int64_t ink = axis.before > axis.after ? axis.ink_lean : -axis.ink_lean;
    int64_t gap = axis.before > axis.after ? axis.before - axis.after : axis.after - axis.before;
    return axis.sharpness * 5 >= other.sharpness * kSharpnessShare5 && ink * kInkShare >= axis.cores &&
           axis.spread * kSpreadShare >= gap &&
           axis.lone * kLeastLone >= axis.runs && !Apart(other.runs, other.lone, axis.runs, axis.lone) &&
           Decisive(axis.before, axis.after, other.before, other.after, Apart(axis.runs, axis.lone, other.runs, other.lone));
}

// The turn the evidence asks for; *decided 0 (and the turn 0) when it is
// not clear.
int Decide(const OrientationEvidence& e, int* decided)
{
    Axis rows = {e.row_before, e.row_after, e.row_sharpness, e.row_ink_lean, e.row_cores, e.row_runs, e.row_lone, e.row_spread};
    Axis columns = {e.column_before, e.column_after, e.column_sharpness, e.column_ink_lean,
                    e.column_cores, e.column_runs, e.column_lone, e.column_spread};
    // Which axis leans more: (gap2 / votes) of the rows against the columns'.
    Lean along = LeanOf(rows.before, rows.after), down = LeanOf(columns.before, columns.after);
    int64_t row_lean = along.gap2 * down.votes, column_lean = down.gap2 * along.votes;
    *decided = (row_lean > column_lean && Takes(rows, columns)) || (column_lean > row_lean && Takes(columns, rows));
    if (!*decided) return 0;
    if (row_lean > column_lean) return rows.before > rows.after ? 0 : 180;
    return columns.before > columns.after ? 90 : 270;
}

// Each cell the mean of a block of step x step pixels, the pixels left over
// beyond the last whole block split between both edges, so that the cells of
// a page turned by a quarter or a half turn are the same blocks.  (One pixel
// of each block would not do: with a step of 2 and an even width, a page
// turned by 180 degrees shows the cells its other pixels, and a hairline,
// a serif, a dot may be in one and not the other.)  The means round down.
// Null after "Not enough memory\n".
BITMAP* SampledCopy(const BITMAP* page, int64_t step)
{
    int64_t width = page->width / step, height = page->height / step;
    BITMAP* sampled = static_cast<BITMAP*>(AllocMemory(sizeof(BITMAP)));
    if (sampled == nullptr) return nullptr;
    if (!BITMAP_Create(sampled, unsigned(width), unsigned(height), PIXEL_BGR)) {
        FreeMemory(&sampled);
        return nullptr;
    }
    int threads = UseFastStages() ? StageThreads() : 1;
    // One row of column sums a thread: at most 255 step^2 each, far inside 32 bits.
    size_t sums_size = size_t(width) * size_t(step) * 3;
    uint32_t* sums = static_cast<uint32_t*>(AllocMemory(sums_size * sizeof(uint32_t) * size_t(threads)));
    if (sums == nullptr) {
        BITMAP_Free(sampled);
        FreeMemory(&sampled);
        return nullptr;
    }
    int64_t dx = page->width % step / 2, dy = page->height % step / 2;
    uint32_t area = uint32_t(step * step);
    RunInBands(height, threads, [&](int thread, int64_t first, int64_t end) {
        uint32_t* sum = sums + size_t(thread) * sums_size;
        for (int64_t y = first; y < end; y++) {
            for (int64_t k = 0; k < step; k++) {
                const uint8_t* from = page->pixels + (size_t(y * step + dy + k) * page->width + size_t(dx)) * 3;
                if (k == 0)
                    for (size_t i = 0; i < sums_size; i++) sum[i] = from[i];
                else
                    for (size_t i = 0; i < sums_size; i++) sum[i] += from[i];
            }
            uint8_t* to = sampled->pixels + size_t(y) * size_t(width) * 3;
            if (step == 2) {  // the common case, an A4 page at 300 dpi: pairs of pixels
                const uint32_t* pair = sum;
                for (int64_t x = 0; x < width; x++, to += 3, pair += 6) {
                    to[0] = uint8_t((pair[0] + pair[3]) >> 2);
                    to[1] = uint8_t((pair[1] + pair[4]) >> 2);
                    to[2] = uint8_t((pair[2] + pair[5]) >> 2);
                }
                continue;
            }
            for (int64_t x = 0; x < width; x++)
                for (int c = 0; c < 3; c++) {
                    uint32_t total = 0;
                    for (int64_t k = 0; k < step; k++) total += sum[size_t(x * step + k) * 3 + size_t(c)];
                    to[3 * x + c] = uint8_t(total / area);
                }
        }
    });
    FreeMemory(&sums);
    return sampled;
}

// The evidence of a page whose pixels are cells.  0 after "Not enough
// memory\n".
int Measure(const BITMAP* page, OrientationEvidence* e)
{
    InkCut cut;
    if (!MakeInkCut(page, &cut)) return 0;
    e->contrast = cut.contrast;
    if (cut.contrast < kLeastContrast) {  // blank: no votes, no turn
        FreeInkCut(&cut);
        return 1;
    }
    Profiles rows, columns;
    int ok = MakeProfiles(page, cut, &rows, &columns);
    FreeInkCut(&cut);
    int64_t longer = rows.length > columns.length ? rows.length : columns.length;
    int64_t most_strips = (rows.strips > columns.strips ? rows.strips : columns.strips) / kPieces + 1;
    int32_t* profile = ok ? static_cast<int32_t*>(AllocMemory((size_t(longer) + 2 * kReach + 1) * sizeof(int32_t))) : nullptr;
    // At most 65535 cells a side, so the count cannot overflow.
    Pieces pieces;
    pieces.at = ok ? static_cast<Piece*>(AllocMemory(size_t(most_strips) * (size_t(longer + 2 * kReach) / kLeastCore + 1) * sizeof(Piece)))
                   : nullptr;
    ok = ok && profile != nullptr && pieces.at != nullptr;
    if (ok) {
        Votes along = Score(rows, profile, &pieces), down = Score(columns, profile, &pieces);
        e->row_sharpness = along.sharpness;
        e->column_sharpness = down.sharpness;
        e->row_before = along.before;
        e->row_after = along.after;
        e->column_before = down.before;
        e->column_after = down.after;
        e->row_runs = along.runs, e->row_lone = along.lone, e->column_runs = down.runs, e->column_lone = down.lone;
        e->row_ink_lean = along.ink_lean, e->row_cores = along.cores, e->column_ink_lean = down.ink_lean, e->column_cores = down.cores;
        e->row_height = along.height, e->column_height = down.height;
        e->row_spread = along.spread, e->column_spread = down.spread;
    }
    FreeMemory(&profile);
    FreeMemory(&pieces.at);
    FreeMemory(&rows.sums);
    FreeMemory(&columns.sums);
    return ok;
}

}  // namespace

int FindOrientation(const BITMAP* page, OrientationResult* result)
{
    *result = OrientationResult{};
    if (page->width == 0 || page->height == 0) return 1;
    int64_t shorter = page->width < page->height ? page->width : page->height;
    int64_t step = (shorter + kCellsAcross / 2) / kCellsAcross;
    BITMAP* sampled = step > 1 ? SampledCopy(page, step) : nullptr;
    if (step > 1 && sampled == nullptr) return 0;
    int ok = Measure(step > 1 ? sampled : page, &result->evidence);
    if (sampled != nullptr) {
        BITMAP_Free(sampled);
        FreeMemory(&sampled);
    }
    if (!ok) return 0;
    result->turn = Decide(result->evidence, &result->decided);
    return 1;
}

BITMAP* QuarterTurnedCopy(const BITMAP* page, int turn)
{
    bool across = turn == 90 || turn == 270;
    int64_t w = page->width, h = page->height;
    BITMAP* out = static_cast<BITMAP*>(AllocMemory(sizeof(BITMAP)));
    if (out == nullptr) return nullptr;
    if (!BITMAP_Create(out, unsigned(across ? h : w), unsigned(across ? w : h), PIXEL_BGR)) {
        FreeMemory(&out);
        return nullptr;
    }
    // Destination pixel (X, Y) of a clockwise turn by 90 comes from source
    // (Y, h - 1 - X); by 180 from (w - 1 - X, h - 1 - Y); by 270 from
    // (w - 1 - Y, X); by 0 from (X, Y).  Along a destination row the source
    // moves by `step` pixels.  A turn across reads the source down its
    // columns, so the rows are done kTile destination pixels at a time:
    // those read a band of kTile source rows, which stays in the cache.
    constexpr int64_t kTile = 32;
    int64_t ow = out->width, oh = out->height;
    int64_t step = turn == 90 ? -w : turn == 180 ? -1 : turn == 270 ? w : 1;
    RunInBands(oh, UseFastStages() ? StageThreads() : 1, [&](int, int64_t first, int64_t end) {
        int64_t tile = across ? kTile : ow;  // a turn by 180 reads rows whole
        for (int64_t x0 = 0; x0 < ow; x0 += tile) {
            int64_t x1 = x0 + tile < ow ? x0 + tile : ow;
            for (int64_t y = first; y < end; y++) {
                int64_t sx = turn == 90 ? y : turn == 180 ? w - 1 - x0 : turn == 270 ? w - 1 - y : x0;
                int64_t sy = turn == 90 ? h - 1 - x0 : turn == 180 ? h - 1 - y : turn == 270 ? x0 : y;
                int64_t from = sy * w + sx;  // a source pixel's index, moved by step
                uint8_t* to = out->pixels + (size_t(y) * size_t(ow) + size_t(x0)) * 3;
                for (int64_t x = x0; x < x1; x++, from += step, to += 3) std::memcpy(to, page->pixels + size_t(from) * 3, 3);
            }
        }
    });
    return out;
}
