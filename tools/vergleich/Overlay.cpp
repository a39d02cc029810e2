#include "Overlay.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace kritzel::vergleich {

namespace {

// Where a recording has no scale of its own, and how large the picture may grow: a report
// holds thirty of them.
constexpr double FallbackPixelsPerCm = 40;
constexpr double LongestSidePx = 1200;
constexpr double FallbackSideCm = 10;

const QColor Paper(255, 255, 255);
const QColor GridColour(226, 230, 235);
const QColor AxisColour(150, 160, 172);
const QColor SolutionColour(190, 190, 190);
const QColor SolutionFill(228, 228, 228);
const QColor DrawingColour(0, 0, 0);
const QColor DrawingFill(0, 0, 0, 70);
const QColor MissingColour(222, 30, 30);
const QColor ExtraColour(30, 90, 230);

// The solution's strokes are drawn this much wider than the drawing's, so that a stroke both
// have shows as black on a grey band and one the drawing lacks as grey alone.
constexpr double SolutionWiderPx = 3;
constexpr double MarkWidthPx = 3;
// A thin pen's stroke, a little over one pixel, so that antialiasing leaves it black.
constexpr double ThinPx = 1.5;

// The plane in LE mapped onto the picture: origin in the middle of the area shown, y up. A
// point falls on a pixel's centre, as the turtle maps it, so that thin lines at whole
// centimetres stay one crisp pixel wide.
class Plane {
public:
    Plane(double widthLe, double heightLe, double pixelsPerCm)
        : width_(widthLe), height_(heightLe), scale_(pixelsPerCm) {}
    QPointF operator()(const Point& p) const {
        return {(p.x + width_ / 2) * scale_ + 0.5, (height_ / 2 - p.y) * scale_ + 0.5};
    }
    double Px(double le) const { return le * scale_; }
    QSize Size() const {
        return {std::max(1, static_cast<int>(std::lround(width_ * scale_))),
                std::max(1, static_cast<int>(std::lround(height_ * scale_)))};
    }
    double Width() const { return width_; }
    double Height() const { return height_; }

private:
    double width_, height_, scale_;
};

QPolygonF Polygon(const Plane& plane, const std::vector<Point>& points) {
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const Point& p : points)
        polygon << plane(p);
    return polygon;
}

QPen Pen(const QColor& colour, double widthPx) {
    QPen pen(colour, widthPx);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void PaintGrid(QPainter& painter, const Plane& plane) {
    painter.setPen(Pen(GridColour, 1));
    const double halfW = plane.Width() / 2, halfH = plane.Height() / 2;
    for (double x = -std::floor(halfW); x <= halfW; ++x)
        painter.drawLine(plane({x, halfH}), plane({x, -halfH}));
    for (double y = -std::floor(halfH); y <= halfH; ++y)
        painter.drawLine(plane({-halfW, y}), plane({halfW, y}));
    painter.setPen(Pen(AxisColour, 1.5));
    painter.drawLine(plane({0, halfH}), plane({0, -halfH}));
    painter.drawLine(plane({-halfW, 0}), plane({halfW, 0}));
    // A tick at every centimetre on both axes, so the axes read as rulers.
    const double tick = 4;
    for (double x = -std::floor(halfW); x <= halfW; ++x) {
        const QPointF at = plane({x, 0});
        painter.drawLine(at + QPointF(0, -tick), at + QPointF(0, tick));
    }
    for (double y = -std::floor(halfH); y <= halfH; ++y) {
        const QPointF at = plane({0, y});
        painter.drawLine(at + QPointF(-tick, 0), at + QPointF(tick, 0));
    }
}

// One drawing in one colour: areas filled (a pale fill, so nothing beneath is hidden),
// then strokes and circles, then texts.
void PaintDrawing(QPainter& painter, const Plane& plane, const Drawing& drawing,
                  const QColor& colour, const QColor& fill, double widerPx) {
    for (const Area& area : drawing.areas) {
        painter.setPen(area.outlined ? Pen(colour, ThinPx + widerPx) : Qt::NoPen);
        painter.setBrush(fill);
        painter.drawPolygon(Polygon(plane, area.outline));
    }
    for (const Circle& circle : drawing.circles) {
        painter.setPen(Pen(colour, ThinPx + widerPx));
        painter.setBrush(circle.filled ? QBrush(fill) : QBrush(Qt::NoBrush));
        const double r = plane.Px(circle.radius);
        painter.drawEllipse(plane(circle.centre), r, r);
    }
    painter.setBrush(Qt::NoBrush);
    for (const Line& line : drawing.lines) {
        painter.setPen(Pen(colour, std::max(ThinPx, plane.Px(line.width)) + widerPx));
        painter.drawLine(plane(line.a), plane(line.b));
    }
    painter.setPen(colour);
    for (const Text& text : drawing.texts) {
        QFont font;
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(plane.Px(text.height)))));
        painter.setFont(font);
        const QPointF at = plane(text.at);
        painter.drawText(QRectF(at, QSizeF(plane.Px(plane.Width()), plane.Px(text.height))),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                         QString::fromStdString(text.text));
    }
}

void PaintMarks(QPainter& painter, const Plane& plane, const Comparison& comparison) {
    painter.setBrush(Qt::NoBrush);
    for (const Difference& difference : comparison.differences) {
        painter.setPen(Pen(MissingColour, MarkWidthPx));
        for (const std::vector<Point>& run : difference.missing)
            run.size() == 1 ? painter.drawPoint(plane(run.front()))
                            : painter.drawPolyline(Polygon(plane, run));
        painter.setPen(Pen(ExtraColour, MarkWidthPx));
        for (const std::vector<Point>& run : difference.extra)
            run.size() == 1 ? painter.drawPoint(plane(run.front()))
                            : painter.drawPolyline(Polygon(plane, run));
    }
}

} // namespace

QImage RenderOverlay(const Drawing& solution, const Drawing& drawing,
                     const Comparison& comparison) {
    // The solution's control, grown to the drawing's where that is larger; a drawing
    // without a size (never the case for a recording) gets a fixed area.
    double width = std::max(solution.width, drawing.width);
    double height = std::max(solution.height, drawing.height);
    if (!(width > 0) || !std::isfinite(width)) width = FallbackSideCm;
    if (!(height > 0) || !std::isfinite(height)) height = FallbackSideCm;
    double scale = solution.pixelsPerCm > 0 && std::isfinite(solution.pixelsPerCm)
                       ? solution.pixelsPerCm
                       : FallbackPixelsPerCm;
    scale = std::min(scale, LongestSidePx / std::max(width, height));
    const Plane plane(width, height, scale);

    QImage image(plane.Size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Paper);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PaintGrid(painter, plane);
    PaintDrawing(painter, plane, solution, SolutionColour, SolutionFill, SolutionWiderPx);
    PaintDrawing(painter, plane, drawing, DrawingColour, DrawingFill, 0);
    PaintMarks(painter, plane, comparison);
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace kritzel::vergleich
