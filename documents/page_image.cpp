// The page's first bytes choose the way in.  A TIFF page goes through
// libtiff, whose raw strip is the Group 4 stream when the page is 1 bit, one
// strip, most significant bit first and upright; any other TIFF is decoded
// by nivelo's readers, as are TGA pages and the JPEG and PNG pages a
// document reader could not take as they are.
#include "documents/page_image.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "formats/exif.h"
#include "formats/formats.h"
#include "formats/messages.h"

namespace {

constexpr size_t kHeadBytes = 18;

thread_local char t_tiff_error[256];

void KeepTiffError(const char*, const char* format, va_list args)
{
    if (t_tiff_error[0] == '\0') std::vsnprintf(t_tiff_error, sizeof t_tiff_error, format, args);
}

int DecodePixels(const char* name, bool bilevel, PageImage* page)
{
    ImageFacts facts;
    FreeMemory(&page->owned);
    page->data = nullptr;
    page->data_size = 0;
    if (!LoadPage(name, 0, &page->pixels, &facts)) return 0;
    page->kind = STREAM_PIXELS;
    page->bilevel = bilevel && page->pixels.type == PIXEL_GREY;
    page->width = page->pixels.width;
    page->height = page->pixels.height;
    page->x_dpi = facts.x_dpi;
    page->y_dpi = facts.y_dpi;
    return 1;
}

int LoadJpegPage(const char* name, int for_tiff, PageImage* page)
{
    if (!ReadWholeFile(name, &page->owned, &page->data_size)) return 0;
    JpegFrame& f = page->jpeg;
    if (!ScanJpeg(page->owned, page->data_size, &f)) return RefuseDamaged(name, "JPEG", nullptr);
    ExifFacts exif = {1, 0.0, 0.0};
    if (f.exif_size != 0) ParseExif(page->owned + f.exif_offset, f.exif_size, &exif);
    // A page turned by its EXIF orientation is decoded, and so turned, as
    // nivelo's reader turns it.
    if (exif.orientation != 1 || !(for_tiff ? JpegFitsTiff(f) : JpegPassable(f)))
        return DecodePixels(name, false, page);
    page->kind = STREAM_JPEG;
    page->width = f.width;
    page->height = f.height;
    // As nivelo's JPEG reader: JFIF's density, else EXIF's.
    page->x_dpi = DotsPerInch(f.x_density, f.density_unit + 1u);
    page->y_dpi = DotsPerInch(f.y_density, f.density_unit + 1u);
    if (page->x_dpi == 0.0 || page->y_dpi == 0.0) {
        page->x_dpi = exif.x_dpi;
        page->y_dpi = exif.y_dpi;
    }
    page->data = page->owned;
    return 1;
}

int LoadPngPage(const char* name, int for_tiff, PageImage* page)
{
    if (!ReadWholeFile(name, &page->owned, &page->data_size)) return 0;
    PngLayout& p = page->png;
    if (!ScanPng(page->owned, page->data_size, &p)) return RefuseDamaged(name, "PNG", nullptr);
    if (for_tiff || !PngPassable(p)) return DecodePixels(name, p.colour_type == 0 && p.bit_depth == 1, page);
    page->kind = STREAM_PNG;
    page->width = p.width;
    page->height = p.height;
    // As nivelo's PNG reader reads pHYs: through pixels per centimetre.
    page->x_dpi = DotsPerInch(p.x_per_metre / 100.0, 3);
    page->y_dpi = DotsPerInch(p.y_per_metre / 100.0, 3);
    page->data = page->owned + p.data_offset;
    page->data_size = p.data_size;
    return 1;
}

// The Group 4 strip of a TIFF page, or 0 without a message when the page
// is of another kind (*bilevel then says whether it is 1 bit).
int TakeG4Strip(TIFF* tif, PageImage* page, bool* bilevel)
{
    uint16_t bits = 1, samples = 1, compression = 0, fill = FILLORDER_MSB2LSB;
    uint16_t orientation = ORIENTATION_TOPLEFT, photometric = PHOTOMETRIC_MINISWHITE, unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fill);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    *bilevel = bits == 1 && samples == 1;
    bool plain_grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    if (!*bilevel || !plain_grey || compression != COMPRESSION_CCITTFAX4 || fill != FILLORDER_MSB2LSB ||
        orientation != ORIENTATION_TOPLEFT || TIFFIsTiled(tif) || TIFFNumberOfStrips(tif) != 1)
        return 0;
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    uint64_t size = TIFFGetStrileByteCount(tif, 0);
    if (width == 0 || height == 0 || size == 0 || size > uint64_t(SIZE_MAX)) return 0;
    page->owned = static_cast<uint8_t*>(AllocMemory(size_t(size)));
    if (page->owned == nullptr) return 0;
    // libtiff checks the strip against the file's size and reads it as stored.
    if (TIFFReadRawStrip(tif, 0, page->owned, tmsize_t(size)) != tmsize_t(size)) {
        FreeMemory(&page->owned);
        return 0;
    }
    float x = 0.0f, y = 0.0f;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x)) page->x_dpi = DotsPerInch(x, unit);
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) page->y_dpi = DotsPerInch(y, unit);
    page->kind = STREAM_G4;
    page->width = width;
    page->height = height;
    page->black_is_1 = photometric == PHOTOMETRIC_MINISBLACK;
    page->data = page->owned;
    page->data_size = size_t(size);
    return 1;
}

int LoadTiffPage(const char* name, PageImage* page)
{
    TIFFErrorHandler saved_error = TIFFSetErrorHandler(KeepTiffError);
    TIFFErrorHandler saved_warning = TIFFSetWarningHandler(nullptr);
    t_tiff_error[0] = '\0';
    TIFF* tif = TIFFOpen(name, "r");
    bool bilevel = false;
    int taken = tif != nullptr && TakeG4Strip(tif, page, &bilevel);
    if (tif != nullptr) TIFFClose(tif);
    TIFFSetErrorHandler(saved_error);
    TIFFSetWarningHandler(saved_warning);
    if (taken) return 1;
    // Whatever libtiff could not hand over raw, nivelo's readers decode and
    // judge, with their own message for a damaged file.
    return DecodePixels(name, bilevel, page);
}

}  // namespace

int LoadPageImage(const char* name, int for_tiff, PageImage* page)
{
    std::memset(page, 0, sizeof *page);
    BITMAP_Init(&page->pixels, 0, 0, 0);
    uint8_t head[kHeadBytes];
    size_t got = 0;
    if (!ReadFileHead(name, head, sizeof head, &got)) return 0;
    const char* other = nullptr;
    int ok = 0;
    switch (SniffKind(head, got, &other)) {
    case KIND_JPEG: ok = LoadJpegPage(name, for_tiff, page); break;
    case KIND_PNG: ok = LoadPngPage(name, for_tiff, page); break;
    case KIND_TIFF: ok = LoadTiffPage(name, page); break;
    default: ok = DecodePixels(name, false, page); break;
    }
    if (!ok) FreePageImage(page);
    return ok;
}

void FreePageImage(PageImage* page)
{
    FreeMemory(&page->owned);
    BITMAP_Free(&page->pixels);
    page->data = nullptr;
    page->data_size = 0;
}
