// libtiff writes into the temporary file through procedures over its
// stream.  A JPEG page goes in as one strip holding the whole JPEG file, as
// TIFF's JPEG compression allows (each strip may be a complete JPEG stream
// with its own tables); its YCbCrSubsampling must be the luma's sampling
// factors, the chroma being sampled once.
#include "documents/tiff_assembly.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "formats/writers.h"

namespace {

constexpr int kDeflateLevel = 1;  // as nivelo's TIFF results
constexpr uint64_t kStripBytes = 256 * 1024;
// As in the PDF: a page that declares no resolution is taken at 300 dpi.
constexpr double kDefaultDpi = 300.0;

thread_local char t_error[256];

void KeepError(const char*, const char* format, va_list args)
{
    if (t_error[0] == '\0') std::vsnprintf(t_error, sizeof t_error, format, args);
}

FILE* Stream(thandle_t handle) { return static_cast<FILE*>(handle); }
tmsize_t ReadProc(thandle_t handle, void* data, tmsize_t size)
{
    return tmsize_t(std::fread(data, 1, size_t(size), Stream(handle)));
}
tmsize_t WriteProc(thandle_t handle, void* data, tmsize_t size)
{
    return tmsize_t(std::fwrite(data, 1, size_t(size), Stream(handle)));
}
toff_t SeekProc(thandle_t handle, toff_t offset, int whence)
{
    if (offset > uint64_t(INT64_MAX) || fseeko(Stream(handle), off_t(offset), whence) != 0) return toff_t(-1);
    off_t at = ftello(Stream(handle));
    return at < 0 ? toff_t(-1) : toff_t(at);
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle)
{
    FILE* f = Stream(handle);
    off_t at = ftello(f);
    if (at < 0 || fseeko(f, 0, SEEK_END) != 0) return 0;
    off_t end = ftello(f);
    fseeko(f, at, SEEK_SET);
    return end < 0 ? 0 : toff_t(end);
}
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

void SetCommonFields(TIFF* tif, const PageImage& page, uint32_t number, uint16_t samples, uint16_t bits)
{
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(number), uint16_t(0));  // the count is not known yet
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    double x = page.x_dpi > 0.0 ? page.x_dpi : page.y_dpi;
    double y = page.y_dpi > 0.0 ? page.y_dpi : page.x_dpi;
    if (x <= 0.0) x = y = kDefaultDpi;
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(x));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(y));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
}

int WriteRaw(TIFF* tif, const PageImage& page)
{
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, page.height);
    return TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(page.data), tmsize_t(page.data_size)) ==
           tmsize_t(page.data_size);
}

int WriteG4Page(TIFF* tif, const PageImage& page, uint32_t number)
{
    SetCommonFields(tif, page, number, 1, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page.black_is_1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
    return WriteRaw(tif, page);
}

int WriteJpegPage(TIFF* tif, const PageImage& page, uint32_t number)
{
    bool colour = page.jpeg.components == 3;
    SetCommonFields(tif, page, number, colour ? 3 : 1, 8);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, colour ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_MINISBLACK);
    if (colour)
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, uint16_t(page.jpeg.sampling[0] >> 4),
                     uint16_t(page.jpeg.sampling[0] & 15));
    return WriteRaw(tif, page);
}

// Grey, colour and indexed pages with Deflate, black and white with Group 4,
// row by row from the decoded page.
int WritePixelsPage(TIFF* tif, PageImage* page, uint32_t number)
{
    const BITMAP& im = page->pixels;
    bool colour = im.type == PIXEL_BGR || im.type == PIXEL_RGB;
    SetCommonFields(tif, *page, number, colour ? 3 : 1, page->bilevel ? 1 : 8);
    uint64_t row_bytes = uint64_t(im.width) * (colour ? 3 : 1);
    if (page->bilevel) {
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, im.height);
    } else {
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tif, TIFFTAG_ZIPQUALITY, kDeflateLevel);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, im.type == PIXEL_INDEXED ? PHOTOMETRIC_PALETTE
                                               : colour                ? PHOTOMETRIC_RGB
                                                                       : PHOTOMETRIC_MINISBLACK);
        uint64_t rows = kStripBytes / row_bytes;
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(rows == 0 ? 1 : rows));
    }
    if (im.type == PIXEL_INDEXED) {
        uint16_t map[3][256];
        for (int i = 0; i < 256; i++)
            for (int c = 0; c < 3; c++) map[c][i] = uint16_t(im.palette[3 * i + c] * 257u);
        TIFFSetField(tif, TIFFTAG_COLORMAP, map[0], map[1], map[2]);
    }
    uint8_t* row = static_cast<uint8_t*>(AllocMemory(size_t(row_bytes)));
    int ok = row != nullptr;
    for (uint32_t y = 0; ok && y < im.height; y++) {
        const uint8_t* source = im.pixels + y * uint64_t(im.width) * BITMAP_BytesPerPixel(im.type);
        if (page->bilevel)
            PackBilevelRow(source, im.width, 0, row);
        else if (im.type == PIXEL_BGR)
            CopyRowAsRgb(source, im.width, row);
        else
            std::memcpy(row, source, size_t(row_bytes));
        ok = TIFFWriteScanline(tif, row, y, 0) == 1;
    }
    FreeMemory(&row);
    BITMAP_Free(&page->pixels);
    return ok;
}

}  // namespace

int BeginTiff(TiffAssembly* a, const char* path)
{
    a->tif = nullptr;
    a->pages = 0;
    if (!OpenOutputFile(&a->out, path)) return 0;
    // libtiff reads back the directory before each new one to link it: the
    // temporary file, still empty, is opened again for reading too.
    a->out.stream = std::freopen(a->out.temp, "w+b", a->out.stream);
    TIFFSetErrorHandler(KeepError);
    TIFFSetWarningHandler(nullptr);
    t_error[0] = '\0';
    if (a->out.stream != nullptr)
        a->tif = TIFFClientOpen(path, "w", a->out.stream, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                            UnmapProc);
    if (a->tif != nullptr) return 1;
    ReportError("Error writing file %s (%s)\n", path, t_error);
    AbortOutputFile(&a->out);
    return 0;
}

int AddTiffPage(TiffAssembly* a, const char* name, PageImage* page)
{
    t_error[0] = '\0';
    int ok = 0;
    if (page->kind == STREAM_G4)
        ok = WriteG4Page(a->tif, *page, a->pages);
    else if (page->kind == STREAM_JPEG)
        ok = WriteJpegPage(a->tif, *page, a->pages);
    else
        ok = WritePixelsPage(a->tif, page, a->pages);
    ok = ok && TIFFWriteDirectory(a->tif) && std::ferror(a->out.stream) == 0;
    if (!ok) {
        ReportError("Error writing file %s (%s ; page %s)\n", a->out.path, t_error, name);
        return 0;
    }
    a->pages++;
    return 1;
}

int FinishTiff(TiffAssembly* a)
{
    TIFFClose(a->tif);
    a->tif = nullptr;
    if (std::ferror(a->out.stream) != 0) {
        ReportError("Error writing file %s\n", a->out.path);
        AbortOutputFile(&a->out);
        return 0;
    }
    return CommitOutputFile(&a->out);
}

void AbandonTiff(TiffAssembly* a)
{
    if (a->tif != nullptr) TIFFClose(a->tif);
    a->tif = nullptr;
    AbortOutputFile(&a->out);
}
