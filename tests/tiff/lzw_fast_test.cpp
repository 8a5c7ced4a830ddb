// The fast LZW decoder against the plain one: the same result for every
// strip, and the same bytes when it decodes.  Strips are random code
// sequences that follow the decoder's own table growth (so they reach the
// strings added, the code not yet in the table, every code width, Clear in
// the middle and a full table), then damaged in random ways.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"
#include "tiff/decoders.h"

using testing_support::Random;

namespace {

using Bytes = std::vector<uint8_t>;
using Codes = std::vector<std::pair<uint32_t, unsigned>>;

Bytes Pack(const Codes& codes)
{
    Bytes bytes;
    unsigned used = 0;
    for (auto [code, width] : codes)
        for (unsigned i = width; i-- > 0; used++) {
            if (used % 8 == 0) bytes.push_back(0);
            if ((code >> i) & 1) bytes.back() |= uint8_t(0x80 >> (used % 8));
        }
    return bytes;
}

unsigned WidthFor(unsigned next_code)
{
    return next_code >= 2047 ? 12 : next_code >= 1023 ? 11 : next_code >= 511 ? 10 : 9;
}

// A strip as an encoder could write it.  Unless clean, with an occasional
// Clear, End of Information or invalid code; a clean strip lets the table
// grow until it is full.
Codes RandomCodes(Random& random, unsigned count, bool clean)
{
    Codes codes = {{256, 9}};
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
    Bytes plain(size_t(rows) * row_size, 0), fast(size_t(rows) * row_size, 0);
    int plain_result = DecodeLZW(strip.data(), uint32_t(strip.size()), plain.data(), rows, row_size);
    int fast_result = DecodeLZWFast(strip.data(), uint32_t(strip.size()), fast.data(), rows, row_size);
    ASSERT_EQ(plain_result, fast_result) << where;
    if (plain_result == 1) {
        ASSERT_EQ(plain, fast) << where;
    }
}

}  // namespace

TEST(LzwFast, MatchesThePlainDecoderOnRandomStrips)
{
    Random random(17);
    for (int round = 0; round < 3000; round++) {
        bool long_strip = round % 10 == 0;
        Codes codes = RandomCodes(random, 1 + random.Below(long_strip ? 6000 : 300), round % 20 == 0);
        Bytes strip = Pack(codes);
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

TEST(LzwFast, MatchesThePlainDecoderOnTheHandMadeStrips)
{
    const Codes strips[] = {
        {{256, 9}, {65, 9}, {66, 9}, {258, 9}},
        {{256, 9}, {65, 9}, {258, 9}, {257, 9}},
        {{256, 9}, {1, 9}, {2, 9}, {256, 9}, {3, 9}, {1, 9}, {258, 9}},
        {{65, 9}, {66, 9}},
        {{256, 9}, {258, 9}},
        {{256, 9}, {256, 9}},
        {{256, 9}, {65, 9}, {300, 9}},
        {{257, 9}},
        {},
    };
    for (const Codes& codes : strips)
        for (uint32_t row_size = 1; row_size < 8; row_size++) ExpectSame(Pack(codes), 1, row_size, "hand-made");
}
