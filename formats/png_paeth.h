// The Paeth filter of PNG rows, as the PNG writer applies it: each byte
// minus the prediction from the byte to its left (a), the one above (b)
// and the one above left (c), `step` bytes a pixel; bytes left of the row
// count as zero.  The prediction uses plain bytes only, so no byte of the
// result depends on another.
//
// PaethRow is the reference.  The kernels give the same bytes: one loop in
// 16-bit lanes, compiled once for each instruction set (integer operations,
// so the compiler's vectors cannot change a result).
#pragma once

#include <cstdint>
#include <cstdlib>

// PNG's Paeth predictor: whichever of left (a), above (b) and above-left
// (c) is nearest to a + b - c, ties going to a, then b.  Written without
// branches: on scanned noise the choice is a coin toss, and a mispredicted
// branch a byte costs more than the whole computation.  The reader undoes
// the filter with it; the writer's filter is its reference.
inline int PaethPredict(int a, int b, int c)
{
    int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    int b_or_c = pb <= pc ? b : c;
    return ((pa <= pb) & (pa <= pc)) ? a : b_or_c;
}

using PaethFilter = void (*)(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out);

void PaethRow(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out);

// The widest kernel the processor has and NIVELO_NOVECTOR allows; PaethRow
// itself under NIVELO_PLAIN=1.
PaethFilter ChoosePaethFilter();

// The kernels, one per instruction set.
void PaethRowPortable(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out);
void PaethRowAvx2(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out);
void PaethRowAvx512(const uint8_t* row, const uint8_t* above, uint64_t size, unsigned step, uint8_t* out);
