// Starting a program without a shell, shared by both backends.
#pragma once

#include "gui/platform/platform.h"

// PlatformStartProcess, PlatformProcessEnded and PlatformKillProcess for
// POSIX systems.
int StartProcessPosix(const ProcessRequest* request, long* pid, int* error_number);
int ProcessEndedPosix(long pid, int* exit_status);
void KillProcessPosix(long pid);
