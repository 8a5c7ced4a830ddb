#include "tga/tga.h"

#include <cstdint>
#include <cstring>

#include "core/memory_budget.h"
#include "core/support.h"

namespace {

struct TgaHeader {
    uint8_t id_length;
    uint8_t map_type;
    uint8_t image_type;
    uint16_t map_first;
    uint16_t map_length;
    uint8_t map_entry_bits;
    uint16_t width;
    uint16_t height;
    uint8_t depth;
    uint8_t descriptor;
};

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

TgaHeader SplitHeader(const uint8_t* h)
{
    return {h[0], h[1], h[2], Le16(h + 3), Le16(h + 5), h[7], Le16(h + 12), Le16(h + 14), h[16], h[17]};
}

// Checks the header; returns the BITMAP pixel type, or 0 after a message.
unsigned CheckHeader(const TgaHeader& h, const char* name)
{
    if (h.id_length != 0) return ReportError("%s: alpha not supported\n", name), 0;
    if (h.map_first != 0) return ReportError("%s: LookUpTable not supported\n", name), 0;
    if (h.depth != 8 && h.depth != 24) return ReportError("%s: Only 8 & 24 bits images supported\n", name), 0;
    bool has_map = (h.map_type & 1) != 0;
    unsigned type = 0;
    switch (h.image_type & 3) {
    case 0: return ReportError("%s: Unknown format\n", name), 0;
    case 1:
        if (!has_map) return ReportError("%s: Indexed image with no palette\n", name), 0;
        if (h.map_length > 256) return ReportError("%s: Palette with more than 256 colors\n", name), 0;
        if (h.map_entry_bits != 24) return ReportError("%s: Palette not in 24 bits\n", name), 0;
        type = PIXEL_INDEXED;
        break;
    case 2:
        if (has_map) return ReportError("%s: TrueColor image with palette\n", name), 0;
        type = PIXEL_BGR;
        break;
    default:
        if (has_map) return ReportError("%s: Grey image with palette\n", name), 0;
        type = PIXEL_GREY;
        break;
    }
    if ((h.descriptor & 0xC0) != 0) return ReportError("%s: Interlaced images not supported\n", name), 0;
    return type;
}

int ReadPalette(FILE** file, BITMAP* image, unsigned length, const char* name)
{
    // Entries the file does not give stay black rather than undefined.
    std::memset(image->palette, 0, 768);
    uint8_t map[3 * 256];
    if (!ReadBytes(file, map, size_t(length) * 3, name)) {
        ReportError("%s: could not read palette\n", name);
        return 0;
    }
    for (unsigned i = 0; i < length; i++) {
        image->palette[3 * i] = map[3 * i + 2];
        image->palette[3 * i + 1] = map[3 * i + 1];
        image->palette[3 * i + 2] = map[3 * i];
    }
    return 1;
}

// Run-length packets may run on across row ends; each packet is checked
// against the space left before anything is read into the buffer.
int ReadEncodedPixels(FILE** file, uint8_t* pixels, uint64_t total, unsigned bpp, const char* name)
{
    uint64_t position = 0;
    while (position < total) {
        uint8_t header;
        if (!ReadBytes(file, &header, 1, name)) return 0;
        uint64_t count = header < 0x80 ? header + 1u : header - 127u;
        uint64_t bytes = count * bpp;
        if (bytes > total - position) {
            ReportError("%s: malformed file\n", name);
            return 0;
        }
        if (header < 0x80) {
            if (!ReadBytes(file, pixels + position, size_t(bytes), name)) return 0;
        } else {
            uint8_t pixel[3];
            if (!ReadBytes(file, pixel, bpp, name)) return 0;
            for (uint64_t i = 0; i < count; i++) std::memcpy(pixels + position + i * bpp, pixel, bpp);
        }
        position += bytes;
    }
    return 1;
}

void FlipRows(BITMAP* image, unsigned bpp)
{
    size_t row = size_t(image->width) * bpp;
    for (unsigned r = 0; r < image->height / 2u; r++) {
        uint8_t* a = image->pixels + r * row;
        uint8_t* b = image->pixels + (image->height - 1u - r) * row;
        for (size_t i = 0; i < row; i++) {
            uint8_t t = a[i];
            a[i] = b[i];
            b[i] = t;
        }
    }
}

int LoadBody(FILE** file, BITMAP* record, const char* name)
{
    uint8_t raw[18];
    if (!ReadBytes(file, raw, sizeof raw, name)) return 0;
    TgaHeader h = SplitHeader(raw);
    unsigned type = CheckHeader(h, name);
    if (type == 0) return 0;
    if (!CheckImageBudget(h.width, h.height, type, 0)) return 0;
    if (!BITMAP_Create(record, h.width, h.height, type)) return 0;
    if (type == PIXEL_INDEXED && !ReadPalette(file, record, h.map_length, name)) return 0;
    // The kind, not the depth field, decides the bytes a pixel.
    unsigned bpp = type == PIXEL_BGR ? 3 : 1;
    uint64_t total = uint64_t(h.width) * h.height * bpp;
    if (h.image_type & 8) {
        if (!ReadEncodedPixels(file, record->pixels, total, bpp, name)) return 0;
    } else if (!ReadBytes(file, record->pixels, size_t(total), name)) {
        return 0;
    }
    if ((h.descriptor & 0x20) == 0) FlipRows(record, bpp);
    return 1;
}

void PutLe16(uint8_t* p, unsigned v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

}  // namespace

int LoadTGA(const char* name, BITMAP* record)
{
    BITMAP_Init(record, 0, 0, 0);
    FILE* file = OpenFile(name, "rb");
    if (file == nullptr) return 0;
    int ok = LoadBody(&file, record, name);
    if (!ok) BITMAP_Free(record);
    CloseFile(&file);
    return ok;
}

int SaveTGA(const char* name, const BITMAP* image)
{
    if (name == nullptr || name[0] == '\0') {
        ReportError("Error: trying to save image with no name\n");
        return 0;
    }
    if (image->width == 0 || image->height == 0) {
        ReportError("%s: trying to save image with height or width == 0\n", name);
        return 0;
    }
    uint8_t header[18] = {0};
    switch (image->type) {
    case PIXEL_INDEXED:
        if (image->palette == nullptr) {
            ReportError("%s: trying to save image with no palette\n", name);
            return 0;
        }
        header[1] = 1, header[2] = 1, header[7] = 24, header[16] = 8;
        PutLe16(header + 5, 256);
        break;
    case PIXEL_GREY: header[2] = 3, header[16] = 8; break;
    case PIXEL_BGR: header[2] = 2, header[16] = 24; break;
    default:
        ReportError("%s: TGA save mode unsupported\n", name);
        return 0;
    }
    PutLe16(header + 12, image->width);
    PutLe16(header + 14, image->height);
    header[17] = 0x20;
    OutputFile out;
    if (!OpenOutputFile(&out, name)) return 0;
    int ok = WriteBytes(&out.stream, header, sizeof header, name);
    if (ok && image->type == PIXEL_INDEXED) {
        uint8_t map[768];
        for (int i = 0; i < 256; i++) {
            map[3 * i] = image->palette[3 * i + 2];
            map[3 * i + 1] = image->palette[3 * i + 1];
            map[3 * i + 2] = image->palette[3 * i];
        }
        ok = WriteBytes(&out.stream, map, sizeof map, name);
    }
    uint64_t size = BITMAP_ByteSize(image->width, image->height, image->type);
    if (ok) ok = WriteOutputBytes(&out, image->pixels, size_t(size));
    if (!ok) {
        AbortOutputFile(&out);
        return 0;
    }
    return CommitOutputFile(&out);
}
