// A JPEG page decoded in two halves on two threads against the same page
// decoded whole by one reader (NIVELO_PLAIN=1), byte for byte: every chroma
// sampling, grey, restart markers, and heights about the split's threshold
// and block rows; and a file cut short in its lower half, refused alike.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/formats.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

std::string NoisyPnm(unsigned width, unsigned height, uint64_t seed)
{
    Random random(seed);
    std::string bytes = "P6\n";
    bytes += std::to_string(width);
    bytes += ' ';
    bytes += std::to_string(height);
    bytes += "\n255\n";
    for (unsigned i = 0; i < width * height * 3; i++) bytes += char(i % 11 < 6 ? 90 + i / 3 % 97 : random.Below(256));
    return bytes;
}

// The page's bytes read one way, or empty when it was refused.
std::vector<uint8_t> Decoded(const std::string& path, bool whole)
{
    if (whole)
        setenv("NIVELO_PLAIN", "1", 1);
    else
        unsetenv("NIVELO_PLAIN");
    BITMAP page;
    ImageFacts facts;
    std::vector<uint8_t> bytes;
    if (LoadPage(path.c_str(), 0, &page, &facts) == 1) {
        bytes.assign(page.pixels, page.pixels + BITMAP_ByteSize(page.width, page.height, page.type));
        BITMAP_Free(&page);
    } else {
        EXPECT_EQ(page.pixels, nullptr) << path;
    }
    unsetenv("NIVELO_PLAIN");
    return bytes;
}

TEST(JpegHalves, SameBytesAsOneReader)
{
    ScratchDir dir;
    setenv("NIVELO_THREADS", "2", 1);
    struct Case {
        unsigned width, height;
        std::vector<std::string> options;
    } cases[] = {
        {301, 1030, {"-sampling-factor", "2x2"}},
        {300, 1031, {"-sampling-factor", "2x1"}},
        {257, 513, {"-sampling-factor", "1x2"}},
        {257, 512, {"-sampling-factor", "1x1"}},
        {129, 777, {"-sampling-factor", "4x1"}},
        {255, 600, {"-colorspace", "gray"}},
        {300, 700, {"-sampling-factor", "2x2", "-define", "jpeg:restart-interval=2"}},
        {300, 511, {"-sampling-factor", "2x2"}},  // under the threshold: decoded whole
    };
    int seed = 1;
    for (const Case& c : cases) {
        std::string stem = dir / "p";
        stem += std::to_string(seed);
        std::string pnm = stem + ".ppm", jpeg = stem + ".jpg";
        WriteFileBytes(pnm, NoisyPnm(c.width, c.height, uint64_t(seed++)));
        std::vector<std::string> args = {pnm};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {"-quality", "80", jpeg});
        ASSERT_EQ(RunProgram("/usr/bin/convert", args, dir.path).status, 0);
        std::vector<uint8_t> halves = Decoded(jpeg, false);
        ASSERT_FALSE(halves.empty()) << jpeg;
        EXPECT_TRUE(halves == Decoded(jpeg, true)) << c.width << " x " << c.height << " " << c.options[1];
    }
    // Cut in its lower half: the lower reader fails, the page is read again
    // whole and refused, as one reader refuses it.
    std::string jpeg = dir / "p1.jpg", cut = dir / "cut.jpg";
    std::string bytes = ReadFileBytes(jpeg);
    WriteFileBytes(cut, bytes.substr(0, bytes.size() * 3 / 4));
    EXPECT_TRUE(Decoded(cut, false).empty());
    EXPECT_TRUE(Decoded(cut, true).empty());
    unsetenv("NIVELO_THREADS");
}

}  // namespace
