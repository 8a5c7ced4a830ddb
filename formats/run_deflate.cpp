// Deflate blocks of literals and distance-1 runs, each with its own dynamic
// Huffman code (RFC 1951, section 3.2.7), in a zlib wrapper (RFC 1950).
//
// A block is read twice: once to count its symbols, once to write them; both
// passes cut the block into the same tokens (Tokens below), so the code
// built from the counts is the code used.  Code lengths are limited to 15
// bits by halving the counts and building again until the longest fits,
// which keeps the code near-optimal and every step deterministic.  The
// code-length code is fixed (4 bits for each of the lengths 0 to 15): it
// costs about 150 bytes a block, nothing against blocks of a megabyte.
#include "formats/run_deflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

constexpr unsigned kLiteralSymbols = 286;  // 256 literals, end of block, 29 lengths
constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kLongestCode = 15;
constexpr unsigned kShortestRun = 3, kLongestRun = 258;
constexpr size_t kMostStoredBytes = 65535;
// Block header, 3 bits; HLIT, HDIST, HCLEN; 19 code-length code lengths of 3
// bits; 286 literal/length and 2 distance lengths of 4 bits.
constexpr uint64_t kHeaderBits = 3 + 5 + 5 + 4 + 19 * 3 + (kLiteralSymbols + 2) * 4;

// The length symbol of each run length, its extra bits and their value.
struct RunCode {
    uint16_t symbol;
    uint8_t extra_bits;
    uint8_t extra;
};
constexpr std::array<RunCode, kLongestRun + 1> MakeRunCodes()
{
    constexpr uint16_t base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                   31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    constexpr uint8_t extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    std::array<RunCode, kLongestRun + 1> codes{};
    for (unsigned length = kShortestRun; length <= kLongestRun; length++) {
        unsigned i = 28;
        while (base[i] > length) i--;
        codes[length] = {uint16_t(257 + i), extra[i], uint8_t(length - base[i])};
    }
    return codes;
}
constexpr std::array<RunCode, kLongestRun + 1> kRunCodes = MakeRunCodes();

// How many of the `most` bytes at p equal v, eight at a time.
size_t RunLength(const uint8_t* p, size_t most, uint8_t v)
{
    const uint64_t pattern = 0x0101010101010101u * v;
    size_t n = 0;
    for (; n + 8 <= most; n += 8) {
        uint64_t word;
        std::memcpy(&word, p + n, 8);
        uint64_t differ = word ^ pattern;
        if (differ == 0) continue;
        // The first byte in memory is the lowest on a little-endian machine.
        return n + (std::endian::native == std::endian::little ? std::countr_zero(differ) : std::countl_zero(differ)) / 8;
    }
    while (n < most && p[n] == v) n++;
    return n;
}

// Cuts a block into literals and runs: a byte repeated at least kShortestRun
// times after itself starts a run.  Runs stay inside the block, so each
// block depends on nothing before it.  The four bytes of a possible run's
// start are compared at once: on noisy rows the test seldom passes, and a
// test that is nearly always false costs little.
template <class Literal, class Run>
void Tokens(const uint8_t* data, size_t size, Literal literal, Run run)
{
    literal(data[0]);
    for (size_t i = 1; i < size;) {
        uint8_t v = data[i - 1];
        if (size - i >= kShortestRun) {
            uint32_t four;  // data[i - 1] and the 3 bytes after it
            std::memcpy(&four, data + i - 1, 4);
            if (four == 0x01010101u * v) {
                size_t n = RunLength(data + i, std::min<size_t>(size - i, kLongestRun), v);
                run(unsigned(n));
                i += n;
                continue;
            }
        }
        literal(data[i++]);
    }
}

