// PNG results, written by nivelo itself (chunks, CRCs) rather than through
// libpng, so that the page can be filtered and compressed a strip at a time.
//
// Grey and colour pages: each row is filtered with Paeth (the predictor that
// leaves least of a scan's smooth shading), and the strips are fed to one
// zlib stream (PNG allows one) with level 1 and the run-length strategy:
// filtered scan rows are mostly noise around small values, where a search
// for long matches costs several times the page's whole processing and gains
// little, while runs still shrink blank margins.  Measured on the A4 bench
// page against libdeflate's fastest level on the whole page at once: about
// twice the compression time, files a quarter smaller, and no copy of the
// page held, which matters because a page may be saved while two pages of
// the turn are in memory.  zlib's output goes out as IDAT chunks as it comes.
//
// Black-and-white pages are 1-bit grey, unfiltered, and compressed hard with
// libdeflate in one piece: their data is an eighth of a grey page's, and its
// long repeats of white are what a full match search is for.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/support.h"
#include "formats/writers.h"

namespace {

constexpr int kBilevelLevel = 6;
constexpr size_t kStripBytes = size_t(1) << 20;  // filtered bytes handed to zlib at a time
constexpr size_t kChunkOut = size_t(256) << 10;  // zlib's output, sent as an IDAT chunk when full
constexpr uint8_t kPaeth = 4;                    // the row filter's code
constexpr int kZlibLevel = 1;
constexpr int kZlibMemLevel = 9;  // zlib's largest blocks: each Huffman code serves more rows
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

// The bilevel page's rows packed into bits, each after its filter byte (none).
void PackRows(const BITMAP& im, uint64_t row_bytes, uint8_t* out)
{
    for (uint32_t y = 0; y < im.height; y++) {
        uint8_t* row = out + y * (row_bytes + 1);
        row[0] = 0;
        PackBilevelRow(im.pixels + uint64_t(y) * im.width, im.width, 1, row + 1);
    }
}

// Row minus the Paeth prediction of each byte from the one to its left (a),
// above (b) and above left (c), `step` bytes a pixel; the row above the
// first is zero.  The prediction uses plain bytes only, so the loop has no
// dependence from one byte to the next.
void PaethRow(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out)
{
    for (uint64_t i = 0; i < step && i < size; i++) out[i] = uint8_t(row[i] - above[i]);
    for (uint64_t i = step; i < size; i++) {
        int a = row[i - step], b = above[i], c = above[i - step];
        int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        int predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        out[i] = uint8_t(row[i] - predicted);
    }
}

// Working buffers of the strip writer, released on every path by the caller.
struct Strips {
    uint8_t* rows;       // two plain rows in the file's byte order: this one and the one above
    uint8_t* filtered;   // a strip of filtered rows, each after its filter byte
    uint8_t* coded;      // zlib's output
    z_stream zlib;
    bool started;
};

// Hands `size` bytes to zlib (all of them, and the end of the stream when
// last) and sends what comes out as IDAT chunks.
int Compress(OutputFile* out, Strips* s, const uint8_t* data, size_t size, bool last, const char* name)
{
    s->zlib.next_in = const_cast<Bytef*>(data);
    s->zlib.avail_in = uInt(size);
    do {
        s->zlib.next_out = s->coded;
        s->zlib.avail_out = uInt(kChunkOut);
        if (deflate(&s->zlib, last ? Z_FINISH : Z_NO_FLUSH) == Z_STREAM_ERROR) {
            ReportError("Error writing file %s\n", name);
            return 0;
        }
        size_t have = kChunkOut - s->zlib.avail_out;
        if (have != 0 && !WriteChunk(out, "IDAT", s->coded, have)) return 0;
    } while (s->zlib.avail_out == 0);
    return 1;
}

// Filters the page a strip at a time into the zlib stream.
int WriteStrips(OutputFile* out, const BITMAP& im, uint64_t row_bytes, Strips* s, const char* name)
{
    bool colour = im.type == PIXEL_BGR;
    uint32_t strip_rows = uint32_t(std::max<uint64_t>(1, std::min<uint64_t>(kStripBytes / (row_bytes + 1), im.height)));
    size_t strip_bytes = size_t(strip_rows * (row_bytes + 1));
    s->rows = static_cast<uint8_t*>(AllocZeroed(size_t(2 * row_bytes)));
    s->filtered = s->rows == nullptr ? nullptr : static_cast<uint8_t*>(AllocMemory(strip_bytes));
    s->coded = s->filtered == nullptr ? nullptr : static_cast<uint8_t*>(AllocMemory(kChunkOut));
    if (s->coded == nullptr) return 0;
    if (deflateInit2(&s->zlib, kZlibLevel, Z_DEFLATED, 15, kZlibMemLevel, Z_RLE) != Z_OK) {
        ReportError("Not enough memory\n");
        return 0;
    }
    s->started = true;
    uint8_t *above = s->rows, *plain = s->rows + row_bytes;
    for (uint32_t y0 = 0; y0 < im.height; y0 += strip_rows) {
        uint32_t rows = std::min(strip_rows, uint32_t(im.height - y0));
        for (uint32_t r = 0; r < rows; r++) {
            const uint8_t* source = im.pixels + uint64_t(y0 + r) * row_bytes;
            if (colour)
                CopyRowAsRgb(source, im.width, plain);
            else
                std::memcpy(plain, source, size_t(row_bytes));
            uint8_t* row = s->filtered + r * (row_bytes + 1);
            row[0] = kPaeth;
            PaethRow(plain, above, row_bytes, colour ? 3 : 1, row + 1);
            std::swap(above, plain);
        }
        if (!Compress(out, s, s->filtered, rows * (row_bytes + 1), y0 + rows == im.height, name)) return 0;
    }
    return 1;
}

// Signature, IHDR and the pHYs chunk when the scan declared a resolution.
int WriteHead(OutputFile* out, const BITMAP& im, const ImageFacts& facts, bool bilevel)
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
    return 1;
}

