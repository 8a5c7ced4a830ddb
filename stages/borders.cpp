// The scanner's ground left around a turned page.
//
// A page scanned on a dark ground and turned keeps wedges of that ground at
// its corners: the crop keeps the bounding box of the skewed paper, and the
// turn brings the ground inside that box into the picture, while the fill
// colour only covers what came from outside the scan.
//
// Method:
//   - a pixel is ground-like by the crop's own test against the colour the
//     pipeline sampled, so that DETECT_DIFF means one thing in both stages;
//   - ground is the ground-like pixels reached by a straight run, along a
//     row or a column, from the scan's edge.  The paper is convex, so a row
//     crosses it once and every pixel of a clean ground is reached along its
//     row from one end or the other; the columns reach what dust or a hair
//     on the ground hides from the rows.  Print on the paper, a black frame
//     or a dark photograph, is enclosed by paper and never reached, where a
//     flood fill would leak along any dark path;
//   - the scanner draws the paper's edge over a few pixels of shade; up to
//     kShadeReach of them join the ground where they are nearer the ground
//     colour than the fill colour, so that no half-dark seam is left for a
//     black-and-white save to turn black;
//   - ground that reaches the middle third of the page is no border: the
//     colour was sampled on the paper, or the page is of one colour.  Such a
//     page is left as it is;
//   - after the turn a pixel takes the fill colour when one of the sixteen
//     source pixels that its cubic resampling read is ground: the turn's own
//     walk is repeated, in the same doubles and the same order.
// Everything else is integer, so the result is the same on every machine.
#include "stages/borders.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/support.h"
#include "stages/rotation.h"

