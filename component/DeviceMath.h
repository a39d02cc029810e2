// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
//
// The turtle's pure device arithmetic: sine and cosine at extended precision, rounding to
// device units and the screen's pixels per LE. It needs no widget, so that it can be
// checked on its own.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kritzel {

// The turtle computes at extended precision and stores doubles, as the classic
// floating-point unit did; these constants are held at that precision.
inline constexpr long double Pi = 3.14159265358979323851L;
inline constexpr long double TwoPiThirds = 2.09439510239319549227L;

// The ends of the 32-bit device range.
inline constexpr std::int32_t DeviceMin = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int32_t DeviceMax = std::numeric_limits<std::int32_t>::max();

// sin and cos at extended precision. The angle is first brought into the quarter turn
// around zero with the extended-precision pi, much as the floating-point unit reduces
// its operand, so that headings that grow over a long drawing stay cheap; the
// library's exact reduction would cost more than all the drawing of a step.
struct SinCosResult {
    long double sin, cos;
};

// Both at once where the library offers it: the same two values for the price of one
// reduction and one evaluation.
inline SinCosResult SinCosNear(long double a) {
#if defined(__GLIBC__)
    SinCosResult r;
    ::sincosl(a, &r.sin, &r.cos);
    return r;
#else
    return {std::sin(a), std::cos(a)};
#endif
}

inline SinCosResult SinCos(long double a) {
    constexpr long double HalfPi = Pi / 2;
    if (!(std::fabs(a) > HalfPi / 2)) return SinCosNear(a);
    if (!(std::fabs(a) < 1e18L)) return {std::sin(a), std::cos(a)};
    constexpr long double TwoByPi = 2 / Pi;
    const long double q = std::rint(a * TwoByPi);
    const long double r = a - q * HalfPi;
    const auto [s, c] = SinCosNear(r);
    // q is whole: rounding it is exact and, unlike a truncating cast, needs no switch of
    // the floating-point unit's rounding mode.
    switch (std::llrint(q) & 3) {
    case 0:
        return {s, c};
    case 1:
        return {c, -s};
    case 2:
        return {-s, -c};
    default:
        return {-c, s};
    }
}

// Nearest integer, halves to even (the default rounding mode, never changed here).
// Values beyond the 32-bit device range saturate; not-a-number counts as minus
// infinity, so a point that is nowhere lands far off the top-left of every surface.
inline std::int32_t RoundToDevice(long double v) {
    // One test for the usual case; not-a-number fails it too.
    if (v > static_cast<long double>(DeviceMin) && v < static_cast<long double>(DeviceMax))
        [[likely]]
        return static_cast<std::int32_t>(std::llrint(v));
    if (std::isnan(v)) return DeviceMin;
    return v > 0 ? DeviceMax : DeviceMin;
}

// A point in device units from a surface's top-left corner, or in LE from the plane's
// middle, at extended precision.
struct DevicePoint {
    long double x, y;
};

// The drawing plane on a device, before rounding: the plane's least x (MinX) and
// greatest y (MaxY), in LE, lie at the surface's top-left corner, and Scale device units
// make one LE. GetRealCoords rounds it to a device point; the arc keeps it unrounded.
inline DevicePoint LEToDevice(long double x, long double y, long double MinX, long double MaxY,
                              long double Scale) {
    return {(x - MinX) * Scale, (MaxY - y) * Scale};
}

// Its inverse for a point of a surface Width by Height device units whose middle is the
// plane's origin: the point in LE, y up.
inline DevicePoint DeviceToLE(long double X, long double Y, long double Width, long double Height,
                              long double Scale) {
    return {(X - Width / 2) / Scale, (Height / 2 - Y) / Scale};
}

// Screen pixels per LE for a screen resolution; at least one, so that a screen that
// reports 0 or 1 pixels per inch cannot make the scale divide by zero.
inline std::int32_t PixelPerLEFor(int pixelsPerInch) {
    const std::int32_t p = RoundToDevice(static_cast<long double>(pixelsPerInch) / 2.54L);
    return p < 1 ? 1 : p;
}

} // namespace kritzel
