// DecodePackBits on its own.
#include "fuzz/decoder_input.h"
#include "tiff/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::DecoderInput in;
    if (fuzz::SplitDecoderInput(data, size, &in))
        DecodePackBits(in.strip, in.strip_size, in.out.data(), in.rows, in.row_size);
    return 0;
}
