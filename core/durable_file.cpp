#include "core/durable_file.h"

#include <csignal>
#include <cstdint>
#include <cstring>

#if __has_include(<unistd.h>) && __has_include(<fcntl.h>)
#include <fcntl.h>
#include <unistd.h>
#define NIVELO_POSIX_SYNC 1
#endif

namespace {

// The watched name is copied, so the handler reads only static memory.
char g_watched[4400];
volatile std::sig_atomic_t g_watching = 0;
const int kSignals[] = {SIGINT, SIGTERM
#ifdef SIGHUP
                        , SIGHUP
#endif
};
void (*g_saved[3])(int);

void RemoveAndDie(int signal)
{
#ifdef NIVELO_POSIX_SYNC
    if (g_watching) unlink(g_watched);
#else
    if (g_watching) std::remove(g_watched);
#endif
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

int SyncStreamToDisk(FILE* stream)
{
#ifdef NIVELO_POSIX_SYNC
    return fsync(fileno(stream)) == 0;
#else
    (void)stream;
    return 1;
#endif
}

void StartWriteback(FILE* stream, uint64_t offset, uint64_t count)
{
#if defined(__linux__) && defined(SYNC_FILE_RANGE_WRITE)
    // Only a hint: the sync before the rename still decides the outcome.
    if (offset <= uint64_t(INT64_MAX) && count <= uint64_t(INT64_MAX))
        (void)sync_file_range(fileno(stream), off64_t(offset), off64_t(count), SYNC_FILE_RANGE_WRITE);
#else
    (void)stream;
    (void)offset;
    (void)count;
#endif
}

int SyncFolderOf(const char* path)
{
#ifdef NIVELO_POSIX_SYNC
    const char* slash = std::strrchr(path, '/');
    char folder[4400];
    size_t length = slash == nullptr ? 0 : size_t(slash - path);
    if (length >= sizeof folder) return 0;
    if (slash == nullptr) {
        std::strcpy(folder, ".");
    } else if (length == 0) {
        std::strcpy(folder, "/");
    } else {
        std::memcpy(folder, path, length);
        folder[length] = '\0';
    }
    int fd = open(folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return 0;
    int ok = fsync(fd) == 0;
    close(fd);
    return ok;
#else
    (void)path;
    return 1;
#endif
}

void RemoveOnInterrupt(const char* temp)
{
    const int count = int(sizeof kSignals / sizeof kSignals[0]);
    if (temp == nullptr) {
        if (!g_watching) return;
        g_watching = 0;
        for (int i = 0; i < count; i++) std::signal(kSignals[i], g_saved[i]);
        return;
    }
    size_t length = std::strlen(temp);
    if (length >= sizeof g_watched) return;
    if (g_watching) RemoveOnInterrupt(nullptr);
    std::memcpy(g_watched, temp, length + 1);
    g_watching = 1;
    for (int i = 0; i < count; i++) {
        g_saved[i] = std::signal(kSignals[i], RemoveAndDie);
        // A signal the program was told to ignore stays ignored.
        if (g_saved[i] == SIG_IGN) std::signal(kSignals[i], SIG_IGN);
    }
}
