// PNG results, written by nivelo itself (chunks, CRCs) rather than through
// libpng, so that the page can be filtered and compressed a strip at a time.
//
// Grey and colour pages: each row is filtered with Paeth (the predictor that
// leaves least of a scan's smooth shading), and the strips are compressed
// by ISA-L's igzip at its level 1 into one zlib stream (PNG allows one).
// Compression is nearly all of a save, and filtered scan rows are mostly
// noise around small values, where a deep search for matches gains little.
// Measured on the A4 bench page and on real colour and grey scans, against
// zlib's level 1 with the run-length strategy (what was used before): 3.6
// to 7 times faster, files from 9 % smaller to 22 % larger (the bench
// page's pure noise), still a third of the uncompressed size or less.
// libdeflate compresses about as well but only a whole buffer at once into
// a finished stream, which would mean holding a filtered copy of the page
// while two pages of the turn may be in memory.
//
// Strips are compressed side by side: each is compressed alone, without
// reaching back into the strip before, and ends on a byte with a block that
// is not the last (the last strip's is), so the pieces joined in order are
// one valid stream.  igzip picks its routines by processor; the pixels of a
// result never depend on it.
//
// Black-and-white pages are 1-bit grey, unfiltered, and compressed hard with
// libdeflate in one piece: their data is an eighth of a grey page's, and its
// long repeats of white are what a full match search is for.
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

#include "core/environment.h"
#include "core/support.h"
#include "formats/png_paeth.h"
#include "formats/writers.h"

namespace {

constexpr int kBilevelLevel = 6;
constexpr size_t kStripBytes = size_t(256) << 10;  // filtered bytes a strip: its buffers stay small heap blocks
constexpr int kMostThreads = 4;                    // more gains little on a page and costs a strip's buffers each
constexpr uint8_t kPaeth = 4;                      // the row filter's code
constexpr int kIgzipLevel = 1;
constexpr size_t kIgzipLevelBytes = ISAL_DEF_LVL1_DEFAULT;  // igzip's working buffer for its level
constexpr size_t kZlibHead = 2;
constexpr size_t kAdlerBytes = 4;
constexpr size_t kStoredBlockBytes = 65535;  // the most a stored block holds
constexpr size_t kStoredHeadBytes = 5;
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

// What every strip's thread needs of the page.
struct BitmapRows {
    const BITMAP* image;
    uint64_t row_bytes;
    size_t coded_room;  // the most a strip's piece can take
    PaethFilter paeth;
};

// One strip's work, done by one thread: its rows filtered, compressed as
// a raw deflate piece that ends on a byte (a sync flush, or the stream's
// end for the last strip), and the Adler-32 of its filtered bytes.
struct StripWork {
    uint8_t* plain;     // two plain rows in the file's byte order: this one and the one above
    uint8_t* filtered;  // the strip's filtered rows, each after its filter code
    uint8_t* coded;     // the piece, after room for the zlib header
    uint8_t* level_buffer;
    isal_zstream* igzip;  // large (its hash tables): kept off the thread's stack
    size_t coded_size;
    uLong adler;
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
        page.paeth(plain, above, row_bytes, colour ? 3 : 1, row + 1);
        std::swap(above, plain);
    }
}

// Filters and compresses one strip.
void CompressStrip(const BitmapRows& page, uint32_t first, uint32_t end, StripWork* s)
{
    FilterStrip(page, first, end, s);
    size_t size = size_t(uint64_t(end - first) * (page.row_bytes + 1));
    s->adler = isal_adler32(1, s->filtered, size);  // 1: Adler-32 of nothing
    bool last = end == page.image->height;
    isal_zstream* z = s->igzip;
    isal_deflate_stateless_init(z);
    z->level = kIgzipLevel;
    z->level_buf = s->level_buffer;
    z->level_buf_size = uint32_t(kIgzipLevelBytes);
    z->gzip_flag = IGZIP_DEFLATE;  // raw deflate: the zlib header and Adler-32 are ours
    // The init leaves this field as it finds it, in memory never cleared:
    // what it held would set the window, and the file would change with the
    // thread that compressed the strip.
    z->hist_bits = 0;  // the whole 32 KB window
    z->end_of_stream = last;
    // A full flush ends the piece on a byte, in a block that is not the last.
    z->flush = last ? NO_FLUSH : FULL_FLUSH;
    z->next_in = s->filtered;
    z->avail_in = uint32_t(size);
    z->next_out = s->coded + kZlibHead;
    z->avail_out = uint32_t(page.coded_room);
    // The room is igzip's bound: a piece that does not fit is a fault.
    s->ok = isal_deflate_stateless(z) == COMP_OK && z->avail_in == 0;
    s->coded_size = page.coded_room - z->avail_out;
}

void ReleaseWork(StripWork* s)
{
    FreeMemory(&s->plain);
    FreeMemory(&s->filtered);
    FreeMemory(&s->coded);
    FreeMemory(&s->level_buffer);
    FreeMemory(&s->igzip);
}

// A thread's buffers.  0 after one message.
int PrepareWork(const BitmapRows& page, size_t strip_bytes, StripWork* s)
{
    s->plain = static_cast<uint8_t*>(AllocMemory(size_t(2 * page.row_bytes)));
    s->filtered = s->plain == nullptr ? nullptr : static_cast<uint8_t*>(AllocMemory(strip_bytes));
    s->coded = s->filtered == nullptr ? nullptr
                                      : static_cast<uint8_t*>(AllocMemory(kZlibHead + page.coded_room + kAdlerBytes));
    s->level_buffer = s->coded == nullptr ? nullptr : static_cast<uint8_t*>(AllocMemory(kIgzipLevelBytes));
    s->igzip = s->level_buffer == nullptr ? nullptr : static_cast<isal_zstream*>(AllocMemory(sizeof(isal_zstream)));
    return s->igzip != nullptr;
}

// The grey or colour page as one zlib stream, strip after strip in IDAT
// chunks: the header, each strip's piece, and the Adler-32 of the whole
// made from the strips' own.  Up to kMostThreads threads compress a batch
// of strips at once.  A strip's bytes depend only on its rows (each piece
// starts afresh, which costs under 0.1 % of the file with strips of a
// quarter of a megabyte), and the strips' bounds only on the page, so the
// file is the same for any number of threads.
int WriteStrips(OutputFile* out, const BITMAP& im, uint64_t row_bytes, const char* name)
{
    uint32_t strip_rows = uint32_t(std::max<uint64_t>(1, std::min<uint64_t>(kStripBytes / (row_bytes + 1), im.height)));
    size_t strip_bytes = size_t(strip_rows * (row_bytes + 1));
    uint32_t strips = (uint32_t(im.height) + strip_rows - 1) / strip_rows;
    int wanted = UseFastStages() ? std::min(StageThreads(), kMostThreads) : 1;
    int threads = int(std::min<uint32_t>(strips, uint32_t(wanted)));
    // igzip's one-shot bound: the strip in stored blocks, after the largest
    // header it writes.
    size_t stored_blocks = strip_bytes / kStoredBlockBytes + 1;
    BitmapRows page = {&im, row_bytes, strip_bytes + stored_blocks * kStoredHeadBytes + ISAL_DEF_MAX_HDR_SIZE,
                       ChoosePaethFilter()};
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
