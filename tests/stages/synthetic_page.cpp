#include "tests/stages/synthetic_page.h"

#include <cmath>
#include <cstddef>

namespace testing_support {

PageText::PageText(const PageLayout& page) : layout(page)
{
    uint32_t state = 12345u;
    auto next = [&state](int below) {
        state = state * 1103515245u + 12345u;
        return int((state >> 16) % uint32_t(below));
    };
    for (int top = page.first_line; top + page.bar_height <= page.height - page.margin; top += page.line_pitch) {
        std::vector<std::pair<int, int>> words;
        int x = page.margin + next(30);
        while (true) {
            int length = 40 + next(81);
            if (x + length > page.width - page.margin) break;
            words.push_back({x, x + length});
            x += length + 8 + next(5);
        }
        lines.push_back(words);
    }
}

bool PageText::IsInk(double u, double v) const
{
    double line = std::floor((v - layout.first_line) / layout.line_pitch);
    if (line < 0 || line >= double(lines.size())) return false;
    if (v >= LineTop(size_t(line)) + layout.bar_height) return false;
    for (const auto& word : lines[size_t(line)])
        if (u >= word.first && u < word.second) return true;
    return false;
}

void DrawPage(const PageText& text, double angle, BITMAP* image)
{
    const double theta = angle * M_PI / 180.0;
    const double c = std::cos(theta), s = std::sin(theta);
    const double half_w = text.layout.width / 2.0, half_h = text.layout.height / 2.0;
    constexpr int kSub = 4;  // samples a side, for scanner-like grey edges
    for (int y = 0; y < text.layout.height; y++) {
        for (int x = 0; x < text.layout.width; x++) {
            double total = 0;
            for (int sy = 0; sy < kSub; sy++) {
                for (int sx = 0; sx < kSub; sx++) {
                    double px = x + (sx + 0.5) / kSub - half_w, py = y + (sy + 0.5) / kSub - half_h;
                    // Stored point -> paper point: turn back by the angle.
                    double u = px * c - py * s + half_w, v = px * s + py * c + half_h;
                    double value = kScannerGrey;
                    const PageLayout& l = text.layout;
                    if (u >= l.paper_inset && u < l.width - l.paper_inset && v >= l.paper_inset &&
                        v < l.height - l.paper_inset)
                        value = text.IsInk(u, v) ? 20.0 : 250.0;
                    total += value;
                }
            }
            uint8_t grey = uint8_t(std::lround(total / (kSub * kSub)));
            uint8_t* p = image->pixels + (size_t(y) * image->width + x) * 3;
            p[0] = p[1] = p[2] = grey;
        }
    }
}

}  // namespace testing_support
