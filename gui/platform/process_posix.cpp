// Programs are started with posix_spawn and their argument words as they are:
// no shell sees them, so blanks, quotes and ';' in a path reach the program
// unchanged and run nothing else.
#include "gui/platform/process_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

int PlatformExecutableDirectory(std::string* directory)
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return 0;
    path[length] = '\0';
    char* slash = std::strrchr(path, '/');
    if (slash == nullptr) return 0;
    slash[1] = '\0';
    *directory = path;
    return 1;
}

int StartProcessPosix(const ProcessRequest* request, long* pid, int* error_number)
{
    *pid = 0;
    *error_number = 0;
    int fd = open(request->output_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error_number = errno;
        return 0;
    }
    if (request->output_header != nullptr) {
        size_t length = std::strlen(request->output_header);
        if (write(fd, request->output_header, length) != ssize_t(length)) {
            *error_number = errno;
            close(fd);
            return 0;
        }
    }

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(request->program));
    for (const std::string& arg : request->args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 1);
    posix_spawn_file_actions_adddup2(&actions, fd, 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (request->working_directory != nullptr)
        posix_spawn_file_actions_addchdir_np(&actions, request->working_directory);

    pid_t child;
    bool search = std::strchr(request->program, '/') == nullptr;
    int result = search ? posix_spawnp(&child, request->program, &actions, nullptr, argv.data(), environ)
                        : posix_spawn(&child, request->program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fd);
    if (result != 0) {
        *error_number = result;
        return 0;
    }
    *pid = long(child);
    return 1;
}

int ProcessEndedPosix(long pid, int* exit_status)
{
    int status;
    pid_t result;
    do result = waitpid(pid_t(pid), &status, WNOHANG);
    while (result < 0 && errno == EINTR);
    if (result == 0) return 0;
    // Not our child any more (reaped elsewhere): ended, outcome unknown.
    *exit_status = result > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return 1;
}

void KillProcessPosix(long pid)
{
    if (pid <= 0) return;
    kill(pid_t(pid), SIGKILL);
    int status;
    while (waitpid(pid_t(pid), &status, 0) < 0 && errno == EINTR) {
    }
}
