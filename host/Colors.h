// Conversion between the framework's colours and Qt's, with system colours resolved
// from a widget palette.
#pragma once

#include "Export.h"
#include "Types.h"

#include <QColor>
#include <QPalette>
#include <QRgb>

#include <concepts>
#include <type_traits>

namespace kritzel {

/// The colour as Qt draws it;
/// a system colour (byte 3 set) is looked up in the palette.
KRITZELWERK_EXPORT QColor ToQColor(TColor color, const QPalette& palette);
/// The colour as Qt draws it, with system colours from the application's palette.
KRITZELWERK_EXPORT QColor ToQColor(TColor color);

/// Qt's `QRgb` as a `TColor` (red in the lowest byte); transparency is dropped.
inline TColor FromQRgb(QRgb rgb) {
    return static_cast<TColor>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

/// A colour as Qt programs write it (QColor("#ff8000"), Qt::red),
/// in the framework's byte order: red in the lowest byte. Transparency is dropped;
/// an invalid colour gives black.
inline TColor FromQColor(const QColor& color) {
    return FromQRgb(color.rgb());
}
/// Qt's named colour (`Qt::red`) as a `TColor`.
inline TColor FromQColor(Qt::GlobalColor color) {
    return FromQColor(QColor(color));
}

/// A colour argument of any of the three kinds, as the framework's colour.
/// A plain integer takes the TColor overload,
/// as an exact match or a standard conversion beats QColor's constructors.
inline TColor AsTColor(TColor color) {
    return color;
}
/// Qt's colour as a `TColor`.
inline TColor AsTColor(const QColor& color) {
    return FromQColor(color);
}
/// Qt's named colour as a `TColor`.
inline TColor AsTColor(Qt::GlobalColor color) {
    return FromQColor(color);
}

/// Qt's own colour types,
/// which a command taking a TColor must not read as an integer:
/// Qt::red is the enumeration value 7, almost black.
template <class C>
concept QtColor = std::same_as<std::remove_cvref_t<C>, QColor> ||
    std::same_as<std::remove_cvref_t<C>, Qt::GlobalColor>;

} // namespace kritzel
