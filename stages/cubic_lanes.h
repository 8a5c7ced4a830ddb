// SampleBicubic's arithmetic for several pixels at once, one a lane, over a
// lane type D (Lanes4d, Lanes8d): each lane does the very operations of the
// plain routine, in its order, so the bytes are the same.  Include after the
// lane type's header, from a file compiled for its instruction set.
#pragma once

#include "core/bitmap.h"

namespace {

// The two pieces of CubicWeight, written as there.
template <class D> inline D CubicNear(D t) { return D(1.5) * t * t * t - D(2.5) * t * t + D(1.0); }   // t < 1
template <class D> inline D CubicFar(D t) { return t * t * (D(2.5) - D(0.5) * t) - D(4.0) * t + D(2.0); }  // 1 <= t < 2

// |double(i) + 0.5 - v| for the tap column (or row) i = f + step, f = floor(v).
template <class D> inline D TapDistance(D f, double step, D v) { return Abs(f + D(step) + D(0.5) - v); }

// The four kernel weights of the taps f - 1 ... f + 2 around v.  The distance
// of tap f is at most 0.5 and that of tap f + 2 at least 1.5, so only the
// pieces they can take are computed for them; the other two take either.
template <class D> inline void TapWeights(D v, D f, D w[4])
{
    for (int k = 0; k < 4; k += 2) {
        D t = TapDistance(f, double(k - 1), v);
        w[k] = Select(Less(t, D(1.0)), CubicNear(t), KeepWhere(Less(t, D(2.0)), CubicFar(t)));
    }
    w[1] = CubicNear(TapDistance(f, 0.0, v));
    D t3 = TapDistance(f, 2.0, v);
    w[3] = KeepWhere(Less(t3, D(2.0)), CubicFar(t3));
}

// True when the taps of every lane's point (floors fx, fy) are inside the
// page and above its last row.
template <class D> inline bool AllTapsInside(D fx, D fy, double width, double height)
{
    return All(And(And(NotLess(fx, D(1.0)), Less(fx + D(2.0), D(width))),
                   And(NotLess(fy, D(1.0)), Less(fy + D(2.0), D(height - 1.0)))));
}

// What the tap fetchers of every width share: the page's rows, one tap row
// at a time.  How a lane reaches its bytes differs between widths and stays
// in each width's file.
struct TapRows {
    const uint8_t* pixels;
    size_t row_bytes;
    const uint8_t* tap_row = nullptr;

    explicit TapRows(const BITMAP* page) : pixels(page->pixels), row_bytes(size_t(page->width) * 3) {}
    void StartRow(int row) { tap_row = pixels + size_t(row) * row_bytes; }
};

// The byte offset of each lane's first tap (column fx - 1, row fy - 1) from
// the page's first byte.  Exact: pages reaching 2^31 bytes never come here.
template <class D> inline D FirstTapOffsets(D fx, D fy, size_t row_bytes)
{
    return (fy - D(1.0)) * D(double(row_bytes)) + (fx - D(1.0)) * D(3.0);
}

// The fetcher that serves any points: each lane's tap is gathered, four
// bytes from it, the fourth being the next pixel's.
template <class D> struct GatheredTaps : TapRows {
    decltype(Truncated(D(0.0))) base;  // byte offset of each lane's first tap

    GatheredTaps(const BITMAP* page, D fx, D fy) : TapRows(page), base(Truncated(FirstTapOffsets(fx, fy, row_bytes))) {}
    void Fetch(int column, D p[3])
    {
        auto words = GatherWords(tap_row + 3 * column, base);
        for (int b = 0; b < 3; b++) p[b] = WordByte(words, b);
    }
};

// The weighted sums of the sixteen taps, row by row.  taps.StartRow(row)
// prepares a tap row, taps.Fetch(column, p) gives the three bytes of each
// lane's tap as doubles.
template <class D, class Taps> inline void SumTaps(const D wx[4], const D wy[4], Taps& taps, D* weight_sum, D sum[3])
{
    for (int row = 0; row < 4; row++) {
        taps.StartRow(row);
        for (int column = 0; column < 4; column++) {
            D w = wy[row] * wx[column];
            *weight_sum = *weight_sum + w;
            D p[3] = {D(0.0), D(0.0), D(0.0)};
            taps.Fetch(column, p);
            for (int b = 0; b < 3; b++) sum[b] = sum[b] + w * p[b];
        }
    }
}

// The weighted sums of the sixteen taps of every lane's point (x, y), or
// false when some tap lies outside the page or on its last row.  Shared
// sets itself up from the floors and says whether its loads serve every
// lane; otherwise each lane's taps are gathered alone.
template <class D, class Shared>
inline bool SumLanes(const BITMAP* page, D x, D y, D* weight_sum, D sum[3])
{
    D fx = Floor(x), fy = Floor(y);
    if (!AllTapsInside(fx, fy, double(page->width), double(page->height))) return false;
    D wx[4] = {x, x, x, x}, wy[4] = {y, y, y, y};
    TapWeights(x, fx, wx);
    TapWeights(y, fy, wy);
    Shared shared;
    if (shared.SetUp(page, fx, fy)) {
        SumTaps(wx, wy, shared, weight_sum, sum);
    } else {
        GatheredTaps<D> gathered(page, fx, fy);
        SumTaps(wx, wy, gathered, weight_sum, sum);
    }
    return true;
}

// RoundToByte in every lane, still as doubles: the nearer integer, the lower
// one on a tie, clamped to 0 ... 255.
template <class D> inline D RoundedToByte(D value)
{
    D low = Floor(value), high = Ceil(value);
    D nearest = Select(Less(high - value, value - low), high, low);
    return Min(Max(nearest, D(0.0)), D(255.0));
}

}  // namespace
