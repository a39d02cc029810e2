// The drawing surface: edges, pen and brush rules, copies between canvases, the
// device context's mapping, colours.
#include "support.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "host/internal/Raster.h"
#include <kritzelwerk/host/PainterCanvas.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace kritzel;
using namespace kritzel::test;

namespace {

struct Surface {
    explicit Surface(int w = 20, int h = 20) {
        bitmap.SetWidth(w);
        bitmap.SetHeight(h);
        canvas().Brush().SetColor(clWhite);
        canvas().FillRect(Rect(0, 0, w, h));
    }
    TCanvas& canvas() { return *bitmap.Canvas(); }
    TBitmap bitmap;
};

} // namespace

TEST(Canvas, RectanglesExcludeTheirRightAndBottomEdges) {
    Surface s;
    s.canvas().Brush().SetColor(clRed);
    s.canvas().FillRect(Rect(2, 3, 6, 8));
    EXPECT_EQ(s.canvas().Pixels(2, 3), clRed);
    EXPECT_EQ(s.canvas().Pixels(5, 7), clRed);
    EXPECT_EQ(s.canvas().Pixels(6, 7), clWhite);
    EXPECT_EQ(s.canvas().Pixels(5, 8), clWhite);
    EXPECT_EQ(CountColor(s.bitmap.Image(), clRed), 4 * 5);
    // An empty or turned-over rectangle fills nothing.
    s.canvas().Brush().SetColor(clBlue);
    s.canvas().FillRect(Rect(10, 10, 10, 15));
    s.canvas().FillRect(Rect(15, 15, 12, 12));
    EXPECT_EQ(CountColor(s.bitmap.Image(), clBlue), 0);
}

TEST(Canvas, ThinLinesLeaveOutTheirEndPointAndMoveTheCurrentPoint) {
    Surface s;
    s.canvas().Pen().SetColor(clBlue);
    s.canvas().MoveTo(2, 5);
    s.canvas().LineTo(10, 5);
    EXPECT_EQ(s.canvas().PenPos(), (TPoint{10, 5}));
    EXPECT_EQ(s.canvas().Pixels(2, 5), clBlue);
    EXPECT_EQ(s.canvas().Pixels(9, 5), clBlue);
    EXPECT_EQ(s.canvas().Pixels(10, 5), clWhite);
    // The next line starts where the last one ended.
    s.canvas().LineTo(10, 12);
    EXPECT_EQ(s.canvas().Pixels(10, 5), clBlue);
    EXPECT_EQ(s.canvas().Pixels(10, 11), clBlue);
    EXPECT_EQ(CountColor(s.bitmap.Image(), clBlue), 8 + 7);
}

TEST(Canvas, PenWidthAndColourTakeEffectWithTheNextLine) {
    Surface s(40, 40);
    s.canvas().Pen().SetColor(clRed);
    s.canvas().Pen().SetWidth(5);
    s.canvas().MoveTo(5, 20);
    s.canvas().LineTo(35, 20);
    EXPECT_EQ(s.canvas().Pixels(20, 18), clRed);
    EXPECT_EQ(s.canvas().Pixels(20, 22), clRed);
    EXPECT_EQ(s.canvas().Pixels(20, 24), clWhite);
    // Zero and negative widths draw hairlines rather than nothing.
    s.canvas().Pen().SetColor(clGreen);
    s.canvas().Pen().SetWidth(-3);
    s.canvas().MoveTo(5, 5);
    s.canvas().LineTo(35, 5);
    EXPECT_EQ(CountColor(s.bitmap.Image(), clGreen), 30);
}

TEST(Canvas, GivingAClearBrushAColourMakesItSolid) {
    Surface s;
    s.canvas().Brush().SetStyle(bsClear);
    s.canvas().Brush().SetColor(clLime);
    EXPECT_EQ(s.canvas().Brush().Style(), bsSolid);
    s.canvas().FillRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(s.canvas().Pixels(1, 1), clLime);
    // A clear brush leaves the inside of shapes alone, and FillRect does nothing.
    s.canvas().Brush().SetStyle(bsClear);
    s.canvas().FillRect(Rect(5, 5, 10, 10));
    s.canvas().Pen().SetColor(clBlack);
    s.canvas().Ellipse(4, 4, 18, 18);
    EXPECT_EQ(s.canvas().Pixels(11, 11), clWhite);
    EXPECT_EQ(s.canvas().Pixels(11, 4), clBlack);
}

