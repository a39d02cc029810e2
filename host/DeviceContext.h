// A small device context: what a surface reports about its device, and the mapping
// from logical units to device pixels that the classic GDI calls set up on it.
#pragma once

#include "Export.h"
#include "Types.h"

#include <cstdint>

namespace kritzel {

constexpr int MM_TEXT = 1;
constexpr int MM_LOMETRIC = 2;
constexpr int MM_ANISOTROPIC = 8;

constexpr int HORZSIZE = 4; // width of the printable area in millimetres
constexpr int VERTSIZE = 6; // height of the printable area in millimetres
constexpr int HORZRES = 8;  // width in device pixels
constexpr int VERTRES = 10; // height in device pixels
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

class KRITZELWERK_EXPORT TDeviceContext {
public:
    // What the surface's device is: its size in pixels and in millimetres, its resolution.
    void SetDevice(int widthPixels, int heightPixels, int widthMM, int heightMM, int dpiX,
                   int dpiY);

    int Caps(int index) const;

    int MapMode() const { return mapMode_; }
    int SetMapMode(int mode);
    TSize WindowExt() const { return windowExt_; }
    TSize ViewportExt() const { return viewportExt_; }
    void SetWindowExt(TSize s);
    void SetViewportExt(TSize s);

    // Device pixels per logical unit on each axis; negative when the axis is turned over.
    double ScaleX() const;
    double ScaleY() const;
    // Logical units per inch, as a font size in points needs it.
    double LogicalPerInch() const;
    // Changes whenever the mapping changes, so that a surface knows to follow it.
    std::uint32_t Version() const { return version_; }

private:
    int mapMode_ = MM_TEXT;
    TSize windowExt_{1, 1};
    TSize viewportExt_{1, 1};
    int widthPixels_ = 0, heightPixels_ = 0, widthMM_ = 0, heightMM_ = 0;
    int dpiX_ = 96, dpiY_ = 96;
    std::uint32_t version_ = 0;
};

using HDC = TDeviceContext*;

KRITZELWERK_EXPORT int GetDeviceCaps(HDC dc, int index);
KRITZELWERK_EXPORT int SetMapMode(HDC dc, int mode);
KRITZELWERK_EXPORT bool GetWindowExtEx(HDC dc, TSize* size);
KRITZELWERK_EXPORT bool GetViewportExtEx(HDC dc, TSize* size);
KRITZELWERK_EXPORT bool SetWindowExtEx(HDC dc, int x, int y, TSize* old = nullptr);
KRITZELWERK_EXPORT bool SetViewportExtEx(HDC dc, int x, int y, TSize* old = nullptr);

} // namespace kritzel
