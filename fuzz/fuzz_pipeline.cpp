// The whole of nivelo on a small drawn page with fuzzed parameters: the bytes
// choose the image (kind, size, strokes, raw pixels), every configuration
// value (zero, negative, extreme and unreadable ones included), the flags
// /f, /b and /d with its mask, and the directories, which all lie in one
// scratch directory.  The run goes through RunNivelo, as the executable does.
// The order in which bytes are taken is that of the committed inputs.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/pipeline.h"
#include "fuzz/fuzz_support.h"

namespace {

// Reads the fuzz input front to back; zeros once it is used up.
struct ByteSource {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    uint32_t U32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) v = v << 8 | Byte();
        return v;
    }
};

constexpr unsigned kLongestSide = 160;
// Pixel visits the blur may make (window clipped to the image): a few
// milliseconds.  Pages small enough keep any radius, so that huge values
// reach the stage's own guards.
constexpr uint64_t kBlurVisits = 1u << 22;

// Configuration texts of a value; "" leaves the key out.
std::string IntegerValue(ByteSource* in)
{
    static const int64_t kExtremes[] = {INT32_MAX, INT32_MIN, 65535, 65536, -65536, 1 << 20, -1, 255};
    switch (in->Byte() % 8) {
    case 0: return "";
    case 1: return "0";
    case 2: return std::to_string(in->Byte() % 64);
    case 3: return std::to_string(-int(in->Byte() % 64));
    case 4: return std::to_string(kExtremes[in->Byte() % 8]);
    case 5: return std::to_string(int32_t(in->U32()));
    case 6: return std::to_string(in->Byte());
    default: return "abc";
    }
}

std::string RealValue(ByteSource* in)
{
    static const char* kSpecial[] = {"1e30", "-1e30", "nan", "inf", "-inf", "1e-30", "360", "x"};
    switch (in->Byte() % 4) {
    case 0: return "";
    case 1: return "0";
    case 2: return std::to_string((int(in->Byte()) - 128) / 8.0);
    default: return kSpecial[in->Byte() % 8];
    }
}

std::string SidesValue(ByteSource* in)
{
    uint8_t s = in->Byte();
    std::string sides;
    for (int bit = 0; bit < 5; bit++)
        if (s & (1 << bit)) sides += (const char*[]){"H", "b", "G", "d", "x?"}[bit];
    return sides;
}

std::string DirectoryValue(ByteSource* in)
{
    // The scratch directory itself (""), a name too long for 255 characters,
    // a prefix that is no directory, quotes and blanks, a doubled slash.
    static const std::string kValues[] = {"a/", "b/", "missing/", "", "a/" + std::string(252, 'x') + "/",
                                          "a", "\"b/\"  ", "a//"};
    return kValues[in->Byte() % 8];
}

std::string ColourValue(ByteSource* in)
{
    switch (in->Byte() % 4) {
    case 0: return "";
    case 1: {
        std::string red = std::to_string(int32_t(in->U32()));
        std::string green = std::to_string(in->Byte());
        return red + "," + green + "," + std::to_string(in->Byte());
    }
    case 2: return std::to_string(in->Byte());
    default: return ",,";
    }
}

void AddKey(std::string* config, const char* key, const std::string& value)
{
    if (!value.empty()) *config += std::string(key) + "=" + value + "\n";
}

// Light page, dark strokes at small slopes (something for the skew filters
// to find), then raw bytes from the input laid over the first pixels.
std::vector<uint8_t> DrawPage(ByteSource* in, unsigned width, unsigned height)
{
    uint8_t paper[3] = {in->Byte(), in->Byte(), in->Byte()};
    std::vector<uint8_t> bgr(size_t(width) * height * 3);
    for (size_t i = 0; i < bgr.size(); i++) bgr[i] = paper[i % 3];
    for (unsigned k = 0, strokes = in->Byte() % 16; k < strokes; k++) {
        int x = in->Byte() % width, y = in->Byte() % height;
        int length = in->Byte(), slope = int8_t(in->Byte()), thickness = 1 + in->Byte() % 4;
        uint8_t ink = in->Byte();
        for (int i = 0; i < length && x + i < int(width); i++)
            for (int row = y + i * slope / 256, t = 0; t < thickness; t++)
                if (row + t >= 0 && row + t < int(height))
                    std::fill_n(&bgr[(size_t(row + t) * width + size_t(x + i)) * 3], 3, ink);
    }
    for (size_t i = 0; in->pos < in->size && i < bgr.size(); i++) bgr[i] ^= in->Byte();
    return bgr;
}

