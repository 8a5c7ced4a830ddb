// PNG results, written by nivelo with libdeflate rather than through
// libpng: zlib at any level costs several times the page's whole processing,
// while libdeflate at its fastest level compresses a scanned page several
// times faster and about as well (see bench/formats_bench.sh).  libdeflate
// compresses a whole buffer at once, so the page is filtered into one
// buffer (the Up filter: each row minus the one above, which suits scans),
// compressed into a second, and written as IHDR, pHYs, IDAT chunks of at
// most 8 MiB and IEND.  Black-and-white pages are 1-bit grey, compressed
// harder, their data being an eighth of a grey page's.
#include <libdeflate.h>

#include <cstring>

#include "core/support.h"
#include "formats/writers.h"

namespace {

constexpr int kGreyAndColourLevel = 1;
constexpr int kBilevelLevel = 6;
constexpr size_t kMostChunkBytes = size_t(8) << 20;
constexpr double kMetresPerInch = 0.0254;

void Put32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Length, type, data and the CRC of type and data.
int WriteChunk(OutputFile* out, const char type[4], const uint8_t* data, size_t size)
{
    uint8_t head[8], tail[4];
    Put32(head, uint32_t(size));
    std::memcpy(head + 4, type, 4);
    uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    // libdeflate_crc32 answers 0 for a null buffer whatever the running value.
    if (size != 0) crc = libdeflate_crc32(crc, data, size);
    Put32(tail, crc);
    return WriteOutputBytes(out, head, 8) && (size == 0 || WriteOutputBytes(out, data, size)) &&
           WriteOutputBytes(out, tail, 4);
}

// Each row: the filter byte, then the row as PNG lays it out (RGB from the
// image's BGR, packed bits for black and white) minus the row above.
void FilterRows(const BITMAP& im, bool bilevel, uint64_t row_bytes, uint8_t* out)
{
    bool colour = im.type == PIXEL_BGR;
    uint64_t source_row = uint64_t(im.width) * BITMAP_BytesPerPixel(im.type);
    for (uint32_t y = 0; y < im.height; y++) {
        uint8_t* row = out + y * (row_bytes + 1);
        const uint8_t* source = im.pixels + y * source_row;
        row[0] = bilevel ? 0 : 2;  // none, or Up
        uint8_t* data = row + 1;
        if (bilevel) {
            PackBilevelRow(source, im.width, 1, data);
            continue;
        }
        if (colour) {
            CopyRowAsRgb(source, im.width, data);
        } else {
            std::memcpy(data, source, im.width);
        }
    }
    if (bilevel) return;
    // Up, from the last row back, so that each row still has its plain row above.
    for (uint32_t y = im.height; y-- > 1;) {
        uint8_t* row = out + y * (row_bytes + 1) + 1;
        const uint8_t* above = row - (row_bytes + 1);
        for (uint64_t i = 0; i < row_bytes; i++) row[i] = uint8_t(row[i] - above[i]);
    }
}

int WritePng(OutputFile* out, const BITMAP& im, const ImageFacts& facts, bool bilevel, const uint8_t* zdata,
             size_t zsize)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t ihdr[13];
    Put32(ihdr, im.width);
    Put32(ihdr + 4, im.height);
    ihdr[8] = bilevel ? 1 : 8;
    ihdr[9] = im.type == PIXEL_BGR ? 2 : 0;  // RGB or grey
    ihdr[10] = ihdr[11] = ihdr[12] = 0;
    if (!WriteOutputBytes(out, kSignature, 8) || !WriteChunk(out, "IHDR", ihdr, 13)) return 0;
    if (facts.x_dpi > 0.0 && facts.y_dpi > 0.0) {
        uint8_t phys[9];
        Put32(phys, uint32_t(facts.x_dpi / kMetresPerInch + 0.5));
        Put32(phys + 4, uint32_t(facts.y_dpi / kMetresPerInch + 0.5));
        phys[8] = 1;  // the metre
        if (!WriteChunk(out, "pHYs", phys, 9)) return 0;
    }
    for (size_t at = 0; at < zsize; at += kMostChunkBytes) {
        size_t piece = zsize - at < kMostChunkBytes ? zsize - at : kMostChunkBytes;
        if (!WriteChunk(out, "IDAT", zdata + at, piece)) return 0;
    }
    return WriteChunk(out, "IEND", nullptr, 0);
}

}  // namespace

int SavePNG(const char* name, const BITMAP* image, const ImageFacts& facts, int bilevel)
{
    bool cut = bilevel && image->type == PIXEL_GREY;
    uint64_t row_bytes = cut ? (uint64_t(image->width) + 7) / 8
                             : uint64_t(image->width) * (image->type == PIXEL_BGR ? 3 : 1);
    size_t filtered_size = size_t((row_bytes + 1) * image->height);
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(cut ? kBilevelLevel : kGreyAndColourLevel);
    if (compressor == nullptr) {
        ReportError("Not enough memory\n");
        return 0;
    }
    size_t bound = libdeflate_zlib_compress_bound(compressor, filtered_size);
    uint8_t* filtered = static_cast<uint8_t*>(AllocMemory(filtered_size));
    uint8_t* zdata = filtered == nullptr ? nullptr : static_cast<uint8_t*>(AllocMemory(bound));
    size_t zsize = 0;
    if (zdata != nullptr) {
        FilterRows(*image, cut, row_bytes, filtered);
        zsize = libdeflate_zlib_compress(compressor, filtered, filtered_size, zdata, bound);
        // The bound holds any input: 0 would be libdeflate's fault, still a failed save.
        if (zsize == 0) ReportError("Error writing file %s\n", name);
    }
    FreeMemory(&filtered);
    libdeflate_free_compressor(compressor);
    int ok = 0;
    OutputFile out;
    if (zsize != 0 && OpenOutputFile(&out, name)) {
        ok = WritePng(&out, *image, facts, cut, zdata, zsize);
        if (!ok) AbortOutputFile(&out);
        ok = ok && CommitOutputFile(&out);
    }
    FreeMemory(&zdata);
    return ok;
}
