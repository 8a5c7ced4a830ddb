// The results' formats.  Each writer takes the working colour image (BGR) or
// a grey one, writes it under a temporary name that replaces `name` only
// once complete (core/output_file), marks it with the scan's resolution when
// the scan declared one, and returns 1, or 0 after one message with no file
// left behind.  `bilevel` cuts a grey image as the black-and-white TIFF
// writer does: above 127 is white.
#pragma once

#include <cstdint>

#include "core/bitmap.h"
#include "core/image_facts.h"

enum OutputFormat : uint8_t {
    OUTPUT_TGA,
    OUTPUT_PNG,
    OUTPUT_JPEG,
    OUTPUT_TIFF,
};

// The values of FORMAT_SORTIE as written, in the order of OutputFormat.
inline constexpr const char* kOutputFormatNames[] = {"TGA", "PNG", "JPEG", "TIFF"};
constexpr int kOutputFormatCount = 4;

// FORMAT_SORTIE's value: TGA, PNG, JPEG or TIFF, in any case (JPG and TIF
// too).  0 for anything else.
int ParseOutputFormat(const char* text, OutputFormat* format);
// The result's extension with its dot.  Black-and-white pages asked for as
// TGA are written as TIFF, as they always were.
const char* OutputExtension(OutputFormat format, int bilevel);
// QUALITE_JPEG's range.
constexpr int32_t kLowestJpegQuality = 1;
constexpr int32_t kHighestJpegQuality = 100;

// Lossless; grey stays grey, 1 bit a pixel when bilevel.
int SavePNG(const char* name, const BITMAP* image, const ImageFacts& facts, int bilevel);
// Grey or colour at the given quality (1 to 100); a bilevel page is written
// as grey pixels of 0 and 255, JPEG having no black-and-white kind.
int SaveJPEG(const char* name, const BITMAP* image, const ImageFacts& facts, int quality, int bilevel);
// Grey and colour compressed losslessly with Deflate; bilevel with CCITT
// Group 4, marked 300 dots per inch when the scan declared nothing, as the
// uncompressed black-and-white writer marks it.
int SaveTiffCompressed(const char* name, const BITMAP* image, const ImageFacts& facts, int bilevel);

// Packs a grey row into bits, most significant first, 1 for white
// (value above 127) when white_is_one, else 1 for black.
void PackBilevelRow(const uint8_t* grey, uint32_t width, int white_is_one, uint8_t* bits);

// Copies a row of the working colour page (B, G, R) in the order the file
// formats store (R, G, B).
void CopyRowAsRgb(const uint8_t* bgr, uint32_t width, uint8_t* rgb);
