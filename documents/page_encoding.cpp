// libtiff has the only Group 4 encoder at hand; it writes a one-page TIFF
// into memory here, through procedures over a growing buffer, and the strip
// is taken out of it by the offset and count libtiff records.
#include "documents/page_encoding.h"

#include <libdeflate.h>
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "formats/writers.h"

namespace {

// libdeflate's fastest level, as for nivelo's PNG results: on scans the
// slower levels gain a fraction of a per cent for several times the time.
constexpr int kFlateLevel = 1;

thread_local char t_encode_error[256];

void KeepEncodeError(const char*, const char* format, va_list args)
{
    if (t_encode_error[0] == '\0') std::vsnprintf(t_encode_error, sizeof t_encode_error, format, args);
}

struct MemoryFile {
    uint8_t* bytes;
    size_t size, capacity, at;
    bool failed;
};

MemoryFile* Memory(thandle_t handle) { return static_cast<MemoryFile*>(handle); }

tmsize_t ReadMemory(thandle_t handle, void* data, tmsize_t count)
{
    MemoryFile* m = Memory(handle);
    size_t n = m->at < m->size ? m->size - m->at : 0;
    if (size_t(count) < n) n = size_t(count);
    std::memcpy(data, m->bytes + m->at, n);
    m->at += n;
    return tmsize_t(n);
}

tmsize_t WriteMemory(thandle_t handle, void* data, tmsize_t count)
{
    MemoryFile* m = Memory(handle);
    size_t n = size_t(count);
    if (m->at > SIZE_MAX - n) return m->failed = true, 0;
    if (m->at + n > m->capacity) {
        size_t capacity = m->capacity < 65536 ? 65536 : m->capacity;
        while (capacity < m->at + n) capacity = capacity > SIZE_MAX / 2 ? m->at + n : capacity * 2;
        uint8_t* grown = static_cast<uint8_t*>(AllocMemory(capacity));
        if (grown == nullptr) return m->failed = true, 0;
        if (m->size > 0) std::memcpy(grown, m->bytes, m->size);
        FreeMemory(&m->bytes);
        m->bytes = grown;
        m->capacity = capacity;
    }
    if (m->at > m->size) std::memset(m->bytes + m->size, 0, m->at - m->size);
    std::memcpy(m->bytes + m->at, data, n);
    m->at += n;
    if (m->at > m->size) m->size = m->at;
    return count;
}

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence)
{
    MemoryFile* m = Memory(handle);
    uint64_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->size : 0;
    if (offset > uint64_t(SIZE_MAX) - base) return toff_t(-1);
    m->at = size_t(base + offset);
    return m->at;
}

int CloseMemory(thandle_t) { return 0; }
toff_t SizeMemory(thandle_t handle) { return Memory(handle)->size; }
int MapMemory(thandle_t, void**, toff_t*) { return 0; }
void UnmapMemory(thandle_t, void*, toff_t) {}

int WriteG4Rows(TIFF* tif, const BITMAP& grey, uint8_t* row)
{
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(grey.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(grey.height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(grey.height));
    for (uint32_t y = 0; y < grey.height; y++) {
        PackBilevelRow(grey.pixels + uint64_t(y) * grey.width, grey.width, 0, row);
        if (TIFFWriteScanline(tif, row, y, 0) != 1) return 0;
    }
    // The data only: the directory stays in memory, with the strip's place.
    return TIFFFlushData(tif);
}

// A copy of the one strip libtiff has just flushed: the buffer itself is
// still libtiff's, which rewrites its header on closing.
int TakeStrip(TIFF* tif, MemoryFile* m, uint8_t** out, size_t* size)
{
    uint64_t offset = TIFFGetStrileOffset(tif, 0), count = TIFFGetStrileByteCount(tif, 0);
    if (count == 0 || offset > m->size || count > m->size - offset) return 0;
    *out = static_cast<uint8_t*>(AllocMemory(size_t(count)));
    if (*out == nullptr) return m->failed = true, 0;
    std::memcpy(*out, m->bytes + offset, size_t(count));
    *size = size_t(count);
    return 1;
}

}  // namespace

int EncodeG4(const char* name, BITMAP* grey, uint8_t** out, size_t* size)
{
    *out = nullptr;
    MemoryFile m = {nullptr, 0, 0, 0, false};
    uint8_t* row = static_cast<uint8_t*>(AllocMemory((size_t(grey->width) + 7) / 8));
    TIFFErrorHandler saved_error = TIFFSetErrorHandler(KeepEncodeError);
    TIFFErrorHandler saved_warning = TIFFSetWarningHandler(nullptr);
    t_encode_error[0] = '\0';
    TIFF* tif = row == nullptr ? nullptr
                               : TIFFClientOpen(name, "w", &m, ReadMemory, WriteMemory, SeekMemory, CloseMemory,
                                                SizeMemory, MapMemory, UnmapMemory);
    int ok = tif != nullptr && WriteG4Rows(tif, *grey, row) && !m.failed && TakeStrip(tif, &m, out, size);
    if (tif != nullptr) TIFFClose(tif);
    TIFFSetErrorHandler(saved_error);
    TIFFSetWarningHandler(saved_warning);
    // Running out of memory has had its message.
    if (!ok && row != nullptr && !m.failed)
        ReportError("%s : codage CCITT G4 de la page impossible (%s)\n", name, t_encode_error);
    FreeMemory(&row);
    FreeMemory(&grey->pixels);
    FreeMemory(&m.bytes);
    return ok;
}

int EncodeFlate(const char* name, BITMAP* pixels, uint8_t** out, size_t* size)
{
    *out = nullptr;
    unsigned bytes = BITMAP_BytesPerPixel(pixels->type);
    uint64_t row_bytes = uint64_t(pixels->width) * bytes;
    size_t filtered_size = size_t((row_bytes + 1) * pixels->height);
    uint8_t* filtered = static_cast<uint8_t*>(AllocMemory(filtered_size));
    if (filtered == nullptr) return 0;
    for (uint32_t y = 0; y < pixels->height; y++) {
        uint8_t* row = filtered + y * (row_bytes + 1);
        const uint8_t* source = pixels->pixels + y * row_bytes;
        row[0] = 2;  // Up
        if (pixels->type == PIXEL_BGR)
            CopyRowAsRgb(source, pixels->width, row + 1);
        else
            std::memcpy(row + 1, source, row_bytes);
    }
    FreeMemory(&pixels->pixels);
    // Up, from the last row back, so that each row still has its plain row above.
    for (uint32_t y = pixels->height; y-- > 1;) {
        uint8_t* row = filtered + y * (row_bytes + 1) + 1;
        const uint8_t* above = row - (row_bytes + 1);
        for (uint64_t i = 0; i < row_bytes; i++) row[i] = uint8_t(row[i] - above[i]);
    }
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(kFlateLevel);
    size_t bound = compressor == nullptr ? 0 : libdeflate_zlib_compress_bound(compressor, filtered_size);
    *out = compressor == nullptr ? nullptr : static_cast<uint8_t*>(AllocMemory(bound));
    *size = *out == nullptr ? 0 : libdeflate_zlib_compress(compressor, filtered, filtered_size, *out, bound);
    if (compressor == nullptr) ReportError("Not enough memory\n");
    if (*out != nullptr && *size == 0) ReportError("%s : compression de la page impossible\n", name);
    libdeflate_free_compressor(compressor);
    FreeMemory(&filtered);
    if (*size == 0) FreeMemory(out);
    return *size != 0;
}
