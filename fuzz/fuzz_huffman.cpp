// DecodeModifiedHuffman on its own.
#include "fuzz/decoder_input.h"
#include "tiff/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::DecoderInput in;
    if (!fuzz::SplitDecoderInput(data, size, &in)) return 0;
    in.row_size = (in.width + 7) / 8;  // one bit a pixel
    in.out.assign(size_t(in.rows) * in.row_size, 0);
    DecodeModifiedHuffman(in.strip, in.strip_size, in.out.data(), in.rows, in.width, in.row_size, in.fill_order);
    return 0;
}
