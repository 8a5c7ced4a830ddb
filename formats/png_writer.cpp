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
// the turn are in memory.
//
// zlib costs nearly all of a save (on the bench page about eight times the
// filtering), and one stream cannot be split, so strips are
// compressed side by side as pieces of one stream: each a raw deflate
// piece ending on a sync flush (the end of a block, then an empty stored
// block that brings it to a byte), so the pieces joined in order are one
// valid stream.  Huffman codes alone, without the run search, save a
// third of zlib's time on the bench page's noise but make real pages'
// files up to half as large again, and were not taken.
//
// Black-and-white pages are 1-bit grey, unfiltered, and compressed hard with
// libdeflate in one piece: their data is an eighth of a grey page's, and its
// long repeats of white are what a full match search is for.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "core/environment.h"
#include "core/support.h"
#include "formats/writers.h"

namespace {

constexpr int kBilevelLevel = 6;
constexpr size_t kStripBytes = size_t(256) << 10;  // filtered bytes a strip: its buffers stay small heap blocks
constexpr int kMostThreads = 4;                    // more gains little on a page and costs a strip's buffers each
constexpr uint8_t kPaeth = 4;                      // the row filter's code
constexpr int kZlibLevel = 1;
constexpr int kZlibMemLevel = 9;  // zlib's largest blocks: each Huffman code serves more rows
constexpr int kZlibWindowBits = 15;
constexpr size_t kZlibHead = 2;
constexpr size_t kAdlerBytes = 4;
constexpr size_t kFlushRoom = 16;  // a sync flush's empty block and last bits, beyond zlib's bound
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

// What every strip's thread needs of the page.
struct BitmapRows {
    const BITMAP* image;
    uint64_t row_bytes;
    size_t coded_room;  // zlib's bound for a strip's piece, and more
};

// One strip's work, done by one thread: its rows filtered, compressed as
// a raw deflate piece that ends on a byte (a sync flush, or the stream's
// end for the last strip), and the Adler-32 of its filtered bytes.
struct StripWork {
    uint8_t* plain;     // two plain rows in the file's byte order: this one and the one above
    uint8_t* filtered;  // the strip's filtered rows, each after its filter code
    uint8_t* coded;     // the piece, after room for the zlib header
    size_t coded_size;
    uLong adler;
    z_stream zlib;
    bool started;
    bool ok;
};

// Filters rows [first, end) of the page into s->filtered.
void FilterStrip(const BitmapRows& page, uint32_t first, uint32_t end, StripWork* s)
{
    const BITMAP& im = *page.image;
    bool colour = im.type == PIXEL_BGR;
    uint64_t row_bytes = page.row_bytes;
    uint8_t *above = s->plain, *plain = s->plain + row_bytes;
    auto plain_row = [&](uint32_t y, uint8_t* to) {
        const uint8_t* source = im.pixels + uint64_t(y) * row_bytes;
        if (colour)
            CopyRowAsRgb(source, im.width, to);
        else
            std::memcpy(to, source, size_t(row_bytes));
    };
    if (first == 0)
        std::memset(above, 0, size_t(row_bytes));
    else
        plain_row(first - 1, above);
    for (uint32_t y = first; y < end; y++) {
        plain_row(y, plain);
        uint8_t* row = s->filtered + uint64_t(y - first) * (row_bytes + 1);
        row[0] = kPaeth;
        PaethRow(plain, above, row_bytes, colour ? 3 : 1, row + 1);
        std::swap(above, plain);
    }
}

// Filters and compresses one strip; the zlib stream is reused from strip
// to strip of a thread.
void CompressStrip(const BitmapRows& page, uint32_t first, uint32_t end, StripWork* s)
{
    FilterStrip(page, first, end, s);
    size_t size = size_t(uint64_t(end - first) * (page.row_bytes + 1));
    s->adler = adler32(adler32(0, nullptr, 0), s->filtered, uInt(size));
    bool last = end == page.image->height;
    s->zlib.next_in = s->filtered;
    s->zlib.avail_in = uInt(size);
    s->zlib.next_out = s->coded + kZlibHead;
    s->zlib.avail_out = uInt(page.coded_room);
    int said = deflate(&s->zlib, last ? Z_FINISH : Z_SYNC_FLUSH);
    // The room is zlib's bound and more: a piece that does not fit is a fault.
    s->ok = (last ? said == Z_STREAM_END : said == Z_OK) && s->zlib.avail_in == 0 && s->zlib.avail_out != 0;
    s->coded_size = page.coded_room - s->zlib.avail_out;
    s->ok = s->ok && deflateReset(&s->zlib) == Z_OK;
}

void ReleaseWork(StripWork* s)
{
    FreeMemory(&s->plain);
    FreeMemory(&s->filtered);
    FreeMemory(&s->coded);
    if (s->started) deflateEnd(&s->zlib);
    s->started = false;
}

// A thread's buffers and raw deflate stream.  0 after one message.
int PrepareWork(const BitmapRows& page, size_t strip_bytes, StripWork* s)
{
    s->plain = static_cast<uint8_t*>(AllocMemory(size_t(2 * page.row_bytes)));
    s->filtered = s->plain == nullptr ? nullptr : static_cast<uint8_t*>(AllocMemory(strip_bytes));
    s->coded = s->filtered == nullptr ? nullptr
                                      : static_cast<uint8_t*>(AllocMemory(kZlibHead + page.coded_room + kAdlerBytes));
    if (s->coded == nullptr) return 0;
    s->started = deflateInit2(&s->zlib, kZlibLevel, Z_DEFLATED, -kZlibWindowBits, kZlibMemLevel, Z_RLE) == Z_OK;
    if (!s->started) ReportError("Not enough memory\n");
    return s->started;
}

// The grey or colour page as one zlib stream, strip after strip in IDAT
// chunks: the header, each strip's piece, and the Adler-32 of the whole
// made from the strips' own.  Up to kMostThreads threads compress a batch
// of strips at once.  A strip's bytes depend only on its rows (each piece
// starts afresh: with the run-length strategy a match never reaches back
// further than the byte before, so little is lost at a strip's start),
// and the strips' bounds only on the page, so the file is the same for
// any number of threads.
int WriteStrips(OutputFile* out, const BITMAP& im, uint64_t row_bytes, const char* name)
{
    uint32_t strip_rows = uint32_t(std::max<uint64_t>(1, std::min<uint64_t>(kStripBytes / (row_bytes + 1), im.height)));
    size_t strip_bytes = size_t(strip_rows * (row_bytes + 1));
    uint32_t strips = (uint32_t(im.height) + strip_rows - 1) / strip_rows;
    int wanted = UseFastStages() ? std::min(StageThreads(), kMostThreads) : 1;
    int threads = int(std::min<uint32_t>(strips, uint32_t(wanted)));
    // zlib's bound for any stream with these settings; the sync flush's
    // empty block and last bits come on top.
    z_stream probe = {};
    if (deflateInit2(&probe, kZlibLevel, Z_DEFLATED, -kZlibWindowBits, kZlibMemLevel, Z_RLE) != Z_OK) {
        ReportError("Not enough memory\n");
        return 0;
    }
    BitmapRows page = {&im, row_bytes, size_t(deflateBound(&probe, uLong(strip_bytes))) + kFlushRoom};
    deflateEnd(&probe);
    StripWork work[kMostThreads] = {};
    int ok = 1;
    for (int t = 0; ok && t < threads; t++) ok = PrepareWork(page, strip_bytes, &work[t]);
    uLong adler = adler32(0, nullptr, 0);
    for (uint32_t base = 0; ok && base < strips; base += uint32_t(threads)) {
        int batch = int(std::min<uint32_t>(uint32_t(threads), strips - base));
        auto strip = [&](int k) {
            uint32_t first = (base + uint32_t(k)) * strip_rows;
            CompressStrip(page, first, std::min<uint32_t>(first + strip_rows, im.height), &work[k]);
        };
        std::thread helpers[kMostThreads];
        for (int k = 1; k < batch; k++) {
            try {
                helpers[k] = std::thread(strip, k);
            } catch (const std::system_error&) {
                strip(k);  // no thread to be had: the strip is done here
            }
        }
        strip(0);
        for (int k = 1; k < batch; k++)
            if (helpers[k].joinable()) helpers[k].join();
        for (int k = 0; ok && k < batch; k++) {
            StripWork& s = work[k];
            uint32_t first = (base + uint32_t(k)) * strip_rows;
            uint32_t end = std::min<uint32_t>(first + strip_rows, im.height);
            uint8_t* piece = s.coded + kZlibHead;
            size_t size = s.coded_size;
            adler = adler32_combine(adler, s.adler, z_off_t(uint64_t(end - first) * (row_bytes + 1)));
            if (first == 0) {
                piece = s.coded;
                piece[0] = 0x78;  // deflate with a 32 KB window
                piece[1] = 0x01;  // the fastest level, no dictionary: with the byte before, a multiple of 31
                size += kZlibHead;
            }
            if (end == im.height) {
                Put32(piece + size, uint32_t(adler));
                size += kAdlerBytes;
            }
            if (!s.ok) ReportError("Error writing file %s\n", name);
            ok = s.ok && WriteChunk(out, "IDAT", piece, size);
        }
    }
    for (StripWork& s : work) ReleaseWork(&s);
    return ok;
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
    OutputFile out;
    int ok = OpenOutputFile(&out, name);
    if (ok) {
        ok = WriteHead(&out, *image, facts, cut) &&
             (cut ? WriteWhole(&out, zdata, zsize) : WriteStrips(&out, *image, row_bytes, name)) &&
             WriteChunk(&out, "IEND", nullptr, 0);
        if (!ok) AbortOutputFile(&out);
        ok = ok && CommitOutputFile(&out);
    }
    FreeMemory(&zdata);
    return ok;
}