// Huffman code lengths for the counts, at most kLongestCode bits, 0 for
// symbols that do not occur.  At least two symbols occur (a literal and the
// end of block).  Leaves sorted by (count, symbol) and the two-queue merge
// make the result the same on every machine.
void CodeLengths(const uint32_t* counts, uint8_t* lengths)
{
    uint64_t weight[kLiteralSymbols];
    for (unsigned s = 0; s < kLiteralSymbols; s++) weight[s] = counts[s];
    for (;;) {
        uint16_t leaf[kLiteralSymbols];
        unsigned m = 0;
        for (unsigned s = 0; s < kLiteralSymbols; s++) {
            lengths[s] = 0;
            if (weight[s] != 0) leaf[m++] = uint16_t(s);
        }
        std::sort(leaf, leaf + m, [&](uint16_t a, uint16_t b) {
            return weight[a] != weight[b] ? weight[a] < weight[b] : a < b;
        });
        // Nodes 0..m-1 are the sorted leaves, m..2m-2 the merged ones, made
        // in order of weight, so two queues replace a heap.
        uint64_t node[2 * kLiteralSymbols];
        uint16_t parent[2 * kLiteralSymbols];
        for (unsigned i = 0; i < m; i++) node[i] = weight[leaf[i]];
        unsigned next_leaf = 0, next_merged = m;
        for (unsigned k = m; k < 2 * m - 1; k++) {
            unsigned pick[2];
            for (unsigned& p : pick)
                p = next_leaf < m && (next_merged >= k || node[next_leaf] <= node[next_merged]) ? next_leaf++
                                                                                               : next_merged++;
            node[k] = node[pick[0]] + node[pick[1]];
            parent[pick[0]] = parent[pick[1]] = uint16_t(k);
        }
        uint8_t depth[2 * kLiteralSymbols];
        depth[2 * m - 2] = 0;
        unsigned deepest = 0;
        for (unsigned k = 2 * m - 2; k-- > 0;) {
            depth[k] = uint8_t(depth[parent[k]] + 1);
            deepest = std::max<unsigned>(deepest, depth[k]);
        }
        if (deepest <= kLongestCode) {
            for (unsigned i = 0; i < m; i++) lengths[leaf[i]] = depth[i];
            return;
        }
        for (uint64_t& w : weight) w = (w + 1) / 2;  // 0 stays 0, 1 stays 1
    }
}

// Canonical codes for the lengths, bit-reversed: deflate sends Huffman codes
// from their first bit, and the bit writer fills from bit 0.
void CanonicalCodes(const uint8_t* lengths, uint16_t* codes)
{
    unsigned per_length[kLongestCode + 1] = {};
    for (unsigned s = 0; s < kLiteralSymbols; s++) per_length[lengths[s]]++;
    per_length[0] = 0;
    unsigned next[kLongestCode + 1] = {};
    for (unsigned n = 1, code = 0; n <= kLongestCode; n++) next[n] = code = (code + per_length[n - 1]) << 1;
    for (unsigned s = 0; s < kLiteralSymbols; s++) {
        unsigned n = lengths[s], code = n != 0 ? next[n]++ : 0, reversed = 0;
        for (unsigned b = 0; b < n; b++) reversed |= ((code >> b) & 1u) << (n - 1 - b);
        codes[s] = uint16_t(reversed);
    }
}

// The pending bits of a stream, held in locals while a block is written so
// that the byte stores cannot make the compiler reload them.
struct Bits {
    uint64_t bits;
    unsigned count;
    uint8_t* at;

    explicit Bits(const RunDeflate* z) : bits(z->bits), count(z->count), at(z->out + z->used) {}
    void Store(RunDeflate* z) const
    {
        z->bits = bits;
        z->count = count;
        z->used = size_t(at - z->out);
    }
    // At most 31 bits are pending before a put and a put adds at most 21.
    void Put(uint64_t value, unsigned n)
    {
        bits |= value << count;
        count += n;
        if (count < 32) return;
        at[0] = uint8_t(bits), at[1] = uint8_t(bits >> 8), at[2] = uint8_t(bits >> 16), at[3] = uint8_t(bits >> 24);
        at += 4;
        bits >>= 32;
        count -= 32;
    }
    // Writes the whole pending bytes; pads to a byte boundary first when asked.
    void Flush(bool pad)
    {
        if (pad) count = (count + 7) & ~7u;
        for (; count >= 8; count -= 8, bits >>= 8) *at++ = uint8_t(bits);
    }
};

void WriteStored(Bits* w, const uint8_t* data, size_t size, bool last)
{
    for (size_t at = 0; at < size; at += kMostStoredBytes) {
        size_t piece = std::min(size - at, kMostStoredBytes);
        w->Put(last && at + piece == size ? 1 : 0, 3);  // final flag, type 00
        w->Flush(true);
        const uint8_t lengths[4] = {uint8_t(piece), uint8_t(piece >> 8), uint8_t(~piece), uint8_t(~piece >> 8)};
        std::memcpy(w->at, lengths, 4);
        std::memcpy(w->at + 4, data + at, piece);
        w->at += 4 + piece;
    }
}

