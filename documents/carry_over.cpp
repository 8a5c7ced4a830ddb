#include "documents/carry_over.h"

#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "documents/fax_tiff.h"
#include "documents/load_document.h"
#include "documents/pdf_reader.h"
#include "formats/formats.h"
#include "formats/readers.h"

namespace {

constexpr size_t kHeadBytes = 1029;  // as far as LoadDocumentPage looks for a PDF header
// The mark the black-and-white writers give a page whose scan declared no
// resolution.
constexpr double kBilevelDefaultDpi = 300.0;

// The whole file, read without a word when it cannot be.
int ReadWholeFile(const char* name, std::string* bytes)
{
    FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return 0;
    int ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = size > 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes->resize(size_t(size));
        ok = std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
    }
    std::fclose(file);
    return ok;
}

// A JFIF header right after the start of image: where the JPEG writer puts
// the resolution, and where it can be set without touching anything else.
bool HasJfifHeader(const std::string& jpeg)
{
    return jpeg.size() >= 20 && std::memcmp(jpeg.data(), "\xFF\xD8\xFF\xE0", 4) == 0 &&
           std::memcmp(jpeg.data() + 6, "JFIF\0", 5) == 0;
}

// Whole dots per inch as the JPEG writer rounds them.
unsigned WholeDots(double dpi) { return unsigned(dpi < 1.0 ? 1 : dpi > 65535.0 ? 65535 : dpi + 0.5); }

void SetJfifDensity(std::string* jpeg, const ImageFacts& facts)
{
    if (!(facts.x_dpi > 0.0 && facts.y_dpi > 0.0)) return;
    unsigned x = WholeDots(facts.x_dpi), y = WholeDots(facts.y_dpi);
    char* density = jpeg->data() + 13;  // units, then across and down, big-endian
    density[0] = 1;
    density[1] = char(x >> 8);
    density[2] = char(x & 0xFF);
    density[3] = char(y >> 8);
    density[4] = char(y & 0xFF);
}

// The decoded stream (grey or R, G, B) against the final page (B, G, R or
// grey).
bool SamePixels(const BITMAP& decoded, const BITMAP* image)
{
    if (decoded.width != image->width || decoded.height != image->height) return false;
    uint64_t count = uint64_t(image->width) * image->height;
    const uint8_t* d = decoded.pixels;
    const uint8_t* p = image->pixels;
    if (image->type == PIXEL_GREY) return decoded.type == PIXEL_GREY && std::memcmp(d, p, size_t(count)) == 0;
    if (image->type != PIXEL_BGR) return false;
    for (uint64_t i = 0; i < count; i++, p += 3) {
        uint8_t r = decoded.type == PIXEL_GREY ? d[i] : d[3 * i];
        uint8_t g = decoded.type == PIXEL_GREY ? d[i] : d[3 * i + 1];
        uint8_t b = decoded.type == PIXEL_GREY ? d[i] : d[3 * i + 2];
        if (p[0] != b || p[1] != g || p[2] != r) return false;
    }
    return true;
}

int FaxFile(const CodedPage& coded, double x_dpi, double y_dpi, std::string* tiff)
{
    FaxLayout layout = {coded.width, coded.height, 4, 0, coded.photometric};
    return BuildFaxTiff(layout, reinterpret_cast<const uint8_t*>(coded.bytes.data()), coded.bytes.size(), x_dpi,
                        y_dpi, tiff);
}

}  // namespace

int FindCodedPage(const char* name, uint32_t page, CodedKind wanted, CodedPage* coded)
{
    *coded = CodedPage();
    if (wanted == CODED_NONE) return 0;
    uint8_t head[kHeadBytes];
    FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return 0;
    size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    int found = 0;
    if (LooksLikePdf(head, got)) {
        found = PdfCodedPage(PdfSource{name, nullptr, 0}, page, wanted, coded) &&
                (wanted != CODED_JPEG || HasJfifHeader(coded->bytes));
    } else {
        const char* other = nullptr;
        FileKind kind = SniffKind(head, got, &other);
        if (wanted == CODED_JPEG && kind == KIND_JPEG && page == 0)
            found = ReadWholeFile(name, &coded->bytes);
        else if (wanted == CODED_G4 && kind == KIND_TIFF)
            found = ReadTiffG4Strip(name, page, &coded->bytes, &coded->width, &coded->height, &coded->photometric);
    }
    if (!found) {
        *coded = CodedPage();
        return 0;
    }
    coded->kind = wanted;
    return 1;
}

int CodedPageMatches(const CodedPage& coded, const BITMAP* image)
{
    if (coded.kind == CODED_NONE) return 0;
    if (coded.kind == CODED_G4 && (coded.width != image->width || coded.height != image->height)) return 0;
    std::string tiff, held;
    if (coded.kind == CODED_G4 && !FaxFile(coded, 0.0, 0.0, &tiff)) return 0;
    BITMAP decoded;
    ImageFacts ignored;
    HoldReports(&held);
    const uint8_t* jpeg = reinterpret_cast<const uint8_t*>(coded.bytes.data());
    const uint8_t* fax = reinterpret_cast<const uint8_t*>(tiff.data());
    int ok = coded.kind == CODED_JPEG ? LoadJPEGMemory("", "JPEG", jpeg, coded.bytes.size(), &decoded, &ignored)
                                      : LoadTiffMemory("", "TIFF", fax, tiff.size(), 0, &decoded, &ignored);
    HoldReports(nullptr);
    ok = ok && SamePixels(decoded, image);
    BITMAP_Free(&decoded);
    return ok;
}

int WriteCodedPage(const char* name, const CodedPage& coded, const ImageFacts& facts)
{
    std::string out;
    if (coded.kind == CODED_JPEG) {
        out = coded.bytes;
        if (coded.from_pdf) SetJfifDensity(&out, facts);
    } else {
        bool declared = facts.x_dpi > 0.0 && facts.y_dpi > 0.0;
        if (!FaxFile(coded, declared ? facts.x_dpi : kBilevelDefaultDpi, declared ? facts.y_dpi : kBilevelDefaultDpi,
                     &out))
            return 0;
    }
    OutputFile file;
    if (!OpenOutputFile(&file, name)) return 0;
    if (!WriteOutputBytes(&file, out.data(), out.size())) {
        AbortOutputFile(&file);
        return 0;
    }
    return CommitOutputFile(&file);
}
