// Direct pixel writing on a plain 32-bit image: thin lines, small polygons and row
// copies, for the small shapes where QPainter's set-up would cost more than the pixels.
// Its lines follow the classic pens; QPainter, which draws every other shape of the
// canvas, covers the same pixels give or take one pixel sideways.
#pragma once

#include "Types.h"

#include <QImage>

#include <cstddef>
#include <span>

namespace kritzel {

class Raster {
public:
    // Polygons with more corners go to QPainter.
    static constexpr std::size_t maxCorners = 16;

    // Rows of width pixels of 32 bits, stride bytes apart, that stay alive and unshared
    // while this raster writes to them.
    Raster(uchar* bits, std::ptrdiff_t stride, int width, int height)
        : bits_(bits), stride_(stride), width_(width), height_(height) {}

    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Bresenham's line, both ends inside. Thin lines leave out their last pixel, as the
    // classic pens do; outlines keep it.
    void Line(int x0, int y0, int x1, int y1, QRgb c, bool lastPixel);
    // A polygon of at most maxCorners corners, all inside: pixels whose centres lie
    // inside (odd-even rule) take the brush when fill is set, then the edges are traced
    // with the pen. Returns the pixels it may have touched.
    TRect Polygon(std::span<const TPoint> points, QRgb pen, QRgb brush, bool fill);

    // Copies w x h pixels from (sx, sy) of from, an image of 32 bits per pixel, to
    // (dx, dy) here, pixel for pixel and clipped to both; false when nothing overlaps.
    bool CopyFrom(const QImage& from, long long sx, long long sy, long long dx, long long dy,
                  long long w, long long h);

private:
    void Plot(int x, int y, QRgb c) {
        reinterpret_cast<QRgb*>(bits_ + std::ptrdiff_t(y) * stride_)[x] = c;
    }

    uchar* bits_ = nullptr;
    std::ptrdiff_t stride_ = 0;
    int width_ = 0;
    int height_ = 0;
};

} // namespace kritzel
