// The PNG results: the same bytes for any number of threads, and the page
// back from them.  Then the direct PNG reader against libpng, byte for byte, on files made by
// ImageMagick and PIL: every filter, zlib level and strategy, grey and
// colour, sizes that leave a group of rows short or a pixel alone, with
// the four-row kernel and without.  Damaged files must be declined in
// silence and refused by libpng, with nothing left in the record.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/environment.h"
#include "formats/png_direct.h"
#include "formats/png_paeth.h"
#include "formats/writers.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// A noisy page with flat runs, so that every filter wins somewhere.
std::string Pnm(unsigned width, unsigned height, bool colour, uint64_t seed)
{
    Random random(seed);
    std::string bytes = (colour ? "P6\n" : "P5\n") + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (unsigned i = 0; i < width * height * (colour ? 3 : 1); i++)
        bytes += char(i % 7 < 3 ? 200 + i % 5 : random.Below(256));
    return bytes;
}

// Both readers on one file.  Returns what the direct reader said.
PngDirectResult Compare(const std::string& path)
{
    BITMAP direct, library;
    ImageFacts direct_facts, library_facts;
    PngDirectResult said = LoadPngDirect(path.c_str(), &direct, &direct_facts);
    if (said != PNG_DIRECT_READ) {
        EXPECT_EQ(direct.pixels, nullptr) << path;
        return said;
    }
    EXPECT_EQ(LoadPngLibrary(path.c_str(), &library, &library_facts), 1) << path;
    uint64_t size = BITMAP_ByteSize(direct.width, direct.height, direct.type);
    EXPECT_TRUE(direct.width == library.width && direct.height == library.height && direct.type == library.type &&
                library.pixels != nullptr && std::memcmp(direct.pixels, library.pixels, size) == 0)
        << path;
    EXPECT_EQ(direct_facts.x_dpi, library_facts.x_dpi) << path;
    BITMAP_Free(&direct);
    BITMAP_Free(&library);
    return said;
}

TEST(PngTwins, SameBytesAsLibpng)
{
    ScratchDir dir;
    struct Size { unsigned width, height; } sizes[] = {{1, 1}, {2, 5}, {7, 3}, {97, 13}, {333, 9}};
    // ImageMagick's zlib settings: filter (5: chosen row by row), level, strategy.
    const char* settings[][3] = {{"0", "6", "0"}, {"1", "6", "0"}, {"2", "6", "0"}, {"3", "6", "0"},
                                 {"4", "9", "1"}, {"5", "0", "0"}, {"5", "1", "2"}, {"5", "7", "3"}, {"5", "6", "4"}};
    int files = 0;
    for (const Size& s : sizes)
        for (bool colour : {false, true}) {
            std::string pnm = dir / "page.pnm", png = dir / "page.png";
            WriteFileBytes(pnm, Pnm(s.width, s.height, colour, s.width * 31 + colour));
            for (auto& z : settings) {
                std::vector<std::string> args = {pnm, "-define", std::string("png:compression-filter=") + z[0],
                                                 "-define", std::string("png:compression-level=") + z[1],
                                                 "-define", std::string("png:compression-strategy=") + z[2],
                                                 "-density", "200", "-units", "PixelsPerInch",
                                                 (colour ? "PNG24:" : "PNG:") + png};
                if (!colour) args.insert(args.end() - 1, {"-define", "png:color-type=0", "-define", "png:bit-depth=8"});
                ASSERT_EQ(RunProgram("/usr/bin/convert", args, dir.path).status, 0);
                for (const char* novector : {"0", "1"}) {
                    setenv("NIVELO_NOVECTOR", novector, 1);
                    EXPECT_EQ(Compare(png), PNG_DIRECT_READ) << s.width << "x" << s.height << " filter " << z[0];
                }
                unsetenv("NIVELO_NOVECTOR");
                files++;
            }
            std::string script = "from PIL import Image; Image.open('" + pnm + "').save('" + png + "', compress_level=9)";
            ASSERT_EQ(RunProgram("/usr/bin/python3", {"-c", script}, dir.path).status, 0);
            EXPECT_EQ(Compare(png), PNG_DIRECT_READ) << "PIL " << s.width << "x" << s.height;
        }
    EXPECT_EQ(files, 90);
}

void Put32(std::string* png, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; i++) (*png)[at + i] = char(value >> (24 - 8 * i));
}

