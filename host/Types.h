// Basic value types of the framework: colours, device points and rectangles, text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <string>

namespace kritzel {

/// Text is UTF-8; the host converts it where it draws or measures.
using TString = std::string;

/// A colour: byte 0 red, byte 1 green, byte 2 blue,
/// so `0xFF0000` is blue and red is `0x0000FF`.
/// Write `RGB(255, 0, 0)`, `clRed` or `Qt::red` to be sure.
/// A set byte 3 marks a system colour,
/// whose low byte names an entry of the widget palette.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;   ///< Black.
constexpr TColor clMaroon = 0x000080;  ///< Dark red.
constexpr TColor clGreen = 0x008000;   ///< Dark green.
constexpr TColor clOlive = 0x008080;   ///< Olive.
constexpr TColor clNavy = 0x800000;    ///< Dark blue.
constexpr TColor clPurple = 0x800080;  ///< Purple.
constexpr TColor clTeal = 0x808000;    ///< Teal.
constexpr TColor clGray = 0x808080;    ///< Grey.
constexpr TColor clSilver = 0xC0C0C0;  ///< Light grey.
constexpr TColor clRed = 0x0000FF;     ///< Red, RGB(255, 0, 0).
constexpr TColor clLime = 0x00FF00;    ///< Bright green, RGB(0, 255, 0).
constexpr TColor clYellow = 0x00FFFF;  ///< Yellow.
constexpr TColor clBlue = 0xFF0000;    ///< Blue, RGB(0, 0, 255).
constexpr TColor clFuchsia = 0xFF00FF; ///< Magenta.
constexpr TColor clAqua = 0xFFFF00;    ///< Cyan.
constexpr TColor clWhite = 0xFFFFFF;   ///< White.

/// System colours: byte 3 set, the low byte is the classic system colour index.
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
constexpr TColor clScrollBar = clSystemColor | 0;     ///< The system colour of scroll bars.
constexpr TColor clBackground = clSystemColor | 1;    ///< The system colour of the desktop.
constexpr TColor clActiveCaption = clSystemColor | 2; ///< The system colour of the active caption.
constexpr TColor clInactiveCaption =
    clSystemColor | 3;                                ///< The system colour of an inactive caption.
constexpr TColor clMenu = clSystemColor | 4;          ///< The system colour of menus.
constexpr TColor clWindow = clSystemColor | 5;        ///< The system colour of window backgrounds.
constexpr TColor clWindowFrame = clSystemColor | 6;   ///< The system colour of window frames.
constexpr TColor clMenuText = clSystemColor | 7;      ///< The system colour of menu text.
constexpr TColor clWindowText = clSystemColor | 8;    ///< The system colour of window text.
constexpr TColor clCaptionText = clSystemColor | 9;   ///< The system colour of caption text.
constexpr TColor clActiveBorder = clSystemColor | 10; ///< The system colour of the active border.
constexpr TColor clInactiveBorder =
    clSystemColor | 11; ///< The system colour of an inactive border.
constexpr TColor clAppWorkSpace =
    clSystemColor | 12; ///< The system colour of the application work space.
constexpr TColor clHighlight = clSystemColor | 13;     ///< The system colour of selections.
constexpr TColor clHighlightText = clSystemColor | 14; ///< The system colour of selected text.
constexpr TColor clBtnFace = clSystemColor | 15;       ///< The system colour of buttons.
constexpr TColor clBtnShadow = clSystemColor | 16;     ///< The system colour of button shadows.
constexpr TColor clGrayText = clSystemColor | 17;      ///< The system colour of disabled text.
constexpr TColor clBtnText = clSystemColor | 18;       ///< The system colour of button text.
constexpr TColor clInactiveCaptionText =
    clSystemColor | 19; ///< The system colour of inactive caption text.
constexpr TColor clBtnHighlight = clSystemColor | 20; ///< The system colour of button highlights.
constexpr TColor cl3DDkShadow = clSystemColor | 21;   ///< The system colour of dark 3D shadows.
constexpr TColor cl3DLight = clSystemColor | 22;      ///< The system colour of 3D light edges.
constexpr TColor clInfoText = clSystemColor | 23;     ///< The system colour of tooltip text.
constexpr TColor clInfoBk = clSystemColor | 24;       ///< The system colour of tooltip backgrounds.

/// A device point; units of the surface, origin top left, y down.
struct TPoint {
    std::int32_t x = 0; ///< Device units from the left edge.
    std::int32_t y = 0; ///< Device units from the top edge, downward.
    /// Equal when both coordinates are.
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

/// A device rectangle; Right and Bottom are exclusive.
struct TRect {
    std::int32_t Left = 0;   ///< Left edge, inside.
    std::int32_t Top = 0;    ///< Top edge, inside.
    std::int32_t Right = 0;  ///< Right edge, outside.
    std::int32_t Bottom = 0; ///< Bottom edge, outside.
    /// Right − Left.
    std::int32_t Width() const { return Right - Left; }
    /// Bottom − Top.
    std::int32_t Height() const { return Bottom - Top; }
    /// Equal when all four edges are.
    friend bool operator==(const TRect&, const TRect&) = default;
};

/// The rectangle from (left, top) to (right, bottom), the last two exclusive.
inline TRect Rect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    return TRect{left, top, right, bottom};
}

/// The nearest device coordinate:
/// values beyond the 32-bit range are held at its ends.
constexpr std::int32_t SaturateToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

/// The smallest rectangle covering both;
/// an empty one (no pixel inside) adds nothing.
constexpr TRect Unite(const TRect& a, const TRect& b) {
    if (b.Right <= b.Left || b.Bottom <= b.Top) return a;
    if (a.Right <= a.Left || a.Bottom <= a.Top) return b;
    return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                 std::max(a.Bottom, b.Bottom)};
}

/// The extremes of a set of points, both included:
/// a point at the end of the device range needs no room beyond it,
/// as an exclusive rectangle would.
struct TBounds {
    std::int32_t xMin = 0;  ///< Least x.
    std::int32_t yMin = 0;  ///< Least y.
    std::int32_t xMax = -1; ///< Greatest x.
    std::int32_t yMax = -1; ///< Greatest y.

    /// Starts with one point, then takes in more.
    static constexpr TBounds Of(std::int32_t x, std::int32_t y) { return TBounds{x, y, x, y}; }
    /// Takes in one more point.
    constexpr void Add(std::int32_t x, std::int32_t y) {
        xMin = std::min(xMin, x);
        yMin = std::min(yMin, y);
        xMax = std::max(xMax, x);
        yMax = std::max(yMax, y);
    }
    /// Equal when all four extremes are.
    friend bool operator==(const TBounds&, const TBounds&) = default;
};

/// The bounds of a non-empty set of points.
constexpr TBounds BoundsOf(std::span<const TPoint> points) {
    TBounds b = TBounds::Of(points[0].x, points[0].y);
    for (const TPoint& p : points.subspan(1))
        b.Add(p.x, p.y);
    return b;
}

/// A size or extent: cx across, cy down.
///
struct TSize {
    std::int32_t cx = 0; ///< Across.
    std::int32_t cy = 0; ///< Down.
    /// Equal when both parts are.
    friend bool operator==(const TSize&, const TSize&) = default;
};

} // namespace kritzel
