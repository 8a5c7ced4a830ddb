// A scanned-page look-alike for the skew tests: dark word-like bars on white
// paper, the paper turned by a known angle and lying on a grey scanner
// background, edges anti-aliased like a real scan.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/bitmap.h"

namespace testing_support {

constexpr uint8_t kScannerGrey = 128;

// Coordinates (u, v) are those of the image before the turn.  The paper
// leaves a border of paper_inset pixels of scanner background; line k of text
// is a row of bars from first_line + k * line_pitch, bar_height high, made of
// words of 40 to 120 pixels with gaps of 8 to 12 pixels, margin pixels in
// from the image's sides.
struct PageLayout {
    int width = 1200, height = 900;
    int paper_inset = 40;
    int margin = 100;
    int first_line = 120;
    int line_pitch = 40;
    int bar_height = 12;
};

struct PageText {
    explicit PageText(const PageLayout& layout);
    PageLayout layout;
    std::vector<std::vector<std::pair<int, int>>> lines;  // [first, end) columns of each word
    int LineTop(size_t line) const { return layout.first_line + int(line) * layout.line_pitch; }
    bool IsInk(double u, double v) const;
};

// Fills a BGR image of the layout's size with the paper turned by `angle`
// degrees about the image centre (positive: lines rise to the right).
void DrawPage(const PageText& text, double angle, BITMAP* image);

}  // namespace testing_support
