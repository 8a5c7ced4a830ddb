// PNG results through libpng.  Compression is chosen for speed: zlib at its
// fastest level with the Up filter (each row minus the one above), which on
// scanned pages keeps most of what the slower levels gain at a fraction of
// their time; see bench/ for the figures.  Black-and-white pages are 1-bit
// grey, compressed at zlib's default level, their data being an eighth of
// the size.  As for reading, libpng's errors longjmp into one plain function
// that owns nothing with a destructor.
#include <png.h>

#include <csetjmp>
#include <cstdio>

#include "core/support.h"
#include "formats/writers.h"

namespace {

constexpr int kGreyAndColourLevel = 1;
constexpr int kBilevelLevel = 6;
constexpr double kMetresPerInch = 0.0254;

struct PngWrite {
    const BITMAP* image;
    const ImageFacts* facts;
    int bilevel;
    FILE* stream;
    png_structp png;
    png_infop info;
    uint8_t* row;  // the row as PNG lays it out, when it differs from the image's
    char message[200];
};

void KeepError(png_structp png, png_const_charp text)
{
    PngWrite* w = static_cast<PngWrite*>(png_get_error_ptr(png));
    std::snprintf(w->message, sizeof w->message, "%s", text);
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

uint32_t DotsPerMetre(double dpi) { return uint32_t(dpi / kMetresPerInch + 0.5); }

int EncodePng(PngWrite* w)
{
    if (setjmp(png_jmpbuf(w->png))) return 0;
    const BITMAP& im = *w->image;
    bool colour = im.type == PIXEL_BGR;
    png_init_io(w->png, w->stream);
    png_set_IHDR(w->png, w->info, im.width, im.height, w->bilevel ? 1 : 8,
                 colour ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (w->facts->x_dpi > 0.0 && w->facts->y_dpi > 0.0)
        png_set_pHYs(w->png, w->info, DotsPerMetre(w->facts->x_dpi), DotsPerMetre(w->facts->y_dpi),
                     PNG_RESOLUTION_METER);
    png_set_compression_level(w->png, w->bilevel ? kBilevelLevel : kGreyAndColourLevel);
    png_set_filter(w->png, PNG_FILTER_TYPE_BASE, w->bilevel ? PNG_FILTER_NONE : PNG_FILTER_UP);
    png_write_info(w->png, w->info);
    uint64_t row_size = uint64_t(im.width) * BITMAP_BytesPerPixel(im.type);
    for (uint32_t y = 0; y < im.height; y++) {
        const uint8_t* source = im.pixels + y * row_size;
        if (w->bilevel) {
            PackBilevelRow(source, im.width, 1, w->row);
            source = w->row;
        } else if (colour) {
            for (uint32_t x = 0; x < im.width; x++) {
                w->row[3 * x] = source[3 * x + 2];
                w->row[3 * x + 1] = source[3 * x + 1];
                w->row[3 * x + 2] = source[3 * x];
            }
            source = w->row;
        }
        png_write_row(w->png, source);
    }
    png_write_end(w->png, nullptr);
    return 1;
}

}  // namespace

int SavePNG(const char* name, const BITMAP* image, const ImageFacts& facts, int bilevel)
{
    OutputFile out;
    if (!OpenOutputFile(&out, name)) return 0;
    PngWrite w = {};
    w.image = image;
    w.facts = &facts;
    w.bilevel = bilevel && image->type == PIXEL_GREY;
    w.stream = out.stream;
    w.row = static_cast<uint8_t*>(AllocMemory(size_t(image->width) * 3));
    if (w.row != nullptr) w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w, KeepError, IgnoreWarning);
    if (w.png != nullptr) w.info = png_create_info_struct(w.png);
    int ok = 0;
    if (w.row != nullptr && w.info == nullptr) ReportError("Not enough memory\n");
    if (w.info != nullptr) {
        ok = EncodePng(&w);
        // A failed write is a disk's failure: say it as the other writers do.
        if (!ok) ReportError("Error writing file %s (%s)\n", name, w.message);
    }
    if (w.png != nullptr) png_destroy_write_struct(&w.png, w.info != nullptr ? &w.info : nullptr);
    FreeMemory(&w.row);
    if (!ok) {
        AbortOutputFile(&out);
        return 0;
    }
    return CommitOutputFile(&out);
}
