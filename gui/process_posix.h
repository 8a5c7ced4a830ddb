// Starting a program without a shell, shared by both backends.
#pragma once

#include "gui/platform.h"

// PlatformRunProcess for POSIX systems.
int RunProcessPosix(const ProcessRequest* request, int* exit_status, int* error_number);