void WriteCoded(Bits* w, const uint8_t* data, size_t size, const uint8_t* lengths, bool last)
{
    static const uint8_t kLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    w->Put(last ? 1 : 0, 1);
    w->Put(2, 2);  // dynamic Huffman codes
    w->Put(kLiteralSymbols - 257, 5);
    w->Put(2 - 1, 5);  // two distance codes, of 1 bit each: a complete code, only 0 (distance 1) used
    w->Put(19 - 4, 4);
    for (uint8_t length : kLengthOrder) w->Put(length < 16 ? 4 : 0, 3);
    // With every length coded on 4 bits, the canonical code of length n is n.
    auto put_length = [w](unsigned n) { w->Put(((n & 1) << 3) | ((n & 2) << 1) | ((n & 4) >> 1) | (n >> 3), 4); };
    for (unsigned s = 0; s < kLiteralSymbols; s++) put_length(lengths[s]);
    put_length(1), put_length(1);
    uint16_t codes[kLiteralSymbols];
    CanonicalCodes(lengths, codes);
    Bits b = *w;  // a local copy the loop keeps in registers
    Tokens(
        data, size, [&](unsigned byte) { b.Put(codes[byte], lengths[byte]); },
        [&](unsigned n) {
            const RunCode& r = kRunCodes[n];
            // The length's code, its extra bits, then distance code 0 (one bit, 0).
            b.Put(codes[r.symbol] | uint64_t(r.extra) << lengths[r.symbol], lengths[r.symbol] + r.extra_bits + 1u);
        });
    b.Put(codes[kEndOfBlock], lengths[kEndOfBlock]);
    *w = b;
}

}  // namespace

size_t RunDeflateBound(size_t size)
{
    // A stored block costs at most 5 bytes and 7 bits of padding per piece;
    // the zlib header, up to 4 pending bytes, the Adler-32 and slack for the
    // 4-byte writes make the rest.
    return size + 6 * (size / kMostStoredBytes + 1) + 32;
}

void StartRunDeflate(RunDeflate* z, uint8_t* out, size_t capacity)
{
    z->bits = 0;
    z->count = 0;
    z->adler = 1;
    z->out = out;
    z->used = 0;
    z->capacity = capacity;
    // Deflate with a 32 KiB window, no dictionary; 0x7801 is a multiple of 31.
    if (capacity >= 2) out[z->used++] = 0x78, out[z->used++] = 0x01;
}

int RunDeflateBlock(RunDeflate* z, const uint8_t* data, size_t size, int last)
{
    if (size == 0 || size > kMostRunDeflateBlock) return 0;
    uint32_t counts[kLiteralSymbols] = {};
    uint64_t coded = kHeaderBits;  // then each run's extra bits and distance bit
    Tokens(
        data, size, [&](unsigned byte) { counts[byte]++; },
        [&](unsigned n) {
            counts[kRunCodes[n].symbol]++;
            coded += kRunCodes[n].extra_bits + 1u;
        });
    counts[kEndOfBlock] = 1;
    uint8_t lengths[kLiteralSymbols];
    CodeLengths(counts, lengths);
    for (unsigned s = 0; s < kLiteralSymbols; s++) coded += uint64_t(counts[s]) * lengths[s];
    uint64_t pieces = (size + kMostStoredBytes - 1) / kMostStoredBytes;
    uint64_t stored = pieces * (3 + 7 + 32) + 8 * uint64_t(size);
    uint64_t bits = std::min(coded, stored);
    uint64_t need = (z->count + bits + 7) / 8 + (last ? 4 : 0) + 8;
    if (z->used > z->capacity || need > z->capacity - z->used) return 0;
    Bits w(z);
    if (coded <= stored)
        WriteCoded(&w, data, size, lengths, last != 0);
    else
        WriteStored(&w, data, size, last != 0);
    z->adler = libdeflate_adler32(z->adler, data, size);
    w.Flush(last != 0);
    if (last)
        for (int i = 3; i >= 0; i--) *w.at++ = uint8_t(z->adler >> (8 * i));
    w.Store(z);
    return 1;
}
