// An off-screen bitmap with a canvas of its own.
#pragma once

#include "Export.h"
#include "PainterCanvas.h"

#include <QImage>

namespace kritzel {

class TBitmap;

/// The bitmap's surface. A bitmap too large to hold whole keeps, of a copy into it,
/// the part that the source's picture covers.
class KRITZELWERK_EXPORT TBitmapCanvas final : public TPainterCanvas {
public:
    /// The surface of bitmap.
    explicit TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) override;

private:
    TBitmap& bitmap_;
};

/// An off-screen bitmap with a canvas of its own.
class KRITZELWERK_EXPORT TBitmap {
public:
    /// An empty bitmap.
    TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    /// Frees the bitmap.
    ~TBitmap();

    /// Width in pixels.
    int Width() const { return width_; }
    /// Height in pixels.
    int Height() const { return height_; }
    /// Resizing keeps the pixels where old and new size overlap.
    /// A bitmap of more than a million pixels is not held whole:
    /// it holds only what the last copy into it brought from a source's picture,
    /// so its memory never exceeds that picture's,
    /// and drawing on it outside that part draws nothing.
    void SetWidth(int w) { Resize(w, height_); }
    /// Sets the height in pixels, as `SetWidth` does the width.
    void SetHeight(int h) { Resize(width_, h); }
    /// The bitmap's surface.
    TCanvas* Canvas() { return &canvas_; }

    /// The pixels held; for a bitmap not held whole, only the part held,
    /// which starts at the canvas's ImageOrigin.
    const QImage& Image() const { return image_; }

private:
    friend class TBitmapCanvas;
    void Resize(int w, int h);
    bool Whole() const;
    // Holds the rectangle r of the bitmap (inside its bounds) and nothing else.
    void Hold(long long l, long long t, long long r, long long b);

    int width_ = 0;
    int height_ = 0;
    // The memory a partly held bitmap reuses from one copy to the next.
    QImage store_;
    QImage image_;
    TBitmapCanvas canvas_{*this};
};

} // namespace kritzel
