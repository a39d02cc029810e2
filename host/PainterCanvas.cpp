#include "PainterCanvas.h"

#include "Colors.h"
#include "Strings.h"
#include "internal/Raster.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QVarLengthArray>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kritzel {

namespace {

// Qt's raster engine works in 26.6 fixed point; coordinates beyond this are cut back
// to it first. The limit lies far outside every surface the component draws on.
constexpr double CoordLimit = double(1 << 22);

bool ClipToLimit(double& x0, double& y0, double& x1, double& y1) {
    // Liang-Barsky against the square of side 2 * CoordLimit around the origin.
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 + CoordLimit, CoordLimit - x0, y0 + CoordLimit, CoordLimit - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = nx0;
    y0 = ny0;
    return true;
}

bool Far(int v) {
    return v > int(CoordLimit) || v < -int(CoordLimit);
}

} // namespace

TPainterCanvas::TPainterCanvas() = default;

TPainterCanvas::~TPainterCanvas() {
    End();
}

void TPainterCanvas::Open(QPaintDevice* device) {
    End();
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(device)) {
        painter_.reset();
        return;
    }
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
    dcVersion_ = ~0u;
    penRgb_.count = 0;
    brushRgb_.count = 0;
    // While the painter is active the image is never shared (a copy of it is a deep
    // one) nor resized, so its pixels can be written directly.
    if (image_ && image_->format() == QImage::Format_RGB32) {
        pixels_ = image_->bits();
        stride_ = image_->bytesPerLine();
        width_ = image_->width();
        height_ = image_->height();
    }
    appliedPen_.reset();
    appliedBrush_.reset();
    penOff_ = brushOff_ = false;
}

void TPainterCanvas::BeginImage(QImage* image, int dpi) {
    End();
    image_ = image;
    baseScale_ = 1;
    origin_ = TPoint{0, 0};
    if (!image || image->isNull()) return;
    const int wmm = int(std::lround(image->width() * 25.4 / std::max(dpi, 1)));
    const int hmm = int(std::lround(image->height() * 25.4 / std::max(dpi, 1)));
    dc_.SetDevice(image->width(), image->height(), wmm, hmm, dpi, dpi);
    Open(image);
}

void TPainterCanvas::BeginDevice(QPaintDevice* device, int widthMM, int heightMM) {
    End();
    image_ = nullptr;
    baseScale_ = 1;
    if (!device) return;
    dc_.SetDevice(device->width(), device->height(), widthMM, heightMM, device->logicalDpiX(),
                  device->logicalDpiY());
    Open(device);
}

void TPainterCanvas::BeginPicture(QPaintDevice* device, int width, int height, int dpi,
                                  double scale) {
    End();
    image_ = nullptr;
    origin_ = TPoint{0, 0};
    baseScale_ = scale > 0 ? scale : 1;
    if (!device) return;
    const int wmm = int(std::lround(width * 25.4 / std::max(dpi, 1)));
    const int hmm = int(std::lround(height * 25.4 / std::max(dpi, 1)));
    dc_.SetDevice(width, height, wmm, hmm, dpi, dpi);
    Open(device);
}

bool TPainterCanvas::End() {
    pixels_ = nullptr;
    bool ok = true;
    if (painter_) {
        if (painter_->isActive()) ok = painter_->end();
        painter_.reset();
    }
    return ok;
}

void TPainterCanvas::SetImageOrigin(TPoint origin) {
    origin_ = origin;
    dcVersion_ = ~0u;
}

bool TPainterCanvas::TakeDirty(TRect& r) {
    if (!dirty_) return false;
    r = dirtyRect_;
    dirty_ = false;
    return true;
}

void TPainterCanvas::MarkDirty(long long l, long long t, long long r, long long b) {
    if (!trackDirty_ || !image_) return;
    l -= origin_.x;
    r -= origin_.x;
    t -= origin_.y;
    b -= origin_.y;
    l = std::max<long long>(l, 0);
    t = std::max<long long>(t, 0);
    r = std::min<long long>(r, pixels_ ? width_ : image_->width());
    b = std::min<long long>(b, pixels_ ? height_ : image_->height());
    if (l >= r || t >= b) return;
    const TRect mark{int(l), int(t), int(r), int(b)};
    dirtyRect_ = dirty_ ? Unite(dirtyRect_, mark) : mark;
    dirty_ = true;
}

