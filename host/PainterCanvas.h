// A canvas that draws with QPainter, without antialiasing, on an image or a printer page.
#pragma once

#include "Canvas.h"
#include "Export.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include <memory>
#include <optional>

class QPaintDevice;
class QWidget;

namespace kritzel {

/// A canvas that draws with QPainter, without antialiasing,
/// on an image or a printer page.
class KRITZELWERK_EXPORT TPainterCanvas : public TCanvas {
public:
    /// A canvas that draws nothing until `BeginImage` or `BeginDevice`.
    TPainterCanvas();
    /// Closes the painter.
    ~TPainterCanvas() override;

    /// Draw on an image that someone else owns; its pixels are the device pixels.
    /// dpi is what a point of font size means on it.
    void BeginImage(QImage* image, int dpi);
    /// Draw on a paint device such as a printer page, described in millimetres.
    void BeginDevice(QPaintDevice* device, int widthMM, int heightMM);
    /// Draw on a vector device (an SVG or PDF page),
    /// as on an image of width x height pixels at dpi;
    /// every pixel becomes scale units of the device.
    void BeginPicture(QPaintDevice* device, int width, int height, int dpi, double scale);
    /// Closes the painter; the canvas draws nothing until the next Begin.
    /// False when the device could not finish what was drawn,
    /// as a page that could not be written.
    bool End();
    /// Whether a painter is open.
    bool Active() const { return painter_ != nullptr; }

    /// The image drawn on; null on a paint device.
    QImage* Image() const { return image_; }
    /// Where the image's top-left pixel lies in this canvas's coordinates:
    /// (0, 0), unless the image holds only part of a larger picture;
    /// BeginImage puts it back to (0, 0).
    TPoint ImageOrigin() const { return origin_; }
    /// Sets where the image's top-left pixel lies in this canvas's coordinates.
    void SetImageOrigin(TPoint origin);
    /// System colours are taken from this widget's palette when it is set.
    void SetPaletteSource(const QWidget* widget) { paletteSource_ = widget; }

    /// Marks what was drawn since the last call, in device pixels,
    /// so it can be presented.
    void SetTrackDirty(bool on) { trackDirty_ = on; }
    /// Hands out what was drawn since the last call; false when nothing was.
    bool TakeDirty(TRect& r);

    /// A line with the pen from the current point to (x, y).
    void LineTo(int x, int y) override;
    /// The ellipse inscribed in the box,
    /// outlined with the pen and filled with the brush.
    void Ellipse(int x1, int y1, int x2, int y2) override;
    /// Fills the rectangle with the brush.
    void FillRect(const TRect& r) override;
    /// The closed polygon, outlined with the pen and filled with the brush.
    void Polygon(std::span<const TPoint> points) override;
    /// Text with its top-left corner at (x, y).
    void TextOut(int x, int y, const TString& text) override;
    /// The width of text in the current font, in device units.
    int TextWidth(const TString& text) override;
    /// Copies the pixels of source's rectangle into dest.
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) override;
    /// The colour at a device point; -1 outside the surface.
    TColor Pixels(int x, int y) override;

protected:
    // The library's own canvases build on these; programs do not, so they are not exported.

    /// The painter with pen, brush and mapping of this canvas in force;
    /// null when inactive.
    Q_DECL_HIDDEN QPainter* Ready(bool usePen, bool useBrush);
    /// The colour as Qt draws it, system colours from the palette source.
    Q_DECL_HIDDEN QColor Resolve(TColor c) const;
    /// Qt's font for the canvas's font at the current mapping.
    Q_DECL_HIDDEN const QFont& CurrentFont();
    /// The metrics of CurrentFont.
    const QFontMetrics& CurrentMetrics() {
        CurrentFont();
        return *metrics_;
    }
    /// Adds a rectangle in device pixels to what was drawn.
    Q_DECL_HIDDEN void MarkDirty(long long l, long long t, long long r, long long b);

private:
    TPainterCanvas* AsPainterCanvas() override { return this; }
    Q_DECL_HIDDEN void Open(QPaintDevice* device);
    Q_DECL_HIDDEN void SyncTransform();
    // Direct pixel access for thin lines and polygons of a few corners, where QPainter's
    // set-up would cost more than the pixels: only on a plain 32-bit image in device units.
    bool Direct() const { return pixels_ != nullptr && identity_; }
    Q_DECL_HIDDEN QRgb PenRgb();
    Q_DECL_HIDDEN QRgb BrushRgb();
    // The last two colours turned into pixels: the sprite and the line drawn between its
    // draws take turns with theirs.
    struct RecentPixels {
        std::pair<TColor, QRgb> pair[2];
        int count = 0;
    };
    Q_DECL_HIDDEN QRgb PixelOf(TColor c, RecentPixels& recent);

    std::unique_ptr<QPainter> painter_;
    QImage* image_ = nullptr;
    uchar* pixels_ = nullptr;
    std::ptrdiff_t stride_ = 0;
    // The image's size while pixels_ is set, so that a shape need not ask the image.
    int width_ = 0;
    int height_ = 0;
    RecentPixels penRgb_, brushRgb_;
    const QWidget* paletteSource_ = nullptr;

    // What the painter has in force, so that unchanged settings cost nothing.
    std::uint32_t dcVersion_ = ~0u;
    // Device units are image pixels: identity_ also when the image starts at (0, 0).
    bool unscaled_ = true;
    bool identity_ = true;
    // Device units per unit of the device context, beside its own mapping.
    double baseScale_ = 1;
    TPoint origin_;
    std::optional<std::pair<TColor, int>> appliedPen_;
    bool penOff_ = false;
    std::optional<TColor> appliedBrush_;
    bool brushOff_ = false;

    std::uint32_t fontVersion_ = ~0u;
    double fontScale_ = 0;
    QFont qfont_;
    std::optional<QFontMetrics> metrics_;

    bool trackDirty_ = false;
    bool dirty_ = false;
    TRect dirtyRect_;
};

} // namespace kritzel
