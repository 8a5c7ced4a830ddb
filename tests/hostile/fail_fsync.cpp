// Preloaded into nivelo to make every sync fail as a dying disk would.
#include <cerrno>

extern "C" int fsync(int)
{
    errno = EIO;
    return -1;
}