TEST(Canvas, PolygonsAreOutlinedWithThePenAndFilledWithTheBrush) {
    Surface s;
    s.canvas().Pen().SetColor(clBlue);
    s.canvas().Brush().SetColor(clYellow);
    const TPoint pts[4] = {{2, 2}, {15, 2}, {15, 15}, {2, 2}};
    s.canvas().Polygon(pts);
    EXPECT_EQ(s.canvas().Pixels(15, 8), clBlue);
    EXPECT_EQ(s.canvas().Pixels(12, 6), clYellow);
    EXPECT_EQ(s.canvas().Pixels(4, 12), clWhite);
}

TEST(Canvas, CopiesArePixelExactAndClippedToBothSurfaces) {
    Surface src(10, 10), dst(10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            src.canvas().Brush().SetColor(RGB(std::uint8_t(x * 20), std::uint8_t(y * 20), 7));
            src.canvas().FillRect(Rect(x, y, x + 1, y + 1));
        }
    dst.canvas().CopyRect(Rect(2, 2, 6, 6), src.canvas(), Rect(4, 5, 8, 9));
    EXPECT_EQ(dst.canvas().Pixels(2, 2), RGB(80, 100, 7));
    EXPECT_EQ(dst.canvas().Pixels(5, 5), RGB(140, 160, 7));
    EXPECT_EQ(dst.canvas().Pixels(6, 6), clWhite);
    // Reaching beyond either surface copies only the part inside both.
    Surface edge(10, 10);
    edge.canvas().CopyRect(Rect(-3, 7, 5, 15), src.canvas(), Rect(0, 0, 8, 8));
    EXPECT_EQ(edge.canvas().Pixels(0, 7), RGB(60, 0, 7));
    EXPECT_EQ(edge.canvas().Pixels(4, 9), RGB(140, 40, 7));
    EXPECT_EQ(edge.canvas().Pixels(5, 9), clWhite);
    EXPECT_EQ(edge.canvas().Pixels(0, 6), clWhite);
    Surface off(10, 10);
    off.canvas().CopyRect(Rect(0, 0, 10, 10), src.canvas(), Rect(-5, -5, 5, 5));
    EXPECT_EQ(off.canvas().Pixels(5, 5), RGB(0, 0, 7));
    EXPECT_EQ(off.canvas().Pixels(9, 9), RGB(80, 80, 7));
}

TEST(Canvas, PixelsOutsideTheSurfaceAreInvalid) {
    Surface s(5, 5);
    EXPECT_EQ(s.canvas().Pixels(-1, 0), -1);
    EXPECT_EQ(s.canvas().Pixels(0, 5), -1);
    EXPECT_EQ(s.canvas().Pixels(4, 4), clWhite);
}

TEST(Canvas, FarAwayLinesDrawTheirVisiblePart) {
    Surface s(20, 20);
    s.canvas().Pen().SetColor(clRed);
    s.canvas().MoveTo(-2000000000, 10);
    s.canvas().LineTo(2000000000, 10);
    EXPECT_EQ(CountColor(s.bitmap.Image(), clRed), 20);
    s.canvas().MoveTo(5, INT32_MIN);
    s.canvas().LineTo(5, INT32_MAX);
    EXPECT_EQ(s.canvas().Pixels(5, 0), clRed);
    EXPECT_EQ(s.canvas().Pixels(5, 19), clRed);
}

