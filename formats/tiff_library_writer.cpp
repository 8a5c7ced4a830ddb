// Compressed TIFF results through libtiff: grey and colour with Deflate and
// the horizontal predictor (libtiff hands Deflate to libdeflate, whose
// fastest level is chosen: on scans it compresses nearly as well as the
// slower ones), black and white with CCITT Group 4, min-is-white, as fax and
// archive software expects.  libtiff writes into the result's temporary file
// through procedures over its stream, so the result appears under its name
// only once complete.
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "formats/writers.h"

namespace {

constexpr int kDeflateLevel = 1;
// Strips of about this many bytes: large enough for libdeflate to find its
// matches, small enough that a strip is cheap to hold.
constexpr uint64_t kStripBytes = 256 * 1024;
constexpr double kBilevelDefaultDpi = 300.0;

thread_local char t_write_error[256];

void KeepWriteError(const char*, const char* format, va_list args)
{
    if (t_write_error[0] == '\0') std::vsnprintf(t_write_error, sizeof t_write_error, format, args);
}

FILE* Stream(thandle_t handle) { return static_cast<FILE*>(handle); }

tmsize_t ReadProc(thandle_t, void*, tmsize_t) { return 0; }  // the stream is write-only

tmsize_t WriteProc(thandle_t handle, void* data, tmsize_t size)
{
    return tmsize_t(std::fwrite(data, 1, size_t(size), Stream(handle)));
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence)
{
    if (std::fseek(Stream(handle), long(offset), whence) != 0) return toff_t(-1);
    long at = std::ftell(Stream(handle));
    return at < 0 ? toff_t(-1) : toff_t(at);
}

int CloseProc(thandle_t) { return 0; }  // the caller commits or aborts the stream

toff_t SizeProc(thandle_t handle)
{
    FILE* f = Stream(handle);
    long at = std::ftell(f);
    if (at < 0 || std::fseek(f, 0, SEEK_END) != 0) return 0;
    long end = std::ftell(f);
    std::fseek(f, at, SEEK_SET);
    return end < 0 ? 0 : toff_t(end);
}

int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

void SetFields(TIFF* tif, const BITMAP& im, const ImageFacts& facts, bool bilevel)
{
    bool colour = im.type == PIXEL_BGR;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(im.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(im.height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(colour ? 3 : 1));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bilevel ? 1 : 8));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (bilevel) {
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(im.height));
    } else {
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tif, TIFFTAG_ZIPQUALITY, kDeflateLevel);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, colour ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        uint64_t row = uint64_t(im.width) * (colour ? 3 : 1);
        uint64_t rows = kStripBytes / row;
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(rows == 0 ? 1 : rows));
    }
    double x = facts.x_dpi, y = facts.y_dpi;
    if ((x <= 0.0 || y <= 0.0) && bilevel) x = y = kBilevelDefaultDpi;
    if (x > 0.0 && y > 0.0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(x));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(y));
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
}

int WriteRows(TIFF* tif, const BITMAP& im, bool bilevel, uint8_t* row)
{
    bool colour = im.type == PIXEL_BGR;
    uint64_t row_size = uint64_t(im.width) * BITMAP_BytesPerPixel(im.type);
    for (uint32_t y = 0; y < im.height; y++) {
        const uint8_t* source = im.pixels + y * row_size;
        if (bilevel) {
            PackBilevelRow(source, im.width, 0, row);
        } else if (colour) {
            CopyRowAsRgb(source, im.width, row);
        } else {
            std::memcpy(row, source, im.width);
        }
        if (TIFFWriteScanline(tif, row, y, 0) != 1) return 0;
    }
    return 1;
}

}  // namespace

int SaveTiffCompressed(const char* name, const BITMAP* image, const ImageFacts& facts, int bilevel)
{
    bool cut = bilevel && image->type == PIXEL_GREY;
    OutputFile out;
    if (!OpenOutputFile(&out, name)) return 0;
    // libtiff may change the row it is given (the predictor works in place).
    uint8_t* row = static_cast<uint8_t*>(AllocMemory(size_t(image->width) * 3));
    TIFFSetErrorHandler(KeepWriteError);
    TIFFSetWarningHandler(nullptr);
    t_write_error[0] = '\0';
    TIFF* tif = row == nullptr ? nullptr
                               : TIFFClientOpen(name, "wl", out.stream, ReadProc, WriteProc, SeekProc, CloseProc,
                                                SizeProc, MapProc, UnmapProc);
    int ok = 0;
    if (tif != nullptr) {
        SetFields(tif, *image, facts, cut);
        ok = WriteRows(tif, *image, cut, row) && TIFFWriteDirectory(tif);
        TIFFClose(tif);
        ok = ok && std::ferror(out.stream) == 0;
    }
    if (!ok && row != nullptr) ReportError("Error writing file %s (%s)\n", name, t_write_error);
    FreeMemory(&row);
    if (!ok) {
        AbortOutputFile(&out);
        return 0;
    }
    return CommitOutputFile(&out);
}
