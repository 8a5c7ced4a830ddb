// The direct PNG reader (contract in png_direct.h).
//
// Method: the whole file is read at once and walked chunk by chunk, each
// length checked against what is left of the file and each CRC checked;
// the IDAT payloads are packed together at the front of the file's buffer.
// The page's buffer is made height bytes longer than the page, which is
// exactly the inflated size (each row follows its filter code), and the
// stream is inflated into it, its Adler-32 checked (png_inflate.h).  Row
// y's filtered bytes then start y + 1 bytes after its finished place, so
// undoing the filters row after row, top to bottom, each pixel read before
// it is written, packs the rows down as it goes.
//
// libpng takes every file this reader declines, so the reader is strict
// rather than forgiving: a chunk or a stream libpng would only warn about is
// still declined, and libpng decides.  Both check the same CRCs and the same
// Adler-32, and on every file both read they give the same bytes; the png
// fuzz target compares them.  An inflater other than zlib may let through
// a malformation zlib refuses (libdeflate, used before, let a code-length
// repeat run past the end of a block's table): such a stream, its Adler-32
// right, would be read here where libpng refuses it.
#include "formats/png_direct.h"

#include <libdeflate.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/memory_budget.h"
#include "core/support.h"
#include "formats/exif.h"
#include "formats/messages.h"
#include "formats/png_inflate.h"
#include "formats/png_unfilter.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kHeadBytes = 33;               // signature, IHDR's length, type, 13 bytes, CRC
constexpr uint32_t kLongestChunk = 0x7FFFFFFF;  // PNG's limit on a chunk's length
constexpr unsigned kZlibWindow32K = 7;          // a zlib header's window code: 256 << code bytes
constexpr unsigned kUnitMetre = 1;              // pHYs's unit code

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool Is(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

bool IsLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// What the chunks say about the page.
struct PngLayout {
    uint32_t width, height;
    unsigned channels;      // 1 grey, 3 colour
    uint64_t stream_bytes;  // the IDAT payloads, packed at the front of the file's buffer
    bool has_phys;
    uint32_t x_per_unit, y_per_unit;
    unsigned unit;
};

uint64_t RowBytes(const PngLayout& p) { return uint64_t(p.width) * p.channels; }

// IHDR's 13 bytes: only 8-bit grey or RGB, not interlaced, with PNG's one
// compression and filter method, on sides the image record holds.
bool TakeHeader(const uint8_t* h, PngLayout* p)
{
    p->width = Get32(h);
    p->height = Get32(h + 4);
    unsigned depth = h[8], colour = h[9];
    p->channels = colour == 0 ? 1 : 3;
    return p->width >= 1 && p->width <= kMostSide && p->height >= 1 && p->height <= kMostSide && depth == 8 &&
           (colour == 0 || colour == 2) && h[10] == 0 && h[11] == 0 && h[12] == 0;
}

// Checks every chunk from IHDR to IEND (length within the file, a type of
// four letters, CRC) and packs the IDAT payloads at the front of data.
// Takes IHDR first, then ancillary chunks with at most one pHYs, one
// unbroken run of IDAT, ancillary chunks again and IEND; bytes after IEND
// are ignored, as libpng ignores them.  Transparency and every other
// critical chunk (a suggested palette included) are declined.
bool WalkChunks(uint8_t* data, uint64_t size, PngLayout* p)
{
    enum { kBeforeData, kInData, kAfterData } stage = kBeforeData;
    uint64_t at = sizeof kSignature, packed = 0;
    for (bool first = true;; first = false) {
        if (size - at < 12) return false;
        uint32_t length = Get32(data + at);
        const uint8_t* type = data + at + 4;
        const uint8_t* body = data + at + 8;
        if (length > kLongestChunk || length > size - at - 12) return false;
        if (!IsLetter(type[0]) || !IsLetter(type[1]) || !IsLetter(type[2]) || !IsLetter(type[3])) return false;
        if (libdeflate_crc32(libdeflate_crc32(0, type, 4), body, length) != Get32(body + length)) return false;
        at += 12 + uint64_t(length);
        if (first) {
            if (!Is(type, "IHDR") || length != 13 || !TakeHeader(body, p)) return false;
        } else if (Is(type, "IDAT")) {
            if (stage == kAfterData) return false;
            stage = kInData;
            std::memmove(data + packed, body, length);  // packed never passes body
            packed += length;
        } else {
            if (stage == kInData) stage = kAfterData;
            if (Is(type, "IEND")) {
                p->stream_bytes = packed;
                return stage == kAfterData && length == 0;
            }
            if (Is(type, "pHYs")) {
                if (stage != kBeforeData || p->has_phys || length != 9) return false;
                p->has_phys = true;
                p->x_per_unit = Get32(body);
                p->y_per_unit = Get32(body + 4);
                p->unit = body[8];
            } else if (Is(type, "tRNS") || (type[0] & 0x20) == 0) {
                return false;
            }
        }
    }
}

// The page's buffer, made height bytes longer than the page: the
// inflated size, each row after its filter code.
bool MakePage(const PngLayout& p, BITMAP* record)
{
    return BITMAP_CreateWithRoom(record, p.width, p.height, p.channels == 1 ? PIXEL_GREY : PIXEL_BGR, p.height);
}

// For a page of the kind this reader takes, whose run with the file held
// fits the memory rule: the page's buffer, then the whole file in *data,
// and READ.  DECLINED at once, silent, for anything else, without reading
// further.
// The file's buffer is freed as soon as the page is decoded; a large one is
// a mapping of its own (core/large_blocks.h), given back before the next
// page is made, so it never adds to the run's peak.
PngDirectResult HoldFile(const char* name, uint8_t** data, uint64_t* size, PngLayout* p, BITMAP* record)
{
    FILE* file = OpenFile(name, "rb");
    if (file == nullptr) return PNG_DIRECT_FAILED;
    long end = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    uint8_t head[kHeadBytes];
    PngDirectResult result = PNG_DIRECT_DECLINED;
    if (end >= long(kHeadBytes) && std::fseek(file, 0, SEEK_SET) == 0) {
        *size = uint64_t(end);
        if (!ReadBytes(&file, head, kHeadBytes, name)) return PNG_DIRECT_FAILED;
        bool taken = std::memcmp(head, kSignature, 8) == 0 && Get32(head + 8) == 13 && Is(head + 12, "IHDR") &&
                     TakeHeader(head + 16, p);
        unsigned type = p->channels == 1 ? PIXEL_GREY : PIXEL_BGR;
        // The file, the page's extra height bytes and the unfiltering's rows, beside the run.
        uint64_t extra = *size + p->height + kUnfilterScratchRows * RowBytes(*p);
        if (taken && *size <= SIZE_MAX && RunMemoryNeed(p->width, p->height, type, extra) <= PhysicalMemory()) {
            result = PNG_DIRECT_FAILED;
            *data = MakePage(*p, record) ? static_cast<uint8_t*>(AllocMemory(size_t(*size))) : nullptr;
            if (*data != nullptr) {
                std::memcpy(*data, head, kHeadBytes);
                if (ReadBytes(&file, *data + kHeadBytes, size_t(*size - kHeadBytes), name)) result = PNG_DIRECT_READ;
            }
        }
    }
    CloseFile(&file);
    return result;
}

// Inflates and unfilters the held stream into the page.
PngDirectResult Decode(const uint8_t* stream, const PngLayout& p, BITMAP* record)
{
    uint64_t inflated = (RowBytes(p) + 1) * p.height;
    // zlib, which libpng uses, refuses a match reaching further back than
    // the window the stream's header declares; ISA-L may not look.
    // They agree when the window is the largest, or holds the whole page
    // (encoders declare a smaller one only then).
    unsigned window = p.stream_bytes < 2 ? 0 : stream[0] >> 4;
    if (window > kZlibWindow32K || (window < kZlibWindow32K && inflated > uint64_t(256) << window))
        return PNG_DIRECT_DECLINED;
    return InflateRows(stream, p.stream_bytes, record->pixels, p.width, p.height, p.channels);
}

}  // namespace

PngDirectResult LoadPngDirect(const char* name, BITMAP* record, ImageFacts* facts)
{
    BITMAP_Init(record, 0, 0, 0);
    ClearImageFacts(facts);
    uint8_t* data = nullptr;
    uint64_t size = 0;
    PngLayout layout = {};
    PngDirectResult result = HoldFile(name, &data, &size, &layout, record);
    if (result == PNG_DIRECT_READ)
        result = WalkChunks(data, size, &layout) ? Decode(data, layout, record) : PNG_DIRECT_DECLINED;
    FreeMemory(&data);
    if (result != PNG_DIRECT_READ) BITMAP_Free(record);
    if (result == PNG_DIRECT_READ && layout.has_phys && layout.unit == kUnitMetre) {
        facts->x_dpi = DotsPerInch(layout.x_per_unit / 100.0, 3);
        facts->y_dpi = DotsPerInch(layout.y_per_unit / 100.0, 3);
    }
    return result;
}