namespace {

// Mask values while tracing; the finished mask holds only 0 and 1.
constexpr uint8_t kPaper = 0;
constexpr uint8_t kGround = 1;
constexpr uint8_t kGroundLike = 2;  // like the ground, not (yet) reached from an edge
constexpr uint8_t kShade = 3;       // taken in the current widening pass
// Pixels of the paper's shaded edge that may join the ground: a scanner
// draws a sharp edge over two or three pixels, and the blur adds at most
// one where its colour limit lets it mix ground and paper.
constexpr int kShadeReach = 4;

int32_t Distance(const uint8_t* p, const uint8_t colour[3])
{
    return std::abs(p[0] - colour[0]) + std::abs(p[1] - colour[1]) + std::abs(p[2] - colour[2]);
}

void ClassifyPixels(const BITMAP* page, const uint8_t ground[3], int64_t threshold, uint8_t* mask)
{
    size_t count = size_t(page->width) * page->height;
    const uint8_t* p = page->pixels;
    for (size_t i = 0; i < count; i++, p += 3) mask[i] = Distance(p, ground) < threshold ? kGroundLike : kPaper;
}

// From both ends of every row inwards, while the pixels are like the ground.
void RunAlongRows(uint8_t* mask, size_t width, size_t height)
{
    for (size_t y = 0; y < height; y++) {
        uint8_t* row = mask + y * width;
        size_t x = 0;
        for (; x < width && row[x] != kPaper; x++) row[x] = kGround;
        for (size_t end = width; end > x && row[end - 1] != kPaper; end--) row[end - 1] = kGround;
    }
}

// The same down and up every column, row by row: `open` (width bytes) says
// which columns' runs have not met the paper yet.
void RunAlongColumns(uint8_t* mask, size_t width, size_t height, uint8_t* open)
{
    for (int pass = 0; pass < 2; pass++) {
        std::memset(open, 1, width);
        for (size_t k = 0; k < height; k++) {
            uint8_t* row = mask + (pass == 0 ? k : height - 1 - k) * width;
            for (size_t x = 0; x < width; x++) {
                if (!open[x]) continue;
                if (row[x] == kPaper)
                    open[x] = 0;
                else
                    row[x] = kGround;
            }
        }
    }
}

bool ReachesMiddle(const uint8_t* mask, size_t width, size_t height)
{
    for (size_t y = height / 3; y < height - height / 3; y++)
        for (size_t x = width / 3; x < width - width / 3; x++)
            if (mask[y * width + x] == kGround) return true;
    return false;
}

// One row of a widening pass: pixels beside the ground (in the rows above
// and below, `up` and `down`, or in this one) that are nearer the ground
// than the fill become kShade.  The test of the neighbours has no branch on
// the position, so that the long stretches of paper go fast.
bool ShadeRow(const uint8_t* pixels, const uint8_t ground[3], const uint8_t fill[3], const uint8_t* up,
              uint8_t* row, const uint8_t* down, size_t width)
{
    bool grew = false;
    for (size_t x = 0; x < width; x++) {
        bool beside = up[x] == kGround || down[x] == kGround || (x > 0 && row[x - 1] == kGround) ||
                      (x + 1 < width && row[x + 1] == kGround);
        if (!beside || row[x] == kGround) continue;
        const uint8_t* p = pixels + x * 3;
        if (Distance(p, ground) < Distance(p, fill)) {
            row[x] = kShade;
            grew = true;
        }
    }
    return grew;
}

// Widens the ground by one pixel a pass into the shade of the paper's edge.
// `none` is a row of width kPaper bytes, the neighbour of the first and last
// rows.
void TakeShade(const BITMAP* page, const uint8_t ground[3], const uint8_t fill[3], uint8_t* mask, const uint8_t* none)
{
    size_t width = page->width, height = page->height, count = width * height;
    for (int pass = 0; pass < kShadeReach; pass++) {
        bool grew = false;
        for (size_t y = 0; y < height; y++) {
            uint8_t* row = mask + y * width;
            const uint8_t* up = y > 0 ? row - width : none;
            const uint8_t* down = y + 1 < height ? row + width : none;
            grew = ShadeRow(page->pixels + y * width * 3, ground, fill, up, row, down, width) || grew;
        }
        if (!grew) return;
        for (size_t i = 0; i < count; i++)
            if (mask[i] == kShade) mask[i] = kGround;
    }
}

// Whether one of the 4 x 4 pixels that SampleBicubic reads around (x, y)
// is ground; taps off the page are not (the turn gave them the fill).
bool ReadsGround(const BITMAP* mask, double x, double y)
{
    double fx = std::floor(x), fy = std::floor(y);
    int64_t width = mask->width, height = mask->height;
    if (!(fx + 2.0 >= 0.0 && fx - 1.0 < double(width) && fy + 2.0 >= 0.0 && fy - 1.0 < double(height)))
        return false;
    int64_t ix = int64_t(fx), iy = int64_t(fy);
    int64_t left = ix - 1 < 0 ? 0 : ix - 1, right = ix + 2 < width ? ix + 2 : width - 1;
    int64_t top = iy - 1 < 0 ? 0 : iy - 1, bottom = iy + 2 < height ? iy + 2 : height - 1;
    for (int64_t j = top; j <= bottom; j++) {
        const uint8_t* row = mask->pixels + size_t(j) * size_t(width);
        for (int64_t i = left; i <= right; i++)
            if (row[i] != kPaper) return true;
    }
    return false;
}

// wide = mask widened to the taps' reach: wide(i, j) is ground when a mask
// pixel of columns i - 1 ... i + 2 and rows j - 1 ... j + 2 is, which is
// ReadsGround at a point whose floor is (i, j).  Across first, into wide;
// then down, in place, keeping the row above (it is overwritten) in `above`
// and the row itself in `keep`.  Two rows of width bytes, and wide.
void WidenToTaps(const BITMAP* mask, BITMAP* wide, uint8_t* above, uint8_t* keep)
{
    size_t width = mask->width, height = mask->height;
    for (size_t j = 0; j < height; j++) {
        const uint8_t* in = mask->pixels + j * width;
        uint8_t* out = wide->pixels + j * width;
        // Each pixel's own and the next two, then the one before.
        for (size_t i = 0; i < width; i++)
            out[i] = in[i] | (i + 1 < width ? in[i + 1] : kPaper) | (i + 2 < width ? in[i + 2] : kPaper);
        for (size_t i = width; i-- > 1;) out[i] |= in[i - 1];
    }
    std::memset(above, kPaper, width);
    for (size_t j = 0; j < height; j++) {
        uint8_t* row = wide->pixels + j * width;
        std::memcpy(keep, row, width);
        for (size_t k = 1; k <= 2 && j + k < height; k++)
            for (size_t i = 0; i < width; i++) row[i] |= row[k * width + i];
        for (size_t i = 0; i < width; i++) row[i] |= above[i];
        std::memcpy(above, keep, width);
    }
}

// The turn's walk over the page: a pixel whose point has its floor on the
// page reads `wide`; one whose floor is just off it (its taps partly on
// the page) asks the mask itself.
void PaintTurned(BITMAP* page, const BITMAP* mask, const BITMAP* wide, double angle, const uint8_t fill[3])
{
    int64_t width = page->width, height = page->height;
    RotationWalk walk = StartRotation(width, height, angle);
    double c = walk.c, s = walk.s, x0 = walk.x0, y0 = walk.y0;
    for (int64_t i = 0; i < height; i++) {
        uint8_t* out = page->pixels + size_t(i) * size_t(width) * 3;
        double x = x0, y = y0;
        for (int64_t j = 0; j < width; j++, out += 3) {
            // On the page, truncation is the floor.
            bool ground;
            if (x >= 0.0 && x < double(width) && y >= 0.0 && y < double(height))
                ground = wide->pixels[size_t(y) * size_t(width) + size_t(x)] != kPaper;
            else
                ground = ReadsGround(mask, x, y);
            if (ground) std::memcpy(out, fill, 3);
            x = x + c;
            y = y - s;
        }
        x0 = x0 + s;
        y0 = y0 + c;
    }
}

}  // namespace

