// The whole of nivelo on a small drawn page with fuzzed parameters: the bytes
// choose the image (kind, size, strokes, raw pixels), every configuration
// value (zero, negative, extreme and unreadable ones included), the flags
// /f, /b and /d with its mask, and the directories, which all lie in one
// scratch directory.  The run goes through RunNivelo, as the executable does.
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

struct Page {
    unsigned width, height;
    unsigned kind;  // 0 colour, 1 grey, 2 indexed
    bool rle, bottom_up;
    std::vector<uint8_t> bgr;  // width x height x 3, drawn
};

// Configuration text of an integer key, or "" to leave the key out.
std::string IntegerValue(ByteSource* in)
{
    static const int64_t kExtremes[] = {INT32_MAX, INT32_MIN, 65535, 65536, -65536, 1 << 20, -1, 255};
    uint8_t s = in->Byte();
    switch (s % 8) {
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
    uint8_t s = in->Byte();
    switch (s % 4) {
    case 0: return "";
    case 1: return "0";
    case 2: return std::to_string((int(in->Byte()) - 128) / 8.0);
    default: return kSpecial[in->Byte() % 8];
    }
}

std::string SidesValue(ByteSource* in)
{
    uint8_t s = in->Byte();
    if (s == 0) return "";
    std::string sides;
    if (s & 1) sides += 'H';
    if (s & 2) sides += 'b';
    if (s & 4) sides += 'G';
    if (s & 8) sides += 'd';
    if (s & 16) sides += "x?";
    return sides;
}

std::string DirectoryValue(ByteSource* in)
{
    switch (in->Byte() % 8) {
    case 0: return "a/";
    case 1: return "b/";
    case 2: return "missing/";
    case 3: return "";  // the scratch directory itself, where the page lies
    case 4: return "a/" + std::string(252, 'x') + "/";  // does not fit 255 characters
    case 5: return "a";  // a prefix, not a directory
    case 6: return "\"b/\"  ";
    default: return "a//";
    }
}

std::string ColourValue(ByteSource* in)
{
    switch (in->Byte() % 4) {
    case 0: return "";
    case 1: return std::to_string(int32_t(in->U32())) + "," + std::to_string(in->Byte()) + "," +
                   std::to_string(in->Byte());
    case 2: return std::to_string(in->Byte());
    default: return ",,";
    }
}

void AddKey(std::string* config, const char* key, const std::string& value, bool given)
{
    if (given) *config += std::string(key) + "=" + value + "\n";
}

// Light page, dark strokes at small slopes (something for the skew filters
// to find), then raw bytes from the input laid over the first pixels.
void DrawPage(ByteSource* in, Page* page)
{
    uint8_t paper[3] = {in->Byte(), in->Byte(), in->Byte()};
    size_t count = size_t(page->width) * page->height;
    page->bgr.resize(count * 3);
    for (size_t i = 0; i < count * 3; i++) page->bgr[i] = paper[i % 3];
    unsigned strokes = in->Byte() % 16;
    for (unsigned k = 0; k < strokes; k++) {
        int x = in->Byte() % page->width, y = in->Byte() % page->height;
        int length = in->Byte(), slope = int8_t(in->Byte()), thickness = 1 + in->Byte() % 4;
        uint8_t ink = in->Byte();
        for (int i = 0; i < length && x + i < int(page->width); i++) {
            int row = y + i * slope / 256;
            for (int t = 0; t < thickness; t++) {
                if (row + t < 0 || row + t >= int(page->height)) continue;
                uint8_t* p = &page->bgr[(size_t(row + t) * page->width + size_t(x + i)) * 3];
                p[0] = p[1] = p[2] = ink;
            }
        }
    }
    for (size_t i = 0; in->pos < in->size && i < page->bgr.size(); i++) page->bgr[i] ^= in->Byte();
}

// The page as a TGA file of its kind, raw or run-length encoded, rows top
// down or bottom up.
std::vector<uint8_t> EncodeTga(const Page& page, uint8_t palette_seed)
{
    unsigned bpp = page.kind == 0 ? 3 : 1;
    std::vector<uint8_t> f(18, 0);
    f[2] = uint8_t((page.kind == 0 ? 2 : page.kind == 1 ? 3 : 1) | (page.rle ? 8 : 0));
    if (page.kind == 2) f[1] = 1, f[5] = 0, f[6] = 1, f[7] = 24;  // 256 entries
    f[12] = uint8_t(page.width), f[13] = uint8_t(page.width >> 8);
    f[14] = uint8_t(page.height), f[15] = uint8_t(page.height >> 8);
    f[16] = uint8_t(bpp * 8);
    f[17] = page.bottom_up ? 0 : 0x20;
    if (page.kind == 2)
        for (unsigned i = 0; i < 256; i++)
            for (unsigned b = 0; b < 3; b++) f.push_back(uint8_t(i * (palette_seed + 2 * b + 1)));
    std::vector<uint8_t> pixels;
    for (unsigned r = 0; r < page.height; r++) {
        unsigned y = page.bottom_up ? page.height - 1 - r : r;
        for (unsigned x = 0; x < page.width; x++) {
            const uint8_t* p = &page.bgr[(size_t(y) * page.width + x) * 3];
            if (bpp == 3)
                pixels.insert(pixels.end(), p, p + 3);
            else
                pixels.push_back(uint8_t((p[0] + p[1] + p[2]) / 3));
        }
    }
    if (!page.rle) {
        f.insert(f.end(), pixels.begin(), pixels.end());
        return f;
    }
    // Runs of equal pixels as run packets, everything else as raw packets
    // of one pixel: simple, and it crosses row ends as files may.
    size_t n = pixels.size() / bpp;
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && run < 128 &&
               std::equal(&pixels[i * bpp], &pixels[i * bpp] + bpp, &pixels[(i + run) * bpp]))
            run++;
        f.push_back(uint8_t(run > 1 ? 0x80 + run - 1 : 0));
        f.insert(f.end(), &pixels[i * bpp], &pixels[i * bpp] + bpp);
        i += run;
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
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

// A scratch directory of this process with the folders the directory values
// name ("missing/" is left out), made the current directory.
void EnterScratchDirectory()
{
    static bool done = false;
    if (done) return;
    done = true;
    const char* base = std::getenv("TMPDIR");
    if (base == nullptr) base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static std::filesystem::path dir = std::filesystem::path(base) / ("nivelo_fuzz_pipeline_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "a");
    std::filesystem::create_directories(dir / "b");
    std::filesystem::create_directories(dir / "in.d");
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

    Page page;
    uint8_t shape = in.Byte();
    page.kind = (shape & 3) == 3 ? 0 : shape & 3;
    page.rle = (shape & 4) != 0;
    page.bottom_up = (shape & 8) != 0;
    page.width = 1 + in.Byte() % kLongestSide;
    page.height = 1 + in.Byte() % kLongestSide;
    uint8_t flags = in.Byte();
    uint16_t mask = uint16_t(in.Byte() | (in.Byte() & 0x0F) << 8);
    uint8_t palette_seed = in.Byte();

    std::string config;
    const char* kIntegerKeys[] = {"DETECT_WIDTH", "DETECT_DIFF", "VISION_LIMIT1", "VISION_LIMIT2",
                                  "VISION_WIDTH1", "VISION_WIDTH2", "VISION_WIDTH3"};
    for (const char* key : kIntegerKeys) {
        std::string v = IntegerValue(&in);
        AddKey(&config, key, v, !v.empty());
    }
    std::string angle = RealValue(&in);
    AddKey(&config, "VISION_ANGLE", angle, !angle.empty());
    std::string radius = IntegerValue(&in);
    if (!radius.empty() && radius != "abc")
        radius = std::to_string(AllowedBlurRadius(page.width, page.height, std::stoll(radius)));
    AddKey(&config, "BLUR_RADIUS", radius, !radius.empty() && radius != "abc");
    std::string limit = IntegerValue(&in);
    AddKey(&config, "BLUR_LIMIT", limit, !limit.empty());
    AddKey(&config, "REPERTOIRE1", DirectoryValue(&in), true);
    AddKey(&config, "REPERTOIRE2", DirectoryValue(&in), true);
    AddKey(&config, "COTE_RECADRAGE", SidesValue(&in), true);
    AddKey(&config, "COTE_FOND", SidesValue(&in), true);
    uint8_t yes = in.Byte(), given = in.Byte();
    const char* kSwitches[] = {"RECADRAGE1", "FLOU", "SAUVEGARDE1", "ROTATION", "RECADRAGE2", "SAUVEGARDE2"};
    for (int k = 0; k < 6; k++) AddKey(&config, kSwitches[k], (yes >> k) & 1 ? "o" : "n", (given >> k) & 1);
    std::string offset = RealValue(&in);
    AddKey(&config, "OFFSET_ANGLE", offset, !offset.empty());
    std::string fill = ColourValue(&in);
    AddKey(&config, "COUL_REMPLISSAGE", fill, !fill.empty());

    DrawPage(&in, &page);
    std::vector<uint8_t> tga = EncodeTga(page, palette_seed);
    // The name as typed decides the result names: with or without an
    // extension, and with a dot only in its directory part.
    static const char* kNames[] = {"page.tga", "page", "in.d/page", "./page.tga"};
    std::string image = kNames[(flags >> 4) & 3];
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
