// Strip decoders of the TIFF reader: they work on memory only.
//
// Common contract: `strip` holds `strip_size` bytes, and no decoder reads a
// byte beyond them; running out of bytes before the rows are complete is a
// failure.  `out` holds rows * row_size bytes, zero-filled by the caller; row r
// starts at r * row_size.  Each decoder returns 1 when the strip decoded and 0
// when its data are not valid; none prints anything or allocates.
#pragma once

#include <cstdint>

// PackBits (compression 32773).  Runs never cross the end of a row: a literal
// or a repeat longer than what is left of the row fails.
int DecodePackBits(const uint8_t* strip, uint32_t strip_size, uint8_t* out, uint32_t rows, uint32_t row_size);

// LZW (compression 5): 9- to 12-bit codes, most significant bit first, Clear
// 256, End of Information 257.  The strip must begin with Clear (or be an End
// of Information alone); End of Information before the rows are complete
// leaves the missing bytes zero.  Decoding stops as soon as the rows are
// complete, so no End of Information is needed after the last byte.
int DecodeLZW(const uint8_t* strip, uint32_t strip_size, uint8_t* out, uint32_t rows, uint32_t row_size);

// The fast twin of DecodeLZW: the same result and the same bytes for every
// strip.  Its output need not be zero-filled: what an early End of
// Information leaves undecoded is cleared by the decoder.
int DecodeLZWFast(const uint8_t* strip, uint32_t strip_size, uint8_t* out, uint32_t rows, uint32_t row_size);

// 0 when NIVELO_PLAIN is 1: the reader then takes the plain decoders.
int TiffFastDecoders();

// CCITT one-dimensional Modified Huffman (compression 2), one bit a pixel:
// rows without EOL codes, each starting on a byte boundary of the strip and
// with a white run.  White pixels are 0 bits, black pixels 1 bits, packed
// most significant bit first.  fill_order 2 reads the strip's bits least
// significant first.
int DecodeModifiedHuffman(const uint8_t* strip, uint32_t strip_size, uint8_t* out, uint32_t rows,
                          uint32_t width, uint32_t row_size, unsigned fill_order);

// Horizontal differencing (Predictor 2) on 8-bit samples, in place: each
// sample becomes the running sum, modulo 256, of the differences before it.
void UndoHorizontalPredictor(uint8_t* data, uint32_t rows, uint32_t width, uint32_t samples_per_pixel,
                             uint32_t row_size);
