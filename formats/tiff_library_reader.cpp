// TIFF through libtiff: every kind nivelo's own reader refuses, and every
// page after the first.
//
// Grey pages (min-is-black or min-is-white, 1 to 16 bits, with or without an
// alpha sample, strips or tiles, any codec libtiff has: CCITT G3/G4, JPEG,
// Deflate, LZW with any predictor) are decoded strip by strip or tile by tile
// and stay grey, so that a grey scan gives grey results.  Everything else
// (RGB, palette, CMYK, YCbCr, separate planes, colour with alpha) goes
// through libtiff's RGBA conversion, which composes every photometric and
// gives alpha already weighed (associated).  Conversions: 16-bit samples to
// the nearest of 256 levels, (v + 128) / 257, as libtiff's RGBA path does;
// CMYK as libtiff converts it, (255 - C)(255 - K) / 255 per channel; alpha
// over white.  The Orientation tag is applied last, on the decoded page.
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/support.h"
#include "formats/exif.h"
#include "formats/messages.h"
#include "formats/orientation.h"
#include "formats/readers.h"

namespace {

// libtiff reports through one process-wide handler: the first error of the
// current call is kept for the message.  Warnings are dropped, except the
// fax decoder's "Premature EOF": libtiff only warns when a CCITT strip ends
// early and leaves the rest of the page white, which would pass a cut-short
// file off as a page.
thread_local char t_tiff_error[256];
thread_local int t_tiff_cut_short;
// The format messages name: "TIFF", or that of a file holding the TIFF
// data (a PDF whose fax image is read as a TIFF file).
thread_local const char* t_tiff_format = "TIFF";

void KeepTiffError(const char* module, const char* format, va_list args)
{
    (void)module;
    if (t_tiff_error[0] != '\0') return;
    std::vsnprintf(t_tiff_error, sizeof t_tiff_error, format, args);
}

void WatchTiffWarning(const char* module, const char* format, va_list args)
{
    if (std::strstr(format, "Premature EOF") == nullptr) return;
    t_tiff_cut_short = 1;
    KeepTiffError(module, format, args);
}

TIFF* OpenQuietly(const char* name)
{
    TIFFSetErrorHandler(KeepTiffError);
    TIFFSetWarningHandler(WatchTiffWarning);
    t_tiff_error[0] = '\0';
    t_tiff_cut_short = 0;
    return TIFFOpen(name, "r");
}

struct TiffPage {
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    uint16_t alpha = EXTRASAMPLE_UNSPECIFIED;  // of the one extra sample of a grey page
    bool has_alpha = false;
};

void ReadResolution(TIFF* tif, ImageFacts* facts)
{
    float x = 0.0f, y = 0.0f;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x)) facts->x_dpi = DotsPerInch(x, unit);
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) facts->y_dpi = DotsPerInch(y, unit);
    if (facts->y_dpi == 0.0) facts->y_dpi = facts->x_dpi;
    if (facts->x_dpi == 0.0) facts->x_dpi = facts->y_dpi;
}

void ReadPageFields(TIFF* tif, TiffPage* p)
{
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p->width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p->height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p->samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p->bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p->planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &p->orientation);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p->photometric)) p->photometric = PHOTOMETRIC_MINISWHITE;
    uint16_t extra = 0;
    uint16_t* kinds = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extra, &kinds) && extra == 1 && kinds != nullptr) {
        p->has_alpha = kinds[0] == EXTRASAMPLE_ASSOCALPHA || kinds[0] == EXTRASAMPLE_UNASSALPHA;
        p->alpha = kinds[0];
    }
}

bool IsGreyPage(const TiffPage& p)
{
    bool grey = p.photometric == PHOTOMETRIC_MINISBLACK || p.photometric == PHOTOMETRIC_MINISWHITE;
    bool layout = p.samples == 1 || (p.samples == 2 && p.has_alpha && p.planar == PLANARCONFIG_CONTIG);
    bool bits = p.bits == 1 || p.bits == 2 || p.bits == 4 || p.bits == 8 || p.bits == 16;
    return grey && layout && bits;
}

// Sample k of a row of packed samples, brought to 8 bits.  16-bit samples
// come from libtiff in the machine's byte order.
unsigned Sample8(const uint8_t* row, uint32_t k, unsigned bits)
{
    switch (bits) {
    case 8: return row[k];
    case 16: {
        uint16_t v;
        std::memcpy(&v, row + 2 * uint64_t(k), 2);
        return (v + 128u) / 257u;
    }
    case 4: return ((row[k >> 1] >> (4 - 4 * (k & 1))) & 0x0Fu) * 17u;
    case 2: return ((row[k >> 2] >> (6 - 2 * (k & 3))) & 0x03u) * 85u;
    default: return ((row[k >> 3] >> (7 - (k & 7))) & 1u) * 255u;
    }
}