// The page as a TGA file: kind 0 colour, 1 grey, 2 indexed; raw or
// run-length encoded (runs of equal pixels, every other pixel a one-pixel
// raw packet, crossing row ends as files may); rows top down or bottom up.
std::vector<uint8_t> EncodeTga(const std::vector<uint8_t>& bgr, unsigned width, unsigned height, unsigned kind,
                               bool rle, bool bottom_up, uint8_t palette_seed)
{
    unsigned bpp = kind == 0 ? 3 : 1;
    std::vector<uint8_t> f = {0, uint8_t(kind == 2), uint8_t((kind == 0 ? 2 : kind == 1 ? 3 : 1) | (rle ? 8 : 0)),
                              0, 0, 0, uint8_t(kind == 2), uint8_t(kind == 2 ? 24 : 0), 0, 0, 0, 0,
                              uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8),
                              uint8_t(bpp * 8), uint8_t(bottom_up ? 0 : 0x20)};
    for (unsigned i = 0; kind == 2 && i < 256; i++)
        for (unsigned b = 0; b < 3; b++) f.push_back(uint8_t(i * (palette_seed + 2 * b + 1)));
    std::vector<uint8_t> pixels;
    for (unsigned r = 0; r < height; r++)
        for (unsigned x = 0, y = bottom_up ? height - 1 - r : r; x < width; x++) {
            const uint8_t* p = &bgr[(size_t(y) * width + x) * 3];
            if (bpp == 3)
                pixels.insert(pixels.end(), p, p + 3);
            else
                pixels.push_back(uint8_t((p[0] + p[1] + p[2]) / 3));
        }
    if (!rle) {
        f.insert(f.end(), pixels.begin(), pixels.end());
        return f;
    }
    for (size_t i = 0, n = pixels.size() / bpp, run = 1; i < n; i += run, run = 1) {
        while (i + run < n && run < 128 && std::equal(&pixels[i * bpp], &pixels[i * bpp] + bpp, &pixels[(i + run) * bpp]))
            run++;
        f.push_back(uint8_t(run > 1 ? 0x80 + run - 1 : 0));
        f.insert(f.end(), &pixels[i * bpp], &pixels[i * bpp] + bpp);
    }
    return f;
}

// Largest radius whose clipped window keeps the blur within kBlurVisits.
int64_t AllowedBlurRadius(unsigned width, unsigned height, int64_t radius)
{
    auto visits = [&](int64_t r) {
        uint64_t side = uint64_t(2 * r + 1);
        return uint64_t(width) * height * std::min<uint64_t>(side, width) * std::min<uint64_t>(side, height);
    };
    if (radius < 1 || visits(radius) <= kBlurVisits) return radius;
    int64_t r = 0;
    while (visits(r + 1) <= kBlurVisits) r++;
    return r;
}

void WriteFile(const std::string& name, const void* data, size_t size)
{
    FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size)) std::abort();
    std::fclose(f);
}

// A scratch directory of this process with the folders the directory values
// name ("missing/" is left out), made the current directory.
void EnterScratchDirectory()
{
    static std::filesystem::path dir;
    if (!dir.empty()) return;
    const char* base = std::getenv("TMPDIR");
    if (base == nullptr) base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    dir = std::filesystem::path(base) / ("nivelo_fuzz_pipeline_" + std::to_string(getpid()));
    for (const char* sub : {"a", "b", "in.d"}) std::filesystem::create_directories(dir / sub);
    if (chdir(dir.c_str()) != 0) std::abort();
    std::atexit([] {
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CapMemory();
    EnterScratchDirectory();
    ByteSource in{data, size};
    uint8_t shape = in.Byte();
    unsigned kind = (shape & 3) == 3 ? 0 : shape & 3;
    unsigned width = 1 + in.Byte() % kLongestSide, height = 1 + in.Byte() % kLongestSide;
    uint8_t flags = in.Byte();
    uint16_t mask = uint16_t(in.Byte() | (in.Byte() & 0x0F) << 8);
    uint8_t palette_seed = in.Byte();

    std::string config;
    for (const char* key : {"DETECT_WIDTH", "DETECT_DIFF", "VISION_LIMIT1", "VISION_LIMIT2", "VISION_WIDTH1",
                            "VISION_WIDTH2", "VISION_WIDTH3"})
        AddKey(&config, key, IntegerValue(&in));
    AddKey(&config, "VISION_ANGLE", RealValue(&in));
    std::string radius = IntegerValue(&in);
    if (radius == "abc") radius.clear();
    if (!radius.empty()) radius = std::to_string(AllowedBlurRadius(width, height, std::stoll(radius)));
    AddKey(&config, "BLUR_RADIUS", radius);
    AddKey(&config, "BLUR_LIMIT", IntegerValue(&in));
    for (const char* key : {"REPERTOIRE1", "REPERTOIRE2"}) config += std::string(key) + "=" + DirectoryValue(&in) + "\n";
    for (const char* key : {"COTE_RECADRAGE", "COTE_FOND"}) config += std::string(key) + "=" + SidesValue(&in) + "\n";
    uint8_t yes = in.Byte(), given = in.Byte();
    const char* kSwitches[] = {"RECADRAGE1", "FLOU", "SAUVEGARDE1", "ROTATION", "RECADRAGE2", "SAUVEGARDE2"};
    for (int k = 0; k < 6; k++) AddKey(&config, kSwitches[k], (given >> k) & 1 ? (yes >> k) & 1 ? "o" : "n" : "");
    AddKey(&config, "OFFSET_ANGLE", RealValue(&in));
    AddKey(&config, "COUL_REMPLISSAGE", ColourValue(&in));

    std::vector<uint8_t> tga = EncodeTga(DrawPage(&in, width, height), width, height, kind, shape & 4, shape & 8,
                                         palette_seed);
    // The name as typed decides the result names: with or without an
    // extension, and with a dot only in its directory part.
    std::string image = (const char*[]){"page.tga", "page", "in.d/page", "./page.tga"}[(flags >> 4) & 3];
    WriteFile(image, tga.data(), tga.size());
    WriteFile("conf.txt", config.data(), config.size());
    std::vector<std::string> args = {"nivelo", "/cconf.txt"};
    if (flags & 1) args.push_back("/f");
    if (flags & 2) args.push_back("/b");
    if (flags & 4) args.push_back("/d" + std::to_string(mask));
    args.push_back(image);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    RunNivelo(int(args.size()), argv.data());
    return 0;
}
