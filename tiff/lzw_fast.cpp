// Fast twin of DecodeLZW: the same accepted and refused strips, the same
// bytes.
//
// Every string of the table is a stretch of the output already written: the
// string added after code c is c's string followed by the first byte of the
// string written next, and the two were written back to back.  So an entry
// is kept as (where, length) and written with one copy, instead of following
// the prefix chain twice, byte by byte.  The one-byte codes point into a
// constant table of the 256 bytes, so that every code known to the table is
// written the same way, without a branch on its kind that a scanned page's
// noise would make unpredictable.  Codes are taken from a 64-bit buffer
// refilled several bytes at a time.
#include <cstdlib>
#include <cstring>

#include "core/environment.h"
#include "tiff/decoders.h"

namespace {

constexpr uint32_t kClear = 256;
constexpr uint32_t kEndOfInformation = 257;
constexpr uint32_t kFirstFree = 258;
constexpr uint32_t kTableSize = 4096;

// The bytes 0 to 255, each the string of its own code, followed by seven
// more so that an eight-byte copy from any of them stays inside.
struct ByteStrings {
    uint8_t bytes[256 + 7];
    constexpr ByteStrings() : bytes()
    {
        for (int i = 0; i < 256; i++) bytes[i] = uint8_t(i);
    }
};
constexpr ByteStrings kByteStrings;

// The code bits not yet used sit at the top of `buffer`, most significant
// first, `held` of them; the bits below them are zero or are the strip's
// next bits already, which a later refill writes again with the same values.
struct BitReader {
    const uint8_t* strip;
    uint32_t size;
    uint32_t position;  // next byte not yet in the buffer
    uint32_t held;
    uint64_t buffer;
};

inline uint64_t LoadBigEndian64(const uint8_t* p)
{
#if (defined(__GNUC__) || defined(__clang__)) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
#else
    uint64_t v = 0;
    for (int i = 0; i < 8; i++) v = (v << 8) | p[i];
    return v;
#endif
}

// 0 when the strip ends before the code is complete.
inline int ReadCode(BitReader* r, uint32_t width, uint32_t* code)
{
    if (r->held < width) {
        if (r->size - r->position >= 8) {
            // As many whole bytes as fit below the held bits.
            r->buffer |= LoadBigEndian64(r->strip + r->position) >> r->held;
            uint32_t taken = (63 - r->held) >> 3;
            r->position += taken;
            r->held += 8 * taken;
        } else {
            while (r->held < width) {
                if (r->position >= r->size) return 0;
                r->buffer |= uint64_t(r->strip[r->position++]) << (56 - r->held);
                r->held += 8;
            }
        }
    }
    *code = uint32_t(r->buffer >> (64 - width));
    r->buffer <<= width;
    r->held -= width;
    return 1;
}

// Copies a string that lies entirely before `to` (or at the constant byte
// table) into an output with `room` bytes from `to` on.  Where room allows,
// whole groups of eight bytes are moved: the bytes beyond the string are
// overwritten by the strings that follow, and each group is read before it is
// written.  A group never reads what this copy wrote inside the string, as
// the string's bytes all lie before `to`.
inline void CopyString(uint8_t* to, const uint8_t* from, uint32_t length, uint64_t room)
{
    if (length <= 8 && room >= 8) {
        uint64_t bytes;
        std::memcpy(&bytes, from, 8);
        std::memcpy(to, &bytes, 8);
    } else if (room >= uint64_t(length) + 8) {
        for (uint32_t i = 0; i < length; i += 8) {
            uint64_t bytes;
            std::memcpy(&bytes, from + i, 8);
            std::memcpy(to + i, &bytes, 8);
        }
    } else {
        std::memmove(to, from, length);
    }
}

// End of Information before the output is complete: the bytes not decoded
// are zero.  They are cleared here, so that the output need not be cleared
// beforehand (the reader decodes into the image's memory as it comes).
// Returns 1.
int EndEarly(uint8_t* out, uint64_t count, uint64_t total)
{
    std::memset(out + count, 0, size_t(total - count));
    return 1;
}

}  // namespace

int TiffFastDecoders() { return UseFastStages(); }

int DecodeLZWFast(const uint8_t* strip, uint32_t strip_size, uint8_t* out, uint32_t rows, uint32_t row_size)
{
    const uint8_t* where[kTableSize];  // where each code's string lies
    uint16_t length[kTableSize];      // at most 4096 - 258 + 1 bytes
    for (uint32_t c = 0; c < 256; c++) {
        where[c] = kByteStrings.bytes + c;
        length[c] = 1;
    }
    BitReader reader = {strip, strip_size, 0, 0, 0};
    uint64_t total = uint64_t(rows) * row_size;
    uint64_t count = 0;
    uint32_t width = 9, next_code = kFirstFree;

    uint32_t code = 0;
    if (!ReadCode(&reader, width, &code)) return 0;
    if (code == kEndOfInformation) return EndEarly(out, count, total);
    if (code != kClear) return 0;
    const uint8_t* previous = out;  // where the previous code's string was written
    uint32_t previous_length = 0;
    for (;;) {
        uint8_t* at = out + count;
        uint64_t room = total - count;
        uint32_t written;
        if (code < next_code && code != kClear) {
            // Codes 256 and 257 are below next_code; 257 was handled when read.
            written = length[code];
            if (written > room) return 0;
            CopyString(at, where[code], written, room);
        } else if (code == kClear) {
            width = 9;
            next_code = kFirstFree;
            if (!ReadCode(&reader, width, &code)) return 0;
            if (code == kEndOfInformation) return EndEarly(out, count, total);
            if (code >= 256) return 0;  // right after Clear only one-byte strings exist
            if (room < 1) return 0;
            *at = uint8_t(code);
            count += 1;
            if (count == total) return 1;
            previous = at;
            previous_length = 1;
            if (!ReadCode(&reader, width, &code)) return 0;
            if (code == kEndOfInformation) return EndEarly(out, count, total);
            continue;
        } else if (code == next_code) {
            // The string being defined by this very code: the previous
            // string followed by its own first byte.
            if (previous_length >= room) return 0;  // no room for the extra byte
            CopyString(at, previous, previous_length, room);
            at[previous_length] = at[0];
            written = previous_length + 1;
        } else {
            return 0;  // a code beyond the next free one cannot be decoded
        }
        // The previous string and the first byte of this one, which follow
        // each other in out.  A full table stops growing.
        if (next_code < kTableSize) {
            where[next_code] = previous;
            length[next_code] = uint16_t(previous_length + 1);
            next_code++;
            width = next_code < 511 ? 9 : next_code < 1023 ? 10 : next_code < 2047 ? 11 : 12;
        }
        count += written;
        if (count == total) return 1;
        previous = at;
        previous_length = written;
        if (!ReadCode(&reader, width, &code)) return 0;
        if (code == kEndOfInformation) return EndEarly(out, count, total);
    }
}
