// Reads one page with LoadPage, as nivelo does, a number of times and prints
// the median time of a read: the readers timed without the rest of a run
// (NIVELO_PLAIN=1 gives the plain readers, libpng for every PNG).
//
//   page_load <file> [reads]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/bitmap.h"
#include "formats/formats.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: page_load <file> [reads]\n");
        return 2;
    }
    int reads = argc == 3 ? std::atoi(argv[2]) : 9;
    std::vector<double> ms;
    for (int i = 0; i < std::max(reads, 1); i++) {
        BITMAP page;
        ImageFacts facts;
        auto start = std::chrono::steady_clock::now();
        if (LoadPage(argv[1], 0, &page, &facts) != 1) return 1;
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        BITMAP_Free(&page);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s: %.1f ms a read (median of %zu)\n", argv[1], ms[ms.size() / 2], ms.size());
    return 0;
}
