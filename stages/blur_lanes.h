// The tap-pair loop of the 16-bit blur kernels, written once over a lane
// type W (Words16, Words32): sixteen or thirty-two pixels, one a 16-bit lane.
// Include after the lane type, from a file compiled for its instruction set.
//
// Each squared byte difference fits 16 bits unsigned; their sum is added
// with saturation at 65535, which leaves the test d < limit2 as it is for
// squared limits up to 65535.  The products of two taps and their weights
// are summed into 32 bits by one multiply-add, tap A in the even and tap B
// in the odd 16-bit lanes, so every sum is the exact integer of the plain
// loop.
#pragma once

#include <cstdint>

#include "stages/blur_kernels.h"

namespace {

// The window sums of the group of pixels from x: [0] the weights, [1 + b]
// the weighted bytes of plane b, each in the two halves the 16-bit unpacks
// leave ([0] low, [1] high); the kernel puts them back in pixel order.
// below is limit2 - 1 in every lane.
template <class W>
inline void SumTapPairs(const BlurFlatTap* taps, int tap_count, const uint8_t* const centre[3], int64_t x, W below,
                        typename W::Sums sums[4][2])
{
    W c[3];
    for (int b = 0; b < 3; b++) c[b] = W::Load(centre[b] + x);
    for (int q = 0; q < 4; q++) sums[q][0] = sums[q][1] = W::NoSums();
    for (int t = 0; t < tap_count; t += 2) {
        W p[2][3];
        typename W::Pass pass[2];
        for (int i = 0; i < 2; i++) {
            W d = W::Zero();
            for (int b = 0; b < 3; b++) {
                p[i][b] = W::Load(taps[t + i].plane[b] + x);
                W e = c[b] - p[i][b];
                d = AddSaturated(d, e * e);
            }
            pass[i] = AtMost(d, below);  // d < limit2
        }
        typename W::Sums weights = W::PairWeights(taps[t].weight, taps[t + 1].weight);
        AddPassedWeights(sums[0], pass[0], pass[1], weights);
        for (int b = 0; b < 3; b++) AddPair(sums[b + 1], Keep(pass[0], p[0][b]), Keep(pass[1], p[1][b]), weights);
    }
}

}  // namespace
