// Objects: 1 the catalogue, 2 the page tree (written last, when the pages
// are known), 3 the information dictionary, then three a page: the page
// object, its content stream and its image.  Page k (from 0) is object
// 4 + 3k.  Each image stream's length is known before its dictionary is
// written, the whole compressed page being in memory by then.
#include "documents/pdf_writer.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "documents/page_encoding.h"

#ifndef NIVELO_VERSION
#define NIVELO_VERSION ""
#endif

namespace {

constexpr uint32_t kFirstPageObject = 4;
constexpr uint32_t kObjectsPerPage = 3;
// Pages that declare no resolution are taken as scanned at 300 dots per
// inch, the resolution nivelo's black-and-white results are marked with.
constexpr double kDefaultDpi = 300.0;
constexpr double kPointsPerInch = 72.0;

int Write(PdfWriter* pdf, const void* bytes, size_t count)
{
    if (!WriteBytes(&pdf->out.stream, bytes, count, pdf->out.path)) return 0;
    pdf->offset += count;
    return 1;
}

int Print(PdfWriter* pdf, const char* format, ...) __attribute__((format(printf, 2, 3)));
int Print(PdfWriter* pdf, const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0 || size_t(length) >= sizeof text) {
        ReportError("Error writing file %s\n", pdf->out.path);
        return 0;
    }
    return Write(pdf, text, size_t(length));
}

int StartObject(PdfWriter* pdf, uint32_t number)
{
    if (pdf->offsets.size() <= number) pdf->offsets.resize(number + 1, 0);
    pdf->offsets[number] = pdf->offset;
    return Print(pdf, "%u 0 obj\n", number);
}

// The stream's dictionary holds `dictionary` and its length.
int WriteStream(PdfWriter* pdf, uint32_t number, const std::string& dictionary, const uint8_t* data, size_t size)
{
    std::string head = "<< " + dictionary + (dictionary.empty() ? "" : " ") + "/Length " + std::to_string(size) +
                       " >>\nstream\n";
    if (!StartObject(pdf, number) || !Write(pdf, head.data(), head.size())) return 0;
    if (!WriteOutputBytes(&pdf->out, data, size)) return 0;
    pdf->offset += size;
    return Print(pdf, "\nendstream\nendobj\n");
}

void AppendCodePoint(std::string* hex, uint32_t c)
{
    char unit[12];
    if (c >= 0x10000) {
        c -= 0x10000;
        std::snprintf(unit, sizeof unit, "%04X%04X", 0xD800 + (c >> 10), 0xDC00 + (c & 0x3FF));
    } else {
        std::snprintf(unit, sizeof unit, "%04X", c);
    }
    *hex += unit;
}

// The code point at text[*at], moving past it; U+FFFD for a malformed,
// overlong or surrogate sequence, past its first byte only.
uint32_t NextCodePoint(const uint8_t* text, size_t* at)
{
    uint32_t c = text[*at];
    size_t more = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
    if (c < 0x80 || more == 0) {
        (*at)++;
        return c < 0x80 ? c : 0xFFFD;
    }
    uint32_t value = c & (0x3F >> more);
    for (size_t i = 1; i <= more; i++) {
        uint8_t b = text[*at + i];  // the terminating NUL stops this too
        if ((b & 0xC0) != 0x80) {
            (*at)++;
            return 0xFFFD;
        }
        value = value << 6 | (b & 0x3F);
    }
    static const uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (value < kLeast[more] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        (*at)++;
        return 0xFFFD;
    }
    *at += more + 1;
    return value;
}

std::string CreationDate()
{
    // SOURCE_DATE_EPOCH, the reproducible-builds convention, makes a document
    // the same bytes run after run.
    std::time_t now = std::time(nullptr);
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch != nullptr && *epoch != '\0') {
        char* end = nullptr;
        long long seconds = std::strtoll(epoch, &end, 10);
        if (*end == '\0' && seconds >= 0) now = std::time_t(seconds);
    }
    std::tm utc;
    char text[32] = "D:19700101000000Z";
    if (gmtime_r(&now, &utc) != nullptr) std::strftime(text, sizeof text, "D:%Y%m%d%H%M%SZ", &utc);
    return text;
}

