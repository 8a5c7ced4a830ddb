// Dialog units to pixels, for the backends: a dialog unit is a quarter of
// the dialog font's average character width horizontally and an eighth of
// its height vertically, rounded to the nearest pixel.
#pragma once

inline int DialogUnitsToPixelsX(int units, int base_x)
{
    return (units * base_x + 2) / 4;
}

inline int DialogUnitsToPixelsY(int units, int base_y)
{
    return (units * base_y + 4) / 8;
}

// The backends' dialog font: 10 pixels, about 6 x 13 pixels per 4 x 8 units.
constexpr int kDialogBaseX = 6;
constexpr int kDialogBaseY = 13;
