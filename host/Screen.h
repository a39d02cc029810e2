// The screen the controls are shown on.
#pragma once

#include "Export.h"

namespace kritzel {

/// The screen the controls are shown on; reached through `Screen()`.
class KRITZELWERK_EXPORT TScreen {
public:
    /// The screen's logical dots per inch times its device pixel ratio, rounded:
    /// the resolution of the device pixels a control draws in (96 at ratio 1).
    int PixelsPerInch() const;
    /// Device pixels per logical Qt pixel.
    double DevicePixelRatio() const;
    /// Makes PixelsPerInch report a fixed value,
    /// as a test or a projector setting needs.
    void SetPixelsPerInch(int ppi) {
        override_ = ppi;
        overridden_ = true;
    }
    /// Follows the screen again.
    void ResetPixelsPerInch() { overridden_ = false; }

private:
    int override_ = 0;
    bool overridden_ = false;
};

/// The application's screen.
KRITZELWERK_EXPORT TScreen& Screen();

} // namespace kritzel
