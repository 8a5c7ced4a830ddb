// UndoHorizontalPredictor on rows of the fuzzed bytes.
#include "fuzz/decoder_input.h"
#include "tiff/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::DecoderInput in;
    if (!fuzz::SplitDecoderInput(data, size, &in)) return 0;
    // The reader calls it on rows of width x samples bytes at least.
    in.row_size = in.width * in.samples;
    in.out.assign(size_t(in.rows) * in.row_size, 0);
    for (size_t i = 0; i < in.out.size() && i < in.strip_size; i++) in.out[i] = in.strip[i];
    UndoHorizontalPredictor(in.out.data(), in.rows, in.width, in.samples, in.row_size);
    return 0;
}
