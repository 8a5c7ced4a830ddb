// The ink cut.  Light falls unevenly on a scan (a book's gutter, a page
// that curves away from the glass, a lamp to one side), and one threshold
// for the whole page then floods the shaded print into blocks that outweigh
// the lines of the rest of the page, or loses the print where the light is
// strong.  So the page is first evened: each pixel is scaled by the
// paper's level around it, measured in tiles and taken linearly between
// tile centres, and Otsu's cut is made on the evened page.  A tile's level
// is never taken above the page's own, so white corners left by an
// earlier turn darken nothing; a tile that is nearly all dark (a black
// border, a dark photograph) evens to paper and drops out.
#include "stages/ink_cut.h"

#include <cstddef>
#include <cstring>

#include "core/support.h"

namespace {

constexpr int kSums = 766;             // values of b + g + r
constexpr int64_t kTilesAcross = 8;    // tiles are a page's width / 8 a side ...
constexpr int64_t kLeastTile = 32;     // ... but at least this many pixels
// The light is taken as even over blocks of kBlock x kBlock pixels: one
// level, one division, a block.
constexpr int64_t kBlock = 16;
constexpr int64_t kMostBlocks = (65535 + kBlock - 1) / kBlock;  // across the widest page
// The paper's level is the sum below which this share of the pixels lie
// (in fifths): print covers far less of a page or of a tile than that, so
// the level is the paper's own unless the tile is nearly all dark.
constexpr uint64_t kPaperFifths = 4;

// Otsu's threshold on the histogram of b + g + r over values 0 ... end - 1:
// dark pixels are those at or below it.  Sets *contrast to the distance
// between the two class means and *dark_share to the dark class's count.
int64_t OtsuThreshold(const uint64_t histogram[kSums], int end, int64_t* contrast, double* dark_share)
{
    double total = 0.0, weighted = 0.0;
    for (int v = 0; v < end; v++) {
        total = total + double(histogram[v]);
        weighted = weighted + double(v) * double(histogram[v]);
    }
    double below = 0.0, below_weighted = 0.0, best = -1.0;
    int64_t threshold = 0;
    *contrast = 0;
    *dark_share = 0.0;
    for (int v = 0; v + 1 < end; v++) {
        below = below + double(histogram[v]);
        below_weighted = below_weighted + double(v) * double(histogram[v]);
        double above = total - below;
        if (below == 0.0 || above == 0.0) continue;
        double dark_mean = below_weighted / below, light_mean = (weighted - below_weighted) / above;
        double gap = light_mean - dark_mean;
        double spread = below * above * gap * gap;
        if (spread > best) {  // strictly: the first of equal cuts
            best = spread;
            threshold = v;
            *contrast = int64_t(gap);
            *dark_share = below / total;
        }
    }
    return threshold;
}

// The ink threshold.  Ink is the smaller part of a page, so while the dark
// side of the cut holds most of the pixels (white corners left by an earlier
// turn, or a white scanner lid, split from paper and ink together) the cut
// is made again within the dark side.
int64_t InkThreshold(const uint64_t histogram[kSums], int64_t* contrast)
{
    int end = kSums;
    int64_t threshold = 0;
    for (int round = 0; round < 3; round++) {
        double dark_share = 0.0;
        threshold = OtsuThreshold(histogram, end, contrast, &dark_share);
        if (dark_share <= 0.5) break;
        end = int(threshold) + 1;
    }
    return threshold;
}

// The least value at or below which more than four fifths of a histogram's
// counts lie; the lightest value when there are none.
template <typename Count>
int64_t PaperLevel(const Count* histogram)
{
    uint64_t total = 0;
    for (int v = 0; v < kSums; v++) total += histogram[v];
    uint64_t seen = 0;
    for (int v = 0; v < kSums; v++) {
        seen += histogram[v];
        if (seen * 5 > total * kPaperFifths) return v;
    }
    return kSums - 1;
}

// values[0], values[stride], ... (n of them) stand at the centres of tiles
// of `tile` pixels; the value at `at` (in 256ths of a pixel) is linear
// between two centres and the nearest one's beyond the first and last.
// In 256ths of the values' unit.
int64_t Between(const int64_t* values, int64_t n, int64_t stride, int64_t tile, int64_t at)
{
    int64_t past = at - tile * 128;  // from the first centre
    if (past <= 0) return values[0] * 256;
    int64_t i = past / (tile * 256);
    if (i >= n - 1) return values[size_t((n - 1) * stride)] * 256;
    int64_t rest = past - i * tile * 256;
    int64_t a = values[size_t(i * stride)], b = values[size_t((i + 1) * stride)];
    return a * 256 + (b - a) * rest / tile;
}

// The paper's levels of the blocks of one row of blocks, in 256ths: the
// tiles' levels taken linearly at each block's centre, never above the
// page's and never below 1 (a tile of pure black, where Evened would
// divide by 0).
void BlockLevels(const InkCut& cut, int64_t width, int64_t block_row, uint32_t levels[kMostBlocks])
{
    int64_t column[kTilesAcross + 1];  // each column of tiles at the blocks' centre row
    int64_t centre = block_row * kBlock + kBlock / 2;
    for (int64_t across = 0; across < cut.across; across++)
        column[across] = Between(cut.levels + across, cut.down, cut.across, cut.tile, centre * 256);
    int64_t most = cut.paper * 256;
    for (int64_t block = 0; block * kBlock < width; block++) {
        int64_t level = Between(column, cut.across, 1, cut.tile, (block * kBlock + kBlock / 2) * 256) / 256;
        // The floor comes last: a page that is mostly black has a paper
        // level of 0, and its cap must not bring a block to 0 either.
        if (level > most) level = most;
        levels[block] = uint32_t(level < 256 ? 256 : level);
    }
}

// A pixel's sum scaled so that the paper's level is 765 (the page as if it
// were evenly lit), lighter than paper cut to 765.
int Evened(int v, uint32_t level)
{
    uint32_t n = uint32_t(v) * (765 * 256) / level;  // at most 765 * 765 * 256 < 2^32
    return n > 765 ? 765 : int(n);
}

// The tiles' levels, and the page's, from one pixel in eight: every second
// pixel of every fourth row.
void MeasureLevels(const BITMAP* page, InkCut* cut, uint64_t histogram[kSums], uint32_t* own)
{
    int64_t tile = cut->tile;
    for (int64_t down = 0; down < cut->down; down++) {
        std::memset(own, 0, size_t(cut->across) * kSums * sizeof(uint32_t));
        int64_t end = (down + 1) * tile < page->height ? (down + 1) * tile : page->height;
        for (int64_t y = (down * tile + 3) / 4 * 4; y < end; y += 4) {
            const uint8_t* p = page->pixels + size_t(y) * page->width * 3;
            for (int64_t x = 0; x < page->width; x += 2, p += 6) {
                int v = p[0] + p[1] + p[2];
                histogram[v]++;
                own[size_t(x / tile) * kSums + size_t(v)]++;
            }
        }
        for (int64_t across = 0; across < cut->across; across++)
            cut->levels[size_t(down * cut->across + across)] = PaperLevel(own + size_t(across) * kSums);
    }
    cut->paper = PaperLevel(histogram);
}

}  // namespace

