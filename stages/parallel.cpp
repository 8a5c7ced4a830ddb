#include "stages/parallel.h"

#include "stages/cpu_features.h"

#include <cstdlib>
#include <cstring>

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

VectorKernels ChooseVectorKernels()
{
#if NIVELO_X86_KERNELS
    const char* text = std::getenv("NIVELO_NOVECTOR");
    bool no_avx512 = false;
    if (text != nullptr && std::strcmp(text, "1") == 0) return kPortableKernels;
    if (text != nullptr && std::strcmp(text, "512") == 0) no_avx512 = true;
    if (!__builtin_cpu_supports("avx2")) return kPortableKernels;
    if (no_avx512 || !__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512bw") ||
        !__builtin_cpu_supports("avx512vl") || !__builtin_cpu_supports("avx512dq") ||
        !__builtin_cpu_supports("avx512vbmi") || !__builtin_cpu_supports("avx512vnni"))
        return kAvx2Kernels;
    return kAvx512Kernels;
#else
    return kPortableKernels;
#endif
}
