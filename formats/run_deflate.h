// A zlib stream written block by block, for PNG results of grey and colour
// pages: each block codes its bytes as literals and runs of a repeated byte
// (deflate matches at distance 1), with a Huffman code fitted to the block.
//
// Filtered scan rows are mostly noise around small values, where searching
// for longer matches costs most of a general compressor's time and gains
// little; runs still shrink the flat margins and blank areas.  Blocks are
// coded as they come, so a page is compressed a strip at a time and no copy
// of the whole page is held.  A block that would code longer than its plain
// bytes is stored instead, so the output never outgrows RunDeflateBound.
#pragma once

#include <cstddef>
#include <cstdint>

struct RunDeflate {
    uint64_t bits;       // pending output bits, the first at bit 0
    unsigned count;      // how many of them
    uint32_t adler;      // Adler-32 of the bytes coded so far
    uint8_t* out;        // the caller's buffer, emptied by the caller between blocks
    size_t used, capacity;
};

// Room a block of `size` bytes may need in the output buffer, the stream's
// header and end included.
size_t RunDeflateBound(size_t size);

// Starts a stream writing into out (capacity bytes); writes the zlib header.
void StartRunDeflate(RunDeflate* z, uint8_t* out, size_t capacity);

// Codes one block of 1 to kMostRunDeflateBlock bytes, the last one with
// `last` set (which flushes the bits and ends the stream).  Whole bytes
// coded so far are out[0, used); the caller takes them and sets used to 0
// before the next block.  Returns 1, or 0 when the block is empty, too big or
// does not fit what is left of the buffer (nothing written then).
constexpr size_t kMostRunDeflateBlock = size_t(1) << 24;
int RunDeflateBlock(RunDeflate* z, const uint8_t* data, size_t size, int last);
