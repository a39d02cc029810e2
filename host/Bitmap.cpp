#include "Bitmap.h"

#include "Screen.h"

#include <QPainter>

#include <algorithm>

namespace kritzel {

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
    canvas_.End();
}

void TBitmap::Resize(int w, int h) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == width_ && h == height_) return;
    width_ = w;
    height_ = h;
    canvas_.End();
    // A bitmap beyond this many pixels is not held at all: it draws and keeps nothing,
    // rather than taking the machine's memory for a picture no surface can show.
    constexpr long long maxPixels = 64LL * 1024 * 1024;
    if ((long long)w * h > maxPixels) {
        image_ = QImage();
        return;
    }
    QImage next(w, h, QImage::Format_RGB32);
    if (!next.isNull()) {
        next.fill(Qt::white);
        if (!image_.isNull()) {
            QPainter p(&next);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(0, 0, image_);
        }
    }
    image_ = std::move(next);
    if (!image_.isNull()) canvas_.BeginImage(&image_, Screen().PixelsPerInch());
}

} // namespace kritzel
