// A small device context: what a surface reports about its device, and the mapping
// from logical units to device pixels that the classic GDI calls set up on it.
#pragma once

#include "Export.h"
#include "Types.h"

#include <cstdint>

namespace kritzel {

/// Mapping mode: one logical unit is one device pixel, y down.
constexpr int MM_TEXT = 1;
/// Mapping mode: one logical unit is 0.1 mm, y up.
constexpr int MM_LOMETRIC = 2;
/// Mapping mode: units and axes as the window and viewport extents say.
constexpr int MM_ANISOTROPIC = 8;

/// `GetDeviceCaps` index: width of the printable area in millimetres.
constexpr int HORZSIZE = 4; // width of the printable area in millimetres
/// `GetDeviceCaps` index: height of the printable area in millimetres.
constexpr int VERTSIZE = 6; // height of the printable area in millimetres
/// `GetDeviceCaps` index: width in device pixels.
constexpr int HORZRES = 8; // width in device pixels
/// `GetDeviceCaps` index: height in device pixels.
constexpr int VERTRES = 10; // height in device pixels
/// `GetDeviceCaps` index: device pixels per inch across.
constexpr int LOGPIXELSX = 88;
/// `GetDeviceCaps` index: device pixels per inch down.
constexpr int LOGPIXELSY = 90;

/// A surface's device: its size and resolution,
/// and the mapping from logical units to device pixels.
class KRITZELWERK_EXPORT TDeviceContext {
public:
    /// What the surface's device is: its size in pixels and in millimetres,
    /// its resolution.
    void SetDevice(int widthPixels, int heightPixels, int widthMM, int heightMM, int dpiX,
                   int dpiY);

    /// What the device reports for a `GetDeviceCaps` index,
    /// such as `HORZSIZE` or `LOGPIXELSX`.
    int Caps(int index) const;

    /// The mapping mode in force (`MM_TEXT` at first).
    int MapMode() const { return mapMode_; }
    /// Sets the mapping mode; returns the previous one.
    int SetMapMode(int mode);
    /// The window extent: logical units of the mapping.
    TSize WindowExt() const { return windowExt_; }
    /// The viewport extent: device pixels of the mapping.
    TSize ViewportExt() const { return viewportExt_; }
    /// Sets the window extent (used in `MM_ANISOTROPIC`).
    void SetWindowExt(TSize s);
    /// Sets the viewport extent (used in `MM_ANISOTROPIC`);
    /// negative turns the axis over.
    void SetViewportExt(TSize s);

    /// Device pixels per logical unit on each axis;
    /// negative when the axis is turned over.
    double ScaleX() const;
    /// Device pixels per logical unit down; negative when the axis is turned over.
    double ScaleY() const;
    /// Logical units per inch, as a font size in points needs it.
    double LogicalPerInch() const;
    /// Changes whenever the mapping changes, so that a surface knows to follow it.
    std::uint32_t Version() const { return version_; }

private:
    int mapMode_ = MM_TEXT;
    TSize windowExt_{1, 1};
    TSize viewportExt_{1, 1};
    int widthPixels_ = 0, heightPixels_ = 0, widthMM_ = 0, heightMM_ = 0;
    int dpiX_ = 96, dpiY_ = 96;
    std::uint32_t version_ = 0;
};

/// A handle of a device context, as the classic drawing calls take it.
using HDC = TDeviceContext*;

/// What the device reports for index (`HORZSIZE`, `VERTSIZE`, `LOGPIXELSX` …).
KRITZELWERK_EXPORT int GetDeviceCaps(HDC dc, int index);
/// Sets the mapping mode; returns the previous one.
KRITZELWERK_EXPORT int SetMapMode(HDC dc, int mode);
/// Reads the window extent into size.
KRITZELWERK_EXPORT bool GetWindowExtEx(HDC dc, TSize* size);
/// Reads the viewport extent into size.
KRITZELWERK_EXPORT bool GetViewportExtEx(HDC dc, TSize* size);
/// Sets the window extent; the previous one goes to old when given.
KRITZELWERK_EXPORT bool SetWindowExtEx(HDC dc, int x, int y, TSize* old = nullptr);
/// Sets the viewport extent; the previous one goes to old when given.
KRITZELWERK_EXPORT bool SetViewportExtEx(HDC dc, int x, int y, TSize* old = nullptr);

} // namespace kritzel
