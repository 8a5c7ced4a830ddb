// Writes a deterministic scanned A4 page for the benchmark: dark word-like
// bars in lines that rise to the right at a known slope, on off-white paper
// with grain, the paper lying on a darker scanner background that shows along
// the right and bottom edges (where the default configuration samples and
// crops).  Same arguments, same bytes, on every machine.
//
//   make_page <out.tga> <colour|grey> [width height angle]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/bitmap.h"
#include "core/support.h"
#include "tga/tga.h"

namespace {

// Integer hash of a position: the grain and the word layout come from it, so
// the page does not depend on any library's random generator.
uint32_t Hash(uint32_t a, uint32_t b, uint32_t c)
{
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

// Grain of -amplitude ... amplitude.
int Grain(uint32_t x, uint32_t y, uint32_t channel, int amplitude)
{
    return int(Hash(x, y, channel) % uint32_t(2 * amplitude + 1)) - amplitude;
}

uint8_t Clamp(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// True when the point (u, v) of the unturned page is ink: lines every 50
// pixels, 18 high, made of words 40 to 200 pixels long with gaps of 10 to 25.
bool IsInk(int u, int v, int width, int height)
{
    const int margin = 180, first = 220, pitch = 50, bar = 18;
    if (u < margin || u >= width - margin || v < first || v >= height - 260) return false;
    int line = (v - first) / pitch;
    if ((v - first) % pitch >= bar) return false;
    // Walk the words of this line up to u; each line has its own layout.
    int x = margin;
    for (uint32_t word = 0;; word++) {
        int length = 40 + int(Hash(uint32_t(line), word, 7) % 161u);
        int gap = 10 + int(Hash(uint32_t(line), word, 8) % 16u);
        if (u < x + length) return true;
        x += length + gap;
        if (u < x) return false;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 6) {
        std::fprintf(stderr, "usage: make_page <out.tga> <colour|grey> [width height angle]\n");
        return 2;
    }
    bool grey = std::strcmp(argv[2], "grey") == 0;
    int width = 2480, height = 3508;
    double angle = 0.8;  // degrees, lines rising to the right
    if (argc == 6) width = std::atoi(argv[3]), height = std::atoi(argv[4]), angle = std::atof(argv[5]);
    BITMAP page;
    if (!BITMAP_Create(&page, unsigned(width), unsigned(height), grey ? PIXEL_GREY : PIXEL_BGR)) return 1;
    double slope = std::tan(angle * 3.14159265358979 / 180.0);
    int paper_right = width - 70, paper_bottom = height - 90;  // scanner shows beyond
    size_t bpp = grey ? 1 : 3;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            int colour[3];
            if (x >= paper_right || y >= paper_bottom) {
                colour[0] = 52, colour[1] = 56, colour[2] = 60;  // scanner lid, BGR
                for (int c = 0; c < 3; c++) colour[c] += Grain(uint32_t(x), uint32_t(y), uint32_t(c), 3);
            } else {
                // Lines rise to the right: a line's row at column x is its
                // unturned row minus x times the slope.
                int v = int(std::floor(double(y) + double(x) * slope));
                bool ink = IsInk(x, v, width, height);
                int base[3] = {ink ? 40 : 222, ink ? 34 : 232, ink ? 30 : 236};
                for (int c = 0; c < 3; c++) colour[c] = base[c] + Grain(uint32_t(x), uint32_t(y), uint32_t(c), ink ? 12 : 7);
            }
            uint8_t* p = page.pixels + (size_t(y) * size_t(width) + size_t(x)) * bpp;
            if (grey)
                p[0] = Clamp((colour[0] + colour[1] + colour[2]) / 3);
            else
                for (int c = 0; c < 3; c++) p[c] = Clamp(colour[c]);
        }
    }
    int ok = SaveTGA(argv[1], &page);
    BITMAP_Free(&page);
    return ok ? 0 : 1;
}
