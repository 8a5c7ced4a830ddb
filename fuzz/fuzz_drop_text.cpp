// What a drop on nivelo_gui's window carries, on arbitrary text: every path
// found is a decoded file URI or an absolute path, never with a NUL.
#include <cstdlib>
#include <string>

#include "gui/pages/drop_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    for (const std::string& path : ParseDropText(text))
        if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos) std::abort();
    return 0;
}
