#include "tiff/codec_state.h"

#include <cstring>

#include "core/support.h"

TiffCodecState g_tiff = {nullptr, {0}, 0};

int TiffTakeFileName(const char* name)
{
    size_t length = std::strlen(name);
    if (length >= sizeof g_tiff.file_name) {
        ReportError("Could not open file %s\n", name);
        return 0;
    }
    std::memcpy(g_tiff.file_name, name, length + 1);
    return 1;
}
