#include "DeviceContext.h"

#include <cmath>

namespace kritzel {

void TDeviceContext::SetDevice(int widthPixels, int heightPixels, int widthMM, int heightMM,
                               int dpiX, int dpiY) {
    widthPixels_ = widthPixels;
    heightPixels_ = heightPixels;
    widthMM_ = widthMM;
    heightMM_ = heightMM;
    dpiX_ = dpiX > 0 ? dpiX : 96;
    dpiY_ = dpiY > 0 ? dpiY : 96;
    SetMapMode(mapMode_);
    ++version_;
}

int TDeviceContext::Caps(int index) const {
    switch (index) {
    case HORZSIZE:
        return widthMM_;
    case VERTSIZE:
        return heightMM_;
    case HORZRES:
        return widthPixels_;
    case VERTRES:
        return heightPixels_;
    case LOGPIXELSX:
        return dpiX_;
    case LOGPIXELSY:
        return dpiY_;
    default:
        return 0;
    }
}

int TDeviceContext::SetMapMode(int mode) {
    const int old = mapMode_;
    mapMode_ = mode;
    switch (mode) {
    case MM_LOMETRIC:
        // 0.1 mm a logical unit, y up: the extents that mode defines for this device.
        // The viewport follows the resolution, not the pixel count, so that a printable
        // area measured in whole millimetres still maps a unit to a true 0.1 mm.
        windowExt_ = TSize{widthMM_ * 10, heightMM_ * 10};
        viewportExt_ = TSize{int(std::lround(widthMM_ * 10.0 * dpiX_ / 254.0)),
                             -int(std::lround(heightMM_ * 10.0 * dpiY_ / 254.0))};
        break;
    case MM_ANISOTROPIC:
        // Keeps the extents in force, as the classic call does.
        break;
    default:
        mapMode_ = MM_TEXT;
        windowExt_ = TSize{1, 1};
        viewportExt_ = TSize{1, 1};
        break;
    }
    ++version_;
    return old;
}

void TDeviceContext::SetWindowExt(TSize s) {
    if (mapMode_ != MM_ANISOTROPIC) return;
    windowExt_ = s;
    ++version_;
}

void TDeviceContext::SetViewportExt(TSize s) {
    if (mapMode_ != MM_ANISOTROPIC) return;
    viewportExt_ = s;
    ++version_;
}

double TDeviceContext::ScaleX() const {
    return windowExt_.cx == 0 ? 1.0 : double(viewportExt_.cx) / double(windowExt_.cx);
}

double TDeviceContext::ScaleY() const {
    return windowExt_.cy == 0 ? 1.0 : double(viewportExt_.cy) / double(windowExt_.cy);
}

double TDeviceContext::LogicalPerInch() const {
    const double s = std::fabs(ScaleY());
    return s > 0 ? dpiY_ / s : dpiY_;
}

int GetDeviceCaps(HDC dc, int index) {
    return dc ? dc->Caps(index) : 0;
}

int SetMapMode(HDC dc, int mode) {
    return dc ? dc->SetMapMode(mode) : 0;
}

bool GetWindowExtEx(HDC dc, TSize* size) {
    if (!dc || !size) return false;
    *size = dc->WindowExt();
    return true;
}

bool GetViewportExtEx(HDC dc, TSize* size) {
    if (!dc || !size) return false;
    *size = dc->ViewportExt();
    return true;
}

bool SetWindowExtEx(HDC dc, int x, int y, TSize* old) {
    if (!dc || dc->MapMode() != MM_ANISOTROPIC) return false;
    if (old) *old = dc->WindowExt();
    dc->SetWindowExt(TSize{x, y});
    return true;
}

bool SetViewportExtEx(HDC dc, int x, int y, TSize* old) {
    if (!dc || dc->MapMode() != MM_ANISOTROPIC) return false;
    if (old) *old = dc->ViewportExt();
    dc->SetViewportExt(TSize{x, y});
    return true;
}

} // namespace kritzel