QColor TPainterCanvas::Resolve(TColor c) const {
    if ((static_cast<std::uint32_t>(c) & 0xFF000000u) == 0) return ToQColor(c);
    return paletteSource_ ? ToQColor(c, paletteSource_->palette()) : ToQColor(c);
}

void TPainterCanvas::SyncTransform() {
    if (dc_.Version() == dcVersion_) return;
    dcVersion_ = dc_.Version();
    const double sx = dc_.ScaleX() * baseScale_, sy = dc_.ScaleY() * baseScale_;
    unscaled_ = sx == 1.0 && sy == 1.0;
    identity_ = unscaled_ && origin_.x == 0 && origin_.y == 0;
    if (identity_)
        painter_->resetTransform();
    else
        painter_->setWorldTransform(
            QTransform(sx, 0, 0, sy, -double(origin_.x), -double(origin_.y)));
}

QPainter* TPainterCanvas::Ready(bool usePen, bool useBrush) {
    if (!painter_) return nullptr;
    SyncTransform();
    if (usePen) {
        const std::pair<TColor, int> want{Pen().Color(), Pen().Width()};
        if (penOff_ || appliedPen_ != want) {
            const int w = std::max(want.second, 0);
            // Thin lines leave out their last pixel and wide ones have round ends,
            // as the classic pens draw them.
            QPen pen(QBrush(Resolve(want.first)), w, Qt::SolidLine,
                     w <= 1 ? Qt::FlatCap : Qt::RoundCap, Qt::RoundJoin);
            painter_->setPen(pen);
            appliedPen_ = want;
            penOff_ = false;
        }
    }
    if (useBrush) {
        if (Brush().Style() == bsClear) {
            if (!brushOff_) {
                painter_->setBrush(Qt::NoBrush);
                brushOff_ = true;
            }
        } else if (brushOff_ || appliedBrush_ != Brush().Color()) {
            painter_->setBrush(QBrush(Resolve(Brush().Color())));
            appliedBrush_ = Brush().Color();
            brushOff_ = false;
        }
    }
    return painter_.get();
}

void TPainterCanvas::LineTo(int x, int y) {
    const TPoint from = penPos_;
    penPos_ = TPoint{x, y};
    if (Direct() && Pen().Width() <= 1 && Raster::Within(from.x) && Raster::Within(from.y) &&
        Raster::Within(x) && Raster::Within(y)) {
        Raster(pixels_, stride_, width_, height_).Line(from.x, from.y, x, y, PenRgb(), false);
        MarkDirty(std::min(from.x, x) - 1, std::min(from.y, y) - 1, std::max(from.x, x) + 2,
                  std::max(from.y, y) + 2);
        return;
    }
    QPainter* p = Ready(true, false);
    if (!p) return;
    if (Far(from.x) || Far(from.y) || Far(x) || Far(y)) {
        double x0 = from.x, y0 = from.y, x1 = x, y1 = y;
        if (!ClipToLimit(x0, y0, x1, y1)) return;
        p->drawLine(QLineF(x0, y0, x1, y1));
    } else {
        p->drawLine(from.x, from.y, x, y);
    }
    if (identity_) {
        const long long m = Pen().Width() / 2 + 2;
        MarkDirty(std::min<long long>(from.x, x) - m, std::min<long long>(from.y, y) - m,
                  std::max<long long>(from.x, x) + m, std::max<long long>(from.y, y) + m);
    }
}

void TPainterCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    QPainter* p = Ready(true, true);
    if (!p) return;
    const long long l = std::min(x1, x2), r = std::max(x1, x2);
    const long long t = std::min(y1, y2), b = std::max(y1, y2);
    if (r - l < 1 || b - t < 1) return;
    // The box's right and bottom edges are exclusive; Qt's outline covers its far edge.
    p->drawEllipse(QRectF(double(l), double(t), double(r - l - 1), double(b - t - 1)));
    if (identity_) {
        const long long m = Pen().Width() / 2 + 2;
        MarkDirty(l - m, t - m, r + m, b + m);
    }
}

void TPainterCanvas::FillRect(const TRect& r) {
    QPainter* p = Ready(false, false);
    if (!p || Brush().Style() == bsClear) return;
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    const long long l = std::max<long long>(r.Left, -CoordLimit);
    const long long t = std::max<long long>(r.Top, -CoordLimit);
    const long long rr = std::min<long long>(r.Right, CoordLimit);
    const long long b = std::min<long long>(r.Bottom, CoordLimit);
    if (rr <= l || b <= t) return;
    p->fillRect(QRect(int(l), int(t), int(rr - l), int(b - t)), Resolve(Brush().Color()));
    if (identity_) MarkDirty(l, t, rr, b);
}

void TPainterCanvas::Polygon(std::span<const TPoint> points) {
    if (points.empty()) return;
    if (Direct() && Pen().Width() <= 1 && points.size() <= Raster::MaxCorners) {
        bool near = true;
        for (const TPoint& pt : points)
            near = near && Raster::Within(pt.x) && Raster::Within(pt.y);
        if (near) {
            const bool fill = Brush().Style() != bsClear;
            const TRect box = Raster(pixels_, stride_, width_, height_)
                                  .Polygon(points, PenRgb(), fill ? BrushRgb() : 0, fill);
            MarkDirty((long long)box.Left - 1, (long long)box.Top - 1, (long long)box.Right + 1,
                      (long long)box.Bottom + 1);
            return;
        }
    }
    QPainter* p = Ready(true, true);
    if (!p) return;
    QVarLengthArray<QPoint, 8> pts;
    for (const TPoint& pt : points)
        pts.append(QPoint(pt.x, pt.y));
    p->drawPolygon(pts.data(), int(pts.size()));
    if (identity_) {
        const TBounds box = BoundsOf(points);
        const long long m = Pen().Width() / 2 + 2;
        MarkDirty(box.xMin - m, box.yMin - m, box.xMax + m, box.yMax + m);
    }
}

const QFont& TPainterCanvas::CurrentFont() {
    const double perInch = dc_.LogicalPerInch();
    if (Font().Version() != fontVersion_ || perInch != fontScale_ || !metrics_) {
        fontVersion_ = Font().Version();
        fontScale_ = perInch;
        // A size of 0 means the framework's default of 8 points; the sign is not a
        // height convention here. Sizes are capped where glyphs would no longer fit
        // any surface.
        const long long points = Font().Size() == 0 ? 8 : std::llabs((long long)Font().Size());
        const double px = std::clamp(std::round(double(points) * perInch / 72.0), 1.0, 16384.0);
        qfont_ = QFont(ToUnicode(Font().Name()));
        qfont_.setPixelSize(int(px));
        metrics_.emplace(qfont_);
    }
    return qfont_;
}

void TPainterCanvas::TextOut(int x, int y, const TString& text) {
    const QString s = ToUnicode(text);
    const QFont& font = CurrentFont();
    const int width = metrics_->horizontalAdvance(s);
    QPainter* p = Ready(false, false);
    if (p && !s.isEmpty()) {
        const int height = metrics_->height();
        if (Brush().Style() != bsClear)
            p->fillRect(QRect(x, y, width, height), Resolve(Brush().Color()));
        p->setFont(font);
        p->setPen(QPen(Resolve(Font().Color())));
        appliedPen_.reset();
        p->drawText(QPointF(x, double(y) + metrics_->ascent()), s);
        if (identity_)
            MarkDirty((long long)x - 2, (long long)y - 2, (long long)x + width + 4,
                      (long long)y + height + 4);
    }
    penPos_ = TPoint{SaturateToInt32((long long)x + width), y};
}

