#include "stages/parallel.h"

#include "stages/cpu_features.h"

#include <cstdlib>

namespace {

// NIVELO_THREADS when it is a number from 1 to 256, else 0.
int RequestedThreads()
{
    const char* text = std::getenv("NIVELO_THREADS");
    if (text == nullptr || *text == '\0') return 0;
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    return (*end == '\0' && n >= 1 && n <= 256) ? int(n) : 0;
}

}  // namespace

int StageThreads()
{
    int requested = RequestedThreads();
    if (requested != 0) return requested;
    unsigned cores = std::thread::hardware_concurrency();
    if (cores < 1) return 1;
    return cores > 256 ? 256 : int(cores);
}

bool UseFastStages() { return RequestedThreads() != 1; }

bool UseAvx2Kernels()
{
#if NIVELO_X86_KERNELS
    const char* text = std::getenv("NIVELO_NOVECTOR");
    if (text != nullptr && text[0] == '1' && text[1] == '\0') return false;
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}
