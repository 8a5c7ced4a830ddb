// Code words of one-dimensional Modified Huffman coding (ITU-T T.4), as texts
// of '0' and '1', first bit first.  The decoder's lookup tables are derived
// from these texts, and the tests match bit streams against them directly.
#pragma once

#include <cstdint>

struct MhCode {
    const char* bits;
    uint16_t run;
};

extern const MhCode kWhiteTerminating[64];  // runs 0 to 63
extern const MhCode kBlackTerminating[64];
extern const MhCode kWhiteMakeUp[27];       // runs 64 to 1728, steps of 64
extern const MhCode kBlackMakeUp[27];
extern const MhCode kExtendedMakeUp[13];    // runs 1792 to 2560, either colour

constexpr unsigned kMhLongestCode = 13;
// A text that reaches this many bits without matching is not a code word.
constexpr unsigned kMhGiveUpBits = 15;