int TPainterCanvas::TextWidth(const TString& text) {
    CurrentFont();
    return metrics_->horizontalAdvance(ToUnicode(text));
}

void TPainterCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    TPainterCanvas* src = source.AsPainterCanvas();
    if (!src || !painter_) return;
    SyncTransform();
    // The source's scale is read below, and a canvas brings it up to date only when it
    // next draws: a mapping set on the source since then (the printer's tenths of a
    // millimetre) would leave it stale, and the row copy would take a scaled image's
    // pixels one for one.
    if (src->painter_) src->SyncTransform();
    const bool sameSize =
        dest.Width() == sourceRect.Width() && dest.Height() == sourceRect.Height();
    const long long w = dest.Width(), h = dest.Height();
    // Both rectangles in the pixels of their images.
    const long long sx = (long long)sourceRect.Left - src->origin_.x;
    const long long sy = (long long)sourceRect.Top - src->origin_.y;
    const long long dx = (long long)dest.Left - origin_.x, dy = (long long)dest.Top - origin_.y;
    if (pixels_ && src->pixels_ && unscaled_ && src->unscaled_ && sameSize) {
        // Pixel for pixel between two plain 32-bit images, as the sprite's save-under
        // needs it: a row copy clipped to both.
        const Raster from(src->pixels_, src->stride_, src->width_, src->height_);
        if (Raster(pixels_, stride_, width_, height_).CopyFrom(from, sx, sy, dx, dy, w, h))
            MarkDirty(dest.Left, dest.Top, (long long)dest.Left + w, (long long)dest.Top + h);
        return;
    }
    if (!src->image_ || src->image_->isNull()) return;
    QImage& from = *src->image_;
    if (image_ && unscaled_ && src->unscaled_ && sameSize && image_->depth() == 32 &&
        from.depth() == 32) {
        // The same row copy where one of the images is not written directly.
        Raster to(image_->bits(), image_->bytesPerLine(), image_->width(), image_->height());
        // Read only: constBits keeps a shared image from detaching.
        const Raster rows(const_cast<uchar*>(from.constBits()), from.bytesPerLine(), from.width(),
                          from.height());
        if (to.CopyFrom(rows, sx, sy, dx, dy, w, h))
            MarkDirty(dest.Left, dest.Top, (long long)dest.Left + w, (long long)dest.Top + h);
        return;
    }
    QPainter* p = Ready(false, false);
    const auto mode = p->compositionMode();
    p->setCompositionMode(QPainter::CompositionMode_Source);
    p->drawImage(
        QRect(dest.Left, dest.Top, dest.Width(), dest.Height()), from,
        QRect(SaturateToInt32(sx), SaturateToInt32(sy), sourceRect.Width(), sourceRect.Height()));
    p->setCompositionMode(mode);
    if (identity_) MarkDirty(dest.Left, dest.Top, dest.Right, dest.Bottom);
}

QRgb TPainterCanvas::PixelOf(TColor c, RecentPixels& recent) {
    if (recent.count > 0 && recent.pair[0].first == c) return recent.pair[0].second;
    if (recent.count > 1 && recent.pair[1].first == c) {
        std::swap(recent.pair[0], recent.pair[1]);
        return recent.pair[0].second;
    }
    recent.pair[1] = recent.pair[0];
    recent.pair[0] = {c, Resolve(c).rgb()};
    recent.count = std::min(recent.count + 1, 2);
    return recent.pair[0].second;
}

QRgb TPainterCanvas::PenRgb() {
    return PixelOf(Pen().Color(), penRgb_);
}

QRgb TPainterCanvas::BrushRgb() {
    return PixelOf(Brush().Color(), brushRgb_);
}

TColor TPainterCanvas::Pixels(int x, int y) {
    const long long ix = (long long)x - origin_.x, iy = (long long)y - origin_.y;
    if (!image_ || ix < 0 || iy < 0 || ix >= image_->width() || iy >= image_->height()) return -1;
    return FromQRgb(image_->pixel(int(ix), int(iy)));
}

} // namespace kritzel
