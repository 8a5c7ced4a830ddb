// JPEG through libjpeg (libjpeg-turbo): grey, colour and CMYK/YCCK,
// baseline or progressive.  Grey stays grey, colour becomes RGB; CMYK
// becomes RGB as (255 - C)(255 - K) / 255 per channel, after undoing the
// inversion that Adobe's writers apply (their APP14 marker says so).  The
// EXIF orientation is applied, as every photo viewer does; the resolution
// comes from the JFIF header when it gives one in inches or centimetres,
// else from EXIF.
//
// A cut-short or corrupt file is refused: libjpeg only warns about those and
// would fill the rest of the page with grey.  Harmless warnings (stray bytes
// between markers, which some cameras write) are let through.
//
// libjpeg reports errors by longjmp: as for PNG, the state lives in a plain
// record and the function with setjmp owns nothing with a destructor.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include "core/support.h"
#include "formats/exif.h"
#include "formats/messages.h"
#include "formats/orientation.h"
#include "formats/readers.h"

namespace {

// A progressive file with more scans than this is hostile: real encoders
// write about ten, and each scan costs a pass over the whole page.
constexpr int kMostScans = 1000;

struct JpegRead {
    jpeg_decompress_struct cinfo;  // first: libjpeg hands back a pointer to it
    jpeg_error_mgr error;
    jpeg_progress_mgr progress;
    jmp_buf jump;
    const char* name;
    FILE* file;
    const uint8_t* data;  // a stream held in memory, read instead of the file
    size_t size;
    BITMAP* image;
    ImageFacts* facts;
    unsigned orientation;
    uint8_t* cmyk_row;
    int created;
    int refused;        // 1 once a message was printed outside libjpeg's path
    char message[JMSG_LENGTH_MAX];
};

JpegRead* Owner(j_common_ptr cinfo) { return reinterpret_cast<JpegRead*>(cinfo); }

void Fail(j_common_ptr cinfo)
{
    JpegRead* r = Owner(cinfo);
    (*cinfo->err->format_message)(cinfo, r->message);
    std::longjmp(r->jump, 1);
}

// Warnings (level -1) that mean missing or broken data stop the read.
void Warn(j_common_ptr cinfo, int level)
{
    if (level != -1) return;
    int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
        code == JWRN_MUST_RESYNC || code == JWRN_BOGUS_PROGRESSION || code == JWRN_NOT_SEQUENTIAL)
        Fail(cinfo);
}

void CountScans(j_common_ptr cinfo)
{
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMostScans) {
        std::snprintf(Owner(cinfo)->message, sizeof Owner(cinfo)->message, "plus de %d passes progressives",
                      kMostScans);
        std::longjmp(Owner(cinfo)->jump, 1);
    }
}

void ReadFacts(JpegRead* r)
{
    jpeg_decompress_struct& c = r->cinfo;
    ExifFacts exif = {1, 0.0, 0.0};
    for (jpeg_saved_marker_ptr m = c.marker_list; m != nullptr; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && ParseExif(m->data, m->data_length, &exif)) break;
    r->orientation = exif.orientation;
    double x = 0.0, y = 0.0;
    if (c.saw_JFIF_marker && (c.density_unit == 1 || c.density_unit == 2)) {
        x = DotsPerInch(c.X_density, c.density_unit + 1u);
        y = DotsPerInch(c.Y_density, c.density_unit + 1u);
    }
    if (x == 0.0 || y == 0.0) {
        x = exif.x_dpi;
        y = exif.y_dpi;
    }
    r->facts->x_dpi = x != 0.0 ? x : y;
    r->facts->y_dpi = y != 0.0 ? y : x;
}

// Memory libjpeg itself holds: a progressive page keeps every coefficient
// (two bytes each, blocks rounded up), a CMYK page needs a row of four bytes.
uint64_t DecoderMemory(const jpeg_decompress_struct& c)
{
    uint64_t blocks = (uint64_t(c.image_width) + 15) / 8 * ((uint64_t(c.image_height) + 15) / 8);
    uint64_t coefficients = c.progressive_mode ? blocks * 64 * 2 * uint64_t(c.num_components) : 0;
    return coefficients + uint64_t(c.image_width) * 4;
}

