// Strip decoders in memory on damaged strips; the fast LZW decoder against
// the plain one.  Good strips are decoded in the whole-run cases.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tiff/decoders.h"
#include "tiff/mh_codes.h"

namespace {

using Bytes = std::vector<uint8_t>;

int PackBits(const Bytes& in, Bytes* out, uint32_t rows, uint32_t row_size)
{
    out->assign(size_t(rows) * row_size, 0);
    return DecodePackBits(in.data(), uint32_t(in.size()), out->data(), rows, row_size);
}

TEST(PackBits, RunPastTheRowOrTheStripFails)
{
    Bytes out;
    EXPECT_EQ(PackBits({0xFE, 0xAA, 0x01, 0x11, 0x22}, &out, 1, 4), 0);  // literal of 2 would reach 5
    EXPECT_EQ(PackBits({0x81, 0xAA}, &out, 2, 64), 0);                  // 128 bytes cross the row end
    EXPECT_EQ(PackBits({0x03, 0x01, 0x02}, &out, 1, 4), 0);             // literal longer than the strip
    EXPECT_EQ(PackBits({0xFF}, &out, 1, 2), 0);                         // repeat without its byte
    EXPECT_EQ(PackBits({0xFF, 0x01}, &out, 1, 4), 0);                   // strip ends before the row
    EXPECT_EQ(PackBits({}, &out, 1, 1), 0);
}

// Packs codes of the given widths most significant bit first.
Bytes PackCodes(const std::vector<std::pair<uint32_t, unsigned>>& codes)
{
    Bytes bytes;
    unsigned used = 0;
    for (auto [code, width] : codes) {
        for (unsigned i = width; i-- > 0;) {
            if (used % 8 == 0) bytes.push_back(0);
            if ((code >> i) & 1) bytes.back() |= uint8_t(0x80 >> (used % 8));
            used++;
        }
    }
    return bytes;
}

int Lzw(const Bytes& in, Bytes* out, uint32_t rows, uint32_t row_size)
{
    out->assign(size_t(rows) * row_size, 0);
    return DecodeLZW(in.data(), uint32_t(in.size()), out->data(), rows, row_size);
}

TEST(Lzw, InvalidStripsFail)
{
    Bytes out;
    EXPECT_EQ(Lzw(PackCodes({{65, 9}, {66, 9}}), &out, 1, 2), 0);              // no Clear first
    EXPECT_EQ(Lzw(PackCodes({{256, 9}, {258, 9}}), &out, 1, 2), 0);            // not a one-character code
    EXPECT_EQ(Lzw(PackCodes({{256, 9}, {256, 9}}), &out, 1, 2), 0);
    EXPECT_EQ(Lzw(PackCodes({{256, 9}, {65, 9}, {300, 9}}), &out, 1, 4), 0);  // beyond the next code
    EXPECT_EQ(Lzw(PackCodes({{256, 9}, {65, 9}, {66, 9}}), &out, 1, 4), 0);   // strip ends first
    EXPECT_EQ(Lzw(PackCodes({{256, 9}, {65, 9}, {66, 9}, {258, 9}}), &out, 1, 3), 0);  // past the output
    EXPECT_EQ(Lzw({}, &out, 1, 1), 0);
    EXPECT_EQ(Lzw(PackCodes({{257, 9}}), &out, 1, 1), 1);  // an empty strip: End of Information alone
}

unsigned WidthFor(unsigned next_code)
{
    return next_code >= 2047 ? 12 : next_code >= 1023 ? 11 : next_code >= 511 ? 10 : 9;
}

// The fast LZW decoder against the plain one: the same result for every
// strip, and the same bytes when it decodes.  Strips are random code
// sequences that follow the decoder's own table growth (so they reach the
// strings added, the code not yet in the table, every code width, Clear in
// the middle and a full table), then damaged in random ways.
using LzwCodes = std::vector<std::pair<uint32_t, unsigned>>;

// A strip as an encoder could write it.  Unless clean, with an occasional
// Clear, End of Information or invalid code; a clean strip lets the table
// grow until it is full.
LzwCodes RandomCodes(testing_support::Random& random, unsigned count, bool clean)
{
    LzwCodes codes = {{256, 9}};
    unsigned next = 258;
    bool after_clear = true;
    unsigned alphabet = 1 + random.Below(256);  // few symbols: long strings
    for (unsigned i = 0; i < count; i++) {
        unsigned width = WidthFor(next);
        unsigned pick = clean ? 8 + random.Below(992) : random.Below(1000);
        if (pick < 3) {
            codes.push_back({256, width});
            next = 258;
            after_clear = true;
            continue;
        }
        if (pick < 5) {
            codes.push_back({257, width});
            continue;
        }
        uint32_t code;
        if (after_clear)
            code = random.Below(alphabet);
        else if (pick < 8)
            code = next + 1 + random.Below(50);  // beyond the next code
        else if (pick < 300)
            code = random.Below(alphabet);
        else
            code = next == 258 ? random.Below(alphabet) : 258 + random.Below(next - 258 + 1);  // next itself too
        if (code >= 4096) code = 4095;
        codes.push_back({code, width});
        if (!after_clear && next < 4096) next++;
        after_clear = false;
    }
    return codes;
}

void ExpectSame(const Bytes& strip, uint32_t rows, uint32_t row_size, const std::string& where)
{
    Bytes plain(size_t(rows) * row_size, 0), fast(size_t(rows) * row_size, 0xA5);  // fast must write every byte
    int plain_result = DecodeLZW(strip.data(), uint32_t(strip.size()), plain.data(), rows, row_size);
    int fast_result = DecodeLZWFast(strip.data(), uint32_t(strip.size()), fast.data(), rows, row_size);
    ASSERT_EQ(plain_result, fast_result) << where;
    if (plain_result == 1) {
        ASSERT_EQ(plain, fast) << where;
    }
}

TEST(LzwFast, MatchesThePlainDecoderOnRandomStrips)
{
    testing_support::Random random(17);
    for (int round = 0; round < 3000; round++) {
        bool long_strip = round % 10 == 0;
        LzwCodes codes = RandomCodes(random, 1 + random.Below(long_strip ? 6000 : 300), round % 20 == 0);
        Bytes strip = PackCodes(codes);
        // Outputs shorter than, about as long as and longer than the strip's.
        uint32_t rows = 1 + random.Below(8), row_size = 1 + random.Below(long_strip ? 40000 : 200);
        std::string where = "round " + std::to_string(round);
        ExpectSame(strip, rows, row_size, where);
        if (strip.size() > 2) {
            Bytes damaged = strip;
            damaged[random.Below(uint32_t(damaged.size()))] ^= uint8_t(1u << random.Below(8));
            ExpectSame(damaged, rows, row_size, where + ", bit flipped");
            damaged.resize(random.Below(uint32_t(damaged.size())));
            ExpectSame(damaged, rows, row_size, where + ", cut short");
        }
    }
}

// ---- Modified Huffman ----

const MhCode* FindCode(unsigned colour, unsigned run)
{
    if (run < 64) return colour == 0 ? &kWhiteTerminating[run] : &kBlackTerminating[run];
    if (run <= 1728) return colour == 0 ? &kWhiteMakeUp[run / 64 - 1] : &kBlackMakeUp[run / 64 - 1];
    return &kExtendedMakeUp[run / 64 - 28];
}

// Appends the code words of one run: make-ups of 2560 while needed, then
// one make-up and the terminating code.
void AppendRun(std::string* bits, unsigned colour, unsigned run)
{
    while (run > 2560 + 63) {
        *bits += FindCode(colour, 2560)->bits;
        run -= 2560;
    }
    if (run >= 64) *bits += FindCode(colour, run / 64 * 64)->bits;
    *bits += FindCode(colour, run % 64)->bits;
}

Bytes BitsToBytes(const std::string& bits, unsigned fill_order)
{
    Bytes bytes((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); i++)
        if (bits[i] == '1') bytes[i / 8] |= uint8_t(fill_order == 2 ? 1u << (i % 8) : 0x80u >> (i % 8));
    return bytes;
}

int Mh(const Bytes& in, Bytes* out, uint32_t rows, uint32_t width, unsigned fill_order = 1)
{
    uint32_t row_size = (width + 7) / 8;
    out->assign(size_t(rows) * row_size, 0);
    return DecodeModifiedHuffman(in.data(), uint32_t(in.size()), out->data(), rows, width, row_size, fill_order);
}

TEST(ModifiedHuffman, RunsPastTheWidthOrUnknownCodesFail)
{
    std::string bits;
    AppendRun(&bits, 0, 3);
    AppendRun(&bits, 1, 6);  // 9 pixels in a row of 8
    Bytes out;
    EXPECT_EQ(Mh(BitsToBytes(bits, 1), &out, 1, 8), 0);
    EXPECT_EQ(Mh(BitsToBytes("0000000000000000", 1), &out, 1, 8), 0);  // no code word
    bits.clear();
    AppendRun(&bits, 0, 3);
    EXPECT_EQ(Mh(BitsToBytes(bits, 1), &out, 1, 8), 0);  // strip ends inside the row
}

}  // namespace