// One decoded row (or a tile's share of it) into grey pixels.
void GreyRow(const TiffPage& p, const uint8_t* row, uint32_t count, uint8_t* out)
{
    bool invert = p.photometric == PHOTOMETRIC_MINISWHITE;
    if (p.samples == 1 && p.bits == 8 && !invert) {
        std::memcpy(out, row, count);
        return;
    }
    for (uint32_t x = 0; x < count; x++) {
        unsigned v = Sample8(row, x * p.samples, p.bits);
        if (invert) v = 255u - v;
        if (p.samples == 2) {
            unsigned a = Sample8(row, x * 2 + 1, p.bits);
            v = p.alpha == EXTRASAMPLE_ASSOCALPHA ? AssociatedOverWhite(v, a) : OverWhite(v, a);
        }
        out[x] = uint8_t(v);
    }
}

int ReadGreyStrips(TIFF* tif, const TiffPage& p, uint8_t* buffer, BITMAP* image)
{
    uint32_t rows_per_strip = p.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
    if (rows_per_strip == 0 || rows_per_strip > p.height) rows_per_strip = p.height;
    tmsize_t row_size = TIFFScanlineSize(tif);
    for (uint32_t y = 0; y < p.height; y += rows_per_strip) {
        uint32_t rows = p.height - y < rows_per_strip ? p.height - y : rows_per_strip;
        tmsize_t want = row_size * tmsize_t(rows);
        if (TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, y, 0), buffer, want) < want) return 0;
        for (uint32_t r = 0; r < rows; r++)
            GreyRow(p, buffer + r * row_size, p.width, image->pixels + uint64_t(y + r) * p.width);
    }
    return 1;
}

int ReadGreyTiles(TIFF* tif, const TiffPage& p, uint8_t* buffer, BITMAP* image)
{
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    tmsize_t row_size = TIFFTileRowSize(tif);
    tmsize_t tile_size = TIFFTileSize(tif);
    for (uint32_t ty = 0; ty < p.height; ty += th) {
        for (uint32_t tx = 0; tx < p.width; tx += tw) {
            if (TIFFReadEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, 0), buffer, tile_size) < tile_size) return 0;
            uint32_t rows = p.height - ty < th ? p.height - ty : th;
            uint32_t count = p.width - tx < tw ? p.width - tx : tw;
            for (uint32_t r = 0; r < rows; r++)
                GreyRow(p, buffer + r * row_size, count, image->pixels + uint64_t(ty + r) * p.width + tx);
        }
    }
    return 1;
}

// The decode buffer of one strip or tile, 0 when libtiff finds the layout
// inconsistent.
uint64_t PieceSize(TIFF* tif, const TiffPage& p)
{
    if (TIFFIsTiled(tif)) {
        uint32_t tw = 0, th = 0;
        if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw) || !TIFFGetField(tif, TIFFTAG_TILELENGTH, &th) || tw == 0 ||
            th == 0)
            return 0;
        tmsize_t size = TIFFTileSize(tif);
        return size > 0 ? uint64_t(size) : 0;
    }
    uint32_t rows_per_strip = p.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
    if (rows_per_strip == 0 || rows_per_strip > p.height) rows_per_strip = p.height;
    tmsize_t row = TIFFScanlineSize(tif);
    return row > 0 ? uint64_t(row) * rows_per_strip : 0;
}

int ReadGreyPage(TIFF* tif, const TiffPage& p, const char* name, BITMAP* image)
{
    uint64_t piece = PieceSize(tif, p);
    if (piece == 0) return RefuseDamaged(name, t_tiff_format, t_tiff_error);
    uint64_t turn = OrientationMemory(p.orientation, p.width, p.height, PIXEL_GREY);
    if (!CheckPageBudget(name, p.width, p.height, PIXEL_GREY, piece + turn)) return 0;
    uint8_t* buffer = static_cast<uint8_t*>(AllocMemory(size_t(piece)));
    if (buffer == nullptr) return 0;
    int ok = BITMAP_Create(image, p.width, p.height, PIXEL_GREY);
    if (ok) {
        ok = TIFFIsTiled(tif) ? ReadGreyTiles(tif, p, buffer, image) : ReadGreyStrips(tif, p, buffer, image);
        ok = ok && !t_tiff_cut_short;
        if (!ok) RefuseDamaged(name, t_tiff_format, t_tiff_error);
    }
    FreeMemory(&buffer);
    return ok;
}

