// The feet-line step of the precise skew search: straight lines fitted
// through the feet of the letters, near an angle the row profile found.
#pragma once

#include <cstdint>

// counts: width x height cells of `reduction` pixels of a row, each holding
// its count of dark pixels.  From the angle start (hundredths of a degree)
// finds the text lines, fits one slope through the lowest ink of each short
// column run on each line's foot, and sets *found to that slope's angle in
// hundredths (not rounded).  Returns 1 with *found, 0 when fewer than two
// lines of feet were found (*found untouched), -1 after "Not enough memory\n".
int FitFeetLines(const uint16_t* counts, int64_t width, int64_t height, int64_t reduction, int32_t start,
                 double* found);
