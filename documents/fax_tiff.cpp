#include "documents/fax_tiff.h"

#include <cmath>
#include <cstring>

namespace {

// Entries of the one directory, in ascending tag order as TIFF asks.
constexpr unsigned kMostEntries = 13;

enum FieldType : uint16_t { kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
    uint16_t tag, type;
    uint32_t value;  // the value itself, or the offset of a rational
};

void Put16(std::string* out, uint16_t v)
{
    out->push_back(char(v & 0xFF));
    out->push_back(char(v >> 8));
}

void Put32(std::string* out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8) out->push_back(char((v >> shift) & 0xFF));
}

// A resolution as a rational in hundredths of a dot per inch: scanners give
// whole or half numbers, which this keeps exactly.
uint32_t Hundredths(double dpi)
{
    double h = std::floor(dpi * 100.0 + 0.5);
    return h < 1.0 ? 1u : h > 4.0e9 ? 4000000000u : uint32_t(h);
}

}  // namespace

int BuildFaxTiff(const FaxLayout& layout, const uint8_t* data, uint64_t size, double x_dpi, double y_dpi,
                 std::string* out)
{
    bool resolution = x_dpi > 0.0 && y_dpi > 0.0;
    unsigned count = 9 + (layout.compression == 3 ? 1 : 0) + (resolution ? 3 : 0);
    uint64_t directory_end = 8 + 2 + uint64_t(count) * 12 + 4;
    uint64_t rationals = directory_end;
    uint64_t strip = rationals + (resolution ? 16 : 0);
    if (size > UINT32_MAX - strip) return 0;
    Entry entries[kMostEntries];
    unsigned n = 0;
    entries[n++] = {256, kLong, layout.width};
    entries[n++] = {257, kLong, layout.height};
    entries[n++] = {258, kShort, 1};
    entries[n++] = {259, kShort, layout.compression};
    entries[n++] = {262, kShort, layout.photometric};
    entries[n++] = {273, kLong, uint32_t(strip)};
    entries[n++] = {277, kShort, 1};
    entries[n++] = {278, kLong, layout.height};
    entries[n++] = {279, kLong, uint32_t(size)};
    if (resolution) {
        entries[n++] = {282, kRational, uint32_t(rationals)};
        entries[n++] = {283, kRational, uint32_t(rationals + 8)};
    }
    if (layout.compression == 3) entries[n++] = {292, kLong, layout.t4_options};
    if (resolution) entries[n++] = {296, kShort, 2};  // inches
    out->clear();
    out->reserve(size_t(strip + size));
    out->append("II*\0", 4);
    Put32(out, 8);
    Put16(out, uint16_t(n));
    for (unsigned i = 0; i < n; i++) {
        Put16(out, entries[i].tag);
        Put16(out, entries[i].type);
        Put32(out, 1);
        if (entries[i].type == kShort) {
            Put16(out, uint16_t(entries[i].value));
            Put16(out, 0);
        } else {
            Put32(out, entries[i].value);
        }
    }
    Put32(out, 0);  // no next directory
    if (resolution) {
        Put32(out, Hundredths(x_dpi));
        Put32(out, 100);
        Put32(out, Hundredths(y_dpi));
        Put32(out, 100);
    }
    out->append(reinterpret_cast<const char*>(data), size_t(size));
    return 1;
}