int MakeInkCut(const BITMAP* page, InkCut* cut)
{
    *cut = InkCut{};
    int64_t tile = page->width / kTilesAcross > kLeastTile ? page->width / kTilesAcross : kLeastTile;
    cut->tile = tile;
    cut->across = (page->width + tile - 1) / tile;  // at most kTilesAcross + 1
    cut->down = (page->height + tile - 1) / tile;
    size_t tiles = size_t(cut->across) * size_t(cut->down);
    cut->levels = static_cast<int64_t*>(AllocMemory(tiles * sizeof(int64_t)));
    uint32_t* own = static_cast<uint32_t*>(AllocMemory(size_t(cut->across) * kSums * sizeof(uint32_t)));
    if (cut->levels == nullptr || own == nullptr) {
        FreeMemory(&own);
        FreeInkCut(cut);
        return 0;
    }
    uint64_t histogram[kSums] = {};
    MeasureLevels(page, cut, histogram, own);
    FreeMemory(&own);
    // A page without contrast is blank, however it was lit: evening would
    // make a contrast of the paper's grain in the dark.
    InkThreshold(histogram, &cut->contrast);
    // The cut itself, on the same pixels evened, each by its block's level
    // as CountInk does.
    uint64_t evened[kSums] = {};
    uint32_t levels[kMostBlocks];
    for (int64_t y = 0; y < page->height; y += 4) {
        if (y % kBlock == 0) BlockLevels(*cut, page->width, y / kBlock, levels);
        const uint8_t* p = page->pixels + size_t(y) * page->width * 3;
        for (int64_t x = 0; x < page->width; x += 2, p += 6) evened[Evened(p[0] + p[1] + p[2], levels[x / kBlock])]++;
    }
    int64_t evened_contrast = 0;
    cut->threshold = InkThreshold(evened, &evened_contrast);
    return 1;
}

