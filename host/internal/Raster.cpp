#include "Raster.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kritzel {

namespace {

// a / b rounded down and up, for b > 0.
long long FloorDiv(long long a, long long b) {
    const long long q = a / b;
    return q - (a % b != 0 && a < 0 ? 1 : 0);
}
long long CeilDiv(long long a, long long b) {
    const long long q = a / b;
    return q + (a % b != 0 && a > 0 ? 1 : 0);
}

} // namespace

void Raster::LineInside(int x0, int y0, int x1, int y1, QRgb c, bool lastPixel) {
    // The same steps as below from the line's first pixel on; both ends lie on the
    // image, so every coordinate and offset fits an int and a ptrdiff_t.
    const int adx = std::abs(x1 - x0), ady = std::abs(y1 - y0);
    const std::ptrdiff_t dx = x1 < x0 ? -4 : 4, dy = y1 < y0 ? -stride_ : stride_;
    const bool xMajor = adx >= ady;
    const int major = xMajor ? adx : ady, twoMinor = 2 * (xMajor ? ady : adx);
    const int twoMajor = 2 * major;
    const std::ptrdiff_t du = xMajor ? dx : dy, dv = xMajor ? dy : dx;
    std::ptrdiff_t at = std::ptrdiff_t(y0) * stride_ + 4 * std::ptrdiff_t(x0);
    int r = major;
    for (int n = major + (lastPixel ? 1 : 0); n > 0; --n) {
        *reinterpret_cast<QRgb*>(bits_ + at) = c;
        at += du;
        r += twoMinor;
        if (r >= twoMajor) {
            r -= twoMajor;
            at += dv;
        }
    }
}

void Raster::LineClipped(int x0, int y0, int x1, int y1, QRgb c, bool lastPixel) {
    const long long adx = std::llabs((long long)x1 - x0), ady = std::llabs((long long)y1 - y0);
    if (adx == 0 && ady == 0) {
        if (lastPixel && Inside(x0, y0))
            reinterpret_cast<QRgb*>(bits_ + std::ptrdiff_t(y0) * stride_)[x0] = c;
        return;
    }
    // Along the major axis u the line takes one pixel per step; pixel i lies i steps
    // along u and k(i) = floor((2 i minor + major) / (2 major)) steps along the minor
    // axis v, which is where the classic error-term loop puts it. So the pixels on the
    // image can be found without walking the part of the line outside it.
    const bool xMajor = adx >= ady;
    const long long major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    const long long u0 = xMajor ? x0 : y0, v0 = xMajor ? y0 : x0;
    const int su = (xMajor ? x1 < x0 : y1 < y0) ? -1 : 1;
    const int sv = (xMajor ? y1 < y0 : x1 < x0) ? -1 : 1;

    // The steps [first, last) whose pixels lie on the image.
    long long first = 0, last = major + (lastPixel ? 1 : 0);
    if (Inside(x0, y0) && Inside(x1, y1)) {
        // Nothing to cut off.
    } else if (!Clip(u0, v0, su, sv, major, minor, xMajor, first, last)) {
        return;
    }
    const long long twoMajor = 2 * major, twoMinor = 2 * minor;
    long long r = major, k = 0;
    if (first > 0) {
        const long long start = twoMinor * first + major;
        r = start % twoMajor;
        k = start / twoMajor;
    }
    const long long x = xMajor ? u0 + su * first : v0 + sv * k;
    const long long y = xMajor ? v0 + sv * k : u0 + su * first;
    const std::ptrdiff_t du = xMajor ? 4 * su : su * stride_;
    const std::ptrdiff_t dv = xMajor ? sv * stride_ : 4 * sv;
    std::ptrdiff_t at = std::ptrdiff_t(y) * stride_ + 4 * std::ptrdiff_t(x);
    for (long long n = last - first; n > 0; --n) {
        *reinterpret_cast<QRgb*>(bits_ + at) = c;
        at += du;
        r += twoMinor;
        if (r >= twoMajor) {
            r -= twoMajor;
            at += dv;
        }
    }
}

bool Raster::Clip(long long u0, long long v0, int su, int sv, long long major, long long minor,
                  bool xMajor, long long& first, long long& last) const {
    const long long uSize = xMajor ? width_ : height_, vSize = xMajor ? height_ : width_;
    if (su > 0) {
        first = std::max(first, -u0);
        last = std::min(last, uSize - u0);
    } else {
        first = std::max(first, u0 - uSize + 1);
        last = std::min(last, u0 + 1);
    }
    // The minor offsets whose v lies on the image, and the steps that have them.
    long long kLo = sv > 0 ? -v0 : v0 - vSize + 1;
    const long long kHi = sv > 0 ? vSize - 1 - v0 : v0;
    kLo = std::max(kLo, 0LL);
    if (kHi < kLo) return false;
    if (minor == 0) {
        if (kLo > 0) return false;
    } else {
        if (kLo > 0) first = std::max(first, CeilDiv(2 * major * kLo - major, 2 * minor));
        last = std::min(last, FloorDiv(2 * major * (kHi + 1) - major - 1, 2 * minor) + 1);
    }
    return first < last;
}

