#include "Raster.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kritzel {

namespace {

// The smallest integer not below v, for values well inside the int range.
int CeilToInt(double v) {
    const int i = int(v);
    return i + (double(i) < v ? 1 : 0);
}

} // namespace

void Raster::Line(int x0, int y0, int x1, int y1, QRgb c, bool lastPixel) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        if (x0 == x1 && y0 == y1) {
            if (lastPixel) Plot(x0, y0, c);
            return;
        }
        Plot(x0, y0, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

TRect Raster::Polygon(std::span<const TPoint> points, QRgb pen, QRgb brush, bool fill) {
    const auto [l, t, r, b] = BoundsOf(points);
    const std::size_t n = points.size();
    if (fill) {
        // Each edge covers the rows whose centres lie in [top, bottom); along them its
        // crossing moves by a fixed step.
        struct Edge {
            int first, last;
            double x, step;
        };
        Edge edges[maxCorners];
        int m = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const TPoint& a = points[i];
            const TPoint& e = points[i + 1 == n ? 0 : i + 1];
            if (a.y == e.y) continue;
            const TPoint& lo = a.y < e.y ? a : e;
            const TPoint& hi = a.y < e.y ? e : a;
            const double step = double(hi.x - lo.x) / double(hi.y - lo.y);
            edges[m++] = Edge{lo.y, hi.y - 1, lo.x + 0.5 * step, step};
        }
        for (int y = t; y < b; ++y) {
            double xs[maxCorners];
            int count = 0;
            for (int i = 0; i < m; ++i) {
                const Edge& e = edges[i];
                if (y < e.first || y > e.last) continue;
                // Insertion keeps the few crossings of a row in order.
                const double x = e.x + (y - e.first) * e.step;
                int k = count++;
                while (k > 0 && xs[k - 1] > x) {
                    xs[k] = xs[k - 1];
                    --k;
                }
                xs[k] = x;
            }
            QRgb* row = reinterpret_cast<QRgb*>(bits_ + std::ptrdiff_t(y) * stride_);
            for (int k = 0; k + 1 < count; k += 2) {
                const int from = std::max(l, CeilToInt(xs[k] - 0.5));
                const int to = std::min(r + 1, CeilToInt(xs[k + 1] - 0.5));
                for (int x = from; x < to; ++x)
                    row[x] = brush;
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const TPoint& a = points[i];
        const TPoint& e = points[(i + 1) % n];
        Line(a.x, a.y, e.x, e.y, pen, true);
    }
    return TRect{l, t, r + 1, b + 1};
}

bool Raster::CopyFrom(const QImage& from, long long sx, long long sy, long long dx, long long dy,
                      long long w, long long h) {
    // Columns, then rows, inside both images.
    const long long j0 = std::max({0LL, -sx, -dx});
    const long long j1 = std::min({w, (long long)from.width() - sx, (long long)width_ - dx});
    const long long i0 = std::max({0LL, -sy, -dy});
    const long long i1 = std::min({h, (long long)from.height() - sy, (long long)height_ - dy});
    if (j1 <= j0 || i1 <= i0) return false;
    const std::ptrdiff_t sstride = from.bytesPerLine();
    const uchar* s = from.constBits() + (sy + i0) * sstride + 4 * (sx + j0);
    uchar* d = bits_ + (dy + i0) * stride_ + 4 * (dx + j0);
    const std::size_t bytes = std::size_t(4 * (j1 - j0));
    for (long long i = i0; i < i1; ++i, s += sstride, d += stride_)
        std::memmove(d, s, bytes);
    return true;
}

} // namespace kritzel
