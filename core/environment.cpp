#include "core/environment.h"

#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

bool SwitchIs(const char* name, const char* value)
{
    const char* text = std::getenv(name);
    return text != nullptr && std::strcmp(text, value) == 0;
}

}  // namespace

int StageThreads()
{
    const char* text = std::getenv("NIVELO_THREADS");
    if (text != nullptr && *text != '\0') {
        char* end = nullptr;
        long n = std::strtol(text, &end, 10);
        if (*end == '\0' && n >= 1 && n <= 256) return int(n);
    }
    unsigned cores = std::thread::hardware_concurrency();
    if (cores < 1) return 1;
    return cores > 256 ? 256 : int(cores);
}

bool UseFastStages() { return !SwitchIs("NIVELO_PLAIN", "1"); }

VectorKernels ChooseVectorKernels()
{
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
    if (SwitchIs("NIVELO_NOVECTOR", "1")) return kPortableKernels;
    if (!__builtin_cpu_supports("avx2")) return kPortableKernels;
    if (SwitchIs("NIVELO_NOVECTOR", "512") || !__builtin_cpu_supports("avx512f") ||
        !__builtin_cpu_supports("avx512bw") || !__builtin_cpu_supports("avx512vl") ||
        !__builtin_cpu_supports("avx512dq") || !__builtin_cpu_supports("avx512vbmi") ||
        !__builtin_cpu_supports("avx512vnni"))
        return kAvx2Kernels;
    return kAvx512Kernels;
#else
    return kPortableKernels;
#endif
}
