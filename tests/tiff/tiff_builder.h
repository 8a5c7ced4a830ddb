// Builds little-endian TIFF files byte by byte, for tests that need many
// files of random layouts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tiff_test {

struct Entry {
    uint16_t tag;
    uint16_t type;
    std::vector<uint32_t> values;
};

constexpr uint16_t kShort = 3, kLong = 4;

struct TiffBuilder {
    std::vector<Entry> entries;  // written in this order, then the strip entries
    std::vector<std::string> strips;

    // Replaces the entry of that tag where it stands, or appends it.
    TiffBuilder& Set(uint16_t tag, uint16_t type, std::vector<uint32_t> values)
    {
        for (Entry& e : entries)
            if (e.tag == tag) {
                e = {tag, type, values};
                return *this;
            }
        entries.push_back({tag, type, values});
        return *this;
    }
    TiffBuilder& Remove(uint16_t tag)
    {
        std::erase_if(entries, [tag](const Entry& e) { return e.tag == tag; });
        return *this;
    }

    static void Put(std::string* out, uint32_t v, unsigned bytes)
    {
        for (unsigned i = 0; i < bytes; i++) out->push_back(char((v >> (8 * i)) & 0xFF));
    }

    std::string Build() const
    {
        std::string file("II*\0\0\0\0\0", 8);  // the directory's offset is set below
        std::vector<uint32_t> offsets, counts;
        for (const std::string& s : strips) {
            offsets.push_back(uint32_t(file.size()));
            counts.push_back(uint32_t(s.size()));
            file += s;
        }
        std::vector<Entry> all = entries;
        all.push_back({273, kLong, offsets});
        all.push_back({279, kLong, counts});
        // Values that do not fit in the entry go before the directory.
        std::vector<std::string> fields;
        for (const Entry& e : all) {
            std::string values;
            for (uint32_t v : e.values) Put(&values, v, e.type == kShort ? 2 : 4);
            if (values.size() > 4) {
                if (file.size() % 2) file.push_back('\0');
                std::string offset;
                Put(&offset, uint32_t(file.size()), 4);
                file += values;
                values = offset;
            }
            values.resize(4, '\0');
            fields.push_back(values);
        }
        if (file.size() % 2) file.push_back('\0');
        std::string directory;
        Put(&directory, uint32_t(file.size()), 4);
        file.replace(4, 4, directory);
        Put(&file, uint32_t(all.size()), 2);
        for (size_t i = 0; i < all.size(); i++) {
            Put(&file, all[i].tag, 2);
            Put(&file, all[i].type, 2);
            Put(&file, uint32_t(all[i].values.size()), 4);
            file += fields[i];
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
