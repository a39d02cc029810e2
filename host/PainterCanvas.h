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

class KRITZELWERK_EXPORT PainterCanvas : public TCanvas {
public:
    PainterCanvas();
    ~PainterCanvas() override;

    // Draw on an image that someone else owns; its pixels are the device pixels.
    // dpi is what a point of font size means on it.
    void BeginImage(QImage* image, int dpi);
    // Draw on a paint device such as a printer page, described in millimetres.
    void BeginDevice(QPaintDevice* device, int widthMM, int heightMM);
    // Closes the painter; the canvas draws nothing until the next Begin. False when the
    // device could not finish what was drawn (a page that could not be written).
    bool End();
    bool Active() const { return painter_ != nullptr; }

    QImage* Image() const { return image_; }
    // Where the image's top-left pixel lies in this canvas's coordinates; (0, 0) unless
    // the image holds only part of a larger picture (BeginImage puts it back to (0, 0)).
    TPoint ImageOrigin() const { return origin_; }
    void SetImageOrigin(TPoint origin);
    // System colours are taken from this widget's palette when it is set.
    void SetPaletteSource(const QWidget* widget) { paletteSource_ = widget; }

    // Marks what was drawn since the last call, in device pixels, so it can be presented.
    void SetTrackDirty(bool on) { trackDirty_ = on; }
    bool TakeDirty(TRect& r);

    void LineTo(int x, int y) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void FillRect(const TRect& r) override;
    void Polygon(std::span<const TPoint> points) override;
    void TextOut(int x, int y, const TString& text) override;
    int TextWidth(const TString& text) override;
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) override;
    TColor Pixels(int x, int y) override;

protected:
    // The painter with pen, brush and mapping of this canvas in force; null when inactive.
    QPainter* Ready(bool usePen, bool useBrush);
    QColor Resolve(TColor c) const;
    const QFont& CurrentFont();
    // The metrics of CurrentFont.
    const QFontMetrics& CurrentMetrics() {
        CurrentFont();
        return *metrics_;
    }
    void MarkDirty(long long l, long long t, long long r, long long b);

private:
    void Open(QPaintDevice* device);
    void SyncTransform();
    // Direct pixel access for thin lines and polygons of a few corners, where QPainter's
    // set-up would cost more than the pixels: only on a plain 32-bit image in device units.
    bool Direct() const { return pixels_ != nullptr && identity_; }
    QRgb PenRgb();
    QRgb BrushRgb();

    std::unique_ptr<QPainter> painter_;
    QImage* image_ = nullptr;
    uchar* pixels_ = nullptr;
    std::ptrdiff_t stride_ = 0;
    std::optional<std::pair<TColor, QRgb>> penRgb_, brushRgb_;
    const QWidget* paletteSource_ = nullptr;

    // What the painter has in force, so that unchanged settings cost nothing.
    std::uint32_t dcVersion_ = ~0u;
    // Device units are image pixels: identity_ also when the image starts at (0, 0).
    bool unscaled_ = true;
    bool identity_ = true;
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