// One byte changed at a place; then, as asked, the Adler-32 of a stream
// that is one stored block made right again, and the chunk's CRC.
std::string Damaged(std::string png, size_t at, uint8_t value, size_t chunk, int mend)
{
    png[at] = char(value);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(png.data());
    uint32_t length = uint32_t(bytes[chunk]) << 24 | bytes[chunk + 1] << 16 | bytes[chunk + 2] << 8 | bytes[chunk + 3];
    if (mend >= 2) Put32(&png, chunk + 8 + length - 4, uint32_t(adler32(1, bytes + chunk + 8 + 7, length - 11)));
    if (mend >= 1) Put32(&png, chunk + 8 + length, uint32_t(crc32(0, bytes + chunk + 4, length + 4)));
    return png;
}

TEST(PngTwins, DamagedFilesAreLeftToLibpngWhichRefusesThem)
{
    ScratchDir dir;
    std::string pnm = dir / "page.pnm", good = dir / "good.png", bad = dir / "bad.png";
    WriteFileBytes(pnm, Pnm(97, 13, true, 5));
    ASSERT_EQ(RunProgram("/usr/bin/convert", {pnm, "-define", "png:compression-level=0", "PNG24:" + good}, dir.path).status, 0);
    std::string png = ReadFileBytes(good);
    size_t idat = png.find("IDAT") - 4, data = idat + 8 + 2;  // past the zlib header
    const size_t row = 97 * 3 + 1, stored = 5;                 // a stored block's header
    struct Case { const char* what; std::string bytes; } cases[] = {
        {"cut in the data", png.substr(0, png.size() / 2)},
        {"cut before IEND", png.substr(0, png.size() - 6)},
        {"IDAT's CRC wrong", Damaged(png, data + 100, 0x55, idat, 0)},
        {"Adler-32 wrong", Damaged(png, data + stored + 100, 0x55, idat, 1)},
        {"taller than its data", Damaged(png, 16 + 7, 14, 8, 1)},
        {"filter code 5", Damaged(png, data + stored + 4 * row, 5, idat, 2)},
        {"IHDR's length", Damaged(png, 11, 14, 8, 0)},
    };
    for (const Case& c : cases) {
        WriteFileBytes(bad, c.bytes);
        EXPECT_EQ(Compare(bad), PNG_DIRECT_DECLINED) << c.what;
        BITMAP image;
        ImageFacts facts;
        testing::internal::CaptureStdout();
        EXPECT_EQ(LoadPngLibrary(bad.c_str(), &image, &facts), 0) << c.what;
        EXPECT_NE(testing::internal::GetCapturedStdout(), "") << c.what;
        EXPECT_EQ(image.pixels, nullptr) << c.what;
    }
}

// A PNG made here from rows already filtered (filter code first), so that
// a code, the stream's end or its Adler-32 can be made wrong with the rest
// right.
std::string MakePng(uint32_t width, uint32_t height, bool colour, const std::string& rows, int level,
                    bool bad_adler = false)
{
    std::string png("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&](const char* type, const std::string& body) {
        std::string c(4, '\0');
        Put32(&c, 0, uint32_t(body.size()));
        c += std::string(type, 4) + body + std::string(4, '\0');
        Put32(&c, c.size() - 4, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(c.data() + 4), uInt(body.size() + 4))));
        png += c;
    };
    std::string ihdr(13, '\0');
    Put32(&ihdr, 0, width);
    Put32(&ihdr, 4, height);
    ihdr[8] = 8;
    ihdr[9] = colour ? 2 : 0;
    chunk("IHDR", ihdr);
    uLongf size = compressBound(uLong(rows.size()));
    std::string z(size, '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(rows.data()), uLong(rows.size()), level);
    z.resize(size);
    if (bad_adler) z.back() = char(z.back() ^ 1);
    for (size_t at = 0; at < z.size(); at += 1 << 20) chunk("IDAT", z.substr(at, 1 << 20));
    chunk("IEND", "");
    return png;
}

