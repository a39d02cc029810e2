#include "Bitmap.h"

#include "Screen.h"
#include "internal/Images.h"

#include <algorithm>

namespace kritzel {

namespace {
// Beyond this many pixels a bitmap is held only in part, so that a huge save-under
// area costs no more memory than the surface it was copied from.
constexpr long long WholePixels = 1LL << 20;
} // namespace

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
    canvas_.End();
}

bool TBitmap::Whole() const {
    return (long long)width_ * height_ <= WholePixels;
}

void TBitmap::Resize(int w, int h) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == width_ && h == height_) return;
    width_ = w;
    height_ = h;
    canvas_.End();
    if (!Whole()) {
        image_ = QImage();
        store_ = QImage();
        return;
    }
    const TPoint at = canvas_.ImageOrigin();
    image_ = ResizedImage(image_, w, h, Qt::white, QPoint(at.x, at.y));
    store_ = QImage();
    if (!image_.isNull()) canvas_.BeginImage(&image_, Screen().PixelsPerInch());
}

void TBitmap::Hold(long long l, long long t, long long r, long long b) {
    canvas_.End();
    image_ = QImage();
    if (r <= l || b <= t) return;
    const int w = int(r - l), h = int(b - t);
    if (store_.width() < w || store_.height() < h) {
        store_ =
            QImage(std::max(store_.width(), w), std::max(store_.height(), h), QImage::Format_RGB32);
        if (store_.isNull()) return;
    }
    // A view of the stored rows, exactly as large as the part held.
    image_ = QImage(store_.bits(), w, h, store_.bytesPerLine(), QImage::Format_RGB32);
    canvas_.BeginImage(&image_, Screen().PixelsPerInch());
    canvas_.SetImageOrigin(TPoint{int(l), int(t)});
}

void TBitmapCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    if (!bitmap_.Whole()) {
        auto* src = dynamic_cast<TPainterCanvas*>(&source);
        const QImage* from = src ? src->Image() : nullptr;
        if (!from || from->isNull() || dest.Width() != sourceRect.Width() ||
            dest.Height() != sourceRect.Height()) {
            bitmap_.Hold(0, 0, 0, 0);
            return;
        }
        // The source's picture, moved to where the copy puts it on this bitmap.
        const TPoint o = src->ImageOrigin();
        const long long dx = (long long)dest.Left - sourceRect.Left;
        const long long dy = (long long)dest.Top - sourceRect.Top;
        const long long l = std::max({0LL, (long long)dest.Left, o.x + dx});
        const long long t = std::max({0LL, (long long)dest.Top, o.y + dy});
        const long long r =
            std::min({(long long)bitmap_.Width(), (long long)dest.Right, o.x + from->width() + dx});
        const long long b = std::min(
            {(long long)bitmap_.Height(), (long long)dest.Bottom, o.y + from->height() + dy});
        bitmap_.Hold(l, t, r, b);
    }
    TPainterCanvas::CopyRect(dest, source, sourceRect);
}

} // namespace kritzel
