#include <cstdio>
#include <cstring>
#include <string>

#include "core/support.h"
#include "formats/formats.h"
#include "formats/messages.h"
#include "formats/readers.h"
#include "tga/tga.h"
#include "tiff/tiff.h"

namespace {

constexpr size_t kHeadBytes = 18;  // a TGA header, the longest signature looked at

bool StartsWith(const uint8_t* head, uint64_t size, const char* text, size_t length)
{
    return size >= length && std::memcmp(head, text, length) == 0;
}

bool NamedTga(const char* name)
{
    size_t length = std::strlen(name);
    if (length < 4) return false;
    const char* e = name + length - 4;
    return e[0] == '.' && (e[1] | 0x20) == 't' && (e[2] | 0x20) == 'g' && (e[3] | 0x20) == 'a';
}

// Page 0 of a TIFF file goes to nivelo's own reader first, for exactly what
// it read before; its silent refusal (or its message about a file it could
// not follow) hands the file to libtiff, whose verdict is the one printed.
int LoadTiffPage(const char* name, uint32_t page, BITMAP* record, ImageFacts* facts)
{
    if (page == 0) {
        std::string held;
        HoldReports(&held);
        int own = LoadTIFF(name, record);
        HoldReports(nullptr);
        if (own == 1) {
            ReadTiffFacts(name, facts);
            return 1;
        }
    }
    return LoadTiffLibrary(name, page, record, facts);
}

// Page n of a file holding one image.
int OnlyPage(const char* name, uint32_t page)
{
    if (page == 0) return 1;
    ReportError("%s : le fichier a 1 page(s), il n'a pas de page %u\n", name, page + 1);
    return 0;
}

}  // namespace

FileKind SniffKind(const uint8_t* head, uint64_t size, const char** other)
{
    *other = nullptr;
    // Classic TIFF and BigTIFF (which only libtiff reads).
    if (StartsWith(head, size, "II*\0", 4) || StartsWith(head, size, "MM\0*", 4) ||
        StartsWith(head, size, "II+\0", 4) || StartsWith(head, size, "MM\0+", 4))
        return KIND_TIFF;
    if (StartsWith(head, size, "\x89PNG\r\n\x1a\n", 8)) return KIND_PNG;
    if (StartsWith(head, size, "\xFF\xD8\xFF", 3)) return KIND_JPEG;
    struct Signature {
        const char* bytes;
        size_t length;
        const char* name;
    };
    static const Signature kOthers[] = {
        {"BM", 2, "BMP"}, {"GIF8", 4, "GIF"},
        {"%PDF", 4, "PDF"},      {"RIFF", 4, "WebP"},     {"\0\0\0\x0cjP  ", 8, "JPEG 2000"},
        {"\xFF\x4F\xFF\x51", 4, "JPEG 2000"}, {"AT&TFORM", 8, "DjVu"},
    };
    for (const Signature& s : kOthers)
        if (StartsWith(head, size, s.bytes, s.length)) return *other = s.name, KIND_OTHER;
    // PNM: "P1" to "P7" then a blank.
    if (size >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '7' &&
        (head[2] == ' ' || head[2] == '\n' || head[2] == '\r' || head[2] == '\t'))
        return *other = "PNM", KIND_OTHER;
    return KIND_NONE;
}

int PlausibleTgaHeader(const uint8_t* head, uint64_t size)
{
    if (size < kHeadBytes) return 0;
    unsigned map_type = head[1], image_type = head[2], depth = head[16];
    bool type_known = image_type == 1 || image_type == 2 || image_type == 3 || image_type == 9 ||
                      image_type == 10 || image_type == 11;
    bool depth_known = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return map_type <= 1 && type_known && depth_known;
}

int LoadPage(const char* name, uint32_t page, BITMAP* record, ImageFacts* facts)
{
    BITMAP_Init(record, 0, 0, 0);
    ClearImageFacts(facts);
    uint8_t head[kHeadBytes];
    size_t got = 0;
    if (!ReadFileHead(name, head, sizeof head, &got)) return 0;
    const char* other = nullptr;
    switch (SniffKind(head, got, &other)) {
    case KIND_TIFF: return LoadTiffPage(name, page, record, facts);
    case KIND_PNG: return OnlyPage(name, page) && LoadPNG(name, record, facts);
    case KIND_JPEG: return OnlyPage(name, page) && LoadJPEG(name, record, facts);
    case KIND_OTHER: return RefuseNotAnImage(name, other);
    case KIND_NONE: break;
    }
    // TGA has no signature: its name or a header that could be its own.
    if (!NamedTga(name) && !PlausibleTgaHeader(head, got)) return RefuseNotAnImage(name, nullptr);
    return OnlyPage(name, page) && LoadTGA(name, record) == 1;
}
