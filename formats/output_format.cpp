#include <cstring>
#include <strings.h>

#include "formats/writers.h"

int ParseOutputFormat(const char* text, OutputFormat* format)
{
    struct Name {
        const char* text;
        OutputFormat format;
    };
    static const Name kNames[] = {{"TGA", OUTPUT_TGA},   {"PNG", OUTPUT_PNG},   {"JPEG", OUTPUT_JPEG},
                                  {"JPG", OUTPUT_JPEG},  {"TIFF", OUTPUT_TIFF}, {"TIF", OUTPUT_TIFF}};
    for (const Name& n : kNames)
        if (strcasecmp(text, n.text) == 0) return *format = n.format, 1;
    return 0;
}

const char* OutputExtension(OutputFormat format, int bilevel)
{
    switch (format) {
    case OUTPUT_PNG: return ".png";
    case OUTPUT_JPEG: return ".jpg";
    case OUTPUT_TIFF: return ".tif";
    default: return bilevel ? ".tif" : ".tga";
    }
}

void PackBilevelRow(const uint8_t* grey, uint32_t width, int white_is_one, uint8_t* bits)
{
    uint32_t whole = width / 8;
    unsigned flip = white_is_one ? 0u : 0xFFu;
    for (uint32_t i = 0; i < whole; i++) {
        const uint8_t* g = grey + 8 * i;
        unsigned byte = 0;
        for (int b = 0; b < 8; b++) byte = (byte << 1) | unsigned(g[b] > 127);
        bits[i] = uint8_t(byte ^ flip);
    }
    if (whole * 8 < width) {
        unsigned byte = 0;
        for (uint32_t x = whole * 8; x < width; x++) byte |= unsigned(grey[x] > 127) << (7 - (x & 7));
        // Padding bits stay 0 whatever the polarity.
        unsigned used = 0xFFu << (8 - (width - whole * 8));
        bits[whole] = uint8_t((byte ^ flip) & used);
    }
}

void CopyRowAsRgb(const uint8_t* bgr, uint32_t width, uint8_t* rgb)
{
    for (uint32_t x = 0; x < width; x++) {
        rgb[3 * x] = bgr[3 * x + 2];
        rgb[3 * x + 1] = bgr[3 * x + 1];
        rgb[3 * x + 2] = bgr[3 * x];
    }
}
