// PNG through libpng: every bit depth, grey, palette and colour, with or
// without alpha or a transparent colour, interlaced or not.  Grey stays grey;
// palette and colour pages come out in the working order B, G, R, which
// libpng writes at no cost.  16-bit samples keep their high byte
// (libpng's strip), alpha is laid over white; no gamma is applied, as
// viewers of scans do not.  The pHYs chunk gives the resolution.
// The common kind, 8-bit grey or colour, goes to the direct reader first
// (png_direct.h), which gives the same bytes in a third of the time.
//
// libpng reports errors by longjmp: everything the decode touches lives in
// one plain record, and the function that calls setjmp owns nothing with a
// destructor, so the jump skips no clean-up; the caller releases what the
// record holds on every path.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "core/environment.h"
#include "core/support.h"
#include "formats/exif.h"
#include "formats/messages.h"
#include "formats/png_direct.h"
#include "formats/readers.h"

namespace {

struct PngRead {
    const char* name;
    FILE* file;
    png_structp png;
    png_infop info;
    BITMAP* image;
    ImageFacts* facts;
    uint8_t* rows;        // one row, or every row of an interlaced page with alpha
    int refused;          // 1 once a message was printed outside libpng's path
    char message[200];    // libpng's error
};

void KeepError(png_structp png, png_const_charp text)
{
    PngRead* r = static_cast<PngRead*>(png_get_error_ptr(png));
    std::snprintf(r->message, sizeof r->message, "%s", text);
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

void ReadResolution(PngRead* r)
{
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (!png_get_pHYs(r->png, r->info, &x, &y, &unit) || unit != PNG_RESOLUTION_METER) return;
    r->facts->x_dpi = DotsPerInch(x / 100.0, 3);
    r->facts->y_dpi = DotsPerInch(y / 100.0, 3);
}

// A decoded row (grey, grey+alpha, BGR or BGRA, 8 bits) into the image row.
void PlaceRow(const uint8_t* row, unsigned channels, uint32_t width, uint8_t* out)
{
    if (channels == 2) {
        for (uint32_t x = 0; x < width; x++) out[x] = OverWhite(row[2 * x], row[2 * x + 1]);
    } else if (channels == 4) {
        for (uint32_t x = 0; x < width; x++)
            for (unsigned c = 0; c < 3; c++) out[3 * x + c] = OverWhite(row[4 * x + c], row[4 * x + 3]);
    }
}

// Header, checks, transforms, allocation, rows.  Returns 0 with r->refused
// set after its own message, or 0 by libpng's longjmp with r->message.
int DecodePng(PngRead* r)
{
    if (setjmp(png_jmpbuf(r->png))) return 0;
    png_init_io(r->png, r->file);
    // nivelo's own limits are checked below, with a message of its own.
    png_set_user_limits(r->png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(r->png, r->info);
    png_uint_32 width = png_get_image_width(r->png, r->info);
    png_uint_32 height = png_get_image_height(r->png, r->info);
    if (!CheckPageSides(r->name, width, height)) return r->refused = 1, 0;
    ReadResolution(r);
    png_set_expand(r->png);
    png_set_strip_16(r->png);
    png_set_bgr(r->png);
    int passes = png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    unsigned channels = png_get_channels(r->png, r->info);
    unsigned type = channels <= 2 ? PIXEL_GREY : PIXEL_BGR;
    bool alpha = channels == 2 || channels == 4;
    uint64_t row_bytes = png_get_rowbytes(r->png, r->info);
    uint64_t buffer = !alpha ? 0 : passes > 1 ? row_bytes * height : row_bytes;
    if (!CheckPageBudget(r->name, width, height, type, buffer)) return r->refused = 1, 0;
    if (!BITMAP_Create(r->image, width, height, type)) return r->refused = 1, 0;
    if (alpha && (r->rows = static_cast<uint8_t*>(AllocMemory(size_t(buffer)))) == nullptr) return r->refused = 1, 0;
    uint64_t out_row = uint64_t(width) * BITMAP_BytesPerPixel(type);
    for (int pass = 0; pass < passes; pass++) {
        for (png_uint_32 y = 0; y < height; y++) {
            uint8_t* target = !alpha ? r->image->pixels + y * out_row : passes > 1 ? r->rows + y * row_bytes : r->rows;
            png_read_row(r->png, target, nullptr);
            if (alpha && passes == 1) PlaceRow(r->rows, channels, width, r->image->pixels + y * out_row);
        }
    }
    if (alpha && passes > 1)
        for (png_uint_32 y = 0; y < height; y++)
            PlaceRow(r->rows + y * row_bytes, channels, width, r->image->pixels + y * out_row);
    png_read_end(r->png, nullptr);
    return 1;
}

}  // namespace

int LoadPngLibrary(const char* name, BITMAP* record, ImageFacts* facts)
{
    BITMAP_Init(record, 0, 0, 0);
    ClearImageFacts(facts);
    PngRead r = {};
    r.name = name;
    r.image = record;
    r.facts = facts;
    r.file = OpenFile(name, "rb");
    if (r.file == nullptr) return 0;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, KeepError, IgnoreWarning);
    if (r.png != nullptr) r.info = png_create_info_struct(r.png);
    int ok = 0;
    if (r.info == nullptr)
        ReportError("Not enough memory\n");
    else if (!(ok = DecodePng(&r)) && !r.refused)
        RefuseDamaged(name, "PNG", r.message);
    if (r.png != nullptr) png_destroy_read_struct(&r.png, r.info != nullptr ? &r.info : nullptr, nullptr);
    FreeMemory(&r.rows);
    CloseFile(&r.file);
    if (!ok) BITMAP_Free(record);
    return ok;
}

int LoadPNG(const char* name, BITMAP* record, ImageFacts* facts)
{
    if (UseFastStages()) {
        PngDirectResult direct = LoadPngDirect(name, record, facts);
        if (direct != PNG_DIRECT_DECLINED) return direct == PNG_DIRECT_READ;
    }
    return LoadPngLibrary(name, record, facts);
}
