// ReportError for the console program: messages go to standard output as they
// are, so that a caller redirecting the output sees them in order with the
// angle and "done" lines.
#include <cstdarg>
#include <cstdio>

#include "core/support.h"

namespace {

thread_local std::string* t_held = nullptr;

}  // namespace

void HoldReports(std::string* into) { t_held = into; }

void ReportError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    if (t_held == nullptr) {
        std::vfprintf(stdout, format, args);
        va_end(args);
        return;
    }
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        size_t at = t_held->size();
        t_held->resize(at + size_t(length) + 1);
        std::vsnprintf(&(*t_held)[at], size_t(length) + 1, format, args);
        t_held->resize(at + size_t(length));
    }
    va_end(args);
}
