// Rows split into bands, one thread a band, for the fast stage routines.
//
// NIVELO_THREADS=n runs the fast routines on n threads; NIVELO_THREADS=1
// selects the plain single-thread routines, the reference that the fast ones
// must match byte for byte.  Unset (or not a number from 1 to 256): every
// core the system reports.
#pragma once

#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

// Threads for the fast routines, read from NIVELO_THREADS at each call.
int StageThreads();

// False when NIVELO_THREADS is 1: the stages then take their plain path.  A
// single-core machine still takes the fast path, on one thread.
bool UseFastStages();

// Calls work(band, first, end) on the bands [first, end) of rows 0 ...
// rows - 1, band 0 ... threads - 1, one band a thread, and returns when all are done.  The bands are contiguous
// and in order; the calling thread takes the first one.  A thread that
// cannot be started leaves its band to the calling thread, so the work is
// done whatever the system allows.
template <class Work>
void RunInBands(int64_t rows, int threads, const Work& work)
{
    if (rows <= 0) return;
    int64_t bands = threads < 1 ? 1 : threads;
    if (bands > rows) bands = rows;
    std::vector<std::thread> pool;
    std::vector<int64_t> left_over;  // bands without a thread
    for (int64_t b = 1; b < bands; b++) {
        try {
            pool.emplace_back([&work, b, rows, bands] { work(int(b), rows * b / bands, rows * (b + 1) / bands); });
        } catch (const std::system_error&) {
            left_over.push_back(b);
        }
    }
    work(0, 0, rows / bands);
    for (int64_t b : left_over) work(int(b), rows * b / bands, rows * (b + 1) / bands);
    for (std::thread& t : pool) t.join();
}