// libtiff's RGBA reading, in the stored order of rows and columns (asking
// for the file's own orientation turns off libtiff's partial flipping; the
// whole orientation is applied afterwards).
int ReadColourPage(TIFF* tif, const TiffPage& p, const char* name, BITMAP* image)
{
    char why[1024] = "";
    if (!TIFFRGBAImageOK(tif, why)) return RefuseUnsupported(name, t_tiff_format, why);
    uint64_t raster_size = uint64_t(p.width) * p.height * 4;
    uint64_t turn = OrientationMemory(p.orientation, p.width, p.height, PIXEL_RGB);
    if (!CheckPageBudget(name, p.width, p.height, PIXEL_RGB, raster_size + turn)) return 0;
    uint32_t* raster = static_cast<uint32_t*>(AllocMemory(size_t(raster_size)));
    if (raster == nullptr) return 0;
    TIFFRGBAImage rgba;
    int ok = TIFFRGBAImageBegin(&rgba, tif, 1, why);
    if (ok) {
        rgba.req_orientation = rgba.orientation;
        ok = TIFFRGBAImageGet(&rgba, raster, p.width, p.height) && !t_tiff_cut_short;
        TIFFRGBAImageEnd(&rgba);
    }
    if (!ok) RefuseDamaged(name, t_tiff_format, t_tiff_error[0] != '\0' ? t_tiff_error : why);
    if (ok) ok = BITMAP_Create(image, p.width, p.height, PIXEL_RGB);
    if (ok) {
        uint64_t count = uint64_t(p.width) * p.height;
        for (uint64_t i = 0; i < count; i++) {
            uint32_t v = raster[i];
            unsigned a = TIFFGetA(v);
            image->pixels[3 * i] = AssociatedOverWhite(TIFFGetR(v), a);
            image->pixels[3 * i + 1] = AssociatedOverWhite(TIFFGetG(v), a);
            image->pixels[3 * i + 2] = AssociatedOverWhite(TIFFGetB(v), a);
        }
    }
    FreeMemory(&raster);
    return ok;
}

int ReadPage(TIFF* tif, uint32_t page, const char* name, BITMAP* record, ImageFacts* facts)
{
    uint32_t pages = uint32_t(TIFFNumberOfDirectories(tif));
    facts->page_count = pages == 0 ? 1 : pages;
    if (page >= facts->page_count) {
        ReportError("%s : le fichier a %u page(s), il n'a pas de page %u\n", name, facts->page_count, page + 1);
        return 0;
    }
    if (page != 0 && !TIFFSetDirectory(tif, tdir_t(page))) return RefuseDamaged(name, t_tiff_format, t_tiff_error);
    TiffPage p;
    ReadPageFields(tif, &p);
    if (!CheckPageSides(name, p.width, p.height)) return 0;
    ReadResolution(tif, facts);
    int ok = IsGreyPage(p) ? ReadGreyPage(tif, p, name, record) : ReadColourPage(tif, p, name, record);
    return ok && ApplyOrientation(record, p.orientation, &facts->x_dpi, &facts->y_dpi);
}

// A TIFF file held in memory, for libtiff's client interface: reads only,
// every position checked against the size.
struct MemoryTiff {
    const uint8_t* data;
    uint64_t size;
    uint64_t at;
};

tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t count)
{
    MemoryTiff* m = static_cast<MemoryTiff*>(handle);
    if (count <= 0 || m->at >= m->size) return 0;
    uint64_t n = uint64_t(count) < m->size - m->at ? uint64_t(count) : m->size - m->at;
    std::memcpy(buffer, m->data + m->at, size_t(n));
    m->at += n;
    return tmsize_t(n);
}

tmsize_t MemoryWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t MemorySeek(thandle_t handle, toff_t offset, int whence)
{
    MemoryTiff* m = static_cast<MemoryTiff*>(handle);
    uint64_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->size : 0;
    if (offset > UINT64_MAX - base) return toff_t(-1);
    m->at = base + offset;
    return m->at;
}

int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return static_cast<MemoryTiff*>(handle)->size; }
int MemoryMap(thandle_t, void**, toff_t*) { return 0; }
void MemoryUnmap(thandle_t, void*, toff_t) {}

}  // namespace

int LoadTiffLibrary(const char* name, uint32_t page, BITMAP* record, ImageFacts* facts)
{
    BITMAP_Init(record, 0, 0, 0);
    ClearImageFacts(facts);
    TIFF* tif = OpenQuietly(name);
    if (tif == nullptr) return RefuseDamaged(name, t_tiff_format, t_tiff_error);
    int ok = ReadPage(tif, page, name, record, facts);
    TIFFClose(tif);
    if (!ok) BITMAP_Free(record);
    return ok;
}

