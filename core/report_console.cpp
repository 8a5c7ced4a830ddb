// ReportError for the console program: messages go to standard output as they
// are, so that a caller redirecting the output sees them in order with the
// angle and "done" lines.
#include <cstdarg>
#include <cstdio>

#include "core/support.h"

void ReportError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
}