int TraceScannerGround(const BITMAP* page, const uint8_t ground[3], const uint8_t fill[3], const ParameterSet& params,
                       BITMAP* mask, int* reaches_middle)
{
    *reaches_middle = 0;
    BITMAP_Init(mask, 0, 0, 0);
    if (BITMAP_BytesPerPixel(page->type) != 3) {
        ReportError("TraceScannerGround: pixel type %u not supported\n", unsigned(page->type));
        return 0;
    }
    if (!BITMAP_Create(mask, page->width, page->height, PIXEL_GREY)) return 0;
    size_t width = page->width, height = page->height, count = width * height;
    // A row of column flags, then (all kPaper) the row beyond the page.
    uint8_t* open = static_cast<uint8_t*>(AllocMemory(width));
    if (open == nullptr) {
        BITMAP_Free(mask);
        return 0;
    }
    // 64 bits: 3 x DETECT_DIFF must not wrap; 0 or below makes nothing ground.
    ClassifyPixels(page, ground, 3 * int64_t(params.DETECT_DIFF), mask->pixels);
    RunAlongRows(mask->pixels, width, height);
    RunAlongColumns(mask->pixels, width, height, open);
    if (ReachesMiddle(mask->pixels, width, height)) {
        *reaches_middle = 1;
        std::memset(mask->pixels, kPaper, count);
        FreeMemory(&open);
        return 1;
    }
    std::memset(open, kPaper, width);
    TakeShade(page, ground, fill, mask->pixels, open);
    FreeMemory(&open);
    for (size_t i = 0; i < count; i++) mask->pixels[i] = mask->pixels[i] == kGround ? kGround : kPaper;
    return 1;
}

int PaintScannerGround(BITMAP* page, const BITMAP* mask, int turned, double angle, const uint8_t fill[3])
{
    if (mask->pixels == nullptr || page->pixels == nullptr || BITMAP_BytesPerPixel(page->type) != 3 ||
        page->width != mask->width || page->height != mask->height)
        return 1;
    size_t width = page->width, count = width * page->height;
    if (!turned) {
        for (size_t i = 0; i < count; i++)
            if (mask->pixels[i] != kPaper) std::memcpy(page->pixels + i * 3, fill, 3);
        return 1;
    }
    if (std::memchr(mask->pixels, kGround, count) == nullptr) return 1;
    BITMAP wide;
    uint8_t* rows = static_cast<uint8_t*>(AllocMemory(2 * width));
    if (rows == nullptr) return 0;
    if (!BITMAP_Create(&wide, mask->width, mask->height, PIXEL_GREY)) {
        FreeMemory(&rows);
        return 0;
    }
    WidenToTaps(mask, &wide, rows, rows + width);
    PaintTurned(page, mask, &wide, angle, fill);
    BITMAP_Free(&wide);
    FreeMemory(&rows);
    return 1;
}
