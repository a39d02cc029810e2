#include "Pixels.h"

#include <cstdint>

namespace kritzel::vergleich {

namespace {

// The drawn pixels of one picture, and how many of them find no pixel of their colour within
// one pixel of the same place in the other. The other is shifted by (dx, dy).
struct Count {
    std::uint64_t drawn = 0, differing = 0;
};

Count Unmatched(const QImage& own, const QImage& other, int dx, int dy) {
    Count c;
    const QRgb back = own.pixel(0, 0) & 0xFFFFFF;
    const int w = other.width(), h = other.height();
    for (int y = 0; y < own.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(own.constScanLine(y));
        for (int x = 0; x < own.width(); ++x) {
            const QRgb colour = row[x] & 0xFFFFFF;
            if (colour == back) continue;
            ++c.drawn;
            bool found = false;
            for (int oy = y + dy - 1; oy <= y + dy + 1 && !found; ++oy) {
                if (oy < 0 || oy >= h) continue;
                const auto* orow = reinterpret_cast<const QRgb*>(other.constScanLine(oy));
                for (int ox = x + dx - 1; ox <= x + dx + 1 && !found; ++ox)
                    found = ox >= 0 && ox < w && (orow[ox] & 0xFFFFFF) == colour;
            }
            if (!found) ++c.differing;
        }
    }
    return c;
}

} // namespace

double DifferingShare(const QImage& solution, const QImage& drawing) {
    // A missing picture has nothing drawn: all that the other has differs.
    if (solution.isNull() || drawing.isNull()) {
        const QImage one =
            (solution.isNull() ? drawing : solution).convertToFormat(QImage::Format_RGB32);
        return !one.isNull() && Unmatched(one, one, 0, 0).drawn > 0 ? 1 : 0;
    }
    const QImage a = solution.convertToFormat(QImage::Format_RGB32);
    const QImage b = drawing.convertToFormat(QImage::Format_RGB32);
    // The turtle's origin lies in each picture's middle.
    const int dx = b.width() / 2 - a.width() / 2, dy = b.height() / 2 - a.height() / 2;
    const Count ca = Unmatched(a, b, dx, dy), cb = Unmatched(b, a, -dx, -dy);
    const std::uint64_t drawn = ca.drawn + cb.drawn;
    return drawn == 0 ? 0 : double(ca.differing + cb.differing) / double(drawn);
}

} // namespace kritzel::vergleich
