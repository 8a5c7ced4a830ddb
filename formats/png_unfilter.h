// PNG's row filters undone where the rows lie.
#pragma once

#include <cstdint>

// rows holds height rows of width pixels of `channels` bytes (1 grey, 3
// R, G, B), each row after its filter code, every code already checked to
// be one PNG defines (0 to 4).  On return the first height x width x
// channels bytes hold the finished rows back to back, colour pixels in the
// order B, G, R.  Returns 1, or 0 after "Not enough memory" for its few
// rows of scratch.  The result does not depend on the vector kernels used
// (NIVELO_NOVECTOR=1 gives the portable one).
int UnfilterRowsInPlace(uint8_t* rows, uint32_t width, uint32_t height, unsigned channels);

// The same in steps, for rows that arrive a few at a time: rows [first,
// end), those above first already finished.  scratch holds
// kUnfilterScratchRows rows, the first of them zeros (the row above row 0),
// and is the same block from step to step.  Any split into steps gives the
// same bytes.
void UnfilterRowRange(uint8_t* rows, uint32_t width, unsigned channels, uint64_t first, uint64_t end,
                      uint8_t* scratch);

// The rows of scratch it takes (a row of width x channels bytes each).
constexpr unsigned kUnfilterScratchRows = 8;
