// Conversion between the framework's colours and Qt's, with system colours resolved
// from a widget palette.
#pragma once

#include "Types.h"

#include <QColor>
#include <QPalette>
#include <QRgb>

namespace kritzel {

// The colour as Qt draws it; a system colour (byte 3 set) is looked up in the palette.
QColor ToQColor(TColor color, const QPalette& palette);
// The colour as Qt draws it, with system colours from the application's palette.
QColor ToQColor(TColor color);

inline TColor FromQRgb(QRgb rgb) {
    return static_cast<TColor>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

} // namespace kritzel
