// nivelo: cleans up one scanned page a run.  The exit status says whether
// every result asked for was written (see RunNivelo).
#include "batch/pipeline.h"

#if defined(__GLIBC__) || __has_include(<malloc.h>)
#include <malloc.h>
#endif

int main(int argc, char** argv)
{
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
    // Each stage allocates a new page and frees the old one.  Kept in the
    // heap and not handed back to the system, a freed page's memory serves
    // the next one as it is, instead of being mapped afresh and faulted in
    // page by page (a third of the run's time otherwise).  The peak is the
    // same: two pages and the grey copy.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
#if defined(M_ARENA_MAX)
    // One heap for every thread: a copy made by the save running beside the
    // detection reuses freed pages too, rather than faulting in a heap of
    // its own.
    mallopt(M_ARENA_MAX, 1);
#endif
    return RunNivelo(argc, argv);
}