TEST(Canvas, SystemColoursComeFromThePalette) {
    QPalette pal;
    pal.setColor(QPalette::Active, QPalette::Button, QColor(1, 2, 3));
    pal.setColor(QPalette::Active, QPalette::Base, QColor(9, 8, 7));
    EXPECT_EQ(ToQColor(clBtnFace, pal), QColor(1, 2, 3));
    EXPECT_EQ(ToQColor(clWindow, pal), QColor(9, 8, 7));
    // Byte 3 clear: the colour as it stands, red in the lowest byte.
    EXPECT_EQ(ToQColor(0x00336699, pal), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(ToQColor(clNavy), QColor(0, 0, 0x80));
}

TEST(DeviceContext, LometricThenAnisotropicTurnsTheYAxisDown) {
    TDeviceContext dc;
    // A page of 2000 x 2800 pixels over 200 x 280 mm: 10 pixels a millimetre.
    dc.SetDevice(2000, 2800, 200, 280, 254, 254);
    EXPECT_EQ(GetDeviceCaps(&dc, HORZSIZE), 200);
    EXPECT_EQ(GetDeviceCaps(&dc, VERTSIZE), 280);
    SetMapMode(&dc, MM_LOMETRIC);
    TSize w, v;
    ASSERT_TRUE(GetWindowExtEx(&dc, &w));
    ASSERT_TRUE(GetViewportExtEx(&dc, &v));
    EXPECT_EQ(w, (TSize{2000, 2800}));
    EXPECT_EQ(v, (TSize{2000, -2800}));
    EXPECT_DOUBLE_EQ(dc.ScaleY(), -1.0);
    // Extents can only be set in the anisotropic mode.
    EXPECT_FALSE(SetViewportExtEx(&dc, v.cx, -v.cy));
    SetMapMode(&dc, MM_ANISOTROPIC);
    ASSERT_TRUE(SetWindowExtEx(&dc, w.cx, w.cy));
    ASSERT_TRUE(SetViewportExtEx(&dc, v.cx, -v.cy));
    EXPECT_DOUBLE_EQ(dc.ScaleX(), 1.0);
    EXPECT_DOUBLE_EQ(dc.ScaleY(), 1.0);
    // 0.1 mm units: a point of font size is 254/72 of them.
    EXPECT_DOUBLE_EQ(dc.LogicalPerInch(), 254.0);
    SetMapMode(&dc, MM_TEXT);
    EXPECT_EQ(dc.WindowExt(), (TSize{1, 1}));
}

// The device helpers every layer shares: the ends of the 32-bit range hold, and an empty
// rectangle (the "nothing yet" of a dirty area or a picture's bounds) never widens a union.
TEST(Types, DeviceHelpersHoldTheEndsOfTheRange) {
    constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t hi = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(SaturateToInt32(std::int64_t{hi} + 1), hi);
    EXPECT_EQ(SaturateToInt32(std::int64_t{lo} - 1), lo);
    EXPECT_EQ(SaturateToInt32(-7), -7);

    const TPoint far[] = {{hi, 5}, {lo, -3}, {0, hi}};
    EXPECT_EQ(BoundsOf(far), (TBounds{lo, -3, hi, hi}));
    const TPoint one[] = {{4, 9}};
    EXPECT_EQ(BoundsOf(one), (TBounds{4, 9, 4, 9}));

    const TRect a{10, 20, 30, 40}, b{-5, 25, 12, 50};
    EXPECT_EQ(Unite(a, b), (TRect{-5, 20, 30, 50}));
    EXPECT_EQ(Unite(TRect{}, a), a);
    EXPECT_EQ(Unite(a, TRect{100, 100, 100, 200}), a);
}

namespace {

// Pixels of one picture that are not background and have no such pixel within one
// pixel in the other picture.
int InkAwayFrom(const QImage& a, const QImage& b, QRgb background) {
    auto inkNear = [&](int x, int y) {
        for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i)
                if (b.valid(x + i, y + j) && b.pixel(x + i, y + j) != background) return true;
        return false;
    };
    int away = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            away += a.pixel(x, y) != background && !inkNear(x, y);
    return away;
}

// Pixels whose whole neighbourhood in a has colour c while b has another colour there.
int InteriorMissing(const QImage& a, const QImage& b, QRgb c) {
    int missing = 0;
    for (int y = 1; y + 1 < a.height(); ++y)
        for (int x = 1; x + 1 < a.width(); ++x) {
            bool inside = true;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i)
                    inside = inside && a.pixel(x + i, y + j) == c;
            missing += inside && b.pixel(x, y) != c;
        }
    return missing;
}

} // namespace

