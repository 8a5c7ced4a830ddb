// Pages drawn at a known angle for the skew tests: word-like bars in two
// columns and a framed photograph on grainy paper, on a grey scanner ground.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

#include <gtest/gtest.h>

#include "core/support.h"

inline constexpr int kWidth = 900, kHeight = 1200;

inline uint32_t Mix(uint32_t a, uint32_t b)
{
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 13);
}

// Grey of the paper at (u, v), the point before the turn.
using Paper = std::function<double(double u, double v)>;

// Two columns of word-like bars; the left column gives its middle to a
// photograph (smooth shading, no lines) under a dark frame.
inline double TwoColumnsAndFigure(double u, double v)
{
    bool figure = u >= 90 && u < 420 && v >= 420 && v < 700;
    if (figure) return (u < 96 || u >= 414 || v < 426 || v >= 694) ? 30.0 : 120.0 + 60.0 * std::sin(u / 41.0) * std::cos(v / 29.0);
    int column = u < 450 ? 0 : 1;
    double left = column == 0 ? 90 : 480, right = column == 0 ? 420 : 810;
    if (u < left || u >= right || v < 100 || v >= kHeight - 100) return 245.0;
    int line = int(v - 100) / 34;
    if (int(v - 100) % 34 >= 10) return 245.0;
    // Words of 30 to 90 pixels with gaps of 9.
    double x = left;
    for (uint32_t k = 0; x < right; k++) {
        double end = x + 30 + Mix(uint32_t(line * 2 + column), k) % 61;
        if (u >= x && u < end) return 25.0;
        x = end + 9;
    }
    return 245.0;
}

// The paper turned by angle degrees (positive: lines rise to the right) on a
// grey scanner ground (none: paper to the edges), two samples a side for
// scanner-like edges.
inline BITMAP* Draw(const Paper& paper, double angle, int ground = 30)
{
    BITMAP* image = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    EXPECT_EQ(1, BITMAP_Create(image, kWidth, kHeight, PIXEL_BGR));
    double c = std::cos(angle * M_PI / 180.0), s = std::sin(angle * M_PI / 180.0);
    for (int y = 0; y < kHeight; y++) {
        for (int x = 0; x < kWidth; x++) {
            double total = 0;
            for (int k = 0; k < 4; k++) {
                double px = x + 0.25 + 0.5 * (k & 1) - kWidth / 2.0, py = y + 0.25 + 0.5 * (k >> 1) - kHeight / 2.0;
                double u = px * c - py * s + kWidth / 2.0, v = px * s + py * c + kHeight / 2.0;
                bool on_paper = u >= ground && u < kWidth - ground && v >= ground && v < kHeight - ground;
                total += on_paper ? paper(u, v) : 110.0;
            }
            int grain = int(Mix(uint32_t(x), uint32_t(y)) % 7) - 3;
            double grey = std::min(255.0, std::max(0.0, total / 4 + grain));
            uint8_t* p = image->pixels + (size_t(y) * kWidth + x) * 3;
            p[0] = p[1] = p[2] = uint8_t(grey);
        }
    }
    return image;
}
