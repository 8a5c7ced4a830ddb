// Times each stage of the default pipeline on one page, plain (NIVELO_PLAIN=1)
// against fast (NIVELO_PLAIN unset: all cores), and prints a table of
// medians.  Also times the TIFF reader on an LZW file when one is given.
//
//   stage_bench <page.tga> [page_lzw.tif] [repeats]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "batch/command_line.h"
#include "batch/params.h"
#include "core/blit.h"
#include "core/support.h"
#include "stages/background.h"
#include "stages/blur.h"
#include "stages/borders.h"
#include "stages/filters.h"
#include "stages/orientation.h"
#include "stages/rotation.h"
#include "stages/skew_search.h"
#include "tga/tga.h"
#include "tiff/tiff.h"

namespace {

int g_repeats = 5;

void SetPlain(bool plain)
{
    if (plain)
        setenv("NIVELO_PLAIN", "1", 1);
    else
        unsetenv("NIVELO_PLAIN");
}

// Median wall time in milliseconds of `repeats` runs of body; prepare runs
// untimed before each.
double MedianMs(const std::function<void()>& prepare, const std::function<void()>& body, int repeats)
{
    std::vector<double> times;
    prepare();
    body();  // warm-up: caches, and pages the allocator already holds
    for (int i = 0; i < repeats; i++) {
        prepare();
        auto start = std::chrono::steady_clock::now();
        body();
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

BITMAP* Copy(const BITMAP* from)
{
    BITMAP* image = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    if (!BITMAP_Create(image, from->width, from->height, from->type)) std::exit(1);
    std::memcpy(image->pixels, from->pixels, size_t(BITMAP_ByteSize(from->width, from->height, from->type)));
    return image;
}

void Release(BITMAP** image)
{
    if (*image == nullptr) return;
    BITMAP_Free(*image);
    FreeMemory(image);
}

// Plain and fast medians of one stage; the plain runs are fewer when slow.
void Row(const char* name, const std::function<void()>& prepare, const std::function<void()>& body)
{
    SetPlain(true);
    double plain = MedianMs(prepare, body, std::max(3, g_repeats / 2 | 1));
    SetPlain(false);
    double fast = MedianMs(prepare, body, g_repeats);
    std::printf("| %-28s | %10.1f | %10.1f | %7.1f |\n", name, plain, fast, plain / fast);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: stage_bench <page.tga> [page_lzw.tif] [repeats]\n");
        return 2;
    }
    if (argc > 3) g_repeats = std::max(1, std::atoi(argv[3]));
    SetDefaultParameters();
    g_command = CommandLine{};
    BITMAP* page = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    if (!LoadTGA(argv[1], page)) return 1;
    if (page->type != PIXEL_BGR && !BITMAP_Convert(&page, PIXEL_BGR)) return 1;
    uint8_t background[3];
    GetBackgroundColour(page, background, g_params);
    std::printf("%s: %u x %u, %d repeats (plain: about half, at least 3), after a warm-up run\n\n", argv[1], unsigned(page->width),
                unsigned(page->height), g_repeats);
    std::printf("| %-28s | %10s | %10s | %7s |\n", "stage", "plain ms", "fast ms", "ratio");
    std::printf("|------------------------------|------------|------------|---------|\n");

    BITMAP* work = nullptr;
    auto fresh = [&] { Release(&work); work = Copy(page); };
    Row("LoadTGA", [&] { Release(&work); work = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP))); },
        [&] { LoadTGA(argv[1], work); });
    Row("GetBackgroundColour", [] {}, [&] { GetBackgroundColour(page, background, g_params); });
    Row("CropStage", fresh, [&] { CropStage(&work, background, g_params); });
    Row("BlurStage", fresh, [&] { BlurStage(&work, g_params); });

    BITMAP grey, filtered;
    BITMAP_Create(&grey, page->width, page->height, PIXEL_GREY);
    BITMAP_Create(&filtered, page->width, page->height, PIXEL_GREY);
    size_t grey_size = size_t(page->width) * page->height;
    Row("grey copy (BITMAP_Blt)", [] {}, [&] { BITMAP_Blt(page, &grey, 0, 0); });
    auto from = [&](const BITMAP* source) { return [&, source] { std::memcpy(filtered.pixels, source->pixels, grey_size); }; };
    BITMAP stage[4];
    for (BITMAP& s : stage) BITMAP_Create(&s, page->width, page->height, PIXEL_GREY);
    // The input of each filter is the output of the one before it.
    std::memcpy(stage[0].pixels, grey.pixels, grey_size);
    Row("VerticalStepFilter", from(&stage[0]), [&] { VerticalStepFilter(&filtered, g_params); });
    std::memcpy(stage[1].pixels, filtered.pixels, grey_size);
    Row("RunFilter", from(&stage[1]), [&] { RunFilter(&filtered, g_params); });
    std::memcpy(stage[2].pixels, filtered.pixels, grey_size);
    Row("GapBridgeFilter", from(&stage[2]), [&] { GapBridgeFilter(&filtered, g_params); });
    std::memcpy(stage[3].pixels, filtered.pixels, grey_size);
    Row("LowerBorderFilter", from(&stage[3]), [&] { LowerBorderFilter(&filtered); });
    std::memcpy(stage[3].pixels, filtered.pixels, grey_size);
    double angle = 0.0;
    Row("LineAngleFilter", from(&stage[3]), [&] { angle = LineAngleFilter(&filtered, 0, g_params); });
    Row("DetectSkewAngle (all five)", [] {}, [&] { DetectSkewAngle(page, &angle, g_params); });
    SkewSearchResult found;
    Row("FindSkewPrecise (AFFINAGE)", [] {}, [&] { FindSkewPrecise(page, 10.0, &found); });
    OrientationResult orientation;
    Row("FindOrientation (ORIENTATION)", [] {}, [&] { FindOrientation(page, &orientation); });
    Row("RotatePage", fresh, [&] { RotatePage(&work, angle, background); });
    // NETTOYAGE_BORDS with a white fill: the trace before the turn, the
    // paint after it (single-threaded both; plain and fast are one routine).
    BITMAP mask;
    BITMAP_Init(&mask, 0, 0, 0);
    int reaches_middle = 0;
    const uint8_t white[3] = {255, 255, 255};
    Row("TraceScannerGround", [&] { BITMAP_Free(&mask); },
        [&] { TraceScannerGround(page, background, white, g_params, &mask, &reaches_middle); });
    Row("PaintScannerGround", fresh, [&] { PaintScannerGround(work, &mask, 1, angle, white); });
    BITMAP_Free(&mask);
    Row("SaveTGA", [] {}, [&] { SaveTGA("stage_bench_out.tga", page); });
    std::remove("stage_bench_out.tga");
    if (argc > 2) {
        Row("LoadTIFF (LZW)", [&] { Release(&work); work = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP))); },
            [&] { LoadTIFF(argv[2], work); });
    }
    Release(&work);
    for (BITMAP& s : stage) BITMAP_Free(&s);
    BITMAP_Free(&grey);
    BITMAP_Free(&filtered);
    Release(&page);
    std::printf("\nangle %f\n", angle);
    return 0;
}