TEST(Canvas, TheDirectRasteriserDrawsWhatQPainterDraws) {
    // The same thin lines and small polygons, once written by the rasteriser into a plain
    // 32-bit image and once by the canvas's QPainter (an image with alpha never takes the
    // direct path). The two place single pixels by different rules: on a slope they may
    // step one pixel apart, a line drawn leftwards or upwards leaves out its first pixel
    // under QPainter and its last under the rasteriser, and outlines are traced one
    // pixel apart. So a line must cover as many pixels, every pixel of either picture
    // must lie within one pixel of the other's, and the inside of a filled shape must
    // be filled in both.
    constexpr int side = 64;
    const QRgb white = qRgb(255, 255, 255), pen = qRgb(0, 0, 255), brush = qRgb(255, 255, 0);
    QImage direct(side, side, QImage::Format_RGB32), painted(side, side, QImage::Format_ARGB32);
    Raster raster(direct.bits(), direct.bytesPerLine(), side, side);
    TPainterCanvas canvas;
    canvas.BeginImage(&painted, 96);
    canvas.Pen().SetColor(clBlue);
    auto compare = [&](const std::string& what) {
        EXPECT_EQ(InkAwayFrom(direct, painted, white), 0) << what;
        EXPECT_EQ(InkAwayFrom(painted, direct, white), 0) << what;
        EXPECT_EQ(InteriorMissing(direct, painted, brush), 0) << what;
        EXPECT_EQ(InteriorMissing(painted, direct, brush), 0) << what;
    };

    // Lines from the centre into every octant, flat, steep and diagonal.
    for (int dx = -30; dx <= 30; dx += 5)
        for (int dy = -30; dy <= 30; dy += 6) {
            if (dx == 0 && dy == 0) continue;
            direct.fill(white);
            painted.fill(white);
            raster.Line(32, 32, 32 + dx, 32 + dy, pen, false);
            canvas.MoveTo(32, 32);
            canvas.LineTo(32 + dx, 32 + dy);
            const std::string what = "line by " + std::to_string(dx) + "," + std::to_string(dy);
            EXPECT_EQ(CountColor(direct, clBlue), CountColor(painted, clBlue)) << what;
            compare(what);
        }

    // The sprite's triangle turned in steps of 15 degrees, a concave star of the most
    // corners the rasteriser takes, each filled and outlined only.
    auto turned = [](double r, double degrees) {
        const double a = degrees * 3.14159265358979 / 180;
        return TPoint{int(std::lround(32 + r * std::cos(a))),
                      int(std::lround(32 - r * std::sin(a)))};
    };
    std::vector<std::vector<TPoint>> shapes;
    for (int k = 0; k < 24; ++k)
        shapes.push_back({turned(20, k * 15), turned(12, k * 15 + 143), turned(12, k * 15 - 143)});
    std::vector<TPoint> star;
    for (std::size_t k = 0; k < Raster::MaxCorners; ++k)
        star.push_back(turned(k % 2 ? 12 : 28, double(k) * 360 / Raster::MaxCorners));
    shapes.push_back(star);
    for (std::size_t i = 0; i < shapes.size(); ++i)
        for (const bool fill : {true, false}) {
            direct.fill(white);
            painted.fill(white);
            raster.Polygon(shapes[i], pen, brush, fill);
            if (fill)
                canvas.Brush().SetColor(clYellow);
            else
                canvas.Brush().SetStyle(bsClear);
            canvas.Polygon(shapes[i]);
            compare("shape " + std::to_string(i) + (fill ? " filled" : " outlined"));
        }
}

