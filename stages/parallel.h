// Rows split into chunks for the threads of the fast stage routines.
#pragma once

#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

#include "core/environment.h"

// Calls work(thread, first, end) on consecutive chunks [first, end) of rows
// 0 ... rows - 1 until all are done, on `threads` threads (thread 0 ...
// threads - 1, the calling thread being 0), and returns when all are done.
// Each thread takes the next chunk when it has finished one, so a thread
// that the system runs less often does less of the work instead of holding
// up the end.  There are at most eight chunks a thread, so work that must be
// set up afresh for each chunk stays small.  A thread that cannot be started
// leaves the work to the others.
template <class Work>
void RunInBands(int64_t rows, int threads, const Work& work)
{
    if (rows <= 0) return;
    int64_t count = threads < 1 ? 1 : threads;
    if (count > rows) count = rows;
    if (count == 1) {
        work(0, 0, rows);
        return;
    }
    int64_t chunk = rows / (count * 8);
    if (chunk < 16) chunk = 16;
    std::atomic<int64_t> next{0};
    auto run = [&work, &next, chunk, rows](int thread) {
        for (;;) {
            int64_t first = next.fetch_add(chunk);
            if (first >= rows) return;
            work(thread, first, first + chunk < rows ? first + chunk : rows);
        }
    };
    std::vector<std::thread> pool;
    for (int64_t t = 1; t < count; t++) {
        try {
            pool.emplace_back(run, int(t));
        } catch (const std::system_error&) {
            break;
        }
    }
    run(0);
    for (std::thread& t : pool) t.join();
}