void PageDpi(const PageImage& page, double* x, double* y)
{
    *x = page.x_dpi > 0.0 ? page.x_dpi : page.y_dpi;
    *y = page.y_dpi > 0.0 ? page.y_dpi : page.x_dpi;
    if (*x <= 0.0) *x = *y = kDefaultDpi;
}

std::string Size(const PageImage& page, int bits)
{
    char text[96];
    std::snprintf(text, sizeof text, "/Type /XObject /Subtype /Image /Width %u /Height %u /BitsPerComponent %d",
                  page.width, page.height, bits);
    return text;
}

std::string Indexed(const uint8_t* palette, unsigned entries)
{
    std::string text = "[/Indexed /DeviceRGB " + std::to_string(entries - 1) + " <";
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned i = 0; i < 3 * entries; i++) {
        text += kHex[palette[i] >> 4];
        text += kHex[palette[i] & 15];
    }
    return text + ">]";
}

std::string Predicted(uint32_t width, unsigned colours, unsigned bits)
{
    char text[128];
    std::snprintf(text, sizeof text,
                  " /Filter /FlateDecode /DecodeParms << /Predictor 15 /Colors %u /BitsPerComponent %u /Columns %u >>",
                  colours, bits, width);
    return text;
}

std::string Fax(uint32_t width, uint32_t height, bool black_is_1)
{
    char text[128];
    std::snprintf(text, sizeof text, " /Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns %u /Rows %u%s >>",
                  width, height, black_is_1 ? " /BlackIs1 true" : "");
    return text;
}

// The dictionary of an image whose data go in as the page file holds them.
std::string CopiedImage(const PageImage& page)
{
    if (page.kind == STREAM_G4)
        return Size(page, 1) + " /ColorSpace /DeviceGray" + Fax(page.width, page.height, page.black_is_1);
    if (page.kind == STREAM_JPEG) {
        static const char* const kSpaces[] = {"", "/DeviceGray", "", "/DeviceRGB", "/DeviceCMYK"};
        std::string d = Size(page, 8) + " /ColorSpace " + kSpaces[page.jpeg.components] + " /Filter /DCTDecode";
        // Adobe's applications store CMYK JPEG inverted, and mark it so.
        if (page.jpeg.components == 4 && page.jpeg.adobe) d += " /Decode [1 0 1 0 1 0 1 0]";
        return d;
    }
    const PngLayout& p = page.png;
    std::string space = p.colour_type == 3   ? Indexed(p.palette, p.palette_entries)
                        : p.colour_type == 2 ? "/DeviceRGB"
                                             : "/DeviceGray";
    return Size(page, p.bit_depth) + " /ColorSpace " + space +
           Predicted(p.width, p.colour_type == 2 ? 3 : 1, p.bit_depth);
}

// Decoded pixels compressed into *encoded, with their dictionary.
int EncodedImage(const char* name, PageImage* page, uint8_t** encoded, size_t* size, std::string* dictionary)
{
    if (page->bilevel) {
        if (!EncodeG4(name, &page->pixels, encoded, size)) return 0;
        *dictionary = Size(*page, 1) + " /ColorSpace /DeviceGray" + Fax(page->width, page->height, false);
        return 1;
    }
    unsigned type = page->pixels.type;
    bool grey = type == PIXEL_GREY || type == PIXEL_INDEXED;
    std::string space = type == PIXEL_INDEXED ? Indexed(page->pixels.palette, 256)
                        : grey                ? "/DeviceGray"
                                              : "/DeviceRGB";
    if (!EncodeFlate(name, &page->pixels, encoded, size)) return 0;
    *dictionary = Size(*page, 8) + " /ColorSpace " + space + Predicted(page->width, grey ? 1 : 3, 8);
    return 1;
}

int WriteImage(PdfWriter* pdf, uint32_t number, const char* name, PageImage* page)
{
    if (page->kind != STREAM_PIXELS) return WriteStream(pdf, number, CopiedImage(*page), page->data, page->data_size);
    uint8_t* encoded = nullptr;
    size_t size = 0;
    std::string dictionary;
    int ok = EncodedImage(name, page, &encoded, &size, &dictionary) &&
             WriteStream(pdf, number, dictionary, encoded, size);
    FreeMemory(&encoded);
    return ok;
}

}  // namespace

