#include "Screen.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace kritzel {

int TScreen::PixelsPerInch() const {
    if (overridden_) return override_;
    const QScreen* s = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                           ? QGuiApplication::primaryScreen()
                           : nullptr;
    if (!s) return 96;
    return int(std::lround(s->logicalDotsPerInch() * s->devicePixelRatio()));
}

double TScreen::DevicePixelRatio() const {
    const QScreen* s = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                           ? QGuiApplication::primaryScreen()
                           : nullptr;
    return s ? s->devicePixelRatio() : 1.0;
}

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

} // namespace kritzel
