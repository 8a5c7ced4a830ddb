// One-dimensional Modified Huffman strips.  Code words are matched a bit at a
// time, as a growing text would be matched against the code texts, but
// through a lookup indexed by (1 << length) | bits, built once from those
// texts.  The match order of the texts (terminating, make-up, extended) is
// kept by filling the lookup in that order, so the same bit streams are
// accepted and refused.
#include <cstring>

#include "tiff/decoders.h"
#include "tiff/mh_codes.h"

namespace {

constexpr unsigned kWhite = 0;
constexpr unsigned kBlack = 1;
constexpr int16_t kNoCode = -1;

struct MhLookup {
    int16_t run[2][1u << (kMhLongestCode + 1)];  // by colour, then (1 << length) | bits
};

void AddCodes(MhLookup* lookup, unsigned colour, const MhCode* codes, unsigned count)
{
    for (unsigned i = 0; i < count; i++) {
        unsigned length = unsigned(std::strlen(codes[i].bits));
        unsigned value = 0;
        for (unsigned b = 0; b < length; b++) value = (value << 1) | unsigned(codes[i].bits[b] == '1');
        int16_t& slot = lookup->run[colour][(1u << length) | value];
        if (slot == kNoCode) slot = int16_t(codes[i].run);  // the first text to match wins
    }
}

const MhLookup& Lookup()
{
    static const MhLookup lookup = [] {
        MhLookup l;
        for (auto& colour : l.run)
            for (auto& slot : colour) slot = kNoCode;
        AddCodes(&l, kWhite, kWhiteTerminating, 64);
        AddCodes(&l, kWhite, kWhiteMakeUp, 27);
        AddCodes(&l, kWhite, kExtendedMakeUp, 13);
        AddCodes(&l, kBlack, kBlackTerminating, 64);
        AddCodes(&l, kBlack, kBlackMakeUp, 27);
        AddCodes(&l, kBlack, kExtendedMakeUp, 13);
        return l;
    }();
    return lookup;
}

struct BitReader {
    const uint8_t* strip;
    uint32_t strip_size;
    uint32_t byte;
    unsigned bit;  // 0 to 7, counted from the first bit of the fill order
    unsigned fill_order;
};

int NextBit(BitReader* r, unsigned* bit)
{
    if (r->byte >= r->strip_size) return 0;
    unsigned mask = r->fill_order == 2 ? 1u << r->bit : 0x80u >> r->bit;
    *bit = (r->strip[r->byte] & mask) != 0;
    if (++r->bit == 8) {
        r->bit = 0;
        r->byte++;
    }
    return 1;
}

// Run length of the next code word of the colour, or -1.  No code word is
// longer than 13 bits, so a text that has not matched by then never will.
int ReadRunCode(BitReader* r, unsigned colour)
{
    const int16_t* runs = Lookup().run[colour];
    unsigned value = 0;
    for (unsigned length = 1; length <= kMhLongestCode; length++) {
        unsigned bit = 0;
        if (!NextBit(r, &bit)) return -1;
        value = (value << 1) | bit;
        int16_t run = runs[(1u << length) | value];
        if (run != kNoCode) return run;
    }
    return -1;
}

void SetBlackBits(uint8_t* row, uint32_t first, uint32_t count)
{
    for (uint32_t x = first; x < first + count; x++) row[x >> 3] |= uint8_t(0x80u >> (x & 7));
}

}  // namespace

int DecodeModifiedHuffman(const uint8_t* strip, uint32_t strip_size, uint8_t* out, uint32_t rows,
                          uint32_t width, uint32_t row_size, unsigned fill_order)
{
    if ((uint64_t(width) + 7) / 8 > row_size) return 0;
    BitReader reader = {strip, strip_size, 0, 0, fill_order};
    for (uint32_t r = 0; r < rows; r++) {
        uint8_t* row = out + uint64_t(r) * row_size;
        unsigned colour = kWhite;
        uint32_t pending = 0;
        uint32_t done = 0;
        while (done < width) {
            int run = ReadRunCode(&reader, colour);
            if (run < 0) return 0;
            pending += uint32_t(run);
            // Make-up codes only add; a run already past the width can only fail.
            if (pending > width - done) return 0;
            if (run >= 64) continue;
            if (colour == kBlack) SetBlackBits(row, done, pending);
            done += pending;
            pending = 0;
            colour ^= 1u;
        }
        if (reader.bit != 0) {
            reader.bit = 0;
            reader.byte++;
        }
    }
    return 1;
}
