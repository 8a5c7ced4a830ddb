// The pieces of the documents layer that the whole-run test cannot reach
// one by one: PDF sample rows of every depth into pixels, the page counts
// of each kind of file, where a PDF header may start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "documents/load_document.h"
#include "documents/pdf_samples.h"
#include "tests/support/test_support.h"

namespace {

TEST(PdfSamples, RowsOfEveryDepthBecomePixels)
{
    struct Case {
        const char* what;
        unsigned components, bits;
        bool inverted;
        std::vector<uint8_t> row, pixels;
    };
    std::vector<Case> cases = {
        {"1 bit", 1, 1, false, {0xA0}, {255, 0, 255}},
        {"1 bit, /Decode [1 0]", 1, 1, true, {0xA0}, {0, 255, 0}},
        {"2 bits", 1, 2, false, {0x1B}, {0, 85, 170, 255}},
        {"4 bits", 1, 4, false, {0x0F, 0x80}, {0, 255, 136}},
        {"16 bits, big-endian, to the nearest level", 1, 16, false, {0x12, 0x34, 0xFF, 0xFF}, {18, 255}},
        {"RGB", 3, 8, false, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
        {"CMYK", 4, 8, false, {0, 0, 0, 0, 255, 0, 51, 51}, {255, 255, 255, 0, 204, 163}},
    };
    for (const Case& c : cases) {
        PdfSamples s = {};
        s.components = c.components;
        s.bits = c.bits;
        s.inverted[0] = c.inverted;
        s.width = uint32_t(c.pixels.size() / BITMAP_BytesPerPixel(PdfPixelType(s)));
        s.height = 1;
        ASSERT_EQ(PdfRowBytes(s), c.row.size()) << c.what;
        BITMAP image;
        ASSERT_TRUE(BITMAP_Create(&image, s.width, 1, PdfPixelType(s)));
        ConvertPdfSamples(s, c.row.data(), &image);
        EXPECT_EQ(std::vector<uint8_t>(image.pixels, image.pixels + c.pixels.size()), c.pixels) << c.what;
        BITMAP_Free(&image);
    }
}

TEST(PdfSamples, PaletteIndexesPastTheEndTakeTheLastColour)
{
    PdfSamples s = {};
    s.components = 1;
    s.bits = 4;
    s.width = 4;
    s.height = 1;
    const uint8_t palette[] = {10, 20, 30, 40, 50, 60, 70, 80};  // 2 colours and a third cut short
    SetPdfPalette(&s, palette, sizeof palette, 3, 2);
    const uint8_t row[] = {0x12, 0x9F};  // indexes 1, 2, 9, 15
    BITMAP image;
    ASSERT_TRUE(BITMAP_Create(&image, 4, 1, PdfPixelType(s)));
    ConvertPdfSamples(s, row, &image);
    std::vector<uint8_t> want = {40, 50, 60, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(image.pixels, image.pixels + 12), want);
    BITMAP_Free(&image);
}

TEST(DocumentPageCount, CountsPagesOfEachKind)
{
    struct Case { const char* file; int result; uint32_t count; };
    const Case cases[] = {
        {"fuzz/seeds/formats/two_pages.tif", 1, 2}, {"fuzz/seeds/pdf/objstm.pdf", 1, 6},
        {"fuzz/seeds/formats/grey.png", 1, 1},       {"fuzz/seeds/pdf/cut.pdf", 0, 0},
        {"no/such/file.pdf", 0, 1},
    };
    for (const Case& c : cases) {
        uint32_t count = 99;
        std::string path = std::string(NIVELO_SOURCE_DIR) + "/" + c.file;
        EXPECT_EQ(DocumentPageCount(path.c_str(), &count), c.result) << c.file;
        EXPECT_EQ(count, c.count) << c.file;
    }
}

TEST(LooksLikePdf, HeaderWithinTheFirstKilobyteOfAFileThatIsNoImage)
{
    auto with_junk = [](size_t junk, std::string start) { return start + std::string(junk, ' ') + "%PDF-1.4"; };
    struct Case { std::string head; int pdf; };
    const Case cases[] = {
        {"%PDF-1.7", 1}, {with_junk(1000, ""), 1}, {with_junk(1100, ""), 0},
        {with_junk(10, std::string("II*\0", 4)), 0}, {"%PDF", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LooksLikePdf(reinterpret_cast<const uint8_t*>(c.head.data()), c.head.size()), c.pdf) << c.head;
}

}  // namespace
