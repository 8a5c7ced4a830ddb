// JPEG: markers are 0xFF then a code; 0xFF bytes before a code are fill.
// SOI, EOI, RST0-7 and TEM stand alone; every other marker is followed by a
// two-byte big-endian length that counts itself.  The frame header (SOF0 to
// SOF15, less DHT 0xC4, JPG 0xC8 and DAC 0xCC) gives precision, height,
// width and the components.  A height of 0 defers it to a DNL marker after
// the first scan, which a document reader may not follow: refused.
//
// PNG: the signature, then chunks of length (big-endian, at most 2^31 - 1),
// type, data and a CRC-32 over type and data.
#include "documents/page_streams.h"

#include <libdeflate.h>

#include <cstring>

namespace {

constexpr uint32_t kLargestPngLength = 0x7FFFFFFFu;

uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

bool IsFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// A JFIF APP0 segment's density, as it is; `seg` holds the segment after its length.
void ReadJfif(const uint8_t* seg, size_t length, JpegFrame* frame)
{
    if (length < 12 || std::memcmp(seg, "JFIF\0", 5) != 0) return;
    frame->density_unit = seg[7];
    frame->x_density = uint16_t(Be16(seg + 8));
    frame->y_density = uint16_t(Be16(seg + 10));
}

int ReadFrame(const uint8_t* seg, size_t length, uint8_t marker, JpegFrame* frame)
{
    if (length < 6) return 0;
    frame->marker = marker;
    frame->precision = seg[0];
    frame->height = Be16(seg + 1);
    frame->width = Be16(seg + 3);
    frame->components = seg[5];
    if (frame->width == 0 || frame->height == 0 || frame->components == 0 || frame->components > 4) return 0;
    if (length < 6 + 3 * size_t(frame->components)) return 0;
    for (unsigned c = 0; c < frame->components; c++) frame->sampling[c] = seg[6 + 3 * c + 1];
    return 1;
}

}  // namespace

int ScanJpeg(const uint8_t* file, size_t size, JpegFrame* frame)
{
    std::memset(frame, 0, sizeof *frame);
    if (size < 4 || file[0] != 0xFF || file[1] != 0xD8) return 0;
    if (file[size - 2] != 0xFF || file[size - 1] != 0xD9) return 0;  // cut short
    bool have_frame = false;
    size_t at = 2;
    for (;;) {
        if (at >= size || file[at] != 0xFF) return 0;
        while (at < size && file[at] == 0xFF) at++;
        if (at >= size) return 0;
        uint8_t marker = file[at++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xD8 || marker == 0xD9 || marker == 0x00) return 0;
        if (size - at < 2) return 0;
        size_t length = Be16(file + at);
        if (length < 2 || length > size - at) return 0;
        const uint8_t* seg = file + at + 2;
        size_t seg_length = length - 2;
        at += length;
        if (marker == 0xDA) return have_frame ? 1 : 0;
        if (marker == 0xE0) ReadJfif(seg, seg_length, frame);
        if (marker == 0xE1 && frame->exif_size == 0) {
            frame->exif_offset = size_t(seg - file);
            frame->exif_size = seg_length;
        }
        if (marker == 0xEE && seg_length >= 5 && std::memcmp(seg, "Adobe", 5) == 0) frame->adobe = true;
        if (IsFrameMarker(marker)) {
            if (have_frame || !ReadFrame(seg, seg_length, marker, frame)) return 0;
            have_frame = true;
        }
    }
}

int JpegPassable(const JpegFrame& frame)
{
    bool huffman = frame.marker == 0xC0 || frame.marker == 0xC1 || frame.marker == 0xC2;
    bool components = frame.components == 1 || frame.components == 3 || frame.components == 4;
    return huffman && frame.precision == 8 && components;
}

int JpegFitsTiff(const JpegFrame& frame)
{
    if (!JpegPassable(frame) || frame.components == 4) return 0;
    if (frame.components == 1) return 1;
    // Adobe's marker may declare RGB rather than YCbCr.
    if (frame.adobe || frame.sampling[1] != 0x11 || frame.sampling[2] != 0x11) return 0;
    unsigned h = frame.sampling[0] >> 4, v = frame.sampling[0] & 15;
    return (h == 1 || h == 2 || h == 4) && (v == 1 || v == 2 || v == 4) && v <= h;
}

