// Builds small TIFF files byte by byte for the reader's refusal and
// edge-case tests, where no tool would write such a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tiff_test {

struct Entry {
    uint16_t tag;
    uint16_t type;
    std::vector<uint32_t> values;
    int64_t count = -1;  // -1: the number of values
};

constexpr uint16_t kByte = 1, kShort = 3, kLong = 4;

struct TiffBuilder {
    bool big_endian = false;
    std::vector<Entry> entries;  // written in this order
    std::vector<std::string> strips;
    bool add_strip_offsets = true;
    bool add_strip_byte_counts = true;

    // Replaces the entry of that tag where it stands, or appends it.
    TiffBuilder& Set(uint16_t tag, uint16_t type, std::vector<uint32_t> values, int64_t count = -1)
    {
        for (Entry& e : entries)
            if (e.tag == tag) {
                e = {tag, type, values, count};
                return *this;
            }
        entries.push_back({tag, type, values, count});
        return *this;
    }
    TiffBuilder& Remove(uint16_t tag)
    {
        std::erase_if(entries, [tag](const Entry& e) { return e.tag == tag; });
        return *this;
    }

    void Put(std::string* out, uint32_t v, unsigned bytes) const
    {
        for (unsigned i = 0; i < bytes; i++) {
            unsigned shift = big_endian ? 8 * (bytes - 1 - i) : 8 * i;
            out->push_back(char((v >> shift) & 0xFF));
        }
    }

    static unsigned TypeSize(uint16_t type) { return type == kByte ? 1 : type == kShort ? 2 : 4; }

    std::string Build() const
    {
        std::string file = big_endian ? "MM" : "II";
        Put(&file, 42, 2);
        Put(&file, 0, 4);  // IFD offset, set below
        std::vector<uint32_t> offsets, counts;
        for (const std::string& s : strips) {
            offsets.push_back(uint32_t(file.size()));
            counts.push_back(uint32_t(s.size()));
            file += s;
        }
        std::vector<Entry> all = entries;
        if (add_strip_offsets) all.push_back({273, kLong, offsets});
        if (add_strip_byte_counts) all.push_back({279, kLong, counts});
        // Values that do not fit in place go before the IFD.
        std::vector<uint32_t> value_fields;
        for (const Entry& e : all) {
            unsigned size = TypeSize(e.type);
            if (size * e.values.size() <= 4) {
                std::string field;
                for (uint32_t v : e.values) Put(&field, v, size);
                field.resize(4, '\0');
                uint32_t packed = 0;
                for (int i = 0; i < 4; i++) packed |= uint32_t(uint8_t(field[i])) << (8 * i);
                value_fields.push_back(packed);  // raw bytes, little-endian packed
            } else {
                if (file.size() % 2) file.push_back('\0');
                value_fields.push_back(uint32_t(file.size()) | 0x80000000u);
                for (uint32_t v : e.values) Put(&file, v, size);
            }
        }
        if (file.size() % 2) file.push_back('\0');
        uint32_t ifd = uint32_t(file.size());
        std::string head;
        Put(&head, ifd, 4);
        file.replace(4, 4, head);
        Put(&file, uint32_t(all.size()), 2);
        for (size_t i = 0; i < all.size(); i++) {
            const Entry& e = all[i];
            Put(&file, e.tag, 2);
            Put(&file, e.type, 2);
            Put(&file, e.count >= 0 ? uint32_t(e.count) : uint32_t(e.values.size()), 4);
            if (value_fields[i] & 0x80000000u) {
                Put(&file, value_fields[i] & 0x7FFFFFFFu, 4);
            } else {
                for (int b = 0; b < 4; b++) file.push_back(char((value_fields[i] >> (8 * b)) & 0xFF));
            }
        }
        Put(&file, 0, 4);
        return file;
    }
};

// A grey 8-bit BlackIsZero image of width x height in one uncompressed strip.
inline TiffBuilder GreyImage(uint32_t width, uint32_t height, const std::string& pixels)
{
    TiffBuilder b;
    b.entries = {{256, kShort, {width}},   {257, kShort, {height}}, {258, kShort, {8}},
                 {259, kShort, {1}},       {262, kShort, {1}},      {277, kShort, {1}},
                 {278, kShort, {height}}};
    b.strips = {pixels};
    return b;
}

}  // namespace tiff_test
