// Background colour of the scan, content edges and crop.
//
//   GetBackgroundColour  mean colour of the side chosen by COTE_FOND
//   Find*Edge            first line, seen from one side, that holds a content run
//   BITMAP_Cut           replaces an image by an inclusive rectangle of it
//   CropStage            moves the sides of COTE_RECADRAGE in to the content
//
// A pixel is content when the sum of its three byte differences to the
// background colour reaches 3 x DETECT_DIFF; a content run is DETECT_WIDTH
// such pixels in a row along one line, and it may not use the line's last
// pixel.  No channel order is assumed: bytes are compared position by position.
#include "stages/background.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/support.h"

namespace {

// One line of pixels: its first pixel, the byte step to the next one and
// its length in pixels.
struct Line {
    const uint8_t* first;
    size_t step;
    int32_t length;
};

Line RowLine(const BITMAP* image, int32_t y)
{
    size_t width = image->width;
    return {image->pixels + size_t(y) * width * 3, 3, int32_t(width)};
}

Line ColumnLine(const BITMAP* image, int32_t x)
{
    size_t width = image->width;
    return {image->pixels + size_t(x) * 3, width * 3, int32_t(image->height)};
}

bool IsContent(const uint8_t* p, const uint8_t colour[3], int64_t threshold)
{
    int32_t d = std::abs(p[0] - colour[0]) + std::abs(p[1] - colour[1]) + std::abs(p[2] - colour[2]);
    return d >= threshold;
}

// True when a run of `width` content pixels starts at some s with
// 0 <= s <= length - width - 1, i.e. lies within all pixels but the last.
bool LineHoldsRun(Line line, const uint8_t colour[3], const ParameterSet& params)
{
    int32_t width = params.DETECT_WIDTH;
    // 64 bits: 3 x DETECT_DIFF must not wrap for extreme settings.
    int64_t threshold = 3 * int64_t(params.DETECT_DIFF);
    if (width <= 0) return int64_t(line.length) - width - 1 >= 0;  // an empty run fits anywhere
    int32_t count = 0;
    const uint8_t* p = line.first;
    for (int32_t i = 0; i + 1 < line.length; i++, p += line.step) {
        count = IsContent(p, colour, threshold) ? count + 1 : 0;
        if (count >= width) return true;
    }
    return false;
}

}  // namespace

void GetBackgroundColour(const BITMAP* image, uint8_t colour[3], const ParameterSet& params)
{
    colour[0] = colour[1] = colour[2] = 0;
    // Nothing to average, or not three bytes a pixel: black.
    if (image->width == 0 || image->height == 0 || BITMAP_BytesPerPixel(image->type) != 3) return;
    uint8_t sides = params.COTE_FOND;
    Line line;
    if (sides & (SIDE_TOP | SIDE_BOTTOM))
        line = RowLine(image, (sides & SIDE_TOP) ? 0 : image->height - 1);
    else
        line = ColumnLine(image, (sides & SIDE_LEFT) ? 0 : image->width - 1);
    // At most 65535 x 255 per sum: fits 32 bits.
    int32_t sum[3] = {0, 0, 0};
    const uint8_t* p = line.first;
    for (int32_t i = 0; i < line.length; i++, p += line.step)
        for (int b = 0; b < 3; b++) sum[b] += p[b];
    for (int b = 0; b < 3; b++) colour[b] = uint8_t(sum[b] / line.length);
}

// The finders return the first line examined when lines are shorter than a
// run (that side is not cropped), and one past the last line, seen from their
// side, when no line holds a run.
int32_t FindTopEdge(const BITMAP* image, const uint8_t colour[3], const ParameterSet& params)
{
    int32_t height = image->height;
    if (height == 0) return 0;
    if (int32_t(image->width) < params.DETECT_WIDTH) return 0;
    for (int32_t y = 0; y < height; y++)
        if (LineHoldsRun(RowLine(image, y), colour, params)) return y;
    return height;
}