void CmykToRgb(const uint8_t* cmyk, uint32_t width, bool inverted, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; x++) {
        unsigned k = inverted ? cmyk[4 * x + 3] : 255u - cmyk[4 * x + 3];
        for (unsigned i = 0; i < 3; i++) {
            unsigned c = inverted ? cmyk[4 * x + i] : 255u - cmyk[4 * x + i];
            rgb[3 * x + i] = uint8_t((c * k + 127u) / 255u);
        }
    }
}

int DecodeJpeg(JpegRead* r)
{
    if (setjmp(r->jump)) return 0;
    jpeg_decompress_struct& c = r->cinfo;
    jpeg_create_decompress(&c);
    r->created = 1;
    c.progress = &r->progress;
    if (r->data != nullptr)
        jpeg_mem_src(&c, r->data, static_cast<unsigned long>(r->size));
    else
        jpeg_stdio_src(&c, r->file);
    jpeg_save_markers(&c, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&c, TRUE);
    if (!CheckPageSides(r->name, c.image_width, c.image_height)) return r->refused = 1, 0;
    ReadFacts(r);
    bool cmyk = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
    bool grey = c.jpeg_color_space == JCS_GRAYSCALE;
    c.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_RGB;
    unsigned type = grey ? PIXEL_GREY : PIXEL_RGB;
    uint64_t extra = DecoderMemory(c) + OrientationMemory(r->orientation, c.image_width, c.image_height, type);
    if (!CheckPageBudget(r->name, c.image_width, c.image_height, type, extra)) return r->refused = 1, 0;
    jpeg_start_decompress(&c);
    if (!BITMAP_Create(r->image, c.output_width, c.output_height, type)) return r->refused = 1, 0;
    if (cmyk && (r->cmyk_row = static_cast<uint8_t*>(AllocMemory(size_t(c.output_width) * 4))) == nullptr)
        return r->refused = 1, 0;
    uint64_t row_size = uint64_t(c.output_width) * BITMAP_BytesPerPixel(type);
    while (c.output_scanline < c.output_height) {
        uint8_t* out = r->image->pixels + c.output_scanline * row_size;
        JSAMPROW row = cmyk ? r->cmyk_row : out;
        if (jpeg_read_scanlines(&c, &row, 1) != 1) ERREXIT(&c, JERR_INPUT_EMPTY);
        if (cmyk) CmykToRgb(r->cmyk_row, c.output_width, c.saw_Adobe_marker, out);
    }
    jpeg_finish_decompress(&c);
    return 1;
}


// The file's own reading, or a stream in memory (data not null), whose
// EXIF orientation is not applied: the file that holds such a stream says
// itself how its page is turned.
int ReadJpeg(const char* name, const char* format, const uint8_t* data, size_t size, BITMAP* record,
             ImageFacts* facts)
{
    BITMAP_Init(record, 0, 0, 0);
    ClearImageFacts(facts);
    JpegRead* r = static_cast<JpegRead*>(AllocZeroed(sizeof(JpegRead)));
    if (r == nullptr) return 0;
    r->name = name;
    r->image = record;
    r->facts = facts;
    r->data = data;
    r->size = size;
    r->cinfo.err = jpeg_std_error(&r->error);
    r->error.error_exit = Fail;
    r->error.emit_message = Warn;
    r->progress.progress_monitor = CountScans;
    if (data == nullptr) r->file = OpenFile(name, "rb");
    int ok = 0;
    if (r->file != nullptr || data != nullptr) {
        ok = DecodeJpeg(r);
        if (!ok && !r->refused) RefuseDamaged(name, format, r->message);
        if (ok && data == nullptr) ok = ApplyOrientation(record, r->orientation, &facts->x_dpi, &facts->y_dpi);
    }
    if (r->created) jpeg_destroy_decompress(&r->cinfo);
    FreeMemory(&r->cmyk_row);
    CloseFile(&r->file);
    FreeMemory(&r);
    if (!ok) BITMAP_Free(record);
    return ok;
}

}  // namespace

int LoadJPEG(const char* name, BITMAP* record, ImageFacts* facts)
{
    return ReadJpeg(name, "JPEG", nullptr, 0, record, facts);
}

int LoadJPEGMemory(const char* name, const char* format, const uint8_t* data, size_t size, BITMAP* record,
                   ImageFacts* facts)
{
    return ReadJpeg(name, format, data, size, record, facts);
}