void FreeInkCut(InkCut* cut) { FreeMemory(&cut->levels); }

void CountInk(const BITMAP* page, const InkCut& cut, int64_t reduction, uint16_t* counts, int64_t width,
              int64_t first, int64_t end, uint8_t* dark)
{
    int64_t used = width * reduction;  // pixels of a row that fall in whole cells
    uint32_t levels[kMostBlocks];
    for (int64_t y = first; y < end; y++) {
        if (y == first || y % kBlock == 0) BlockLevels(cut, used, y / kBlock, levels);
        const uint8_t* p = page->pixels + size_t(y) * page->width * 3;
        for (int64_t x0 = 0; x0 < used; x0 += kBlock) {
            // Evened(v) <= threshold exactly when v * 765 * 256 < (threshold + 1) * level.
            int32_t at_most = int32_t(((cut.threshold + 1) * int64_t(levels[x0 / kBlock]) - 1) / (765 * 256));
            int64_t x1 = x0 + kBlock < used ? x0 + kBlock : used;
            for (int64_t x = x0; x < x1; x++)
                dark[x] = uint8_t(int32_t(p[3 * x]) + int32_t(p[3 * x + 1]) + int32_t(p[3 * x + 2]) <= at_most);
        }
        uint16_t* row = counts + size_t(y) * size_t(width);
        if (reduction == 2) {  // the common case, in a loop the compiler can widen
            for (int64_t x = 0; x < width; x++) row[x] = uint16_t(dark[2 * x] + dark[2 * x + 1]);
            continue;
        }
        for (int64_t x = 0; x < width; x++) {
            unsigned n = 0;
            for (int64_t k = 0; k < reduction; k++) n += dark[x * reduction + k];
            row[x] = uint16_t(n);
        }
    }
}

void MarkInkRow(const BITMAP* page, const InkCut& cut, int64_t y, uint8_t* dark)
{
    uint32_t levels[kMostBlocks];
    BlockLevels(cut, page->width, y / kBlock, levels);
    const uint8_t* p = page->pixels + size_t(y) * page->width * 3;
    for (int64_t x0 = 0; x0 < page->width; x0 += kBlock) {
        int32_t at_most = int32_t(((cut.threshold + 1) * int64_t(levels[x0 / kBlock]) - 1) / (765 * 256));
        int64_t x1 = x0 + kBlock < page->width ? x0 + kBlock : page->width;
        for (int64_t x = x0; x < x1; x++)
            dark[x] = uint8_t(int32_t(p[3 * x]) + int32_t(p[3 * x + 1]) + int32_t(p[3 * x + 2]) <= at_most);
    }
}
