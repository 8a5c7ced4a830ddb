// Fast twin of DecodeLZW: the same accepted and refused strips, the same
// bytes.
//
// Every string of the table is a stretch of the output already written: the
// string added after code c is c's string followed by the first byte of the
// string written next, and the two were written back to back.  So an entry
// is kept as (offset, length) in the strip's output and written with one
// copy, instead of following the prefix chain twice, byte by byte.  Codes
// are taken from a bit buffer refilled a byte at a time instead of bit by
// bit.
#include <cstdlib>
#include <cstring>

#include "core/environment.h"
#include "tiff/decoders.h"

namespace {

constexpr uint32_t kClear = 256;
constexpr uint32_t kEndOfInformation = 257;
constexpr uint32_t kFirstFree = 258;
constexpr uint32_t kTableSize = 4096;

struct BitReader {
    const uint8_t* strip;
    uint32_t size;
    uint32_t position;  // next byte to take into the buffer
    uint32_t held;      // bits in the buffer, at most 7 + 12
    uint32_t buffer;    // the held bits are its lowest
};

// 0 when the strip ends before the code is complete.
inline int ReadCode(BitReader* r, uint32_t width, uint32_t* code)
{
    while (r->held < width) {
        if (r->position >= r->size) return 0;
        r->buffer = (r->buffer << 8) | r->strip[r->position++];
        r->held += 8;
    }
    r->held -= width;
    *code = (r->buffer >> r->held) & ((1u << width) - 1);
    return 1;
}

// Copies a string that lies entirely before `to` (the regions never
// overlap) into an output of `room` bytes from `to` on.  A short string is
// moved as eight bytes at once when they fit: the bytes beyond it are
// overwritten by the strings that follow, and all eight are read before any
// is written.
inline void CopyString(uint8_t* to, const uint8_t* from, uint32_t length, uint64_t room)
{
    if (length <= 8 && room >= 8) {
        uint64_t bytes;
        std::memcpy(&bytes, from, 8);
        std::memcpy(to, &bytes, 8);
    } else if (length <= 8) {
        for (uint32_t i = 0; i < length; i++) to[i] = from[i];
    } else {
        std::memcpy(to, from, length);
    }
}

// End of Information before the output is complete: the bytes not decoded
// stay zero, so the few that an eight-byte copy wrote past the end are
// cleared.  Returns 1.
int EndEarly(uint8_t* out, uint64_t count, uint64_t total)
{
    uint64_t end = total - count < 8 ? total : count + 8;
    std::memset(out + count, 0, size_t(end - count));
    return 1;
}

}  // namespace

int TiffFastDecoders() { return UseFastStages(); }

int DecodeLZWFast(const uint8_t* strip, uint32_t strip_size, uint8_t* out, uint32_t rows, uint32_t row_size)
{
    uint64_t offset[kTableSize];  // of codes 258 and up: where their string lies in out
    uint32_t length[kTableSize];
    BitReader reader = {strip, strip_size, 0, 0, 0};
    uint64_t total = uint64_t(rows) * row_size;
    uint64_t count = 0;
    uint32_t width = 9, next_code = kFirstFree;

    uint32_t code = 0;
    if (!ReadCode(&reader, width, &code)) return 0;
    if (code == kEndOfInformation) return 1;
    if (code != kClear) return 0;
    uint64_t previous_at = 0;     // where the previous code's string was written
    uint32_t previous_length = 0;
    for (;;) {
        uint64_t at = count;
        uint32_t written = 0;
        if (code == kClear) {
            width = 9;
            next_code = kFirstFree;
            if (!ReadCode(&reader, width, &code)) return 0;
            if (code == kEndOfInformation) return EndEarly(out, count, total);
            if (code >= 256) return 0;  // right after Clear only one-byte strings exist
            if (total - count < 1) return 0;
            out[count] = uint8_t(code);
            written = 1;
        } else {
            if (code < 256) {
                if (total - count < 1) return 0;
                out[count] = uint8_t(code);
                written = 1;
            } else if (code < next_code) {
                if (length[code] > total - count) return 0;
                CopyString(out + count, out + offset[code], length[code], total - count);
                written = length[code];
            } else if (code == next_code) {
                // The string being defined by this very code: the previous
                // string followed by its own first byte.
                if (previous_length >= total - count) return 0;  // no room for the extra byte
                CopyString(out + count, out + previous_at, previous_length, total - count);
                out[count + previous_length] = out[count];
                written = previous_length + 1;
            } else {
                return 0;  // a code beyond the next free one cannot be decoded
            }
            // The previous string and the first byte of this one, which
            // follow each other in out.  A full table stops growing.
            if (next_code < kTableSize) {
                offset[next_code] = previous_at;
                length[next_code] = previous_length + 1;
                next_code++;
                if (next_code == 511) width = 10;
                if (next_code == 1023) width = 11;
                if (next_code == 2047) width = 12;
            }
        }
        count += written;
        if (count == total) return 1;
        previous_at = at;
        previous_length = written;
        if (!ReadCode(&reader, width, &code)) return 0;
        if (code == kEndOfInformation) return EndEarly(out, count, total);
    }
}
