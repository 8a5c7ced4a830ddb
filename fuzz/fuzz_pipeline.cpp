// The whole of nivelo, run through RunNivelo as the executable runs it, on a
// page and a configuration taken from the input: byte 0 the flags (1 /f, 2 /b,
// 4 /d; bits 4-5 the image name as typed), bytes 1-2 the /d mask (low byte
// first), byte 3 the two output directories (three bits each, from a fixed
// list), then the configuration text up to the first zero byte, and after it
// the image file (TGA).  The target's own directory lines follow the input's,
// so that every file nivelo writes stays in one scratch directory.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/command_line.h"
#include "batch/params.h"
#include "batch/pipeline.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr unsigned kLongestSide = 160;  // larger pages test the machine's speed, not nivelo
// Pixel visits the blur may make (window clipped to the page): a few
// milliseconds.  Small pages keep any radius, so that huge values reach the
// stage's own guards.
constexpr uint64_t kBlurVisits = 1u << 22;

uint64_t BlurVisits(unsigned width, unsigned height, int64_t radius)
{
    uint64_t side = uint64_t(2 * radius + 1);
    return uint64_t(width) * height * std::min<uint64_t>(side, width) * std::min<uint64_t>(side, height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t* end = data + size;
    const uint8_t* text_end = std::find(data + std::min<size_t>(size, 4), end, 0);
    const uint8_t* tga = text_end + (text_end < end);
    if (end - tga < 18) return 0;  // no page: the TGA reader's own target covers that
    unsigned width = tga[12] | tga[13] << 8, height = tga[14] | tga[15] << 8;
    if (width > kLongestSide || height > kLongestSide) return 0;
    fuzz::CapMemory();
    // The folders the directory values name ("missing/" is left out), in the
    // scratch directory made the current one.
    for (const char* sub : {"a", "b", "in.d"}) std::filesystem::create_directories(fuzz::ScratchDirectory() / sub);
    if (chdir(fuzz::ScratchDirectory().c_str()) != 0) std::abort();

    // The scratch directory itself (""), a name too long for 255 characters
    // (its line refused: the start value stays), a prefix that is no
    // directory, quotes and blanks, a doubled slash.  The start values come
    // first, so that a refused line cannot leave the input's own directory.
    static const std::string kDirectories[] = {"a/", "b/", "missing/", "", "a/" + std::string(252, 'x') + "/",
                                               "a", "\"b/\"  ", "a//"};
    std::string config(data + 4, text_end);
    config += "\nREPERTOIRE1=c:/t/\nREPERTOIRE2=c:/trot/\nREPERTOIRE1=" + kDirectories[data[3] & 7] +
              "\nREPERTOIRE2=" + kDirectories[data[3] >> 3 & 7] + "\n";
    fuzz::WriteBytes("conf.txt", config.data(), config.size());
    SetDefaultParameters();
    ReadParameterFile("conf.txt");
    // A radius whose window would take too long becomes the largest that fits.
    int64_t radius = g_params.BLUR_RADIUS;
    if (radius >= 1 && BlurVisits(width, height, radius) > kBlurVisits) {
        for (radius = std::min<int64_t>(radius, width + height); BlurVisits(width, height, radius) > kBlurVisits;) radius--;
        config += "BLUR_RADIUS=" + std::to_string(radius) + "\n";
        fuzz::WriteBytes("conf.txt", config.data(), config.size());
    }

    std::string image = (const char*[]){"page.tga", "page", "in.d/page", "./page.tga"}[(data[0] >> 4) & 3];
    fuzz::WriteBytes(image, tga, size_t(end - tga));
    std::vector<std::string> args = {"nivelo", "/cconf.txt"};
    if (data[0] & 1) args.push_back("/f");
    if (data[0] & 2) args.push_back("/b");
    if (data[0] & 4) args.push_back("/d" + std::to_string(data[1] | (data[2] & 0x0F) << 8));
    args.push_back(image);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    RunNivelo(int(args.size()), argv.data());
    return 0;
}