// Pages large enough for the inflater's own thread, read with one thread
// and with two: the same bytes as libpng.  A filter code PNG does not define
// in the last rows, or a stream a byte short of the page, is declined both
// ways (the rows above already finished when it is found), and so is a
// stream a byte longer than the page or with a wrong Adler-32: with two
// threads every row may be finished before the inflater reads that far.
TEST(PngTwins, InflatingBesideUnfilteringGivesLibpngsBytes)
{
    ScratchDir dir;
    struct Page { uint32_t width, height; bool colour; int level; } pages[] = {
        {1501, 1003, true, 1}, {2203, 2111, false, 6}, {1200, 1200, true, 0}};
    for (const Page& g : pages) {
        uint64_t row = uint64_t(g.width) * (g.colour ? 3 : 1);
        // Noise, each row's bytes four times over, so that the stream's
        // matches reach back into the rows above, which the unfiltering
        // rewrites.
        Random random(g.width);
        std::string rows, noise;
        for (uint32_t y = 0; y < g.height; y++) {
            if (y % 4 == 0) {
                noise.clear();
                for (uint64_t i = 0; i < row; i++) noise += char(i % 11 < 6 ? 3 : random.Below(256));
            }
            rows += char(y % 5) + noise;  // every filter, in turn
        }
        std::string bad_code = rows, short_stream = rows.substr(0, rows.size() - 1);
        bad_code[(g.height - 3) * (row + 1)] = 5;
        struct Case { const char* what; std::string png; PngDirectResult want; } cases[] = {
            {"good", MakePng(g.width, g.height, g.colour, rows, g.level), PNG_DIRECT_READ},
            {"filter code 5", MakePng(g.width, g.height, g.colour, bad_code, g.level), PNG_DIRECT_DECLINED},
            {"a byte short", MakePng(g.width, g.height, g.colour, short_stream, g.level), PNG_DIRECT_DECLINED},
            {"a byte long", MakePng(g.width, g.height, g.colour, rows + '\0', g.level), PNG_DIRECT_DECLINED},
            {"Adler-32 wrong", MakePng(g.width, g.height, g.colour, rows, g.level, true), PNG_DIRECT_DECLINED}};
        for (const Case& c : cases) {
            std::string path = dir / "big.png";
            WriteFileBytes(path, c.png);
            for (const char* threads : {"1", "2"}) {
                setenv("NIVELO_THREADS", threads, 1);
                EXPECT_EQ(Compare(path), c.want) << c.what << ", " << g.width << " wide, " << threads << " threads";
            }
            unsetenv("NIVELO_THREADS");
        }
    }
}

// Every Paeth kernel the processor can run against the reference: rows of
// every length about the vectors' widths, one and three bytes a pixel, and
// bytes drawn from the extremes, where a + b - 2c is furthest from zero.
TEST(PngWriter, PaethKernelsGiveTheReferenceBytes)
{
    struct Kernel { const char* name; PaethFilter filter; VectorKernels needs; } kernels[] = {
        {"portable", PaethRowPortable, kPortableKernels}, {"AVX2", PaethRowAvx2, kAvx2Kernels},
        {"AVX-512", PaethRowAvx512, kAvx512Kernels}};
    Random random(11);
    const uint8_t extremes[] = {0, 1, 127, 128, 254, 255};
    for (uint64_t size = 0; size < 300; size += size < 140 ? 1 : 37)
        for (unsigned step : {1u, 3u})
            for (int trial = 0; trial < 3; trial++) {
                std::vector<uint8_t> row(size), above(size), want(size), got(size);
                for (uint64_t i = 0; i < size; i++) {
                    row[i] = trial == 0 ? extremes[random.Below(6)] : uint8_t(random.Below(256));
                    above[i] = trial == 0 ? extremes[random.Below(6)] : uint8_t(random.Below(256));
                }
                PaethRow(row.data(), above.data(), size, step, want.data());
                for (const Kernel& k : kernels) {
                    if (ChooseVectorKernels() < k.needs) continue;
                    std::fill(got.begin(), got.end(), uint8_t(0x5A));
                    k.filter(row.data(), above.data(), size, step, got.data());
                    EXPECT_TRUE(got == want) << k.name << ", " << size << " bytes, step " << step;
                }
            }
}

TEST(PngWriter, SameFileForAnyThreadCountAndThePageBack)
{
    ScratchDir dir;
    for (unsigned type : {PIXEL_GREY, PIXEL_BGR}) {
        TestImage page(601, 2000, type);  // several strips, the last one short
        Random random(type);
        for (size_t i = 0; i < page.Size(); i++) page.bitmap.pixels[i] = uint8_t(i % 9 < 4 ? 255 : random.Below(256));
        ImageFacts facts = {150.0, 150.0, 1};
        std::string first;
        for (const char* threads : {"1", "2", "3"}) {
            setenv("NIVELO_THREADS", threads, 1);
            std::string path = dir / (std::string("t") + threads + ".png");
            ASSERT_EQ(SavePNG(path.c_str(), &page.bitmap, facts, 0), 1);
            std::string bytes = ReadFileBytes(path);
            if (first.empty()) first = bytes;
            EXPECT_TRUE(bytes == first) << threads << " threads, type " << type;
        }
        unsetenv("NIVELO_THREADS");
        BITMAP back;
        ImageFacts back_facts;
        ASSERT_EQ(LoadPngLibrary((dir / "t1.png").c_str(), &back, &back_facts), 1);
        EXPECT_TRUE(back.type == type && std::memcmp(back.pixels, page.bitmap.pixels, page.Size()) == 0) << type;
        BITMAP_Free(&back);
    }
}

}  // namespace
