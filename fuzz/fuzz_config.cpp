// The configuration reader on arbitrary files.
#include "batch/command_line.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SetDefaultParameters();
    ReadParameterFile(fuzz::ScratchFile(data, size));
    return 0;
}
