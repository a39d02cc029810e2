// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
// Direct pixel writing on a plain 32-bit image: thin lines and polygons of a few corners,
// clipped to the image, and row copies; QPainter's set-up would cost more than most of
// these shapes. Its lines follow the classic pens; QPainter, which draws every other
// shape of the canvas, covers the same pixels give or take one pixel sideways.
#pragma once

#include "../Types.h"

#include <QImage>

#include <cstddef>
#include <span>

namespace kritzel {

class Raster {
public:
    // Polygons with more corners go to QPainter.
    static constexpr std::size_t MaxCorners = 16;
    // How far from the image a corner or line end may lie; the arithmetic stays exact in
    // 64 bits up to here. Farther shapes go to QPainter, which cuts them back first.
    static constexpr int Reach = 1 << 22;
    static bool Within(int v) { return v >= -Reach && v <= Reach; }

    // Rows of width pixels of 32 bits, stride bytes apart, that stay alive and unshared
    // while this raster writes to them.
    Raster(uchar* bits, std::ptrdiff_t stride, int width, int height)
        : bits_(bits), stride_(stride), width_(width), height_(height) {}

    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Bresenham's line between two points within reach: exactly those of its pixels
    // that lie on the image, whichever part of it does. Thin lines leave out their last
    // pixel, as the classic pens do; outlines keep it.
    void Line(int x0, int y0, int x1, int y1, QRgb c, bool lastPixel) {
        if (Inside(x0, y0) && Inside(x1, y1))
            LineInside(x0, y0, x1, y1, c, lastPixel);
        else
            LineClipped(x0, y0, x1, y1, c, lastPixel);
    }
    // A polygon of at most MaxCorners corners within reach. With fill set, the pixels
    // whose centres lie inside (odd-even rule) take the brush; a device point is a
    // pixel's centre here, as it is for the outline, so the fill meets the outline
    // without a gap at any slope. Then the edges are traced with the pen. Returns the
    // pixels it may have touched, before clipping.
    TRect Polygon(std::span<const TPoint> points, QRgb pen, QRgb brush, bool fill);

    // Copies w x h pixels from (sx, sy) of from to (dx, dy) here, pixel for pixel and
    // clipped to both; false when nothing overlaps. from is only read.
    bool CopyFrom(const Raster& from, long long sx, long long sy, long long dx, long long dy,
                  long long w, long long h);

private:
    // Fills the rows [rowFrom, rowTo) of the triangle abc, at least one of them its own,
    // as Polygon does; wholeRows when every row lies within the image's width.
    void FillTriangle(TPoint a, TPoint b, TPoint c, QRgb brush, int rowFrom, int rowTo,
                      bool wholeRows);
    // Line with both ends on the image, so nothing needs cutting off; short lines such
    // as the sprite's edges are mostly their set-up.
    void LineInside(int x0, int y0, int x1, int y1, QRgb c, bool lastPixel);
    void LineClipped(int x0, int y0, int x1, int y1, QRgb c, bool lastPixel);
    // Narrows the steps [first, last) of a line from (u0, v0) along its major axis u to
    // those whose pixels lie on the image; false when none does.
    bool Clip(long long u0, long long v0, int su, int sv, long long major, long long minor,
              bool xMajor, long long& first, long long& last) const;

    uchar* bits_ = nullptr;
    std::ptrdiff_t stride_ = 0;
    int width_ = 0;
    int height_ = 0;
};

} // namespace kritzel
