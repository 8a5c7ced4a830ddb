// The reader's fast path (strips of 8-bit images decoded straight into the
// image, on several threads) against its plain strip-by-strip path: the same
// result, message and bytes for random images, strip layouts and damage.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "tests/support/test_support.h"
#include "tests/tiff/tiff_builder.h"
#include "tiff/tiff.h"

using namespace testing_support;
using namespace tiff_test;

namespace {

// LZW as an encoder that never reuses a string would write it: Clear, one
// literal code per byte at the width the decoder's table growth sets, a
// Clear before the table fills, and End of Information after `stop` bytes.
std::string LzwLiterals(const std::string& data, size_t stop)
{
    std::string out;
    uint32_t bits = 0, held = 0, next = 258;
    bool first = true;
    auto put = [&](uint32_t code) {
        uint32_t width = next >= 2047 ? 12 : next >= 1023 ? 11 : next >= 511 ? 10 : 9;
        bits = (bits << width) | code, held += width;
        for (; held >= 8; held -= 8) out.push_back(char(bits >> (held - 8)));
    };
    put(256);
    for (size_t i = 0; i < stop && i < data.size(); i++) {
        put(uint8_t(data[i]));
        if (!first && ++next == 4093) put(256), next = 258, first = true;
        else first = false;
    }
    put(257);
    if (held > 0) out.push_back(char(bits << (8 - held)));
    return out;
}

// The load's result and, when it succeeded, the pixels.
std::string LoadWith(const std::string& path, bool plain)
{
    setenv("NIVELO_THREADS", plain ? "1" : "3", 1);
    if (plain) setenv("NIVELO_PLAIN", "1", 1);
    BITMAP image;
    std::string loaded = std::to_string(LoadTIFF(path.c_str(), &image));
    if (image.pixels != nullptr) loaded.append(reinterpret_cast<char*>(image.pixels), BITMAP_ByteSize(image.width, image.height, image.type));
    BITMAP_Free(&image);
    unsetenv("NIVELO_THREADS");
    unsetenv("NIVELO_PLAIN");
    return loaded;
}

}  // namespace

TEST(ReaderInPlace, SameResultAsStripByStripOnRandomFiles)
{
    ScratchDir dir;
    Random random(15);
    int decoded = 0;
    for (int round = 0; round < 300; round++) {
        uint32_t photometric = 1 + random.Below(3), samples = photometric == 2 ? 3 : 1;
        uint32_t width = 1 + random.Below(40), height = 1 + random.Below(30);
        uint32_t rows_per_strip = 1 + random.Below(height), compression = random.Below(3) ? 5 : 1;
        bool predictor = random.Below(2) == 0;
        size_t row_size = size_t(width) * samples;
        TiffBuilder b;
        b.Set(256, kShort, {width}).Set(257, kShort, {height}).Set(258, kShort, std::vector<uint32_t>(samples, 8))
            .Set(259, kShort, {compression}).Set(262, kShort, {photometric}).Set(277, kShort, {samples})
            .Set(278, kLong, {rows_per_strip}).Set(317, kShort, {predictor ? 2u : 1u});
        if (photometric == 3) b.Set(320, kShort, std::vector<uint32_t>(768, 0x1234));
        for (uint32_t first = 0; first < height; first += rows_per_strip) {
            size_t bytes = row_size * std::min(rows_per_strip, height - first);
            std::string data;
            for (size_t i = 0; i < bytes; i++) data.push_back(char(random.Below(4) ? random.Below(8) : random.Below(256)));
            // Some LZW strips end early: their last rows must come out zero.
            std::string strip = compression == 1 ? data : LzwLiterals(data, random.Below(6) ? bytes : random.Below(uint32_t(bytes)));
            if (random.Below(12) == 0) strip[random.Below(uint32_t(strip.size()))] ^= char(1 + random.Below(255));
            b.strips.push_back(strip);
        }
        std::string path = dir / "t.tif";
        WriteFileBytes(path, b.Build());
        std::string plain = LoadWith(path, true);
        ASSERT_EQ(LoadWith(path, false), plain) << "round " << round;
        decoded += plain[0] == '1';
    }
    EXPECT_GT(decoded, 150);  // most files decode, some fail: both kinds compared
}