namespace {

// An edge of a polygon: it covers the rows y in [top, bottom) and crosses row y at
// lo.x + (y - top) dx / dy. Its crossing's ceiling, x, is stepped row by row with the
// remainder e = x dy - the exact crossing times dy, which stays in [0, dy).
struct Edge {
    int top, bottom;
    long long x, e, q, rest, dy;
};

// Pixels [from, to) of a row, from < to. A sprite's rows are a few pixels wide, so they
// are written four or two at a time, the last group overlapping the one before it.
inline void FillSpan(QRgb* row, long long from, long long to, QRgb c) {
    QRgb* p = row + from;
    const long long n = to - from;
    const std::uint64_t two = (std::uint64_t(c) << 32) | c;
    if (n >= 4) {
        const std::uint64_t four[2] = {two, two};
        QRgb* const last = p + (n - 4);
        for (; p < last; p += 4)
            std::memcpy(p, four, sizeof four);
        std::memcpy(last, four, sizeof four);
    } else if (n >= 2) {
        std::memcpy(p, &two, sizeof two);
        std::memcpy(p + (n - 2), &two, sizeof two);
    } else {
        *p = c;
    }
}

// The ceiling of this row's crossing; moves on to the next row.
long long Step(Edge& edge) {
    const long long x = edge.x;
    edge.x += edge.q;
    edge.e -= edge.rest;
    if (edge.e < 0) {
        edge.x += 1;
        edge.e += edge.dy;
    }
    return x;
}

// One side of a triangle's rows: the ceiling x of its crossing with row y, stepped row
// by row as Edge is, in ints, which hold every value once the start is found.
struct Side {
    int x, e, q, rest, dy;

    // The edge from lo to hi (lo.y < hi.y), at row y in [lo.y, hi.y).
    Side(const TPoint& lo, const TPoint& hi, int y) {
        const long long dx = (long long)hi.x - lo.x;
        dy = hi.y - lo.y;
        const long long along = (long long)y - lo.y;
        const long long ceil = along == 0 ? 0 : CeilDiv(along * dx, dy);
        const long long fq = FloorDiv(dx, dy);
        x = int(lo.x + ceil);
        e = int(ceil * dy - along * dx);
        q = int(fq);
        rest = int(dx - fq * dy);
    }
};

// The rows of a triangle between two of its sides, from line on, count of them; with
// Clip, cut to the width wide.
template <bool Clip>
void FillRows(uchar* line, std::ptrdiff_t stride, int count, Side& left, Side& right, int wide,
              QRgb brush) {
    // Plain locals, which the compiler keeps in registers.
    int lx = left.x, le = left.e;
    int rx = right.x, re = right.e;
    const int lq = left.q, lrest = left.rest, ldy = left.dy;
    const int rq = right.q, rrest = right.rest, rdy = right.dy;
    for (; count > 0; --count, line += stride) {
        int from = lx, to = rx;
        // To the next row; a remainder gone below zero carries one pixel.
        lx += lq;
        le -= lrest;
        const int lcarry = le >> 31;
        lx -= lcarry;
        le += ldy & lcarry;
        rx += rq;
        re -= rrest;
        const int rcarry = re >> 31;
        rx -= rcarry;
        re += rdy & rcarry;
        if constexpr (Clip) {
            from = std::max(from, 0);
            to = std::min(to, wide);
        }
        if (from < to) FillSpan(reinterpret_cast<QRgb*>(line), from, to, brush);
    }
    left.x = lx;
    left.e = le;
    right.x = rx;
    right.e = re;
}

} // namespace

void Raster::FillTriangle(TPoint a, TPoint b, TPoint c, QRgb brush, int rowFrom, int rowTo,
                          bool wholeRows) {
    // By rows: a on top, c at the bottom.
    if (b.y < a.y) std::swap(a, b);
    if (c.y < b.y) std::swap(b, c);
    if (b.y < a.y) std::swap(a, b);
    if (a.y == c.y) return;
    // The long edge a-c spans every row; the short ones a-b and b-c lie on the side of b.
    // A triangle is convex, so on every row the crossing on b's side lies on the same
    // side of the long edge's crossing, and so do their ceilings.
    const long long cross = ((long long)c.x - a.x) * ((long long)b.y - a.y) -
                            ((long long)b.x - a.x) * ((long long)c.y - a.y);
    const bool shortLeft = cross > 0;
    Side along(a, c, rowFrom);
    const auto rows = [&](Side other, int from, int to) {
        uchar* line = bits_ + std::ptrdiff_t(from) * stride_;
        Side& left = shortLeft ? other : along;
        Side& right = shortLeft ? along : other;
        if (wholeRows)
            FillRows<false>(line, stride_, to - from, left, right, width_, brush);
        else
            FillRows<true>(line, stride_, to - from, left, right, width_, brush);
    };
    const int split = std::clamp(b.y, rowFrom, rowTo);
    if (rowFrom < split) rows(Side(a, b, rowFrom), rowFrom, split);
    if (split < rowTo) rows(Side(b, c, split), split, rowTo);
}

