// Which quarter turn brings a page the right way up (key ORIENTATION), and
// that turn, made without resampling.
#pragma once

#include <cstdint>

#include "core/bitmap.h"

// What the page shows, in integers so that the decision is the same on
// every machine.  Along each axis: how sharply the ink's profiles change
// across the lines, and how many line pieces have more ink on the side of
// lower coordinates (before: above, or left) than on the other (after).
struct OrientationEvidence {
    int64_t contrast = 0;
    int64_t row_sharpness = 0, column_sharpness = 0;
    int64_t row_before = 0, row_after = 0;        // lines along the rows: ascenders above / below
    int64_t column_before = 0, column_after = 0;  // lines down the columns: ascenders left / right
    // Runs of ink (between empty entries of a profile) that hold line
    // pieces, and those among them that hold just one.
    int64_t row_runs = 0, row_lone = 0, column_runs = 0, column_lone = 0;
    // The voters' ink in the zones before their cores less that after, and
    // the ink of their cores.
    int64_t row_ink_lean = 0, row_cores = 0, column_ink_lean = 0, column_cores = 0;
    // The height most cores share along each axis (the x-height across the
    // lines), in cells.
    int64_t row_height = 0, column_height = 0;
    // The votes' lean toward the axis's larger side (before less after, or
    // after less before) outside the two strips of the page that lean that
    // way most.
    int64_t row_spread = 0, column_spread = 0;
};

struct OrientationResult {
    int decided;  // 0: not enough text to tell; turn is then 0
    int turn;     // 0, 90, 180 or 270: degrees clockwise that bring the page upright
    OrientationEvidence evidence;
};

// Finds the orientation of a three-byte page.  Returns 1 with *result, or 0
// after "Not enough memory\n".
int FindOrientation(const BITMAP* page, OrientationResult* result);

// The three-byte page turned clockwise by `turn` degrees (0, 90, 180 or 270),
// pixel for pixel; null after a message.
BITMAP* QuarterTurnedCopy(const BITMAP* page, int turn);
