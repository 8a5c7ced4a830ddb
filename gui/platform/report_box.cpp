// ReportError for nivelo_gui: the message goes into a modal box titled
// "Erreur" with the error icon.
#include <cstdarg>
#include <cstdio>

#include "core/support.h"
#include "gui/platform/platform.h"

namespace {

// Length of text[0..length) without a last character that the cut left
// incomplete, so that a cut message never ends in half a UTF-8 character.
size_t WholeCharacters(const char* text, size_t length)
{
    size_t start = length;
    while (start > 0 && length - start < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start == 0) return length;
    unsigned lead = static_cast<unsigned char>(text[start - 1]);
    size_t need = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
    return length - (start - 1) < need ? start - 1 : length;
}

// Messages held instead of shown (a reader that tries a file before another
// reader gives the verdict).
thread_local std::string* t_held = nullptr;

}  // namespace

void HoldReports(std::string* into) { t_held = into; }

void ReportError(const char* format, ...)
{
    char message[256];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (length < 0) return;
    if (t_held != nullptr) {
        t_held->append(message);
        return;
    }
    // A long path may not fit: vsnprintf has cut it at a byte; move the cut
    // back to a character boundary.
    if (size_t(length) >= sizeof message) message[WholeCharacters(message, sizeof message - 1)] = '\0';
    PlatformMessageBox(MESSAGE_ERROR, "Erreur", message);
}
