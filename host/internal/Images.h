// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>

#include <algorithm>

namespace kritzel {

// A w × h image of 32-bit pixels in fill, holding old's pixels at `at` where the two
// overlap, as a surface keeps its drawing when it is resized. Null when the memory for
// it cannot be had; negative sides count as 0.
inline QImage ResizedImage(const QImage& old, int w, int h, const QColor& fill,
                           QPoint at = QPoint(0, 0)) {
    QImage next(std::max(w, 0), std::max(h, 0), QImage::Format_RGB32);
    if (next.isNull()) return next;
    next.fill(fill);
    if (!old.isNull()) {
        QPainter p(&next);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(at, old);
    }
    return next;
}

} // namespace kritzel