std::string PdfTextString(const char* text)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
    bool printable = true;
    for (size_t i = 0; bytes[i] != 0; i++) printable = printable && bytes[i] >= 0x20 && bytes[i] < 0x7F;
    if (printable) {
        std::string literal = "(";
        for (size_t i = 0; bytes[i] != 0; i++) {
            if (bytes[i] == '(' || bytes[i] == ')' || bytes[i] == '\\') literal += '\\';
            literal += char(bytes[i]);
        }
        return literal + ")";
    }
    std::string hex = "<FEFF";
    for (size_t at = 0; bytes[at] != 0;) AppendCodePoint(&hex, NextCodePoint(bytes, &at));
    return hex + ">";
}

std::string PdfNumber(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    std::string number = text;
    while (number.back() == '0') number.pop_back();
    if (number.back() == '.') number.pop_back();
    return number;
}

int BeginPdf(PdfWriter* pdf, const char* path, const char* title)
{
    pdf->offset = 0;
    pdf->pages = 0;
    pdf->offsets.assign(kFirstPageObject, 0);
    if (!OpenOutputFile(&pdf->out, path)) return 0;
    // The comment of bytes above 127 tells transfer programs the file is binary.
    std::string info = "<< /Producer (nivelo" + std::string(*NIVELO_VERSION ? " " NIVELO_VERSION : "") +
                       ") /CreationDate (" + CreationDate() + ")";
    if (title != nullptr) info += " /Title " + PdfTextString(title);
    bool ok = Print(pdf, "%%PDF-1.5\n%%\xE2\xE3\xCF\xD3\n") && StartObject(pdf, 1) &&
              Print(pdf, "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n") && StartObject(pdf, 3) &&
              Write(pdf, info.data(), info.size()) && Print(pdf, " >>\nendobj\n");
    if (!ok) AbandonPdf(pdf);
    return ok;
}

int AddPdfPage(PdfWriter* pdf, const char* name, PageImage* page)
{
    uint32_t first = kFirstPageObject + kObjectsPerPage * pdf->pages;
    double x_dpi, y_dpi;
    PageDpi(*page, &x_dpi, &y_dpi);
    std::string width = PdfNumber(page->width * kPointsPerInch / x_dpi);
    std::string height = PdfNumber(page->height * kPointsPerInch / y_dpi);
    std::string drawing = "q " + width + " 0 0 " + height + " 0 0 cm /Im0 Do Q";
    bool ok = WriteImage(pdf, first + 2, name, page) &&
              WriteStream(pdf, first + 1, "", reinterpret_cast<const uint8_t*>(drawing.data()), drawing.size()) &&
              StartObject(pdf, first) &&
              Print(pdf,
                    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %s %s] /Resources << /XObject << /Im0 %u 0 R >> >> "
                    "/Contents %u 0 R >>\nendobj\n",
                    width.c_str(), height.c_str(), first + 2, first + 1);
    if (!ok) return 0;
    pdf->pages++;
    return 1;
}

int FinishPdf(PdfWriter* pdf)
{
    if (!StartObject(pdf, 2) || !Print(pdf, "<< /Type /Pages /Count %u /Kids [", pdf->pages)) return 0;
    for (uint32_t k = 0; k < pdf->pages; k++)
        if (!Print(pdf, k == 0 ? "%u 0 R" : " %u 0 R", kFirstPageObject + kObjectsPerPage * k)) return 0;
    if (!Print(pdf, "] >>\nendobj\n")) return 0;
    uint64_t xref = pdf->offset;
    size_t count = pdf->offsets.size();
    if (!Print(pdf, "xref\n0 %zu\n0000000000 65535 f \n", count)) return 0;
    for (size_t i = 1; i < count; i++)
        if (!Print(pdf, "%010llu 00000 n \n", (unsigned long long)pdf->offsets[i])) return 0;
    if (!Print(pdf, "trailer\n<< /Size %zu /Root 1 0 R /Info 3 0 R >>\nstartxref\n%llu\n%%%%EOF\n", count,
               (unsigned long long)xref))
        return 0;
    return CommitOutputFile(&pdf->out);
}

void AbandonPdf(PdfWriter* pdf) { AbortOutputFile(&pdf->out); }
