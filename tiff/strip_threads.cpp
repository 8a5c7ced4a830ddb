#include "tiff/strip_threads.h"

#include <cstdlib>
#include <thread>

unsigned StripDecodeThreads()
{
    const char* text = std::getenv("NIVELO_THREADS");
    if (text != nullptr && *text != '\0') {
        char* end = nullptr;
        long n = std::strtol(text, &end, 10);
        if (*end == '\0' && n >= 1 && n <= 256) return unsigned(n);
    }
    unsigned cores = std::thread::hardware_concurrency();
    return cores < 1 ? 1 : cores > 256 ? 256 : cores;
}

int RunStripWork(unsigned count, int (*work)(void* context, unsigned j), void* context)
{
    if (count == 0) return 1;
    int results[256] = {};
    std::thread helpers[255];
    unsigned started = 0;
    for (unsigned j = 1; j < count && j < 256; j++) {
        // A thread the system will not give means that strip is decoded here.
        try {
            helpers[started] = std::thread([=, &results] { results[j] = work(context, j); });
            started++;
        } catch (...) {
            results[j] = work(context, j);
        }
    }
    int ok = work(context, 0);
    for (unsigned j = 0; j < started; j++) helpers[j].join();
    for (unsigned j = 1; j < count && j < 256; j++) ok = ok && results[j] == 1;
    return ok == 1 && count <= 256;
}
