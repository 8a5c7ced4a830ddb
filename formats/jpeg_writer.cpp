// JPEG results through libjpeg: baseline, Huffman tables of the standard
// (no optimising pass, which would cost a second pass over the page), the
// library's default 4:2:0 subsampling of colour and its exact integer DCT,
// so that a page gives the same bytes on every machine.  JFIF carries the
// resolution in whole dots per inch.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "core/support.h"
#include "formats/writers.h"

namespace {

struct JpegWrite {
    jpeg_compress_struct cinfo;  // first: libjpeg hands back a pointer to it
    jpeg_error_mgr error;
    jmp_buf jump;
    const BITMAP* image;
    const ImageFacts* facts;
    int quality;
    int bilevel;
    FILE* stream;
    uint8_t* row;
    int created;
    char message[JMSG_LENGTH_MAX];
};

void Fail(j_common_ptr cinfo)
{
    JpegWrite* w = reinterpret_cast<JpegWrite*>(cinfo);
    (*cinfo->err->format_message)(cinfo, w->message);
    std::longjmp(w->jump, 1);
}

void Quiet(j_common_ptr, int) {}

UINT16 WholeDots(double dpi) { return UINT16(dpi < 1.0 ? 1 : dpi > 65535.0 ? 65535 : dpi + 0.5); }

int EncodeJpeg(JpegWrite* w)
{
    if (setjmp(w->jump)) return 0;
    jpeg_compress_struct& c = w->cinfo;
    jpeg_create_compress(&c);
    w->created = 1;
    jpeg_stdio_dest(&c, w->stream);
    const BITMAP& im = *w->image;
    bool colour = im.type == PIXEL_BGR;
    c.image_width = im.width;
    c.image_height = im.height;
    c.input_components = colour ? 3 : 1;
    c.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, w->quality, TRUE);
    c.dct_method = JDCT_ISLOW;
    if (w->facts->x_dpi > 0.0 && w->facts->y_dpi > 0.0) {
        c.density_unit = 1;
        c.X_density = WholeDots(w->facts->x_dpi);
        c.Y_density = WholeDots(w->facts->y_dpi);
    }
    jpeg_start_compress(&c, TRUE);
    uint64_t row_size = uint64_t(im.width) * BITMAP_BytesPerPixel(im.type);
    while (c.next_scanline < c.image_height) {
        const uint8_t* source = im.pixels + c.next_scanline * row_size;
        if (colour) {
            CopyRowAsRgb(source, im.width, w->row);
        } else if (w->bilevel) {
            for (uint32_t x = 0; x < im.width; x++) w->row[x] = source[x] > 127 ? 255 : 0;
        }
        JSAMPROW row = colour || w->bilevel ? w->row : const_cast<uint8_t*>(source);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    return 1;
}

}  // namespace

int SaveJPEG(const char* name, const BITMAP* image, const ImageFacts& facts, int quality, int bilevel)
{
    OutputFile out;
    if (!OpenOutputFile(&out, name)) return 0;
    JpegWrite* w = static_cast<JpegWrite*>(AllocZeroed(sizeof(JpegWrite)));
    int ok = 0;
    if (w != nullptr) {
        w->image = image;
        w->facts = &facts;
        w->quality = quality;
        w->bilevel = bilevel && image->type == PIXEL_GREY;
        w->stream = out.stream;
        w->cinfo.err = jpeg_std_error(&w->error);
        w->error.error_exit = Fail;
        w->error.emit_message = Quiet;
        w->row = static_cast<uint8_t*>(AllocMemory(size_t(image->width) * 3));
        if (w->row != nullptr) {
            ok = EncodeJpeg(w);
            if (!ok) ReportError("Error writing file %s (%s)\n", name, w->message);
        }
        if (w->created) jpeg_destroy_compress(&w->cinfo);
        FreeMemory(&w->row);
        FreeMemory(&w);
    }
    if (!ok) {
        AbortOutputFile(&out);
        return 0;
    }
    return CommitOutputFile(&out);
}
