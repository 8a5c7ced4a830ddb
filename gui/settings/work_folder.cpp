#include "gui/settings/work_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/support.h"

namespace {

// The folder's name is kept short: the command text heading nivelo's output
// holds two paths in it within 255 characters.
const char kParentName[] = "nivelo_gui_work/";
const char kLockName[] = "verrou";

// The lock is taken on a file of another name and only then given its
// name, so that a window cleaning up never sees a lock file that is not
// yet locked and takes the folder for an abandoned one.
int TakeLock(const std::string& folder)
{
    std::string pending = folder + kLockName + ".nouveau";
    int fd = open(pending.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || rename(pending.c_str(), (folder + kLockName).c_str()) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A folder whose lock file can be locked belongs to a window that ended:
// the system releases the lock of a process however it ends.  A folder
// without a lock file is being made by a window starting now.
void RemoveIfAbandoned(const std::string& folder)
{
    int fd = open((folder + kLockName).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    close(fd);
}

void RemoveAbandoned(const std::string& parent)
{
    DIR* dir = opendir(parent.c_str());
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') RemoveIfAbandoned(parent + entry->d_name + "/");
    closedir(dir);
}

}  // namespace

int OpenWorkFolder(const char* start_directory, WorkFolder* folder)
{
    folder->path[0] = '\0';
    folder->lock_fd = -1;
    std::string parent = std::string(start_directory) + kParentName;
    std::string name = parent + "XXXXXX";
    if (name.size() + 1 >= sizeof folder->path) {
        ReportError("Répertoire de départ trop long pour y créer le répertoire de travail : %s\n", start_directory);
        return 0;
    }
    if (mkdir(parent.c_str(), 0777) != 0 && errno != EEXIST) {
        ReportError("Impossible de créer le répertoire de travail %s : %s\n", parent.c_str(), std::strerror(errno));
        return 0;
    }
    RemoveAbandoned(parent);
    std::memcpy(folder->path, name.c_str(), name.size() + 1);
    if (mkdtemp(folder->path) == nullptr) {
        ReportError("Impossible de créer un répertoire de travail dans %s : %s\n", parent.c_str(),
                    std::strerror(errno));
        folder->path[0] = '\0';
        return 0;
    }
    std::strcat(folder->path, "/");
    folder->lock_fd = TakeLock(folder->path);
    if (folder->lock_fd < 0) {
        ReportError("Impossible de verrouiller le répertoire de travail %s : %s\n", folder->path,
                    std::strerror(errno));
        CloseWorkFolder(folder);
        return 0;
    }
    return 1;
}

void CloseWorkFolder(WorkFolder* folder)
{
    if (folder->path[0] != '\0') {
        std::error_code ignored;
        std::filesystem::remove_all(folder->path, ignored);
        std::string parent = folder->path;
        parent.erase(parent.find_last_of('/', parent.size() - 2) + 1);
        rmdir(parent.c_str());  // fails, as it should, while another window works there
        folder->path[0] = '\0';
    }
    if (folder->lock_fd >= 0) close(folder->lock_fd);
    folder->lock_fd = -1;
}
