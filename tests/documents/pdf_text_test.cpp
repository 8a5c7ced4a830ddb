// The title's text string and the page sizes' numbers, which poppler would
// show wrongly or refuse without a word.
#include <gtest/gtest.h>

#include "documents/pdf_writer.h"

TEST(PdfText, LiteralOrUtf16)
{
    struct Case {
        const char* text;
        const char* pdf;
    } cases[] = {
        {"Livre (tome 2) \\ fin", "(Livre \\(tome 2\\) \\\\ fin)"},
        {"", "()"},
        {"\xC3\x89t\xC3\xA9", "<FEFF00C9007400E9>"},             // Été
        {"a\xF0\x9F\x93\x96", "<FEFF0061D83DDCD6>"},            // a, U+1F4D6 as a surrogate pair
        {"\xC3(\xE9\xFF", "<FEFFFFFD0028FFFDFFFD>"},           // cut, Latin-1 and impossible bytes
        {"\xC0\xAF\xED\xA0\x80", "<FEFFFFFDFFFDFFFDFFFDFFFD>"},  // overlong '/', a surrogate
        {"ligne\ndeux", "<FEFF006C00690067006E0065000A0064006500750078>"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.pdf, PdfTextString(c.text)) << c.text;
}

TEST(PdfText, Points)
{
    EXPECT_EQ("595.2", PdfNumber(2480 * 72.0 / 300));
    EXPECT_EQ("841.92", PdfNumber(3508 * 72.0 / 300));
    EXPECT_EQ("72", PdfNumber(72.0));
}