// The bilevel page's data, compressed whole into *zdata (the caller frees it).
size_t CompressBilevel(const BITMAP& im, uint64_t row_bytes, uint8_t** zdata, const char* name)
{
    size_t filtered_size = size_t((row_bytes + 1) * im.height);
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(kBilevelLevel);
    if (compressor == nullptr) {
        ReportError("Not enough memory\n");
        return 0;
    }
    size_t bound = libdeflate_zlib_compress_bound(compressor, filtered_size);
    uint8_t* filtered = static_cast<uint8_t*>(AllocMemory(filtered_size));
    *zdata = filtered == nullptr ? nullptr : static_cast<uint8_t*>(AllocMemory(bound));
    size_t zsize = 0;
    if (*zdata != nullptr) {
        PackRows(im, row_bytes, filtered);
        zsize = libdeflate_zlib_compress(compressor, filtered, filtered_size, *zdata, bound);
        // The bound holds any input: 0 would be libdeflate's fault, still a failed save.
        if (zsize == 0) ReportError("Error writing file %s\n", name);
    }
    FreeMemory(&filtered);
    libdeflate_free_compressor(compressor);
    return zsize;
}

int WriteWhole(OutputFile* out, const uint8_t* zdata, size_t zsize)
{
    for (size_t at = 0; at < zsize; at += kMostChunkBytes) {
        size_t piece = zsize - at < kMostChunkBytes ? zsize - at : kMostChunkBytes;
        if (!WriteChunk(out, "IDAT", zdata + at, piece)) return 0;
    }
    return 1;
}

}  // namespace

int SavePNG(const char* name, const BITMAP* image, const ImageFacts& facts, int bilevel)
{
    bool cut = bilevel && image->type == PIXEL_GREY;
    uint64_t row_bytes = cut ? (uint64_t(image->width) + 7) / 8
                             : uint64_t(image->width) * (image->type == PIXEL_BGR ? 3 : 1);
    uint8_t* zdata = nullptr;
    size_t zsize = cut ? CompressBilevel(*image, row_bytes, &zdata, name) : 0;
    if (cut && zsize == 0) {
        FreeMemory(&zdata);
        return 0;
    }
    Strips strips = {};
    OutputFile out;
    int ok = OpenOutputFile(&out, name);
    if (ok) {
        ok = WriteHead(&out, *image, facts, cut) &&
             (cut ? WriteWhole(&out, zdata, zsize) : WriteStrips(&out, *image, row_bytes, &strips, name)) &&
             WriteChunk(&out, "IEND", nullptr, 0);
        if (!ok) AbortOutputFile(&out);
        ok = ok && CommitOutputFile(&out);
    }
    FreeMemory(&zdata);
    FreeMemory(&strips.rows);
    FreeMemory(&strips.filtered);
    FreeMemory(&strips.coded);
    if (strips.started) deflateEnd(&strips.zlib);
    return ok;
}