TRect Raster::Polygon(std::span<const TPoint> points, QRgb pen, QRgb brush, bool fill) {
    const auto [l, t, r, b] = BoundsOf(points);
    const std::size_t n = points.size();
    const int rowFrom = std::max(t, 0), rowTo = std::min(b, height_);
    // A triangle, such as the sprite (whose last point may repeat its first).
    const bool triangle = n == 3 || (n == 4 && points[3] == points[0]);
    if (fill && rowFrom < rowTo && triangle) {
        FillTriangle(points[0], points[1], points[2], brush, rowFrom, rowTo, l >= 0 && r < width_);
    } else if (fill && rowFrom < rowTo) {
        // On each row the pixels from the ceiling of one crossing up to, not including,
        // the ceiling of the next are inside.
        Edge edges[MaxCorners];
        int m = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const TPoint& a = points[i];
            const TPoint& z = points[i + 1 == n ? 0 : i + 1];
            if (a.y == z.y) continue;
            const TPoint& lo = a.y < z.y ? a : z;
            const TPoint& hi = a.y < z.y ? z : a;
            const long long dx = (long long)hi.x - lo.x, dy = (long long)hi.y - lo.y;
            const long long along = (long long)std::max(lo.y, rowFrom) - lo.y;
            const long long ceil = along == 0 ? 0 : CeilDiv(along * dx, dy);
            const long long q = FloorDiv(dx, dy);
            edges[m++] = Edge{lo.y, hi.y, lo.x + ceil, ceil * dy - along * dx, q, dx - q * dy, dy};
        }
        for (int y = rowFrom; y < rowTo; ++y) {
            long long xs[MaxCorners];
            int count = 0;
            for (Edge* e = edges; e != edges + m; ++e) {
                if (y < e->top || y >= e->bottom) continue;
                const long long x = Step(*e);
                // Insertion keeps the few crossings of a row in order.
                int k = count++;
                for (; k > 0 && xs[k - 1] > x; --k)
                    xs[k] = xs[k - 1];
                xs[k] = x;
            }
            QRgb* row = reinterpret_cast<QRgb*>(bits_ + std::ptrdiff_t(y) * stride_);
            for (int k = 0; k + 1 < count; k += 2) {
                const long long from = std::max(xs[k], 0LL);
                const long long to = std::min(xs[k + 1], (long long)width_);
                if (from < to) FillSpan(row, from, to, brush);
            }
        }
    }
    // With every corner on the image no edge needs cutting off.
    const bool inside = l >= 0 && t >= 0 && r < width_ && b < height_;
    for (std::size_t i = 0; i < n; ++i) {
        const TPoint& a = points[i];
        const TPoint& z = points[i + 1 == n ? 0 : i + 1];
        // A last corner that repeats the first adds nothing: its pixel is drawn already.
        if (i + 1 == n && n > 1 && a == z) continue;
        if (inside)
            LineInside(a.x, a.y, z.x, z.y, pen, true);
        else
            Line(a.x, a.y, z.x, z.y, pen, true);
    }
    return TRect{l, t, r + 1, b + 1};
}

bool Raster::CopyFrom(const Raster& from, long long sx, long long sy, long long dx, long long dy,
                      long long w, long long h) {
    // Columns, then rows, inside both images.
    const long long j0 = std::max({0LL, -sx, -dx});
    const long long j1 = std::min({w, (long long)from.width_ - sx, (long long)width_ - dx});
    const long long i0 = std::max({0LL, -sy, -dy});
    const long long i1 = std::min({h, (long long)from.height_ - sy, (long long)height_ - dy});
    if (j1 <= j0 || i1 <= i0) return false;
    const std::ptrdiff_t sstride = from.stride_;
    const uchar* s = from.bits_ + (sy + i0) * sstride + 4 * (sx + j0);
    uchar* d = bits_ + (dy + i0) * stride_ + 4 * (dx + j0);
    const std::size_t bytes = std::size_t(4 * (j1 - j0));
    for (long long i = i0; i < i1; ++i, s += sstride, d += stride_)
        std::memmove(d, s, bytes);
    return true;
}

} // namespace kritzel