int32_t FindBottomEdge(const BITMAP* image, const uint8_t colour[3], const ParameterSet& params)
{
    int32_t height = image->height;
    if (height == 0) return -1;
    if (int32_t(image->width) < params.DETECT_WIDTH) return height - 1;
    for (int32_t y = height - 1; y >= 0; y--)
        if (LineHoldsRun(RowLine(image, y), colour, params)) return y;
    return -1;
}

int32_t FindLeftEdge(const BITMAP* image, const uint8_t colour[3], const ParameterSet& params)
{
    int32_t width = image->width;
    if (width == 0) return 0;
    if (int32_t(image->height) < params.DETECT_WIDTH) return 0;
    for (int32_t x = 0; x < width; x++)
        if (LineHoldsRun(ColumnLine(image, x), colour, params)) return x;
    return width;
}

int32_t FindRightEdge(const BITMAP* image, const uint8_t colour[3], const ParameterSet& params)
{
    int32_t width = image->width;
    if (width == 0) return -1;
    if (int32_t(image->height) < params.DETECT_WIDTH) return width - 1;
    for (int32_t x = width - 1; x >= 0; x--)
        if (LineHoldsRun(ColumnLine(image, x), colour, params)) return x;
    return -1;
}

int BITMAP_Cut(BITMAP** slot, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    BITMAP* image = *slot;
    // An empty rectangle (right = left - 1 or bottom = top - 1) is allowed;
    // anything reaching outside the image or of negative size is not.
    int64_t width = int64_t(right) - left + 1, height = int64_t(bottom) - top + 1;
    if (left < 0 || top < 0 || width < 0 || height < 0 || left + width > image->width ||
        top + height > image->height) {
        ReportError("BITMAP_Cut: rectangle (%d, %d)-(%d, %d) outside the %ux%u image\n", int(left),
                    int(top), int(right), int(bottom), unsigned(image->width), unsigned(image->height));
        return 0;
    }
    // In place: fresh memory for a second page costs more than the copy on
    // some systems, and row i of the cut never lies after row i of the image
    // (rows are no longer and start no later), so rows moved in order never
    // overwrite one still to be read.  The block keeps its size.
    size_t bpp = BITMAP_BytesPerPixel(image->type);
    size_t row_bytes = size_t(width) * bpp;
    for (int64_t i = 0; i < height && row_bytes != 0; i++) {
        const uint8_t* from = image->pixels + (size_t(top + i) * image->width + size_t(left)) * bpp;
        std::memmove(image->pixels + size_t(i) * row_bytes, from, row_bytes);
    }
    image->width = uint16_t(width);
    image->height = uint16_t(height);
    return 1;
}

int CropStage(BITMAP** slot, const uint8_t colour[3], const ParameterSet& params)
{
    const BITMAP* image = *slot;
    if (BITMAP_BytesPerPixel(image->type) != 3) {
        ReportError("CropStage: pixel type %u not supported\n", unsigned(image->type));
        return 0;
    }
    int32_t width = image->width, height = image->height;
    int32_t left = 0, top = 0, right = width - 1, bottom = height - 1;
    uint8_t sides = params.COTE_RECADRAGE;
    // A finder that finds no content returns one past its last line; that side
    // then stays where it is, so that a blank page comes out whole instead of
    // as an image of no rows or columns.
    if (sides & SIDE_TOP) {
        int32_t edge = FindTopEdge(image, colour, params);
        if (edge != height) top = edge;
    }
    if (sides & SIDE_BOTTOM) {
        int32_t edge = FindBottomEdge(image, colour, params);
        if (edge != -1) bottom = edge;
    }
    if (sides & SIDE_LEFT) {
        int32_t edge = FindLeftEdge(image, colour, params);
        if (edge != width) left = edge;
    }
    if (sides & SIDE_RIGHT) {
        int32_t edge = FindRightEdge(image, colour, params);
        if (edge != -1) right = edge;
    }
    return BITMAP_Cut(slot, left, top, right, bottom);
}
