#include "tiff/strip_threads.h"

#include <thread>

#include "core/environment.h"

unsigned StripDecodeThreads() { return unsigned(StageThreads()); }

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