TEST(Canvas, TheRasteriserClipsToExactlyThePixelsOfTheWholeShape) {
    // Drawn whole on a large image and clipped on a small one that sees only its middle,
    // lines and polygons must give the same pixels there, whichever parts lie outside.
    constexpr int big = 300, small = 100, off = 100;
    const QRgb white = qRgb(255, 255, 255), pen = qRgb(0, 0, 255), brush = qRgb(255, 255, 0);
    QImage whole(big, big, QImage::Format_RGB32), cut(small, small, QImage::Format_RGB32);
    Raster wholeRaster(whole.bits(), whole.bytesPerLine(), big, big);
    Raster cutRaster(cut.bits(), cut.bytesPerLine(), small, small);
    std::uint32_t seed = 12345;
    auto next = [&seed](int range) {
        seed = seed * 1664525u + 1013904223u;
        return int((seed >> 8) % std::uint32_t(range));
    };
    auto shifted = [](std::vector<TPoint> points) {
        for (TPoint& p : points)
            p = TPoint{p.x - off, p.y - off};
        return points;
    };
    for (int round = 0; round < 400; ++round) {
        whole.fill(white);
        cut.fill(white);
        std::vector<TPoint> points;
        const int corners = round % 2 ? 2 : 3 + round % 5;
        for (int i = 0; i < corners; ++i)
            points.push_back(TPoint{next(big), next(big)});
        const std::vector<TPoint> local = shifted(points);
        if (corners == 2) {
            const bool last = round % 4 == 1;
            wholeRaster.Line(points[0].x, points[0].y, points[1].x, points[1].y, pen, last);
            cutRaster.Line(local[0].x, local[0].y, local[1].x, local[1].y, pen, last);
        } else {
            wholeRaster.Polygon(points, pen, brush, true);
            cutRaster.Polygon(local, pen, brush, true);
        }
        ASSERT_EQ(DifferingPixels(whole.copy(off, off, small, small), cut), 0) << "round " << round;
    }
    // Lines from far outside still find their pixels: a line across the image, 4 million
    // pixels long, crosses every column once.
    cut.fill(white);
    cutRaster.Line(-Raster::Reach, 20, Raster::Reach, 80, pen, false);
    EXPECT_EQ(CountColor(cut, clBlue), small);
    EXPECT_EQ(cut.pixel(50, 50), pen);
}

TEST(Canvas, TrianglesFillAsAnyPolygonDoes) {
    // Triangles take their own path; the same triangle with a corner repeated, whose
    // extra edge is flat and adds nothing, takes the general one. Every triangle with
    // corners on a 12 x 12 grid, partly off a 10 x 10 image on every side, must come
    // out the same pixels both ways.
    constexpr int side = 10;
    const QRgb white = qRgb(255, 255, 255), pen = qRgb(0, 0, 255), brush = qRgb(255, 255, 0);
    QImage fast(side, side, QImage::Format_RGB32), general(side, side, QImage::Format_RGB32);
    Raster fastRaster(fast.bits(), fast.bytesPerLine(), side, side);
    Raster generalRaster(general.bits(), general.bytesPerLine(), side, side);
    std::vector<TPoint> grid;
    for (int y = -1; y <= side; ++y)
        for (int x = -1; x <= side; ++x)
            grid.push_back(TPoint{x, y});
    long differing = 0, filled = 0;
    for (std::size_t i = 0; i < grid.size(); ++i)
        for (std::size_t j = i + 1; j < grid.size(); ++j)
            for (std::size_t k = j + 1; k < grid.size(); ++k) {
                fast.fill(white);
                general.fill(white);
                const TPoint a = grid[i], b = grid[j], c = grid[k];
                const TPoint three[] = {a, b, c}, four[] = {a, b, b, c};
                fastRaster.Polygon(three, pen, brush, true);
                generalRaster.Polygon(four, pen, brush, true);
                if (std::memcmp(fast.constBits(), general.constBits(), fast.sizeInBytes()) != 0 &&
                    differing++ == 0)
                    ADD_FAILURE() << "first at (" << a.x << "," << a.y << ") (" << b.x << "," << b.y
                                  << ") (" << c.x << "," << c.y << ")";
                filled += fast.pixel(side / 2, side / 2) == brush ? 1 : 0;
            }
    EXPECT_EQ(differing, 0);
    // The grid's triangles cover the middle with their fill, not only with outlines.
    EXPECT_GT(filled, 1000);
}