namespace {

bool DepthAllowed(unsigned colour, unsigned depth)
{
    switch (colour) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: case 4: case 6: return depth == 8 || depth == 16;
    default: return false;
    }
}

int ReadHeader(const uint8_t* d, uint32_t length, PngLayout* layout)
{
    if (length != 13) return 0;
    layout->width = Be32(d);
    layout->height = Be32(d + 4);
    layout->bit_depth = d[8];
    layout->colour_type = d[9];
    layout->interlace = d[12];
    if (layout->width == 0 || layout->height == 0 || layout->width > kLargestPngLength ||
        layout->height > kLargestPngLength)
        return 0;
    return DepthAllowed(d[9], d[8]) && d[10] == 0 && d[11] == 0 && d[12] <= 1;
}

}  // namespace

int ScanPng(uint8_t* file, size_t size, PngLayout* layout)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::memset(layout, 0, sizeof *layout);
    if (size < 8 || std::memcmp(file, kSignature, 8) != 0) return 0;
    // First pass: structure, CRCs and facts.  IDAT runs are counted so that
    // the second pass can trust every length it meets.
    size_t at = 8, first_idat = 0;
    bool header = false, ended = false, idat_done = false;
    while (!ended) {
        if (size - at < 12) return 0;
        uint32_t length = Be32(file + at);
        if (length > kLargestPngLength || length > size - at - 12) return 0;
        const uint8_t* type = file + at + 4;
        const uint8_t* data = type + 4;
        // IEND holds nothing to damage, and nivelo's PNG results once carried
        // a wrong CRC on it: those pages are still good.
        bool is_end = std::memcmp(type, "IEND", 4) == 0;
        if (!is_end && libdeflate_crc32(0, type, size_t(length) + 4) != Be32(data + length)) return 0;
        bool is_idat = std::memcmp(type, "IDAT", 4) == 0;
        if (!header && std::memcmp(type, "IHDR", 4) != 0) return 0;
        if (!header) {
            if (!ReadHeader(data, length, layout)) return 0;
            header = true;
        } else if (is_idat) {
            if (idat_done) return 0;  // IDAT chunks must follow one another
            if (first_idat == 0) first_idat = at;
            if (layout->data_size > SIZE_MAX - length) return 0;
            layout->data_size += length;
        } else {
            if (first_idat != 0) idat_done = true;
            ended = is_end;
            if (std::memcmp(type, "tRNS", 4) == 0) layout->transparency = true;
            if (std::memcmp(type, "PLTE", 4) == 0) {
                if (length % 3 != 0 || length == 0 || length > 768 || first_idat != 0) return 0;
                std::memcpy(layout->palette, data, length);
                layout->palette_entries = uint16_t(length / 3);
            }
            if (std::memcmp(type, "pHYs", 4) == 0 && length == 9 && data[8] == 1 && Be32(data) && Be32(data + 4)) {
                layout->x_per_metre = Be32(data);
                layout->y_per_metre = Be32(data + 4);
            }
        }
        at += size_t(length) + 12;
    }
    if (first_idat == 0 || layout->data_size == 0) return 0;
    if (layout->colour_type == 3 && layout->palette_entries == 0) return 0;
    // Second pass: the IDAT data side by side.  Each move goes down, over
    // headers and CRCs already read.
    layout->data_offset = first_idat + 8;
    size_t gathered = 0;
    for (at = first_idat; std::memcmp(file + at + 4, "IDAT", 4) == 0;) {
        uint32_t length = Be32(file + at);
        std::memmove(file + layout->data_offset + gathered, file + at + 8, length);
        gathered += length;
        at += size_t(length) + 12;
    }
    return 1;
}

int PngPassable(const PngLayout& layout)
{
    bool alpha = layout.colour_type == 4 || layout.colour_type == 6 || layout.transparency;
    return layout.interlace == 0 && !alpha;
}