int LoadTiffMemory(const char* name, const char* format, const uint8_t* data, uint64_t size, int fax_byte_align,
                   BITMAP* record, ImageFacts* facts)
{
    BITMAP_Init(record, 0, 0, 0);
    ClearImageFacts(facts);
    TIFFSetErrorHandler(KeepTiffError);
    TIFFSetWarningHandler(WatchTiffWarning);
    t_tiff_error[0] = '\0';
    t_tiff_cut_short = 0;
    MemoryTiff memory = {data, size, 0};
    t_tiff_format = format;
    // "m": libtiff must not map the buffer as a file of its own.
    TIFF* tif = TIFFClientOpen(name, "rm", &memory, MemoryRead, MemoryWrite, MemorySeek, MemoryClose, MemorySize,
                               MemoryMap, MemoryUnmap);
    if (tif == nullptr) return RefuseDamaged(name, t_tiff_format, t_tiff_error);
    int ok = 1;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
        compression == COMPRESSION_CCITTFAX4) {
        int mode = 0;
        TIFFGetField(tif, TIFFTAG_FAXMODE, &mode);
        mode = fax_byte_align ? mode | FAXMODE_BYTEALIGN : mode & ~FAXMODE_BYTEALIGN;
        ok = TIFFSetField(tif, TIFFTAG_FAXMODE, mode);
        if (!ok) RefuseDamaged(name, t_tiff_format, t_tiff_error);
    }
    ok = ok && ReadPage(tif, 0, name, record, facts);
    TIFFClose(tif);
    t_tiff_format = "TIFF";
    if (!ok) BITMAP_Free(record);
    return ok;
}

int TiffPageCount(const char* name, uint32_t* count)
{
    TIFF* tif = OpenQuietly(name);
    if (tif == nullptr) return RefuseDamaged(name, t_tiff_format, t_tiff_error);
    int pages = TIFFNumberOfDirectories(tif);
    TIFFClose(tif);
    *count = pages > 0 ? uint32_t(pages) : 1;
    return 1;
}

void ReadTiffFacts(const char* name, ImageFacts* facts)
{
    TIFF* tif = OpenQuietly(name);
    if (tif == nullptr) return;
    ReadResolution(tif, facts);
    int pages = TIFFNumberOfDirectories(tif);
    if (pages > 0) facts->page_count = uint32_t(pages);
    TIFFClose(tif);
}

int ReadTiffG4Strip(const char* name, uint32_t page, std::string* bytes, uint32_t* width, uint32_t* height,
                    uint16_t* photometric)
{
    TIFF* tif = OpenQuietly(name);
    if (tif == nullptr) return 0;
    TiffPage p;
    uint16_t compression = 0, fill = FILLORDER_MSB2LSB;
    uint32_t t6 = 0;
    int ok = (page == 0 || TIFFSetDirectory(tif, tdir_t(page))) && TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    if (ok) {
        ReadPageFields(tif, &p);
        TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fill);
        TIFFGetField(tif, TIFFTAG_GROUP4OPTIONS, &t6);
        // The stream alone must make the page: one strip, bits in the order
        // every reader expects, no uncompressed runs, stored upright.
        ok = compression == COMPRESSION_CCITTFAX4 && p.samples == 1 && p.bits == 1 && !TIFFIsTiled(tif) &&
             TIFFNumberOfStrips(tif) == 1 && fill == FILLORDER_MSB2LSB && t6 == 0 &&
             p.orientation == ORIENTATION_TOPLEFT &&
             (p.photometric == PHOTOMETRIC_MINISWHITE || p.photometric == PHOTOMETRIC_MINISBLACK);
    }
    uint64_t size = ok ? TIFFGetStrileByteCount(tif, 0) : 0;
    uint64_t file_size = uint64_t(TIFFGetSizeProc(tif)(TIFFClientdata(tif)));
    // The byte count is checked against the file before the buffer is made.
    if (ok && size > 0 && size <= file_size && size <= UINT32_MAX) {
        bytes->resize(size_t(size));
        ok = TIFFReadRawStrip(tif, 0, bytes->data(), tmsize_t(size)) == tmsize_t(size);
    } else {
        ok = 0;
    }
    if (ok) {
        *width = p.width;
        *height = p.height;
        *photometric = p.photometric;
    }
    TIFFClose(tif);
    return ok;
}
