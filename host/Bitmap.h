// An off-screen bitmap with a canvas of its own.
#pragma once

#include "PainterCanvas.h"

#include <QImage>

namespace kritzel {

class TBitmap {
public:
    TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap();

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Resizing keeps the pixels where old and new size overlap. A size too large to
    // hold (over 64 million pixels) is kept as a number, with an empty picture that
    // draws and keeps nothing.
    void SetWidth(int w) { Resize(w, height_); }
    void SetHeight(int h) { Resize(width_, h); }
    TCanvas* Canvas() { return &canvas_; }

    const QImage& Image() const { return image_; }

private:
    void Resize(int w, int h);

    int width_ = 0;
    int height_ = 0;
    QImage image_;
    PainterCanvas canvas_;
};

} // namespace kritzel
